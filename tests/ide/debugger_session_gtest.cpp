// Debug sessions end to end without a window: the real assembler and linker build the programs, the
// real interpreter runs the real DEBUG, and the session steps and runs them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "debugger/sys_runner.h"
#include "debugger/tdebugger.h"
#include "debugger_test_build.h"

namespace krvs::ide {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Session {
 public:
  Session()
      : dbg(sysRunnerFactory(KRVS_TOOLS_DIR)) {
    dbg.SetDebugProgram(std::string(KRVS_TOOLS_DIR) + "/DEBUG.EXE");
    dbg.SetMainForm([this](int w, int l) {
      std::lock_guard<std::mutex> guard(m_lock);
      m_notes.emplace_back(w, l);
    });
  }
  ~Session() { dbg.StopDebug(); }

  // Acts as the main window's timers would: acknowledges notifications, feeds waiting input.
  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      dbg.NotifyHandled(1, 2);
      dbg.NotifyHandled(2, 0);
      dbg.PollStopNotify();
      if (dbg.GetState() == dsGo && dbg.IsWaiting() && !dbg.PendingInput().empty()) dbg.FillInChar();
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  bool noted(int w, int l) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& n : m_notes) {
      if (n == std::make_pair(w, l)) return true;
    }
    return false;
  }
  void clearNotes() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_notes.clear();
  }
  std::string rest() { return dbg.GetTraceInfo(TTraceInfo::REST); }
  // F10 as the step menu does it: steps on while the instruction lies outside the source.
  int stepLine() {
    int r = 0;
    do r = dbg.Step();
    while (r == 3 && dbg.OutsideSource());
    return r;
  }

  TDebugger dbg;

 private:
  std::mutex m_lock;
  std::vector<std::pair<int, int>> m_notes;
};

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Processes whose command line mentions `text`.
int processesMentioning(const std::string& text) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = readFile(entry.path() / "cmdline");
    if (cmdline.find(text) != std::string::npos) ++count;
  }
  return count;
}

// The runner ends krvscmd and reaps it; DEBUG, killed with it, may still be on its way out for a moment
// (long in a sanitizer build, whose exit checks for leaks), so the check allows it that moment.
int processesLeftMentioning(const std::string& text) {
  int count = processesMentioning(text);
  for (int i = 0; count > 0 && i < 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    count = processesMentioning(text);
  }
  return count;
}

class CorpusSession : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusSession, RunsToItsExpectedOutput) {
  TestBuild build;
  fs::path corpus = fs::path(KRVS_TEST_DATA) / "corpus" / GetParam();
  std::string exe = build.program(corpus / (GetParam() + ".ASM"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  // Keys typed before the session are delivered at the program's first wait.
  s.dbg.AddInput(readFile(corpus / "stdin.txt"));
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }));
  EXPECT_TRUE(s.noted(1, 1));
  // The IDE starts a program without arguments, so the argument printer prints nothing of them.
  if (readFile(corpus / "args.txt").empty()) {
    EXPECT_EQ(s.rest(), readFile(corpus / "expected.stdout"));
  }
  EXPECT_EQ(s.dbg.StopDebug(), 0);
  EXPECT_EQ(processesLeftMentioning(build.dir()), 0);
}

TEST_P(CorpusSession, StepsLineByLineToItsEnd) {
  TestBuild build;
  fs::path corpus = fs::path(KRVS_TEST_DATA) / "corpus" / GetParam();
  std::string exe = build.program(corpus / (GetParam() + ".ASM"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  s.dbg.AddInput(readFile(corpus / "stdin.txt"));
  s.dbg.Pause();
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }));
  int steps = 0, r = 3;
  while (r == 3 && steps < 20000) {
    EXPECT_GE(s.dbg.GetCurrentLine(), 1);
    r = s.stepLine();
    ++steps;
  }
  EXPECT_EQ(r, 2) << "after " << steps << " steps";
  EXPECT_EQ(s.dbg.GetState(), dsIdle);
  if (readFile(corpus / "args.txt").empty()) {
    EXPECT_EQ(s.rest(), readFile(corpus / "expected.stdout"));
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusSession,
                         ::testing::Values("ARRSUM", "BUBBLE", "CHAROUT", "EXITCODE", "FACTREC", "GCD", "HELLOCOM",
                                           "HELLOEXE", "MACPRINT", "MULTAB", "PRTDEC", "PSPARGS", "REVLINE", "STRCOPY",
                                           "VIDMID"));

fs::path testProgram(const std::string& name) { return fs::path(KRVS_TEST_DATA) / "ide-debugger" / (name + ".ASM"); }

