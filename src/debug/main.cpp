// DEBUG.EXE: the stdio front end. Through a pipe each reply leaves in one write; in a terminal the
// terminal's own echo and line editing are switched off, because DEBUG echoes what it reads as DOS does.

#include <cstdio>
#include <mutex>
#include <string>

#include "debug/console.h"
#include "debug/session.h"
#include "platform/terminal.h"

namespace {

constexpr int kStdin = 0;
constexpr int kStdout = 1;

constexpr const char* kUsage =
    "Runs DEBUG, a program testing and editing tool.\r\n\r\n"
    "DEBUG [[drive:][path]filename [testfile-parameters]]\r\n\r\n"
    "  [drive:][path]filename  Specifies the file you want to test.\r\n"
    "  testfile-parameters     Specifies command-line information required by\r\n"
    "                          the file you want to test.\r\n\r\n"
    "After DEBUG starts, type ? to display a list of debugging commands.\r\n";

// Ctrl-C stops a running program and shows where it stood, as Ctrl-Break does under DOS. Platform hands
// Ctrl-C to a thread of its own, which outlives the session, so it reaches the session only through this
// guarded pointer.
std::mutex g_sessionMutex;
krvs::debug::Session* g_session = nullptr;

void setInterruptTarget(krvs::debug::Session* session) {
    std::lock_guard lock(g_sessionMutex);
    g_session = session;
}

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
    krvs::platform::ignoreBrokenPipes();
    krvs::platform::RawTerminal terminal(kStdin);
    krvs::debug::InputFd in(kStdin);
    krvs::pc::FdSink out(kStdout);
    krvs::debug::Console console(in, out, terminal.active());
    krvs::debug::Session session(console);
    if (terminal.active()) {
        setInterruptTarget(&session);
        krvs::platform::handleInterrupts([] {
            std::lock_guard lock(g_sessionMutex);
            if (g_session) g_session->interrupt();
        });
    }
    // A program that cannot be loaded is reported, and the session goes on as the classic DEBUG's does,
    // but the exit code says that it failed, as the other tools' do.
    const std::string error = session.start(program, args);
    if (!error.empty()) console.write(error + "\r\n");
    const int code = session.run();
    setInterruptTarget(nullptr);
    return error.empty() ? code : 1;
}
