#include "debugger/tdebugger.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/dosnames.h"
#include "platform/paths.h"

namespace krvs::ide {

namespace {

constexpr int kQuitPasses = 11;
constexpr int kQuitPassMs = 100;
constexpr int kFirstRegistersMs = 5000;

std::string withExtension(const std::string& path, const char* ext) {
  std::string wanted = platform::replaceExtension(path, ext);
  auto found = platform::findNoCase(wanted);
  return found ? *found : wanted;
}

int hexNumber(const std::string& text) {
  if (text.size() != 4) return -1;
  unsigned v = 0;
  return std::sscanf(text.c_str(), "%4x", &v) == 1 ? int(v) : -1;
}

}  // namespace

TDebugger::TDebugger(RunnerFactory factory, DebugLog log) : m_factory(std::move(factory)), m_log(std::move(log)) {}

TDebugger::~TDebugger() { releaseRunner(); }

void TDebugger::log(const std::string& tag, const std::string& text, int level) const {
  if (m_log) m_log(tag, text, level);
}

std::string TDebugger::GetTraceInfo(TTraceInfo which) const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_trace[int(which)];
}

std::string TDebugger::GetPreviousTraceInfo(TTraceInfo which) const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_previous[int(which)];
}

std::string TDebugger::StepCommand() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_stepCommand;
}

int TDebugger::GetLineMark(int line) const {
  if (!inRange(line)) return lmNone;
  return lineMarkFor(GetState(), line == GetCurrentLine(), m_breakpoints[line], m_lines.hasAddress(line));
}

void TDebugger::SetBreakpoint(int line, int value) {
  if (!inRange(line) || value < 0 || value > kMaxBreakValue) return;
  m_breakpoints[line] = value;
}

void TDebugger::ClearBreakpoints() { m_breakpoints.fill(0); }

int TDebugger::GetBreakpoint(int line) const { return inRange(line) ? m_breakpoints[line] : 0; }

bool TDebugger::LoadDebugInfo(const std::string& listingPath, const std::string& mapPath) {
  std::string error;
  bool ok = loadDebugFiles(listingPath, mapPath, m_lines, m_symbols, m_log, &error);
  if (!ok) log("LoadDebugInfo", error, 99);
  return ok;
}

int TDebugger::StartDebug(const std::string& exePath) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_stepCommand = "p";
  }
  m_outside = false;
  if (GetState() != dsIdle) {
    Go();
    return 0;
  }
  if (!std::filesystem::is_regular_file(exePath)) return 2;
  if (!LoadDebugInfo(withExtension(exePath, ".Lst"), withExtension(exePath, ".Map"))) return 1;

  ++m_sessionId;
  m_state = dsReady;
  setBusy(true);
  m_runner = m_factory ? m_factory(*this) : nullptr;
  m_runnerPtr = m_runner.get();
  std::filesystem::path exe = std::filesystem::absolute(exePath);
  std::string dir = exe.parent_path().string();
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += exe.preferred_separator;
  send(std::string("prompt ") + kPromptMarker, '\n');
  std::string root = exe.root_name().string();
  if (!root.empty()) send(root, '\n');
  send("cd \"" + dir + "\"", '\n');
  // DEBUG is started by its own path, so that a DEBUG.BAT beside the program cannot stand in for it.
  send(platform::shortPath(m_debugProgram) + " " + platform::shortPath(exe.string()), '\n');
  waitWhileBusy(m_startTimeoutMs);
  if (m_busy) {
    log("StartDebug", "DEBUG did not show its prompt", 99);
    StopDebug();
    return kStartNoPrompt;
  }
  // The first register display tells where the program was loaded, so that a line is looked up in the
  // segment that holds it.
  m_state = dsStep;
  m_skipEcho = true;
  setBusy(true);
  send("r");
  waitWhileBusy(kFirstRegistersMs);
  learnLoadBase();
  m_state = dsReady;
  Go();
  return 3;
}

