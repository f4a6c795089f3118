// TD.Exe's session: DEBUG's commands typed in the window give the screen DEBUG.EXE gives on a console.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "keymap.h"
#include "td_session.h"
#include "terminal.h"

namespace krvs::console::test {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("console-td-" + std::to_string(::getpid()))) { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

std::string textOf(const ScreenImage& s) {
    std::string text;
    for (int r = 0; r < s.rows; ++r) {
        std::string line;
        for (int c = 0; c < s.columns; ++c) line.push_back(static_cast<char>(s.cell(r, c) & 0xFF));
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

// The screen a DOS console shows after DEBUG.EXE ran these commands (through a pipe, so every byte it
// wrote is there).
std::string debugExeScreen(const fs::path& program, const std::string& input, const fs::path& dir) {
    std::ofstream(dir / "in.txt", std::ios::binary) << input;
    std::string command = "cd '" + dir.string() + "' && '" KRVS_BUILD_TOOLS_DIR "/DEBUG.EXE' '" + program.string() +
                          "' < in.txt > out.txt";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "out.txt", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    Terminal t;
    t.write(bytes.str());
    return textOf(t.image());
}

TEST(TdSessionTest, ClassicCommandsShowWhatDebugShowsWithTheProgramsOutputBetween) {
    TempDir dir;
    fs::copy_file(fs::path(KRVS_TEST_DATA) / "corpus/HELLOEXE/expected.exe", dir.path / "HELLO.EXE");
    const std::string commands = "r\rt\rp\rd ds:0 L10\rg\rq\r";
    ConsoleSettings settings;
    TdSession session({(dir.path / "HELLO.EXE").string(), "", settings});
    session.start();
    for (char c : commands) session.type(keyStrokes(0, Qt::NoModifier, QString(QChar(c))));
    ASSERT_TRUE(session.join(10000)) << "Q did not end the session";
    ScreenImage s;
    session.snapshot(s);
    const std::string screen = textOf(s);
    EXPECT_NE(screen.find("Hello, World!"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Program terminated normally"), std::string::npos);
    EXPECT_NE(screen.find("AX=0000"), std::string::npos);
    EXPECT_EQ(screen, debugExeScreen(dir.path / "HELLO.EXE", commands, dir.path));
}

TEST(TdSessionTest, ClosingTheWindowEndsAProgramThatRunsForEver) {
    TempDir dir;
    fs::copy_file(fs::path(KRVS_TEST_DATA) / "console/SPIN.COM", dir.path / "SPIN.COM");
    TdSession session({(dir.path / "SPIN.COM").string(), "", ConsoleSettings{}});
    session.start();
    session.type(keyStrokes(0, Qt::NoModifier, "g\r"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(session.finished());
    session.stop();
    EXPECT_TRUE(session.join(3000));
}

TEST(TdSessionTest, AMissingProgramIsSaidOnTheScreenAndTheSessionGoesOn) {
    TdSession session({"/nonexistent/NOPE.EXE", "", ConsoleSettings{}});
    session.start();
    session.type(keyStrokes(0, Qt::NoModifier, "q\r"));
    ASSERT_TRUE(session.join(5000));
    ScreenImage s;
    session.snapshot(s);
    EXPECT_NE(textOf(s).find("File not found"), std::string::npos) << textOf(s);
}

}  // namespace
}  // namespace krvs::console::test
