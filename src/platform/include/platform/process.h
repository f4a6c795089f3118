#pragma once
// A child process whose standard input and output are pipes owned by the caller.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/read_spin.h"

namespace krvs::platform {

struct ProcessOptions {
  std::string program;                // looked up in PATH when it has no slash
  std::vector<std::string> arguments;  // without the program name
  std::string workingDirectory;       // empty: inherit
  bool mergeStderr = true;            // error output arrives in the same pipe as standard output
  std::vector<std::pair<std::string, std::string>> environment;  // added to or replacing the inherited one
};

// One writer thread and one reader thread may use the same object at the same time: writes,
// reads and termination each touch their own descriptor or the process group only.
class Process {
 public:
  Process() = default;
  ~Process();  // terminates a child that still runs
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  Error start(const ProcessOptions& options);
  bool started() const { return m_pid > 0; }
  int pid() const { return m_pid; }

  // Writes all of `bytes` to the child's standard input.
  Error write(std::string_view bytes);
  // Ends the child's standard input, so a reader of it sees end of file.
  void closeInput();

  // Blocks until output is available; returns at most `maxBytes` of it. nullopt when the output
  // has ended (the child and every process it started have closed it) or on a read error. While the
  // child answers at once (a debugger driven step by step) it waits by spinning briefly (ReadSpin).
  std::optional<std::string> read(std::size_t maxBytes = 4096);
  // Makes a read that blocks in another thread, and every later read, return nullopt at once, so
  // the reader can be joined even when some process outside the group still holds the output.
  void cancelRead();

  // Waits for the child to end. Its exit code, or 128 + the signal number when a signal ended it.
  int wait();
  // The exit code when the child has ended, nullopt while it runs.
  std::optional<int> exitCode();

  // Ends the child and everything it started: SIGTERM to its process group, SIGKILL after
  // `graceMs`, then reaps it.
  void terminate(int graceMs = 200);

 private:
  void closeOutput();
  std::optional<std::string> readWaiting(std::size_t maxBytes);
  ReadSpin m_readSpin;  // used by the reader thread only
  int m_pid = -1;
  int m_stdin = -1;
  int m_stdout = -1;
  int m_wake[2] = {-1, -1};  // a byte in this pipe ends a blocked read
  std::optional<int> m_exitCode;
};

// Runs `argv` (argv[0] a path) with `in`, `out` and `err` as its standard input, output and error, in the
// caller's process group (a terminal's Ctrl-C reaches it), with no signal blocked and SIGINT and SIGPIPE at
// their defaults, and waits for it. `exitCode` gets its exit code, or 128 + the signal number that ended it.
Error runAttached(const std::vector<std::string>& argv, int in, int out, int err, int& exitCode);

// The full path of `program` found in PATH, empty when it is not there.
std::string findInPath(const std::string& program);

}  // namespace krvs::platform