void TDebugger::learnLoadBase() {
  m_loadBase = -1;
  int cs = hexNumber(GetTraceInfo(TTraceInfo::CS));
  std::string ip = GetTraceInfo(TTraceInfo::IP);
  if (cs < 0) return;
  int entry = hexNumber(m_lines.entrySegment);
  if (entry < 0 && !m_lines.ambiguous(ip)) {
    int line = m_lines.findLine(ip);
    if (line >= 0) entry = hexNumber(m_lines.segmentOf(line));
  }
  if (entry >= 0) m_loadBase = (cs - entry) & 0xFFFF;
  // The initial display was read before the base was known; its line is looked up again.
  int line = lineAt(GetTraceInfo(TTraceInfo::CS), ip);
  if (line >= 0) m_currentLine = line;
  m_outside = line < 0;
}

int TDebugger::lineAt(const std::string& cs, const std::string& ip) const {
  std::string relative = MapSegmentOf(cs);
  if (!relative.empty()) return m_lines.findLine(relative, ip);
  // Without the load base an offset that two segments share names no line for sure.
  return m_lines.ambiguous(ip) ? -1 : m_lines.findLine(ip);
}

int TDebugger::StopDebug() {
  int result = 0;
  if (GetState() == dsIdle) {
    releaseRunner();
  } else {
    ClearInput();
    setBusy(true);
    m_state = dsQuit;
    send("q");
    for (int pass = 1; m_busy && pass <= kQuitPasses; ++pass) {
      if (pass == kQuitPasses) {
        setBusy(false);
        break;
      }
      waitWhileBusy(kQuitPassMs);
      if (!m_busy) break;
      send("q");
      send("q", '\n');
    }
    m_state = dsIdle;
    m_continuation = Continuation::None;
    m_stepTime = 0;
    releaseRunner();
    result = 3;
  }
  ResetSession();
  return result;
}

void TDebugger::ResetSession() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_input.clear();
    m_dumpLines.clear();
    m_stackLines.clear();
    m_pending.clear();
    m_dumpText.clear();
    m_dumpQueue.clear();
    m_stepCommand = "p";
    for (std::string& t : m_trace) t.clear();
    for (std::string& t : m_previous) t.clear();
  }
  m_currentLine = -1;
  setBusy(false);
  m_pause = false;
  m_outputPresent = false;
  m_skipEcho = false;
  m_continuation = Continuation::None;
  m_stepTime = 0;
  m_outside = false;
  m_ended = false;
  m_stopNotifyPending = false;
  m_stepNotifyQueued = false;
  m_outputNotifyQueued = false;
  m_loadBase = -1;
  m_lines.clear();
}

void TDebugger::releaseRunner() {
  // The pointer the reader thread uses stays valid until the runner has ended that thread.
  std::unique_ptr<SessionRunner> runner = std::move(m_runner);
  runner.reset();
  m_runnerPtr = nullptr;
}

bool TDebugger::send(const std::string& text, char terminator) {
  SessionRunner* runner = m_runnerPtr.load();
  return runner && runner->WriteLine(text, terminator);
}

bool TDebugger::writeByte(char byte) {
  SessionRunner* runner = m_runnerPtr.load();
  return runner && runner->WriteByte(byte);
}

void TDebugger::setBusy(bool busy) {
  {
    std::lock_guard<std::mutex> guard(m_busyLock);
    m_busy = busy;
  }
  if (!busy) m_busyChanged.notify_all();
}

void TDebugger::waitWhileBusy(int maxMs) {
  std::unique_lock<std::mutex> lock(m_busyLock);
  m_busyChanged.wait_for(lock, std::chrono::milliseconds(maxMs), [this] { return !m_busy.load(); });
}

void TDebugger::SetMainForm(DebugNotifier notifier) {
  std::lock_guard<std::mutex> guard(m_notifyLock);
  m_notify = std::move(notifier);
}

void TDebugger::post(int wParam, int lParam) {
  std::lock_guard<std::mutex> guard(m_notifyLock);
  if (m_notify) m_notify(wParam, lParam);
}

