// The assembler against the classic assembler's own output, copied byte for byte into
// tests/data/tasm/classic: the diagnostic lines, the messages for typical student mistakes, a run
// with one error, and listing lines. (Examples taken from the classic assembler's output; unlike the
// golden folders, none of these files was written by this assembler.)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "object_dump.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

namespace fs = std::filesystem;

std::string classicDir() { return std::string(KRVS_TEST_DATA) + "/tasm/classic"; }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
    }
    return out;
}

std::string unescape(std::string s) {
    for (size_t at; (at = s.find("\\n")) != std::string::npos;) s.replace(at, 2, 1, '\n');
    return s;
}

TEST(TasmClassic, DiagnosticLinesHaveTheClassicForm) {
    std::vector<std::string> want = linesOf(test::readText(classicDir() + "/diagnostics.txt"));
    ASSERT_EQ(want.size(), 4u);
    // The formatter alone, for each kind of line.
    Diagnostic undefined{Severity::Error, "FILE.ASM", 12, "", 0, "Undefined symbol: X"};
    Diagnostic warning{Severity::Warning, "FILE.ASM", 7, "", 0, "Argument needs type override"};
    Diagnostic fatal{Severity::Fatal, "", 0, "", 0, "Bad switch: /k"};
    Diagnostic inMacro{Severity::Error, "FILE.ASM", 40, "MYMACRO", 3, "Operand types do not match"};
    EXPECT_EQ(formatDiagnostic(undefined), want[0]);
    EXPECT_EQ(formatDiagnostic(warning), want[1]);
    EXPECT_EQ(formatDiagnostic(fatal), want[2]);
    EXPECT_EQ(formatDiagnostic(inMacro), want[3]);

    // And from a source that makes the first and the last of them.
    std::string src;
    for (int i = 1; i < 12; ++i) src += i == 1 ? "c segment\n" : i == 2 ? " assume cs:c\n" : "\n";
    src += " mov ax, x\n";                      // line 12
    src += "mymacro macro\n\n\n mov ax, bl\n endm\n";  // lines 13-17, the MOV on the macro's line 3
    while (std::count(src.begin(), src.end(), '\n') < 39) src += "\n";
    src += " mymacro\nc ends\nend\n";              // line 40
    AssemblyResult r = assemble("FILE.ASM", src, Options{}, nullptr);
    ASSERT_EQ(r.diagnostics.size(), 2u);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), want[0]);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[1]), want[3]);
}

TEST(TasmClassic, TypicalMistakesGetTheClassicMessages) {
    std::ifstream in(classicDir() + "/mistakes.txt");
    int cases = 0;
    for (std::string row; std::getline(in, row);) {
        if (row.empty() || row[0] == '#') continue;
        size_t tab1 = row.find('\t'), tab2 = row.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << row;
        std::string body = unescape(row.substr(0, tab1));
        bool exact = row.substr(tab1 + 1, tab2 - tab1 - 1) == "=";
        std::string message = row.substr(tab2 + 1);
        std::string src = body[0] == '!' ? body.substr(1)
                                         : "c segment\n assume cs:c, ds:c\nbytevar db 0\n" + body + "\nc ends\nend\n";
        AssemblyResult r = assemble("T.ASM", src, Options{}, nullptr);
        ASSERT_FALSE(r.diagnostics.empty()) << body;
        const std::string& got = r.diagnostics[0].message;
        if (exact) EXPECT_EQ(got, message) << body;
        else EXPECT_EQ(got.substr(0, message.size()), message) << body;
        ++cases;
    }
    EXPECT_GT(cases, 0) << "mistakes.txt has no cases";
}

TEST(TasmClassic, ARunWithOneErrorPrintsTheClassicLines) {
    fs::path dir = fs::temp_directory_path() / ("tasm_classic_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string src = "c segment\n";
    for (int i = 2; i < 14; ++i) src += "\n";
    src += " movv ax, bx\nc ends\nend\n";  // line 14
    std::ofstream(dir / "test.asm", std::ios::binary) << src;
    std::string cmd = "cd '" + dir.string() + "' && '" + std::string(KRVS_TOOLS_DIR) + "/TASM.Exe' test.asm 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
    fs::remove_all(dir);
    // The banner carries this assembler's own name, and it always runs at least two passes; the
    // lines between them are the classic ones.
    std::string want;
    for (const std::string& l : linesOf(test::readText(classicDir() + "/one-error.txt"))) want += l + "\r\n";
    EXPECT_NE(out.find(want), std::string::npos) << out;
}

TEST(TasmClassic, ListingLinesMatchTheClassicListing) {
    Options o;
    o.listing = true;
    AssemblyResult r = assemble("HELLO.ASM", test::readText(classicDir() + "/HELLO.ASM"), o, nullptr);
    ASSERT_EQ(r.errorCount, 0);
    std::vector<std::string> got = linesOf(r.listing);
    for (const std::string& want : linesOf(test::readText(classicDir() + "/hello-excerpt.lst")))
        EXPECT_NE(std::find(got.begin(), got.end(), want), got.end()) << "missing listing line: " << want;
}

}  // namespace
}  // namespace krvs::tasm
