#pragma once
// A session runner on a hidden command interpreter started directly through the platform's process
// services: one reader thread hands each chunk (at most 1024 bytes) to the sink, writes are serialised.
#include <memory>
#include <string>

#include "debugger/session_runner.h"

namespace krvs::ide {

// Starts `interpreter` (the path of krvscmd); nullptr when it cannot be started.
std::unique_ptr<SessionRunner> startPipeRunner(const std::string& interpreter, ReplySink& sink);

}  // namespace krvs::ide
