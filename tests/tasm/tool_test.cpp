// TASM.Exe as the IDE drives it: a copy of the tool with its own TASM.CFG in a scratch directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "object_dump.h"
#include "options.h"

namespace krvs::tasm {
namespace {

namespace fs = std::filesystem;

class TasmTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tasm_tool_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "Bin");
        fs::create_directories(m_dir / "src");
        fs::copy_file(fs::path(KRVS_TOOLS_DIR) / "TASM.Exe", m_dir / "Bin" / "TASM.Exe");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

    // Runs the tool (Bin/TASM.Exe unless `tool` names another path) with `args` in src/ and returns
    // its output; `rc` gets the exit code.
    std::string run(int& rc, const std::string& tool = "", const std::string& args = "") {
        std::string exe = tool.empty() ? (m_dir / "Bin" / "TASM.Exe").string() : tool;
        std::string cmd = "cd '" + (m_dir / "src").string() + "' && '" + exe + "' " + args + " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        int status = pclose(p);
        rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return out;
    }

    fs::path m_dir;
};

TEST_F(TasmTool, ReadsItsConfigurationAndWritesObjectAndListingBesideTheSource) {
    std::string base = (m_dir / "src" / "HELLO").string();
    write(m_dir / "Bin" / "TASM.CFG", "/zi /la " + base + ", " + base + ", " + base + ",");
    write(m_dir / "src" / "hello.asm", "code segment\nassume cs:code\nstart: mov ah, 4Ch\n int 21h\ncode ends\nend start\n");
    write(m_dir / "src" / "HELLO.obj", "stale");  // found case-insensitively and replaced
    int rc = 0;
    std::string out = run(rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("Assembling file:   " + base + ".ASM\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error messages:    None\r\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(m_dir / "src" / "HELLO.obj"));
    EXPECT_FALSE(fs::exists(m_dir / "src" / "HELLO.OBJ"));
    std::string obj = test::readText((m_dir / "src" / "HELLO.obj").string());
    auto m = test::readModule(std::vector<std::uint8_t>(obj.begin(), obj.end()));
    ASSERT_TRUE(m);
    ASSERT_FALSE(m->lines.empty()) << "/zi asks for line numbers";
    EXPECT_EQ(m->lines[0].entries[0].line, 3);
    std::string lst = test::readText((m_dir / "src" / "HELLO.LST").string());
    // The exact bytes the IDE's listing reader looks for.
    EXPECT_NE(lst.find("Symbol Name\t\tType   Value\r\n"), std::string::npos);
    EXPECT_NE(lst.find("START\t\t\tNear   CODE:0000\r\n"), std::string::npos) << lst;
    EXPECT_NE(lst.find("Groups & Segments\tBit Size Align"), std::string::npos);
}

TEST_F(TasmTool, ErrorsGiveTheClassicLinesNoObjectAndAFailingExitCode) {
    std::string base = (m_dir / "src" / "T").string();
    write(m_dir / "Bin" / "TASM.CFG", base + ", " + base + ", " + base + ",");
    write(m_dir / "src" / "T.ASM", "code segment\nassume cs:code\n mov ax, msgg\n push 1234h\n mov [bx], 1\ncode ends\nend\n");
    write(m_dir / "src" / "T.OBJ", "stale");
    int rc = 0;
    std::string out = run(rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("**Error** " + base + ".ASM(3) Undefined symbol: MSGG\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("**Error** " + base + ".ASM(4) Illegal instruction for currently selected processor(s)\r\n"), std::string::npos);
    EXPECT_NE(out.find("**Error** " + base + ".ASM(5) Argument needs type override\r\n"), std::string::npos);
    EXPECT_NE(out.find("Error messages:    3\r\nWarning messages:  None\r\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir / "src" / "T.OBJ")) << "a stale object must not survive a failed build";
}

TEST_F(TasmTool, SlashZShowsTheSourceLineBeforeItsMessage) {
    write(m_dir / "Bin" / "TASM.CFG", "/z /t bad");
    write(m_dir / "src" / "BAD.ASM", "c segment\n  mov ax, bl\nc ends\nend\n");
    int rc = 0;
    std::string out = run(rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("  mov ax, bl\r\n**Error** bad.ASM(2) Operand types do not match\r\n"), std::string::npos) << out;
}

TEST_F(TasmTool, AnOutputNamedLikeAnInputIsRefusedAndTouchesNothing) {
    const std::string source = "c segment\n mov ax, bl\n include DEFS.INC\nc ends\nend\n";
    write(m_dir / "src" / "BAD.ASM", source);
    write(m_dir / "src" / "DEFS.INC", "x equ 1\n");
    struct Case {
        const char* cfg;
        const char* message;
    } cases[] = {
        {"BAD.ASM, BAD.ASM", "**Fatal** Output file name is the name of an input file: BAD.ASM\r\n"},
        {"bad.asm, Bad.Asm", "**Fatal** Output file name is the name of an input file: Bad.Asm\r\n"},
        {"/l BAD, BAD.OBJ, BAD.ASM", "**Fatal** Output file name is the name of an input file: BAD.ASM\r\n"},
        {"BAD, DEFS.INC", "**Fatal** Output file name is the name of an input file: DEFS.INC\r\n"},
        {"BAD, X.OBJ, X.OBJ", "**Fatal** Object and listing file have the same name: X.OBJ\r\n"},
    };
    for (const Case& c : cases) {
        write(m_dir / "Bin" / "TASM.CFG", c.cfg);
        int rc = 0;
        std::string out = run(rc);
        EXPECT_EQ(rc, 2) << c.cfg;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.cfg << "\n" << out;
        EXPECT_EQ(test::readText((m_dir / "src" / "BAD.ASM").string()), source) << c.cfg;
        EXPECT_EQ(test::readText((m_dir / "src" / "DEFS.INC").string()), "x equ 1\n") << c.cfg;
        EXPECT_FALSE(fs::exists(m_dir / "src" / "X.OBJ"));
    }
}

// The object goes through a temporary file: nothing of it is left where it could not be put, and a
// good build leaves only the object.
TEST_F(TasmTool, TheObjectIsPutInPlaceWholeOrNotAtAll) {
    const std::string good = "c segment\nassume cs:c\ns: mov ax, 1\nc ends\nend s\n";
    write(m_dir / "src" / "GOOD.ASM", good);
    write(m_dir / "Bin" / "TASM.CFG", "GOOD, NODIR/GOOD.OBJ");
    int rc = 0;
    std::string out = run(rc);
    EXPECT_EQ(rc, 2);
    EXPECT_NE(out.find("**Fatal** Can't write object file: NODIR/GOOD.OBJ\r\n"), std::string::npos) << out;

    write(m_dir / "Bin" / "TASM.CFG", "GOOD");
    write(m_dir / "src" / "GOOD.OBJ", "stale");
    out = run(rc);
    EXPECT_EQ(rc, 0) << out;
    std::string obj = test::readText((m_dir / "src" / "GOOD.OBJ").string());
    EXPECT_TRUE(test::readModule(std::vector<std::uint8_t>(obj.begin(), obj.end())));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir / "src")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"GOOD.ASM", "GOOD.OBJ"}));

}

// A program for the 80286 as a course writes it: assembled, linked and run on the emulated PC.
TEST_F(TasmTool, A286ProgramBuildsAndRunsOnThePc) {
    write(m_dir / "src" / "P286.ASM",
          ".286\ndata segment\nmsg db 'result: $'\ndata ends\nstack segment stack\n dw 64 dup (?)\nstack ends\n"
          "code segment\nassume cs:code, ds:data, ss:stack\nstart: mov ax, data\n mov ds, ax\n"
          " push 1234h\n pop ax\n shl ax, 4\n pusha\n mov dx, offset msg\n mov ah, 9\n int 21h\n popa\n"
          " mov bx, ax\n mov cx, 4\nnext: rol bx, 4\n mov dl, bl\n and dl, 0Fh\n add dl, '0'\n cmp dl, '9'\n"
          " jbe digit\n add dl, 7\ndigit: mov ah, 2\n int 21h\n loop next\n mov ax, 4C00h\n int 21h\n"
          "code ends\nend start\n");
    const std::string tools = KRVS_TOOLS_DIR;
    int rc = 0;
    std::string out = run(rc, tools + "/TASM.Exe", "/t P286.ASM");
    ASSERT_EQ(rc, 0) << out;
    out = run(rc, tools + "/TLink.Exe", "P286");
    ASSERT_EQ(rc, 0) << out;
    out = run(rc, tools + "/krvscmd", "/c P286.EXE");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "result: 2340");  // 1234h pushed as an immediate, shifted left by 4
}

TEST_F(TasmTool, UnknownSwitchIsFatal) {
    write(m_dir / "Bin" / "TASM.CFG", "/k x");
    int rc = 0;
    std::string out = run(rc);
    EXPECT_NE(rc, 0);
    EXPECT_NE(out.find("**Fatal** Bad switch: /k"), std::string::npos) << out;
}

// The program home's Bin/ holds a link to the installed tool and its own TASM.CFG; the installed
// folder has another. The configuration beside the link is the one that counts.
TEST_F(TasmTool, StartedThroughALinkReadsTheConfigurationBesideTheLink) {
    fs::create_directories(m_dir / "home" / "Bin");
    fs::create_symlink(m_dir / "Bin" / "TASM.Exe", m_dir / "home" / "Bin" / "TASM.Exe");
    write(m_dir / "Bin" / "TASM.CFG", "/t INSTALL");
    write(m_dir / "home" / "Bin" / "TASM.CFG", "/t HOME");
    write(m_dir / "src" / "HOME.ASM", "c segment\nc ends\nend\n");
    write(m_dir / "src" / "INSTALL.ASM", "c segment\nc ends\nend\n");
    struct Case {
        std::string tool;
        fs::path made, notMade;
    } cases[] = {
        {(m_dir / "home" / "Bin" / "TASM.Exe").string(), m_dir / "src" / "HOME.OBJ", m_dir / "src" / "INSTALL.OBJ"},
        {"../home/Bin/TASM.Exe", m_dir / "src" / "HOME.OBJ", m_dir / "src" / "INSTALL.OBJ"},
        {(m_dir / "Bin" / "TASM.Exe").string(), m_dir / "src" / "INSTALL.OBJ", m_dir / "src" / "HOME.OBJ"},
    };
    for (const Case& c : cases) {
        fs::remove(m_dir / "src" / "HOME.OBJ");
        fs::remove(m_dir / "src" / "INSTALL.OBJ");
        int rc = 0;
        std::string out = run(rc, c.tool);
        EXPECT_EQ(rc, 0) << c.tool << "\n" << out;
        EXPECT_TRUE(fs::exists(c.made)) << c.tool;
        EXPECT_FALSE(fs::exists(c.notMade)) << c.tool;
    }
}

TEST(TasmConfigDirectory, ComesFromTheStartingPathWithLinksLeftAlone) {
    struct Case {
        const char *argv0, *cwd, *exe, *expected;
    } cases[] = {
        {"/home/u/Korvash/Bin/TASM.Exe", "/tmp", "/opt/korvash/Bin/TASM.Exe", "/home/u/Korvash/Bin"},
        {"Bin/TASM.Exe", "/home/u/Korvash", "/opt/korvash/Bin/TASM.Exe", "/home/u/Korvash/Bin"},
        {"./TASM.Exe", "/home/u/Bin/", "/opt/korvash/Bin/TASM.Exe", "/home/u/Bin/."},
        {"../Bin/TASM.Exe", "/home/u/src", "/opt/x/TASM.Exe", "/home/u/src/../Bin"},
        {"/TASM.Exe", "/tmp", "/opt/x/TASM.Exe", "/"},
        {"TASM.Exe", "/tmp", "/opt/korvash/Bin/TASM.Exe", "/opt/korvash/Bin"},  // found through PATH
        {"TASM.Exe", "/tmp", "", "/tmp"},
    };
    for (const Case& c : cases) EXPECT_EQ(configDirectory(c.argv0, c.cwd, c.exe), c.expected) << c.argv0;
}

}  // namespace
}  // namespace krvs::tasm
