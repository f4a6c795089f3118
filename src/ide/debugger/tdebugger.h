#pragma once
// TDebugger: the integrated debugger's session. It runs DEBUG inside a hidden command interpreter,
// sends it one step at a time, reads every reply into the trace texts and finds the source line at
// which execution stands. Replies are parsed on the runner's reader thread; the main window hears of
// stops, the program's end, sent steps and new output only through the notifier (never a call into a
// widget from that thread).
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "debugger/debug_info.h"
#include "debugger/line_marks.h"
#include "debugger/session_runner.h"
#include "debugger/step_reply.h"

namespace krvs::ide {

// Posts one notification pair to the main window; safe from any thread.
using DebugNotifier = std::function<void(int wParam, int lParam)>;

enum class Continuation : std::uint8_t { None, Step, FillInChar };

// Start results beyond the classic three.
inline constexpr int kStartNoPrompt = 4;  // DEBUG did not show its prompt in time

class TDebugger : public ReplySink {
 public:
  static constexpr int kMaxLine = 32768;
  static constexpr int kMaxBreakValue = 1;
  static constexpr const char* kPromptMarker = "K+R+V+S+#";
  static constexpr const char* kGoCommand = "@#%$@$%#%@#$%@";

  explicit TDebugger(RunnerFactory factory = {}, DebugLog log = {});
  ~TDebugger() override;
  TDebugger(const TDebugger&) = delete;
  TDebugger& operator=(const TDebugger&) = delete;

  // Collaborators the main window supplies: how to start a runner, DEBUG's own path, the log.
  void SetRunnerFactory(RunnerFactory factory) { m_factory = std::move(factory); }
  void SetDebugProgram(std::string path) { m_debugProgram = std::move(path); }
  void SetLog(DebugLog log) { m_log = std::move(log); }
  void SetMainForm(DebugNotifier notifier);
  // The main window has acted on a notification; the next one of its kind may be posted.
  void NotifyHandled(int wParam, int lParam);
  // How long StartDebug waits for DEBUG's first prompt.
  void SetStartTimeoutMs(int ms) { m_startTimeoutMs = ms; }
  // Words of the stack dumped at every stop (0: no stack view).
  void SetStackWords(int words) { m_stackWords = words; }

  // Session (0 already active, 1 not built in debug mode, 2 no executable, 3 started, 4 no prompt).
  int StartDebug(const std::string& exePath);
  int StopDebug();

  TDebugState GetState() const { return m_state.load(); }
  // Numbers the sessions from 1; a notification carries the number of the session that posted it.
  int SessionId() const { return m_sessionId.load(); }
  int GetCurrentLine() const { return m_currentLine.load(); }
  std::string GetTraceInfo(TTraceInfo which) const;
  // The register texts before the last step (AX .. IP, SIGN), and the instruction that step executed.
  std::string GetPreviousTraceInfo(TTraceInfo which) const;
  bool OutsideSource() const { return m_outside.load(); }
  std::string StepCommand() const;

  // Run control. Step: 0 no session, 1 waits for input, 2 program ended, 3 stopped after one step.
  void Go();
  int Step();
  void Pause() { m_pause = true; }
  int GetLineMark(int line) const;
  void SetBreakpoint(int line, int value);
  void ClearBreakpoints();
  int GetBreakpoint(int line) const;

  // Map and listing.
  bool LoadDebugInfo(const std::string& listingPath, const std::string& mapPath);
  int FindLineByAddr(const std::string& ip) const { return m_lines.findLine(ip); }
  const TSymbleArray& GetSymbols() const { return m_symbols; }
  const LineTable& Lines() const { return m_lines; }

  // Memory watch.
  void SetMemRange(const std::string& start, const std::string& end);
  void RequestMemDump(const std::string& start, const std::string& end);
  std::vector<std::string> GetMemLines() const;
  std::vector<std::string> GetStackLines() const;
  std::string GetMemRange(const std::vector<std::string>& lines, const std::string& address,
                          const std::string& length) const;

