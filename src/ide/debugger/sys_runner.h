#pragma once
// The session's runner: the console pipe runner TSys on a hidden krvscmd, its output handed to the
// session on TSys's reader thread.
#include <memory>
#include <string>

#include "debugger/debug_info.h"
#include "debugger/session_runner.h"

namespace krvs::ide {

// Starts `interpreter` (the path of krvscmd) in `workingDirectory`; nullptr when it does not start.
std::unique_ptr<SessionRunner> startSysRunner(const std::string& interpreter, const std::string& workingDirectory,
                                              ReplySink& sink, DebugLog log = {});

// A factory for TDebugger that starts krvscmd from the tool directory `binDir`.
RunnerFactory sysRunnerFactory(const std::string& binDir, DebugLog log = {});

}  // namespace krvs::ide
