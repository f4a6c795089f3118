// Stepping, running to a breakpoint, the memory dumps of a stop and the program's keyboard input.
#include "debugger/mem_dump.h"
#include "debugger/tdebugger.h"

namespace krvs::ide {

namespace {

constexpr int kStepPollMs = 50;
constexpr int kPollsBeforeInput = 6;  // 300 ms without a reply: the program waits for a key
constexpr int kCharGapMs = 300;
constexpr int kWaitingMs = 1000;
constexpr int kDumpWaitMs = 1000;
constexpr int kStopNotifyMs = 1000;

using Clock = std::chrono::steady_clock;

Clock::rep nowTicks() {
  // Never 0, which stands for "no time".
  Clock::rep t = Clock::now().time_since_epoch().count();
  return t == 0 ? 1 : t;
}

long long elapsedMs(Clock::rep since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch() -
                                                               Clock::duration(since))
      .count();
}

}  // namespace

void TDebugger::Go() {
  m_continuation = Continuation::None;
  m_stepTime = 0;
  m_state = dsGo;
  m_outputPresent = false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending.clear();
  }
  send(kGoCommand);
}

void TDebugger::sendNextStep() {
  m_skipEcho = true;
  send(StepCommand());
  m_stepTime = nowTicks();
  postCoalesced(1, 2, m_stepNotifyQueued);
}

int TDebugger::Step() {
  // A running program (or a dump, or the end of the session) owns DEBUG's next reply: no step now.
  TDebugState state = GetState();
  if (state == dsIdle || state == dsGo || state == dsDump || state == dsQuit) return 0;
  setBusy(true);
  int polls = kPollsBeforeInput;
  if (GetState() != dsStep) {
    m_state = dsStep;
    m_skipEcho = true;
    m_ended = false;
    send(StepCommand());
    polls = 0;
  }
  for (;;) {
    if (polls >= kPollsBeforeInput) {
      char c = 0;
      if (!takeInputChar(&c)) {
        Continuation none = Continuation::None;
        m_continuation.compare_exchange_strong(none, Continuation::Step);
        return 1;
      }
      writeByte(c);
      polls = 0;
    }
    waitWhileBusy(kStepPollMs);
    if (!m_busy) break;
    ++polls;
  }
  m_continuation = Continuation::None;
  if (m_ended) {
    send("q");
    m_state = dsIdle;
    ClearInput();
    releaseRunner();
    return 2;
  }
  m_state = dsReady;
  if (startDumps()) waitWhileBusy(kDumpWaitMs);
  return 3;
}

void TDebugger::HandleGoReply(const std::string& reply) {
  if (GetState() == dsIdle) return;
  if (ParseRegisters(reply) != 0) {
    if (m_ended) {
      endWhileRunning();
    } else if (reply.find(kGoCommand) != std::string::npos) {
      sendNextStep();
    }
    return;
  }
  m_stepTime = 0;
  int line = GetCurrentLine();
  bool atBreakpoint = line >= 0 && GetBreakpoint(line) == 1;
  if (atBreakpoint || (m_pause && !m_outside)) {
    stopRunning();
    return;
  }
  if (m_outputPresent.exchange(false)) postCoalesced(2, 0, m_outputNotifyQueued);
  setBusy(false);
  sendNextStep();
}

void TDebugger::endWhileRunning() {
  send("q");
  m_state = dsIdle;
  ClearInput();
  m_continuation = Continuation::None;
  m_stepTime = 0;
  setBusy(false);
  // The runner is released by StopDebug on the main thread; this is its own reader thread.
  post(1, 1);
}

void TDebugger::stopRunning() {
  m_state = dsReady;
  m_continuation = Continuation::None;
  m_pause = false;
  if (startDumps()) {
    m_stopSince = nowTicks();
    m_stopNotifyPending = true;
    return;
  }
  setBusy(false);
  post(1, 0);
}

