// The windows as the user meets them: Rtm.EXe as a process that a close request ends with its program,
// and the console window that closes on the key after PAUSE or stops its session when closed.

#include <gtest/gtest.h>

#include <QTest>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "console_window.h"
#include "qt_app.h"
#include "rtm_session.h"

namespace krvs::console::test {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("console-window-" + std::to_string(::getpid()) + "-" + std::to_string(n++))) {
        fs::create_directories(path);
        for (const char* f : {"SCREEN.COM", "SPIN.COM"}) fs::copy_file(fs::path(KRVS_TEST_DATA) / "console" / f, path / f);
        std::ofstream(path / "Runner.bat", std::ios::binary) << "echo off\r\ncls\r\n%1\r\necho.\r\nPause\r\n";
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
    static inline int n = 0;
};

// Waits up to timeoutMs for the child; true with its status when it ended.
bool waitChild(pid_t pid, int timeoutMs, int& status) {
    for (int i = 0; i < timeoutMs / 10; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(RtmProcess, ClosingTheWindowEndsARunawayProgramAndLeavesNoProcess) {
    TempDir dir;
    const std::string tool = KRVS_BUILD_TOOLS_DIR "/Rtm.EXe", batch = (dir.path / "Runner.bat").string(),
                      program = (dir.path / "SPIN.COM").string();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(tool.c_str(), tool.c_str(), batch.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    EXPECT_FALSE(waitChild(pid, 1000, status)) << "Rtm.EXe ended before it was closed, status " << status;
    ::kill(pid, SIGTERM);  // what the window manager's close becomes: the window's close
    bool ended = waitChild(pid, 5000, status);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "Rtm.EXe kept running after its window was closed";
    EXPECT_TRUE(WIFEXITED(status)) << "it was killed instead of ending";
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);  // the child is gone
}

struct WindowFixture : ::testing::Test {
    struct App { App() { qtApp(); } } app;
    TempDir dir;
    RtmSession::Config config(const char* program) {
        return {"\"" + (dir.path / "Runner.bat").string() + "\" \"" + (dir.path / program).string() + "\"", dir.path, {}, {}};
    }
    static ConsoleWindow::Hooks hooks(RtmSession& s) {
        ConsoleWindow::Hooks h;
        h.snapshot = [&s](ScreenImage& i) { s.snapshot(i); };
        h.type = [&s](const std::vector<KeyStroke>& k) { s.type(k); };
        h.tick = [&s] { s.pump(); };
        h.finished = [&s] { return s.finished(); };
        h.stop = [&s] { s.stop(); };
        return h;
    }
};

TEST_F(WindowFixture, TheWindowClosesOnAKeyAfterPause) {
    RtmSession session(config("SCREEN.COM"));
    session.start();
    ConsoleWindow window("Rtm", ConsoleSettings{}, hooks(session));
    window.show();
    // The program is done and PAUSE waits: the screen shows the message on row 13.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.screen().rowText(13, 0, 79).startsWith(QString::fromUtf8("请按任意键继续")); }, 5000));
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window.screen(), Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
    EXPECT_TRUE(session.join(1000));
}

TEST_F(WindowFixture, ClosingTheWindowStopsTheSession) {
    RtmSession session(config("SPIN.COM"));
    session.start();
    ConsoleWindow window("Rtm", ConsoleSettings{}, hooks(session));
    window.show();
    QTest::qWait(200);
    EXPECT_FALSE(session.finished());
    window.close();
    EXPECT_TRUE(session.join(3000));
}

}  // namespace
}  // namespace krvs::console::test
