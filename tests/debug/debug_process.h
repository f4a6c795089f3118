#pragma once
// DEBUG.EXE as a child process on pipes, the way the IDE drives it: commands go in, every read is taken
// as one reply. Optionally started in another directory, with any arguments.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace krvs::debug::test {

class DebugProcess {
public:
    explicit DebugProcess(const std::string& program) : DebugProcess(program.empty() ? std::vector<std::string>{} : std::vector<std::string>{program}) {}
    explicit DebugProcess(const std::vector<std::string>& args, const std::string& directory = "") {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        const std::string exe = std::string(KRVS_TOOLS_DIR) + "/DEBUG.EXE";
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[0]); ::close(in[1]); ::close(out[0]); ::close(out[1]);
            if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(126);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_to = in[1];
        m_from = out[0];
    }
    ~DebugProcess() {
        if (m_to >= 0) ::close(m_to);
        if (m_from >= 0) ::close(m_from);
        if (m_pid > 0) {
            int status;
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
        }
    }
    void send(const std::string& bytes) { ASSERT_EQ(::write(m_to, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    // One read, as the IDE's reader makes it; "" when nothing came within the time.
    std::string readOnce(int timeoutMs = 10000) {
        pollfd p{m_from, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return {};
        char buf[4096];
        ssize_t n = ::read(m_from, buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    }
    // Everything until DEBUG closes its output, or until the time is up.
    std::string readAll(int timeoutMs = 10000) {
        std::string all;
        for (std::string chunk; !(chunk = readOnce(timeoutMs)).empty();) all += chunk;
        return all;
    }
    void closeInput() { ::close(m_to); m_to = -1; }
    // The exit code, or -1 when DEBUG ended by a signal or did not end within the time.
    int wait(int timeoutMs = 10000) {
        int status = 0;
        for (int waited = 0; ::waitpid(m_pid, &status, WNOHANG) == 0; waited += 10) {
            if (waited >= timeoutMs) return -1;
            ::usleep(10000);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
};

// A whole session: the script (lines ending in CR) in, everything DEBUG wrote and its exit code out.
struct ProcessRun {
    std::string output;
    int exitCode = -1;
};

inline ProcessRun runDebugExe(const std::vector<std::string>& args, const std::string& script,
                              const std::string& directory = "") {
    DebugProcess d(args, directory);
    d.send(script);
    d.closeInput();
    ProcessRun r;
    r.output = d.readAll();
    r.exitCode = d.wait();
    return r;
}

}  // namespace krvs::debug::test
