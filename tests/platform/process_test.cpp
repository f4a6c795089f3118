#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <thread>

#include "platform/files.h"
#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;
using Clock = std::chrono::steady_clock;

std::string readAll(Process& p) {
  std::string out;
  while (auto chunk = p.read()) out += *chunk;
  return out;
}

TEST(Process, WritesReadsAndReportsTheExitCode) {
  Process p;
  ASSERT_EQ(p.start({"sh", {"-c", "read line; echo \"got $line\"; echo oops >&2; exit 3"}, {}, true, {}}), "");
  ASSERT_EQ(p.write("hello\n"), "");
  EXPECT_EQ(readAll(p), "got hello\noops\n");
  EXPECT_EQ(p.wait(), 3);
  EXPECT_EQ(p.exitCode(), 3);
}

TEST(Process, WorkingDirectoryEnvironmentAndSeparateErrors) {
  TempDir dir;
  Process p;
  ProcessOptions options{"sh", {"-c", "pwd; echo $KRVS_PROBE; echo hidden >&2"}, dir.path(), false,
                         {{"KRVS_PROBE", "probe value"}}};
  ASSERT_EQ(p.start(options), "");
  std::string out = readAll(p);
  EXPECT_EQ(out, dir.path() + "\nprobe value\n");
  EXPECT_EQ(p.wait(), 0);
}

TEST(Process, EndOfInputReachesTheChild) {
  Process p;
  ASSERT_EQ(p.start({"cat", {}, {}, true, {}}), "");
  ASSERT_EQ(p.write("abc"), "");
  p.closeInput();
  EXPECT_EQ(readAll(p), "abc");
  EXPECT_EQ(p.wait(), 0);
}

TEST(Process, MissingProgramIsAnError) {
  Process p;
  EXPECT_NE(p.start({"/nonexistent/krvs-no-such-tool", {}, {}, true, {}}), "");
  EXPECT_FALSE(p.started());
  EXPECT_EQ(p.read(), std::nullopt);
  EXPECT_NE(p.write("x"), "");
}

TEST(Process, WritingToAnEndedChildFailsWithoutKillingUs) {
  Process p;
  ASSERT_EQ(p.start({"true", {}, {}, true, {}}), "");
  p.wait();
  std::string big(1 << 20, 'x');
  EXPECT_NE(p.write(big), "");
}

TEST(Process, TerminateEndsTheChildAndWhatItStartedAndUnblocksTheReader) {
  Process p;
  // The grandchild holds the output pipe too; the reader only sees end of file when it ends.
  ASSERT_EQ(p.start({"sh", {"-c", "trap '' TERM; sleep 30 & echo ready; wait"}, {}, true, {}}), "");
  ASSERT_EQ(p.read(), "ready\n");
  std::optional<std::string> lastRead = "unset";
  std::thread reader([&] { lastRead = p.read(); });
  auto start = Clock::now();
  p.terminate(50);
  reader.join();
  EXPECT_EQ(lastRead, std::nullopt);
  EXPECT_EQ(p.exitCode(), 128 + 9);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));  // a hang, not a speed goal
}

TEST(Process, CancelReadEndsABlockedReadWhileAnotherProcessHoldsTheOutput) {
  Process p;
  // setsid puts the holder outside the child's group, where terminate() cannot reach it.
  ASSERT_EQ(p.start({"sh", {"-c", "setsid sleep 5 & echo ready; wait"}, {}, true, {}}), "");
  ASSERT_EQ(p.read(), "ready\n");
  std::optional<std::string> lastRead = "unset";
  std::thread reader([&] { lastRead = p.read(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  p.cancelRead();
  reader.join();
  EXPECT_EQ(lastRead, std::nullopt);
  EXPECT_EQ(p.read(), std::nullopt);  // and it stays ended
  p.terminate(50);
}

TEST(Process, FindInPath) {
  EXPECT_NE(findInPath("sh"), "");
  EXPECT_EQ(findInPath("krvs-no-such-tool"), "");
}

}  // namespace
}  // namespace krvs::platform

namespace krvs::platform {
namespace {

// A program run attached gets the descriptors it is given and SIGINT at its default, even when the caller
// blocks SIGINT for itself (krvscmd in a terminal does).
TEST(Process, RunAttachedUsesTheGivenDescriptorsAndDefaultSignals) {
  TempDir dir;
  const std::string outPath = dir.path() + "/out.txt";
  int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(out, 0);
  int code = -1;
  EXPECT_EQ(runAttached({"/bin/sh", "-c", "echo hi; exit 3"}, 0, out, 2, code), "");
  EXPECT_EQ(code, 3);
  ::close(out);
  EXPECT_EQ(readFile(outPath).value_or(""), "hi\n");

  sigset_t set, old;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, &old);
  EXPECT_EQ(runAttached({"/bin/sh", "-c", "kill -INT $$; exit 0"}, 0, 1, 2, code), "");
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_EQ(code, 128 + SIGINT);
  EXPECT_NE(runAttached({dir.path() + "/none"}, 0, 1, 2, code), "");
}

}  // namespace
}  // namespace krvs::platform
