#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace krvs::examples::test {

namespace {

[[noreturn]] void startChild(const std::vector<std::string>& argv, const std::filesystem::path& cwd, int out,
                             const std::vector<std::pair<std::string, std::string>>& env) {
    int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd, int timeoutMs,
                         const std::vector<std::pair<std::string, std::string>>& env) {
    ProcessResult result;
    int pipeFds[2];
    if (argv.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    pid_t pid = ::fork();
    if (pid == 0) startChild(argv, cwd, pipeFds[1], env);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{pipeFds[0], POLLIN, 0};
        int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        char buf[4096];
        ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;  // every writer has closed: the program has ended
        result.output.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

}  // namespace krvs::examples::test