void TDebugger::PollStopNotify() {
  if (!m_stopNotifyPending || elapsedMs(m_stopSince) < kStopNotifyMs) return;
  if (m_stopNotifyPending.exchange(false)) post(1, 0);
}

bool TDebugger::startDumps() {
  std::vector<std::string> commands;
  if (!m_memStart.empty() && !m_memEnd.empty()) commands.push_back("d DS:" + m_memStart + " " + m_memEnd);
  std::string sp = GetTraceInfo(TTraceInfo::SP);
  if (m_stackWords > 0 && sp.size() == 4) commands.push_back("d SS:" + sp + " L " + hexText(m_stackWords * 2, 1));
  if (commands.empty()) return false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_dumpQueue = commands;
  }
  setBusy(true);
  m_state = dsDump;
  sendNextDump();
  return true;
}

void TDebugger::sendNextDump() {
  std::string command;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    command = m_dumpQueue.front();
    m_dumpQueue.erase(m_dumpQueue.begin());
    m_dumpIsStack = command.rfind("d SS:", 0) == 0;
    m_dumpText.clear();
    (m_dumpIsStack ? m_stackLines : m_dumpLines).clear();
  }
  send(command);
}

void TDebugger::ParseMemDump(const std::string& chunk) {
  bool more = false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_dumpText += chunk;
    if (!dumpReplyComplete(m_dumpText)) return;
    (m_dumpIsStack ? m_stackLines : m_dumpLines) = dumpLinesOf(m_dumpText);
    m_dumpText.clear();
    more = !m_dumpQueue.empty();
  }
  if (more) {
    sendNextDump();
    return;
  }
  m_state = dsReady;
  setBusy(false);
  if (m_stopNotifyPending.exchange(false)) post(1, 0);
}

void TDebugger::SetMemRange(const std::string& start, const std::string& end) {
  m_memStart = start;
  m_memEnd = end;
}

void TDebugger::RequestMemDump(const std::string& start, const std::string& end) {
  // Only a session standing at a line is asked; while it runs or waits, the next stop dumps the range.
  if (start.empty() || end.empty() || GetState() != dsReady) return;
  if (startDumps()) waitWhileBusy(kDumpWaitMs);
}

std::vector<std::string> TDebugger::GetMemLines() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_dumpLines;
}

std::vector<std::string> TDebugger::GetStackLines() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_stackLines;
}

std::string TDebugger::GetMemRange(const std::vector<std::string>& lines, const std::string& address,
                                   const std::string& length) const {
  return krvs::ide::GetMemRange(lines, address, length, m_log);
}

bool TDebugger::takeInputChar(char* c) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_input.empty()) return false;
  *c = m_input.front();
  m_input.erase(m_input.begin());
  return true;
}

bool TDebugger::AddInput(const std::string& text) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_input += text;
  }
  TDebugState state = GetState();
  if (state != dsStep && state != dsGo) return false;
  switch (m_continuation.load()) {
    case Continuation::Step:
      Step();
      return true;
    case Continuation::FillInChar:
      FillInChar();
      return true;
    case Continuation::None:
      break;
  }
  return false;
}

void TDebugger::ClearInput() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_input.clear();
}

std::string TDebugger::PendingInput() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_input;
}

bool TDebugger::IsWaiting() const {
  Clock::rep since = m_stepTime.load();
  if (since == 0) return false;
  long long ms = elapsedMs(since);
  log("IsWaiting", std::to_string(ms), 100);
  return ms > kWaitingMs;
}

int TDebugger::FillInChar() {
  if (!IsWaiting()) return 2;
  m_continuation = Continuation::None;
  setBusy(true);
  char c = 0;
  while (m_busy && GetState() == dsGo && takeInputChar(&c)) {
    writeByte(c);
    waitWhileBusy(kCharGapMs);
  }
  bool empty = PendingInput().empty();
  if (m_busy && empty && GetState() == dsGo) {
    m_continuation = Continuation::FillInChar;
    return 1;
  }
  return 0;
}

}  // namespace krvs::ide
