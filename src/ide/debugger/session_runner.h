#pragma once
// What a debug session needs of a console pipe runner: a hidden command interpreter that takes command
// lines and single bytes, and hands every chunk of its output to a sink on the runner's reader thread.
#include <functional>
#include <memory>
#include <string>

namespace krvs::ide {

class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // One chunk of interpreter output; called on the runner's reader thread.
  virtual void OnOutput(const std::string& chunk) = 0;
  // The interpreter's output ended without being asked to (it exited or was killed).
  virtual void OnRunnerEnded() {}
};

class SessionRunner {
 public:
  // Ends the interpreter and its reader thread; never called on that thread.
  virtual ~SessionRunner() = default;
  // Safe from the main thread and from within OnOutput; writes never overlap.
  virtual bool WriteLine(const std::string& text, char terminator) = 0;
  virtual bool WriteByte(char byte) = 0;
};

// Starts a runner whose output goes to `sink`; nullptr when it cannot be started.
using RunnerFactory = std::function<std::unique_ptr<SessionRunner>(ReplySink& sink)>;

}  // namespace krvs::ide
