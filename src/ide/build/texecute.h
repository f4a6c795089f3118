#pragma once
// TExecute: what a console pipe runner (TSys) tells its owner. The build driver's handler collects
// the interpreter's output; the debugger parses DEBUG's replies from it.
#include <string>

namespace krvs::ide {

// Codes passed to TExecute::OnError.
enum RunnerError : int {
  kRunnerInputPipe = 0,   // the interpreter's input pipe could not be made
  kRunnerOutputPipe = 1,  // its output pipe could not be made
  kRunnerStart = 2,       // the interpreter could not be started
  kRunnerWrite = 3,       // a write to the interpreter failed or was short
  kRunnerEnded = 4,       // the interpreter's output ended without Stop (it exited or was killed)
};

class TExecute {
 public:
  virtual ~TExecute() = default;
  // A chunk of the interpreter's output (at most 1024 bytes, as read, zero bytes kept). Called on
  // the runner's reader thread, one chunk at a time and in order.
  virtual void OnOutput(const std::string& text) { (void)text; }
  // Called on the thread that met the failure: the reader thread for 0, 1, 2 and 4, the writing
  // thread for 3.
  virtual void OnError(int code) { (void)code; }
};

}  // namespace krvs::ide