  // Program input.
  bool AddInput(const std::string& text);
  void ClearInput();
  int FillInChar();
  bool IsWaiting() const;
  std::string PendingInput() const;
  Continuation GetContinuation() const { return m_continuation.load(); }

  // Stops that waited too long for their memory dump are reported now (called about once a second).
  void PollStopNotify();

  // The runner's reader thread.
  void OnOutput(const std::string& chunk) override;
  void OnRunnerEnded() override;

  // The source line of CS:IP (-1 when none), and the map's segment text of CS ("" while unknown).
  int LineOfAddress(const std::string& cs, const std::string& ip) const { return lineAt(cs, ip); }
  std::string MapSegmentOf(const std::string& cs) const;

 private:
  using Clock = std::chrono::steady_clock;

  static bool inRange(int line) { return line >= 0 && line <= kMaxLine; }
  void ResetSession();
  int ParseRegisters(const std::string& reply);
  int lineAt(const std::string& cs, const std::string& ip) const;
  void learnLoadBase();
  void HandleGoReply(const std::string& reply);
  void ParseMemDump(const std::string& chunk);
  void endWhileRunning();
  void stopRunning();
  void sendNextStep();
  bool send(const std::string& text, char terminator = '\r');
  bool writeByte(char byte);
  // Queues the dumps of a stop (watch range, stack) and sends the first; false when there are none.
  bool startDumps();
  void sendNextDump();
  void waitWhileBusy(int maxMs);
  void setBusy(bool busy);
  void post(int wParam, int lParam);
  void postCoalesced(int wParam, int lParam, std::atomic<bool>& queued);
  void releaseRunner();
  bool takeInputChar(char* c);
  void log(const std::string& tag, const std::string& text, int level) const;

  RunnerFactory m_factory;
  DebugLog m_log;
  DebugNotifier m_notify;
  std::mutex m_notifyLock;
  std::string m_debugProgram = "Debug";
  int m_startTimeoutMs = 10000;
  int m_stackWords = 0;

  std::unique_ptr<SessionRunner> m_runner;
  std::atomic<SessionRunner*> m_runnerPtr{nullptr};  // stays valid until the reader thread has ended

  std::atomic<TDebugState> m_state{dsIdle};
  std::atomic<int> m_sessionId{0};
  std::array<int, kMaxLine + 1> m_breakpoints{};
  LineTable m_lines;
  TSymbleArray m_symbols;
  int m_loadBase = -1;  // paragraph the map's segments count from; -1 unknown

  mutable std::mutex m_lock;  // the texts below
  std::array<std::string, kTraceCount> m_trace;
  std::array<std::string, kTraceCount> m_previous;
  std::vector<std::string> m_dumpLines;
  std::vector<std::string> m_stackLines;
  std::string m_input;
  std::string m_pending;     // chunks of a reply not yet complete (reader thread)
  std::string m_dumpText;    // chunks of the dump being collected (reader thread)
  std::vector<std::string> m_dumpQueue;  // dump commands of this stop still to send
  bool m_dumpIsStack = false;

  std::atomic<int> m_currentLine{-1};
  std::atomic<bool> m_busy{false};
  std::mutex m_busyLock;
  std::condition_variable m_busyChanged;
  std::string m_stepCommand = "p";
  std::atomic<Continuation> m_continuation{Continuation::None};
  std::atomic<bool> m_pause{false};
  std::atomic<bool> m_outputPresent{false};
  std::atomic<bool> m_skipEcho{false};
  std::atomic<bool> m_outside{false};
  std::atomic<bool> m_ended{false};        // the last reply showed the program's end
  std::atomic<Clock::rep> m_stepTime{0};   // 0: none
  std::atomic<bool> m_stopNotifyPending{false};
  std::atomic<Clock::rep> m_stopSince{0};
  std::atomic<bool> m_stepNotifyQueued{false};
  std::atomic<bool> m_outputNotifyQueued{false};
  std::string m_memStart;
  std::string m_memEnd;
};

}  // namespace krvs::ide
