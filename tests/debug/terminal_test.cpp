// DEBUG.EXE in a terminal (a pseudo-terminal here): Ctrl-C stops a program that G runs for ever and
// DEBUG comes back to its prompt with the registers, as Ctrl-Break does under DOS.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

class TerminalDebug {
public:
    TerminalDebug() {
        const std::string exe = std::string(KRVS_TOOLS_DIR) + "/DEBUG.EXE";
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~TerminalDebug() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status;
            ::waitpid(m_pid, &status, 0);
        }
        if (m_master >= 0) ::close(m_master);
    }
    bool started() const { return m_pid > 0; }
    void type(const std::string& keys) { ASSERT_EQ(::write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    // Reads until the output seen since the last call ends with `tail`, or the time is up.
    std::string readUntil(const std::string& tail, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string got;
        while (got.size() < tail.size() || got.compare(got.size() - tail.size(), tail.size(), tail) != 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{m_master, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    int exitCode(int timeoutMs) {
        int status = 0;
        for (int waited = 0; ::waitpid(m_pid, &status, WNOHANG) == 0; waited += 10) {
            if (waited >= timeoutMs) return -1;
            ::usleep(10000);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    int m_master = -1;
    pid_t m_pid = -1;
};

TEST(DebugTerminal, CtrlCStopsGoOnAnEndlessLoopAndReturnsToThePrompt) {
    TerminalDebug d;
    ASSERT_TRUE(d.started());
    ASSERT_EQ(d.readUntil("-", 10000), "-");
    d.type("e 100 eb fe\r");  // 100: JMP 100
    ASSERT_NE(d.readUntil("\r\n-", 10000), "");
    d.type("g\r");
    EXPECT_EQ(d.readUntil("\r\n-", 500), "g\r\r\n");  // still running
    d.type("\x03");
    const std::string stopped = d.readUntil("\r\n-", 10000);
    EXPECT_NE(stopped.find("IP=0100"), std::string::npos) << stopped;
    EXPECT_NE(stopped.find("JMP\t0100"), std::string::npos) << stopped;
    // The stop is used up: the next command runs normally.
    d.type("r ip\r");
    EXPECT_NE(d.readUntil(":", 10000).find("IP 0100"), std::string::npos);
    d.type("\rq\r");
    EXPECT_EQ(d.exitCode(10000), 0);
}

}  // namespace