TEST(DebugSession, StartFailures) {
  TestBuild build;
  std::string exe = build.program(testProgram("KEY"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  EXPECT_EQ(s.dbg.StartDebug(build.dir() + "/NONE.EXE"), 2);
  fs::rename(build.dir() + "/KEY.MAP", build.dir() + "/KEY.KEEP");
  EXPECT_EQ(s.dbg.StartDebug(exe), 1);
  EXPECT_EQ(s.dbg.GetState(), dsIdle);
  fs::rename(build.dir() + "/KEY.KEEP", build.dir() + "/KEY.MAP");
  // A DEBUG that never shows its prompt ends the start after the time limit.
  s.dbg.SetDebugProgram(build.dir() + "/NODEBUG.EXE");
  s.dbg.SetStartTimeoutMs(1500);
  EXPECT_EQ(s.dbg.StartDebug(exe), kStartNoPrompt);
  EXPECT_EQ(s.dbg.GetState(), dsIdle);
  EXPECT_EQ(processesLeftMentioning(build.dir()), 0);
}

TEST(DebugSession, DebugBatchBesideTheProgramDoesNotStandIn) {
  TestBuild build;
  std::string exe = build.program(testProgram("PREFIX"));
  ASSERT_FALSE(exe.empty()) << build.log;
  std::ofstream(build.dir() + "/DEBUG.BAT") << "echo stand-in\r\n";
  std::ofstream(build.dir() + "/debug.bat") << "echo stand-in\r\n";
  Session s;
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }));
  EXPECT_TRUE(s.noted(1, 1));
  EXPECT_EQ(s.rest().find("stand-in"), std::string::npos);
}

TEST(DebugSession, PrefixedInstructionsDoNotStallARun) {
  TestBuild build;
  std::string exe = build.program(testProgram("PREFIX"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  s.dbg.SetBreakpoint(12, 1);  // mov al, es:[bx]
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 10s));
  EXPECT_EQ(s.dbg.GetCurrentLine(), 12);
  EXPECT_EQ(s.dbg.GetTraceInfo(TTraceInfo::INSTRUCTION).substr(0, 11), "ES: MOV    ");
  EXPECT_EQ(s.dbg.GetTraceInfo(TTraceInfo::BINCODE), "268A07");
  EXPECT_EQ(s.stepLine(), 3);
  EXPECT_EQ(s.dbg.GetCurrentLine(), 13);
  s.dbg.SetBreakpoint(12, 0);
  s.dbg.Go();
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }, 10s));
  EXPECT_TRUE(s.noted(1, 1));
}

TEST(DebugSession, OutputLongerThanOneReadArrivesWhole) {
  TestBuild build;
  std::string exe = build.program(testProgram("LONGOUT"));
  ASSERT_FALSE(exe.empty()) << build.log;
  for (bool stepping : {true, false}) {
    Session s;
    if (stepping) s.dbg.Pause();
    ASSERT_EQ(s.dbg.StartDebug(exe), 3);
    if (stepping) {
      ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 5s));
      int r = 3;
      while (r == 3) r = s.stepLine();
      EXPECT_EQ(r, 2);
    } else {
      ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }, 10s));
    }
    EXPECT_EQ(s.rest().size(), 1525u) << (stepping ? "F10" : "F5") << s.rest();
    EXPECT_EQ(s.rest().substr(1464), "line 24 of the long output                                 \r\n");
  }
}

TEST(DebugSession, BreakpointsPauseAndAbort) {
  TestBuild build;
  std::string exe = build.program(testProgram("LOOP"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  s.dbg.SetBreakpoint(4, 1);  // the first instruction's line does not stop a run
  s.dbg.SetBreakpoint(9, 1);  // done:
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 30s));
  EXPECT_TRUE(s.noted(1, 0));
  EXPECT_EQ(s.dbg.GetCurrentLine(), 9);
  EXPECT_EQ(s.dbg.GetTraceInfo(TTraceInfo::DX), "0000");
  EXPECT_EQ(s.dbg.GetLineMark(9), lmCurrentBreak);
  EXPECT_EQ(s.dbg.GetLineMark(4), lmBreakCode);
  EXPECT_EQ(s.dbg.GetLineMark(1), lmNone);
  s.dbg.SetBreakpoint(1, 1);
  EXPECT_EQ(s.dbg.GetLineMark(1), lmBreakNoCode);

  // A fresh run of the loop, paused from outside while it runs.
  EXPECT_EQ(s.dbg.StopDebug(), 3);
  EXPECT_EQ(s.dbg.GetBreakpoint(9), 1);  // breakpoints outlive the session
  s.dbg.ClearBreakpoints();
  s.clearNotes();
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  std::this_thread::sleep_for(100ms);
  ASSERT_EQ(s.dbg.GetState(), dsGo);
  EXPECT_EQ(s.dbg.Step(), 0);  // no step while the program runs
  EXPECT_EQ(s.dbg.GetLineMark(5), lmNone);
  s.dbg.Pause();
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 5s));
  int line = s.dbg.GetCurrentLine();
  EXPECT_TRUE(line >= 5 && line <= 8) << line;
  // A watch added while running waits for the next stop instead of taking a step's reply.
  s.dbg.Go();
  ASSERT_EQ(s.dbg.GetState(), dsGo);
  s.dbg.SetMemRange("0000", "0004");
  s.dbg.RequestMemDump("0000", "0004");
  EXPECT_EQ(s.dbg.GetState(), dsGo);
  s.dbg.Pause();
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 5s));
  ASSERT_FALSE(s.dbg.GetMemLines().empty());
  EXPECT_EQ(s.dbg.GetMemLines()[0].substr(0, 4), "0000");
  EXPECT_EQ(s.dbg.GetMemRange(s.dbg.GetMemLines(), "0x0000", "2"), "CD 20 ");  // the PSP's INT 20h

  // Abort while running leaves no interpreter and no DEBUG behind.
  s.dbg.Go();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(s.dbg.StopDebug(), 3);
  EXPECT_EQ(s.dbg.GetState(), dsIdle);
  EXPECT_EQ(processesLeftMentioning(build.dir()), 0);
}

