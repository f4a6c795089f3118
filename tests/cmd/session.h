#pragma once
// Runs krvscmd as a child process with pipes on its standard handles, the way the IDE's pipe runner does.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace krvs::cmd::test {

inline std::string interpreterPath() { return std::string(KRVS_TOOLS_DIR) + "/krvscmd"; }

class TempDir {
public:
    explicit TempDir(const std::string& suffix = "") {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("krvs-cmd-" + std::to_string(rd()) + suffix);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class Session {
public:
    Session(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(out[1], 2);
            ::close(in[0]); ::close(in[1]); ::close(out[0]); ::close(out[1]);
            if (::chdir(cwd.c_str()) != 0) ::_exit(126);
            std::vector<char*> argv;
            std::string exe = interpreterPath();
            argv.push_back(exe.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
        ::signal(SIGPIPE, SIG_IGN);
    }
    ~Session() {
        closeInput();
        if (m_out >= 0) ::close(m_out);
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    void write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_in, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    void closeInput() {
        if (m_in >= 0) ::close(m_in);
        m_in = -1;
    }
    // Reads until the output's last line equals `marker` (the pipe runner's idle test) or the time is up.
    bool waitForLastLine(const std::string& marker, int timeoutMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!endsWithLine(marker)) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
        }
        return true;
    }
    // Reads everything until the interpreter ends; returns its exit code.
    int finish(int timeoutMs = 20000) {
        closeInput();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) break;
        }
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return m_output; }
    std::string take() {
        std::string s = m_output;
        m_output.clear();
        return s;
    }

private:
    bool readSome(int timeoutMs) {
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buf[1024];
        ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0) return false;
        m_output.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    bool endsWithLine(const std::string& marker) const {
        std::string s = m_output;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        auto nl = s.find_last_of("\r\n");
        std::string last = nl == std::string::npos ? s : s.substr(nl + 1);
        return !s.empty() && last == marker;
    }
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    bool m_reaped = false;
    std::string m_output;
};

}  // namespace krvs::cmd::test
