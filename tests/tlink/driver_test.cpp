// TLink.Exe end to end on real files: TLink.CFG lookup, DOS-style names, outputs and exit codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "helpers.h"
#include "tlink/dospath.h"
#include "tlink/driver.h"

namespace krvs::tlink::test {
namespace {

namespace fs = std::filesystem;

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::path(::testing::TempDir()) /
                 ("tlink_driver_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "src");
        fs::create_directories(m_root / "Bin");
        writeObject("hello.obj", World::moduleA({}));
        writeObject("lib.obj", World::moduleB());
    }
    void TearDown() override { fs::remove_all(m_root); }

    void writeObject(const std::string& name, const omf::ObjectWriter& w) {
        Bytes b = w.build();
        writeBytes(src() / name, std::string(b.begin(), b.end()));
    }
    fs::path src() const { return m_root / "src"; }
    fs::path bin() const { return m_root / "Bin"; }

    int run(const std::vector<std::string>& args) {
        m_out.str("");
        return runTool(args, src(), bin(), m_out);
    }
    std::string output() const { return m_out.str(); }

    fs::path m_root;
    std::ostringstream m_out;
};

TEST_F(DriverTest, IdeConfigInToolDirectoryNamesAllFiles) {
    std::string base = (src() / "HELLO").string();
    writeBytes(bin() / "TLink.CFG", "/m /l /s " + base + ".Obj," + base + ".Exe," + base + ".Map,,\r\n");
    // The object on disk is hello.obj; the configuration says HELLO.Obj. Module B is missing from the CFG.
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(output().find("Error: Undefined symbol FARPROC in module a.asm"), std::string::npos) << output();

    writeBytes(bin() / "TLink.CFG", "/m /l /s " + base + ".Obj " + (src() / "LIB").string() + "," + base + ".Exe," +
                                        base + ".Map,,\r\n");
    EXPECT_EQ(run({}), 0) << output();
    EXPECT_TRUE(fs::exists(src() / "HELLO.Exe"));
    EXPECT_TRUE(fs::exists(src() / "HELLO.Map"));
    EXPECT_EQ(output().substr(0, output().find("\r\n")), kBanner);
    EXPECT_EQ(output(), std::string(kBanner) + "\r\n");
    std::string map = readText(src() / "HELLO.Map");
    EXPECT_NE(map.find("Publics by Name"), std::string::npos);
}

// The build driver writes the settings' option string glued, then the absolute names; the tool runs with
// no arguments. Each variant the settings dialog can write must link and give a map with publics.
TEST_F(DriverTest, IdeOptionStringsInConfigLink) {
    std::string base = (src() / "HELLO").string();
    std::string objects = base + ".Obj " + (src() / "LIB").string();
    for (const char* options : {"/v/m/M/l/s", "/m/M/l/s", "/v /m /M /l /s", "/v/m/M/l/s /3/n/d"}) {
        writeBytes(bin() / "TLink.CFG", std::string(options) + " " + objects + "," + base + ".Exe," + base + ".Map,,\r\n");
        EXPECT_EQ(run({}), 0) << options << "\n" << output();
        EXPECT_NE(readText(src() / "HELLO.Map").find("Publics by Name"), std::string::npos) << options;
        fs::remove(src() / "HELLO.Map");
    }
}

TEST_F(DriverTest, HelpSaysWhatEachOptionDoes) {
    EXPECT_EQ(run({}), 0);  // no arguments and no TLink.CFG: the usage text
    for (const char* line : {"  /M  map file with publics (as /m)\r\n",
                             "  /3  32-bit records: accepted; both record widths are always read\r\n",
                             "  /n  no default libraries: accepted; no library is ever searched\r\n",
                             "  /d  warn on duplicates in libraries: accepted; libraries are not supported\r\n"})
        EXPECT_NE(output().find(line), std::string::npos) << line << output();
    EXPECT_EQ(run({"/?"}), 0);
    EXPECT_NE(output().find("Syntax: TLINK objfiles"), std::string::npos);
    // With a TLink.CFG that names no object the IDE must still see the failure.
    writeBytes(bin() / "TLink.CFG", "/m\r\n");
    EXPECT_EQ(run({}), 2);
    EXPECT_NE(output().find("Fatal: No object files specified"), std::string::npos);
}

TEST_F(DriverTest, CurrentDirectoryConfigComesFirst) {
    writeBytes(bin() / "TLink.CFG", "/m");
    writeBytes(src() / "tlink.cfg", "/x");
    EXPECT_EQ(run({"hello", "lib"}), 0) << output();
    EXPECT_TRUE(fs::exists(src() / "hello.exe"));
    EXPECT_FALSE(fs::exists(src() / "hello.map"));
}

TEST_F(DriverTest, ExistingFileDifferingInCaseIsOverwritten) {
    writeBytes(src() / "PROG.EXE", "old");
    EXPECT_EQ(run({"hello+lib,prog"}), 0) << output();
    EXPECT_FALSE(fs::exists(src() / "prog.exe"));
    EXPECT_EQ(readBytes(src() / "PROG.EXE").size(), 0x20u + 0x68u);  // no relocations: a two-paragraph header
    EXPECT_EQ(resolveDosPath("Prog.Exe", src()), src() / "PROG.EXE");
}

TEST_F(DriverTest, ErrorsLeaveNoProgram) {
    writeBytes(src() / "hello.exe", "stale program");
    EXPECT_EQ(run({"hello"}), 1);
    EXPECT_FALSE(fs::exists(src() / "hello.exe"));
    EXPECT_NE(output().find("Error: Undefined symbol VAR in module a.asm\r\n"), std::string::npos);
    EXPECT_NE(readText(src() / "hello.map").find("Error: Undefined symbol VAR in module a.asm\r\n"), std::string::npos);
}

TEST_F(DriverTest, FatalConditions) {
    EXPECT_EQ(run({"nothere"}), 2);
    EXPECT_NE(output().find("Fatal: Unable to open file 'nothere.obj'\r\n"), std::string::npos);
    EXPECT_EQ(run({"/q", "hello"}), 2);
    EXPECT_NE(output().find("Fatal: Unknown option /q"), std::string::npos);
    writeBytes(src() / "bad.obj", std::string("\x80\x03\x00\x01X\x01", 6));
    EXPECT_EQ(run({"bad"}), 2);
    EXPECT_NE(output().find("Fatal: Bad object file bad.obj: bad checksum"), std::string::npos) << output();
    EXPECT_FALSE(fs::exists(src() / "bad.exe"));
    EXPECT_FALSE(fs::exists(src() / "bad.map"));
}

TEST_F(DriverTest, ResponseFileInCurrentDirectory) {
    writeBytes(src() / "LINK.RSP", "/m hello +\r\nlib\r\nout\r\n");
    EXPECT_EQ(run({"@link.rsp"}), 0) << output();
    EXPECT_TRUE(fs::exists(src() / "out.exe"));
    EXPECT_NE(readText(src() / "out.map").find("Publics by Value"), std::string::npos);
}

TEST_F(DriverTest, ToolBinaryExitCodes) {
    fs::path tool = fs::path(KRVS_TOOLS_DIR) / "TLink.Exe";
    if (!fs::exists(tool)) GTEST_SKIP() << "TLink.Exe not built";
    auto shell = [&](const std::string& args) {
        std::string command = "cd '" + src().string() + "' && '" + tool.string() + "' " + args + " > out.txt 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(shell("/t hello lib"), 2);
    EXPECT_NE(readText(src() / "out.txt").find("Fatal: Cannot generate COM file : stack segment present"), std::string::npos);
    EXPECT_EQ(shell("hello lib"), 0);
    EXPECT_TRUE(fs::exists(src() / "hello.exe"));
    EXPECT_EQ(shell("/v/m/M/l/s hello lib"), 0) << readText(src() / "out.txt");
    EXPECT_EQ(shell("/M hello lib"), 0) << readText(src() / "out.txt");
}

}  // namespace
}  // namespace krvs::tlink::test