void TDebugger::OnRunnerEnded() {
  // Without the interpreter no reply will come: whoever waits for one is released.
  m_ended = true;
  if (GetState() == dsGo) {
    m_state = dsIdle;
    m_continuation = Continuation::None;
    m_stepTime = 0;
    setBusy(false);
    post(1, 1);
    return;
  }
  setBusy(false);
}

std::string TDebugger::MapSegmentOf(const std::string& cs) const {
  int segment = hexNumber(cs);
  if (m_loadBase < 0 || segment < 0) return {};
  char relative[8];
  std::snprintf(relative, sizeof relative, "%04X", unsigned(segment - m_loadBase) & 0xFFFFu);
  return relative;
}

void TDebugger::postCoalesced(int wParam, int lParam, std::atomic<bool>& queued) {
  // One notification of a kind waits at a time: the main window reads the newest state when it acts.
  if (!queued.exchange(true)) post(wParam, lParam);
}

void TDebugger::NotifyHandled(int wParam, int lParam) {
  if (wParam == 1 && lParam == 2) m_stepNotifyQueued = false;
  if (wParam == 2 && lParam == 0) m_outputNotifyQueued = false;
}

void TDebugger::OnOutput(const std::string& chunk) {
  if (chunk.empty()) return;
  switch (GetState()) {
    case dsIdle:
      return;
    case dsReady:
      if (chunk.back() == '-') setBusy(false);
      return;
    case dsQuit:
      if (chunk.find(kPromptMarker) != std::string::npos) setBusy(false);
      return;
    case dsDump:
      ParseMemDump(chunk);
      return;
    case dsStep:
    case dsGo:
      break;
  }
  std::string reply;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending += chunk;
    // DEBUG that has gone leaves the interpreter's prompt; that ends the reply too.
    if (!replyComplete(m_pending) && m_pending.find(kPromptMarker) == std::string::npos) return;
    reply.swap(m_pending);
  }
  if (GetState() == dsGo) {
    HandleGoReply(reply);
    return;
  }
  ParseRegisters(reply);
  setBusy(false);
}

int TDebugger::ParseRegisters(const std::string& reply) {
  StepReply r = parseStepReply(reply, m_skipEcho.exchange(false));
  std::size_t endAt = reply.find(kProgramEnded);
  m_ended = endAt != std::string::npos || reply.find(kPromptMarker) != std::string::npos;
  std::lock_guard<std::mutex> guard(m_lock);
  m_trace[int(TTraceInfo::ALL)] = reply;
  if (r.result != 0) {
    if (endAt != std::string::npos && r.result != 4) {
      // What the program printed in its last step stands between the echo and the end message.
      std::size_t echoEnd = reply.find("\r\n");
      std::size_t from = echoEnd == std::string::npos ? 0 : echoEnd + 2;
      if (endAt >= from + 2) m_trace[int(TTraceInfo::REST)] += reply.substr(from, endAt - 2 - from);
    }
    return r.result;
  }
  // REST and ALL grow with the session; only what a step changes is kept for comparison.
  std::copy(m_trace.begin(), m_trace.begin() + int(TTraceInfo::REST), m_previous.begin());
  for (int i = 0; i < kRegisterCount; ++i) m_trace[i] = r.registers[i];
  m_trace[int(TTraceInfo::SIGN)] = r.flags;
  m_trace[int(TTraceInfo::BINCODE)] = r.bincode;
  m_trace[int(TTraceInfo::INSTRUCTION)] = r.instruction;
  m_stepCommand = r.instruction.find("CALL") != std::string::npos ? "t" : "p";
  m_outputPresent = !r.output.empty();
  m_trace[int(TTraceInfo::REST)] += r.output;
  int line = lineAt(r.registers[int(TTraceInfo::CS)], r.registers[int(TTraceInfo::IP)]);
  if (line >= 0) m_currentLine = line;
  m_outside = line < 0;
  return 0;
}

}  // namespace krvs::ide
