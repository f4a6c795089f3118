// The session behind Rtm.EXe: Runner.bat's classic run on the emulated screen, keys through the keyboard
// controller, and stopping a program that never ends.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "keymap.h"
#include "pc/machine.h"
#include "rtm_session.h"

namespace krvs::console::test {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(KRVS_TEST_DATA) / "console";

struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() / ("console-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
    static inline int counter = 0;
};

// The rows of a screen as text (bytes as they stand in video memory), trailing blanks removed.
std::vector<std::string> rows(const ScreenImage& s) {
    std::vector<std::string> out;
    for (int r = 0; r < s.rows; ++r) {
        std::string line;
        for (int c = 0; c < s.columns; ++c) line.push_back(static_cast<char>(s.cell(r, c) & 0xFF));
        line.erase(line.find_last_not_of(' ') + 1);
        out.push_back(line);
    }
    return out;
}

// Polls the session as the window does until `done` holds or five seconds pass.
template <typename Pred>
bool waitFor(RtmSession& session, ScreenImage& image, Pred done) {
    for (int i = 0; i < 500; ++i) {
        session.pump();
        session.snapshot(image);
        if (done(image)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool contains(const ScreenImage& s, const std::string& text) {
    for (const auto& row : rows(s))
        if (row.find(text) != std::string::npos) return true;
    return false;
}

const std::string kPause = "\xC7\xEB\xB0\xB4\xC8\xCE\xD2\xE2\xBC\xFC\xBC\xCC\xD0\xF8. . .";  // GBK

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"SCREEN.COM", "KEYS.COM", "SPIN.COM"}) fs::copy_file(kData / f, dir.path / f);
        std::ofstream(dir.path / "Runner.bat", std::ios::binary) << "echo off\r\ncls\r\n%1\r\necho.\r\nPause\r\n";
    }
    RtmSession::Config config(const std::string& program) {
        RtmSession::Config c;
        c.commandLine = "\"" + (dir.path / "Runner.bat").string() + "\" \"" + (dir.path / program).string() + "\"";
        c.toolsDir = dir.path;
        return c;
    }
    TempDir dir;
};

TEST_F(RunnerTest, ClassicRunKeepsTheProgramsScreenThenPausesAndEndsOnAKey) {
    RtmSession session(config("SCREEN.COM"));
    session.start();
    ScreenImage s;
    ASSERT_TRUE(waitFor(session, s, [](const ScreenImage& i) { return contains(i, kPause); }));
    std::vector<std::string> text = rows(s);
    EXPECT_EQ(text[0], "");                                   // cls, and the program left row 0 alone
    EXPECT_EQ(text[1].substr(2, 3), "\xC9\xCD\xCD");          // its box, drawn into video memory
    EXPECT_NE(text[2].find("Korvash console"), std::string::npos);
    EXPECT_EQ(text[12], "");                                  // echo. under the cursor it left on row 12
    EXPECT_EQ(text[13], kPause);
    EXPECT_EQ(s.cell(1, 2) >> 8, 0x1E);                       // the program's attributes stay
    EXPECT_FALSE(session.finished());
    session.type({{0x39, ' '}});
    EXPECT_TRUE(session.join(5000));
}

TEST_F(RunnerTest, KeysReachIntTwentyOneIntSixteenAndAnIntNineHook) {
    RtmSession session(config("KEYS.COM"));
    session.start();
    ScreenImage s;
    ASSERT_TRUE(waitFor(session, s, [](const ScreenImage& i) { return contains(i, "Line?"); }));
    auto typeKey = [&](int key, Qt::KeyboardModifiers m, const char* text) {
        session.type(keyStrokes(key, m, QString::fromLatin1(text)));
    };
    for (char c : std::string("hi")) typeKey(Qt::Key_A + (c - 'a'), Qt::NoModifier, std::string(1, c).c_str());
    typeKey(Qt::Key_Return, Qt::NoModifier, "\r");
    typeKey(Qt::Key_F1, Qt::NoModifier, "");
    typeKey(Qt::Key_Left, Qt::ControlModifier, "");
    typeKey(Qt::Key_X, Qt::AltModifier, "");
    typeKey(Qt::Key_Z, Qt::ControlModifier, "\x1a");
    typeKey(Qt::Key_Escape, Qt::NoModifier, "\x1b");
    ASSERT_TRUE(waitFor(session, s, [](const ScreenImage& i) { return contains(i, kPause); }))
        << rows(s)[0] << "|" << rows(s)[1] << "|" << rows(s)[2] << "|" << rows(s)[3];
    std::vector<std::string> text = rows(s);
    EXPECT_EQ(text[0], "Line? hi");
    EXPECT_EQ(text[1], "Got hi");
    EXPECT_EQ(text[2], "Keys? 3B00 7300 2D00 2C1A");
    EXPECT_EQ(text[3], "INT9 0008 0001");  // eight presses seen by the hook, Esc (01h) the last
    session.type({{0x1C, '\r'}});
    EXPECT_TRUE(session.join(5000));
}

TEST_F(RunnerTest, StoppingEndsARunawayProgramAndTheRestOfTheBatchAtOnce) {
    RtmSession session(config("SPIN.COM"));
    session.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well inside the endless loop
    EXPECT_FALSE(session.finished());
    session.stop();
    EXPECT_TRUE(session.join(3000));  // PAUSE after it does not wait for a key either
}

TEST_F(RunnerTest, TheSpeedSettingHoldsTheCpuBack) {
    RtmSession::Config c = config("SPIN.COM");
    c.settings.speed = 1'000'000;  // a million instructions a second; unpaced it runs a hundred times that
    std::atomic<std::uint64_t> executed{0};
    pc::Machine* running = nullptr;
    c.onProgram = [&](pc::Machine* m) {
        if (!m && running) executed = running->instructions();
        running = m;
    };
    RtmSession session(c);
    session.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    session.stop();
    ASSERT_TRUE(session.join(3000));
    EXPECT_GT(executed.load(), 0u);
    EXPECT_LT(executed.load(), 3'000'000u);  // 0.3 s at the set speed is 300,000, whatever the machine's load
}

}  // namespace
}  // namespace krvs::console::test
