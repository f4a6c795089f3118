#pragma once
// Runs a host program to its end or to a time limit, with its output collected: a tool or a DOS program
// that hangs ends the test case instead of the test run.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace krvs::examples::test {

struct ProcessResult {
    int exitCode = -1;      // -1 when it did not exit by itself
    bool timedOut = false;  // killed at the time limit
    std::string output;     // standard output and standard error, interleaved
};

// `argv[0]` is the program's path as given (the tools look for their configuration beside that path);
// `env` adds NAME=value entries to the inherited environment. Standard input is empty.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd, int timeoutMs,
                         const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace krvs::examples::test
