// The console pipe runner TSys and its collecting handler TCMDHandler, on the real command
// interpreter krvscmd (and sh where a test needs an interpreter that misbehaves).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include "build/tcmd_handler.h"
#include "build/tsys.h"

namespace krvs::ide {
namespace {

using namespace std::chrono_literals;
constexpr const char* kMarker = "K+R+V+S+#";

platform::ProcessOptions krvscmd() {
  return {std::string(KRVS_TOOLS_DIR) + "/krvscmd", {}, "/tmp", true, {}};
}

platform::ProcessOptions shell(const std::string& script) { return {"sh", {"-c", script}, {}, true, {}}; }

// A handler that keeps every chunk as it came and every error code.
class ChunkLog : public TCMDHandler {
 public:
  void OnOutput(const std::string& text) override {
    {
      std::lock_guard lock(m_mutex);
      m_chunks.push_back(text);
    }
    TCMDHandler::OnOutput(text);
  }
  void OnError(int code) override {
    {
      std::lock_guard lock(m_mutex);
      m_errors.push_back(code);
    }
    TCMDHandler::OnError(code);
  }
  std::vector<std::string> chunks() {
    std::lock_guard lock(m_mutex);
    return m_chunks;
  }
  std::vector<int> errors() {
    std::lock_guard lock(m_mutex);
    return m_errors;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_chunks;
  std::vector<int> m_errors;
};

TEST(SplitLines, EveryLineBreakKindEndsALineAndAFinalOneOpensNone) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"a\r\r\n", {"a", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

TEST(TCMDHandler, PromptRecognisedOnlyAsAWholeLastLine) {
  struct Case {
    std::vector<std::string> chunks;
    bool idle;
  } cases[] = {
      {{"dir>cmd\r\n\r\nK+R+V"}, false},          // the marker split across two chunks: first half
      {{"dir>cmd\r\n\r\nK+R+V", "+S+#"}, true},  // and both halves
      {{"K+R+V+S+#\r\n"}, true},                 // a final line break opens no line
      {{"K+R+V+S+#exit"}, false},                // the marker followed by an echoed command
      {{"K+R+V+S+#exit\r\n"}, false},
      {{"xK+R+V+S+#"}, false},
      {{"k+r+v+s+#"}, false},  // letter case counts
      {{""}, false},
  };
  for (const auto& c : cases) {
    TCMDHandler h;
    for (const auto& chunk : c.chunks) h.OnOutput(chunk);
    EXPECT_EQ(h.EndsWithPrompt(kMarker), c.idle) << h.Output();
  }
}

TEST(TCMDHandler, PromptAfterACommandNeedsItsEchoFirst) {
  TCMDHandler h;
  h.OnOutput("K+R+V+S+#cd /x\r\n\r\nK+R+V+S+#");
  // The prompt printed before the tool's command was read is not the end of the tool.
  EXPECT_FALSE(h.EndsWithPromptAfter(kMarker, "/b/TASM.Exe"));
  EXPECT_TRUE(h.EndsWithPromptAfter(kMarker, "cd /x"));
  h.OnOutput("/b/TASM.Exe\r\nbanner\r\n\r\nK+R+V+S+#");
  EXPECT_TRUE(h.EndsWithPromptAfter(kMarker, "/b/TASM.Exe"));
  EXPECT_FALSE(h.EndsWithPromptAfter(kMarker, "/b/TASM"));  // the echo must be the whole line
  h.ClearOutput();
  EXPECT_EQ(h.Output(), "");
  EXPECT_TRUE(h.GetLines().empty());
}

TEST(TCMDHandler, ErrorsAreRecordedAsText) {
  TCMDHandler h;
  h.OnError(kRunnerWrite);
  EXPECT_EQ(h.LastError(), "KRVSError:3");
  EXPECT_FALSE(h.InterpreterEnded());
  h.OnError(kRunnerEnded);
  EXPECT_TRUE(h.InterpreterEnded());
}

TEST(TSys, DrivesTheInterpreterToThePromptAndBack) {
  ChunkLog h;
  TSys sys(h, krvscmd());
  ASSERT_TRUE(sys.WaitStarted(5000));
  for (const char* line : {"cmd", "prompt K+R+V+S+#", "echo hello"}) ASSERT_TRUE(sys.WriteLine(line, '\n'));
  EXPECT_EQ(h.WaitForPrompt(kMarker, "echo hello", 10s), TCMDHandler::Wait::Ready);
  auto lines = h.GetLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4], "K+R+V+S+#echo hello");
  EXPECT_EQ(lines[lines.size() - 3], "hello");
  EXPECT_TRUE(sys.WriteLine("exit", '\n'));
  for (const auto& chunk : h.chunks()) EXPECT_LE(chunk.size(), TSys::kChunkBytes);
}

TEST(TSys, LongOutputComesInChunksOfAtMost1024Bytes) {
  ChunkLog h;
  TSys sys(h, shell("head -c 10000 /dev/zero | tr '\\0' 'x'; printf done"));
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!sys.Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  std::string all;
  for (const auto& chunk : h.chunks()) {
    EXPECT_LE(chunk.size(), TSys::kChunkBytes);
    all += chunk;
  }
  EXPECT_EQ(all, std::string(10000, 'x') + "done");
  EXPECT_EQ(h.errors(), std::vector<int>{kRunnerEnded});
}

TEST(TSys, ALineOf255CharactersIsWrittenWholeAndALongerOneIsRefused) {
  ChunkLog h;
  TSys sys(h, shell("IFS= read -r line; printf '%s' \"${#line}\"; IFS= read -r line; printf ' %s' \"${#line}\""));
  ASSERT_TRUE(sys.WaitStarted(5000));
  EXPECT_FALSE(sys.WriteLine(std::string(256, 'b'), '\n'));  // refused, nothing written
  EXPECT_TRUE(sys.WriteLine(std::string(255, 'a'), '\n'));
  EXPECT_TRUE(sys.WriteLine("abc", '\n'));
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!sys.Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(h.Output(), "255 3");
  EXPECT_EQ(h.errors(), std::vector<int>{kRunnerEnded});  // no write error for the refused line
}

TEST(TSys, AnInterpreterThatCannotStartTakesNoWrites) {
  ChunkLog h;
  TSys sys(h, {"/nonexistent/krvscmd", {}, {}, true, {}});
  EXPECT_FALSE(sys.WaitStarted(5000));
  EXPECT_FALSE(sys.WriteLine("cmd", '\n'));
  EXPECT_FALSE(sys.WriteByte('x'));
  EXPECT_TRUE(sys.Ended());
  EXPECT_EQ(h.errors(), std::vector<int>{kRunnerStart});
  EXPECT_TRUE(h.chunks().empty());
}

TEST(TSys, WritesFromTwoThreadsNeverInterleave) {
  ChunkLog h;
  TSys sys(h, shell("cat"));
  ASSERT_TRUE(sys.WaitStarted(5000));
  auto writer = [&](char c) {
    for (int i = 0; i < 200; ++i) sys.WriteLine(std::string(200, c), '\n');
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (h.Output().size() < 400 * 201 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  auto lines = h.GetLines();
  ASSERT_EQ(lines.size(), 400u);
  for (const auto& line : lines) EXPECT_TRUE(line == std::string(200, 'a') || line == std::string(200, 'b'));
}

TEST(TSys, StopOnAnInterpreterThatHasExitedEndsCleanly) {
  ChunkLog h;
  TSys sys(h, shell("exit 0"));
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!sys.Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(sys.Ended());
  sys.Stop();
  sys.Stop();  // twice is harmless
  EXPECT_FALSE(sys.Started());
  EXPECT_FALSE(sys.WriteLine("echo", '\n'));
}

TEST(TSys, StopEndsAToolThatNeverReturnsAndJoinsTheReader) {
  auto h = std::make_unique<ChunkLog>();
  auto sys = std::make_unique<TSys>(*h, krvscmd());
  ASSERT_TRUE(sys->WaitStarted(5000));
  // pause waits for a key that never comes; the reader is blocked in its read meanwhile.
  ASSERT_TRUE(sys->WriteLine("pause", '\n'));
  std::this_thread::sleep_for(50ms);
  auto start = std::chrono::steady_clock::now();
  sys.reset();  // Stop, close every pipe end, join
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);  // a hang, not a speed goal
}

TEST(TSys, AnInterpreterKilledWhileAStepWaitsEndsTheWaitAtOnce) {
  ChunkLog h;
  // An interpreter that prints its pid and is then killed from outside, as by a user or the OOM killer.
  TSys sys(h, shell("echo $$; exec sleep 60"));
  ASSERT_TRUE(sys.WaitStarted(5000));
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (h.GetLines().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_FALSE(h.GetLines().empty());
  int pid = std::stoi(h.GetLines()[0]);
  ASSERT_GT(pid, 1);  // kill(-1 or 0) would reach far more than the interpreter
  std::thread killer([pid] {
    std::this_thread::sleep_for(50ms);
    ::kill(pid, SIGKILL);
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(h.WaitForPrompt(kMarker, "TASM.Exe", 30s), TCMDHandler::Wait::Ended);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  killer.join();
  EXPECT_FALSE(sys.WriteLine("echo", '\n'));
}

TEST(TCMDHandler, WaitForPromptGivesUpAtItsTimeLimit) {
  TCMDHandler h;
  h.OnOutput("K+R+V+S+#TASM.Exe\r\nworking");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(h.WaitForPrompt(kMarker, "TASM.Exe", 100ms), TCMDHandler::Wait::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

}  // namespace
}  // namespace krvs::ide
