// DEBUG.EXE: the stdio front end. Through a pipe each reply leaves in one write; in a terminal the
// terminal's own echo and line editing are switched off, because DEBUG echoes what it reads as DOS does.

#include <termios.h>
#include <unistd.h>

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "debug/console.h"
#include "debug/session.h"

namespace {

constexpr const char* kUsage =
    "Runs DEBUG, a program testing and editing tool.\r\n\r\n"
    "DEBUG [[drive:][path]filename [testfile-parameters]]\r\n\r\n"
    "  [drive:][path]filename  Specifies the file you want to test.\r\n"
    "  testfile-parameters     Specifies command-line information required by\r\n"
    "                          the file you want to test.\r\n\r\n"
    "After DEBUG starts, type ? to display a list of debugging commands.\r\n";

// Ctrl-C stops a running program and shows where it stood, as Ctrl-Break does under DOS. SIGINT is
// blocked in every thread and taken by one thread of its own, because stopping the machine wakes waiters
// on a condition variable, which a signal handler may not do. The thread outlives the session (it stays
// in sigwait until the process ends), so it reaches the session only through this guarded pointer.
std::mutex g_sessionMutex;
krvs::debug::Session* g_session = nullptr;

void setInterruptTarget(krvs::debug::Session* session) {
    std::lock_guard lock(g_sessionMutex);
    g_session = session;
}

void startInterruptThread() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread([set] {
        int sig = 0;
        while (::sigwait(&set, &sig) == 0) {
            std::lock_guard lock(g_sessionMutex);
            if (g_session) g_session->interrupt();
        }
    }).detach();
}

class RawTerminal {
public:
    RawTerminal() {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &m_saved) != 0) return;
        termios raw = m_saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_iflag &= static_cast<tcflag_t>(~ICRNL);
        raw.c_oflag &= static_cast<tcflag_t>(~ONLCR);  // DEBUG writes its own CR LF, as DOS programs do
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        m_active = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal() {
        if (m_active) ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
    bool active() const { return m_active; }

private:
    termios m_saved{};
    bool m_active = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::string program, args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (program.empty() && a == "/?") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (program.empty()) program = a;
        else args += (args.empty() ? "" : " ") + a;
    }

    // A reader that went away must not kill the session with SIGPIPE; its end of input ends it.
    std::signal(SIGPIPE, SIG_IGN);
    RawTerminal terminal;
    krvs::debug::InputFd in(STDIN_FILENO);
    krvs::pc::FdSink out(STDOUT_FILENO);
    krvs::debug::Console console(in, out, terminal.active());
    krvs::debug::Session session(console);
    if (terminal.active()) {
        setInterruptTarget(&session);
        startInterruptThread();
    }
    // A program that cannot be loaded is reported, and the session goes on as the classic DEBUG's does,
    // but the exit code says that it failed, as the other tools' do.
    const std::string error = session.start(program, args);
    if (!error.empty()) console.write(error + "\r\n");
    const int code = session.run();
    setInterruptTarget(nullptr);
    return error.empty() ? code : 1;
}