TEST(DebugSession, StepCommandFollowsCalls) {
  TestBuild build;
  std::string exe = build.program(testProgram("CALLS"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  s.dbg.SetStackWords(8);
  s.dbg.Pause();
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 5s));
  EXPECT_EQ(s.dbg.GetCurrentLine(), 8);  // push ax, after the first instruction
  EXPECT_EQ(s.stepLine(), 3);
  EXPECT_EQ(s.dbg.GetCurrentLine(), 9);
  EXPECT_EQ(s.dbg.StepCommand(), "t");  // the next instruction is a CALL: trace into it
  EXPECT_EQ(s.stepLine(), 3);
  EXPECT_EQ(s.dbg.GetCurrentLine(), 14);  // inside outer
  EXPECT_EQ(s.dbg.StepCommand(), "t");
  EXPECT_EQ(s.stepLine(), 3);
  EXPECT_EQ(s.dbg.GetCurrentLine(), 18);  // inside inner
  EXPECT_EQ(s.dbg.StepCommand(), "p");
  std::vector<std::string> stack = s.dbg.GetStackLines();
  ASSERT_FALSE(stack.empty());
  EXPECT_EQ(stack[0].substr(0, 4), s.dbg.GetTraceInfo(TTraceInfo::SP).substr(0, 3) + "0");
}

TEST(DebugSession, ProgramInputWhileRunningAndStepping) {
  TestBuild build;
  std::string exe = build.program(testProgram("KEY"));
  ASSERT_FALSE(exe.empty()) << build.log;
  {
    Session s;
    ASSERT_EQ(s.dbg.StartDebug(exe), 3);
    // The main window's second timer stage finds the program waiting with nothing queued.
    ASSERT_TRUE(s.waitUntil([&] { return s.dbg.IsWaiting(); }, 5s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(s.dbg.FillInChar(), 1);
    EXPECT_EQ(s.dbg.GetContinuation(), Continuation::FillInChar);
    EXPECT_TRUE(s.dbg.AddInput("A"));
    ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }, 5s));
    EXPECT_EQ(s.rest(), "AA");
  }
  {
    Session s;
    s.dbg.Pause();
    ASSERT_EQ(s.dbg.StartDebug(exe), 3);
    ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsReady; }, 5s));
    EXPECT_EQ(s.dbg.GetCurrentLine(), 5);  // int 21h, the read
    EXPECT_EQ(s.dbg.Step(), 1);            // returns while the program waits
    EXPECT_EQ(s.dbg.GetState(), dsStep);
    EXPECT_TRUE(s.dbg.AddInput("B"));
    EXPECT_EQ(s.dbg.GetState(), dsReady);
    EXPECT_EQ(s.dbg.GetCurrentLine(), 6);
    EXPECT_EQ(s.rest(), "B");
  }
}

TEST(DebugSession, LineInputTakesEachKeyAsTyped) {
  TestBuild build;
  std::string exe = build.program(testProgram("LINE"));
  ASSERT_FALSE(exe.empty()) << build.log;
  Session s;
  ASSERT_EQ(s.dbg.StartDebug(exe), 3);
  for (char c : std::string("hey\r")) {
    ASSERT_TRUE(s.waitUntil([&] { return s.dbg.IsWaiting(); }, 5s));
    std::this_thread::sleep_for(50ms);
    if (s.dbg.GetContinuation() == Continuation::None) {
      EXPECT_EQ(s.dbg.FillInChar(), 1);
    }
    EXPECT_TRUE(s.dbg.AddInput(std::string(1, c)));
  }
  ASSERT_TRUE(s.waitUntil([&] { return s.dbg.GetState() == dsIdle; }, 5s));
  EXPECT_EQ(s.rest(), "hey\rD");
}

}  // namespace
}  // namespace krvs::ide
