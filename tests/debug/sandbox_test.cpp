// DEBUG.EXE's file commands and its program stay on the program's drive C:, as the program's own INT 21h
// calls do: no host path, no way above the drive's root, no link it refuses, and nothing read without a
// limit. Run as a user would, from the program's directory, through pipes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "debug_process.h"

namespace krvs::debug::test {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// <top>/VICTIM.TXT lies outside the drive; the program and DEBUG's drive C: are <top>/PROG.
class DebugSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        // Short, because a DEBUG command line holds at most 79 characters and one test names the path.
        static int serial = 0;
        m_top = fs::temp_directory_path() / ("kdbg" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        fs::remove_all(m_top);
        fs::create_directories(m_top / "PROG");
        std::ofstream(m_top / "VICTIM.TXT", std::ios::binary) << "keep";
        fs::copy_file(std::string(KRVS_TEST_DATA) + "/corpus/HELLOCOM/expected.com", drive() / "HELLO.COM");
    }
    void TearDown() override { fs::remove_all(m_top); }
    fs::path drive() const { return m_top / "PROG"; }

    fs::path m_top;
};

struct EscapeCase {
    const char* name;
    std::string script;  // {victim} stands for the absolute host path of the file outside
    const char* reply;   // what DEBUG answers instead
};

TEST_F(DebugSandbox, FileCommandsNeverReachOutsideTheDrive) {
    fs::create_symlink(m_top / "VICTIM.TXT", drive() / "LINK.TXT");
    const EscapeCase cases[] = {
        {"relative host path, W", "n ../victim.txt\rr cx\r4\rw\r", "File creation error"},
        {"DOS parent, W", "n ..\\victim.txt\rr cx\r4\rw\r", "File creation error"},
        {"DOS parent of a new name, W", "n ..\\x\rr cx\r4\rw\r", "File creation error"},
        {"absolute host path, L", "n {victim}\rl\rd 100 L 4\r", "File not found"},
        {"link to the outside, L", "n link.txt\rl\rd 100 L 4\r", "Access denied"},
        {"link to the outside, W", "n link.txt\rr cx\r4\rw\r", "Access denied"},
    };
    for (const EscapeCase& c : cases) {
        std::string script = c.script + "q\r";
        if (auto at = script.find("{victim}"); at != std::string::npos)
            script.replace(at, 8, (m_top / "VICTIM.TXT").string());
        const ProcessRun r = runDebugExe({}, script, drive().string());
        EXPECT_NE(r.output.find(std::string(c.reply) + "\r\n"), std::string::npos) << c.name << "\n" << r.output;
        EXPECT_EQ(r.output.find("6B 65 65 70"), std::string::npos) << c.name << ": the outside file was read";
        EXPECT_EQ(readText(m_top / "VICTIM.TXT"), "keep") << c.name;
        EXPECT_EQ(namesIn(m_top), (std::set<std::string>{"PROG", "VICTIM.TXT"})) << c.name;
        EXPECT_EQ(namesIn(drive()), (std::set<std::string>{"HELLO.COM", "LINK.TXT"})) << c.name;
        EXPECT_TRUE(fs::is_symlink(drive() / "LINK.TXT")) << c.name;
    }
}

TEST_F(DebugSandbox, TheProgramsOwnDirectoryIsDriveC) {
    fs::create_directories(m_top / "ELSE");
    const ProcessRun r =
        runDebugExe({(drive() / "HELLO.COM").string()}, "n out.bin\rr cx\r2\rw\rq\r", (m_top / "ELSE").string());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(fs::exists(drive() / "OUT.BIN")) << r.output;
    EXPECT_TRUE(fs::is_empty(m_top / "ELSE"));
}

TEST_F(DebugSandbox, AProgramThatCannotBeLoadedIsReportedAndGivesAnExitCode) {
    const fs::path big = drive() / "BIG.BIN";
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, 2 * 1024 * 1024);  // sparse: larger than conventional memory
    struct Case {
        std::string program;
        const char* reply;
    };
    const Case cases[] = {
        {"/dev/zero", "Insufficient memory"},
        {big.string(), "Insufficient memory"},
        {(drive() / "NOPE.EXE").string(), "File not found"},
        {m_top.string(), "File not found"},  // a directory
    };
    for (const Case& c : cases) {
        const ProcessRun r = runDebugExe({c.program}, "r\rq\r");
        // The message, then the session goes on as the classic DEBUG's does; the exit code tells.
        EXPECT_EQ(r.output.substr(0, r.output.find("\r\n") + 2), std::string(c.reply) + "\r\n") << c.program << r.output;
        EXPECT_NE(r.output.find("IP=0100"), std::string::npos) << c.program;
        EXPECT_EQ(r.exitCode, 1) << c.program;
    }
    // L of such a file inside a session is refused the same way.
    const ProcessRun r = runDebugExe({}, "n big.bin\rl\rq\r", drive().string());
    EXPECT_NE(r.output.find("-l\r\r\nInsufficient memory\r\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
}  // namespace krvs::debug::test
