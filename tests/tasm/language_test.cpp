// The assembler language piece by piece: expression values, instruction forms with their implied
// segment overrides, jump sizing, the one-line assembler, switches and the listing's entab step.

#include <gtest/gtest.h>

#include <cstdio>

#include "case_name.h"
#include "listing.h"
#include "object_dump.h"
#include "options.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

// Assembles `body` inside one segment (with an ASSUME of CS and DS to it) and returns the bytes of
// that segment as hex, or the first diagnostic.
std::string assembleBody(const std::string& body, const std::string& before = "") {
    std::string src = before + "s segment\n assume cs:s, ds:s\n" + body + "\ns ends\n end\n";
    AssemblyResult r = assemble("T.ASM", src, Options{}, nullptr);
    if (!r.diagnostics.empty()) return formatDiagnostic(r.diagnostics[0]);
    auto m = test::readModule(r.object);
    if (!m) return "unreadable object";
    test::Layout l = test::layOut(*m);
    std::string hex;
    for (std::uint8_t b : l.image) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

struct ExprCase {
    const char* expr;
    const char* hex;  // the word, low byte first
};
const char* textOf(const ExprCase& c) { return c.expr; }
void PrintTo(const ExprCase& c, std::ostream* os) { *os << c.expr; }

class TasmExpression : public ::testing::TestWithParam<ExprCase> {};

TEST_P(TasmExpression, Evaluates) {
    // w and arr follow the word under test, so some cases are forward references.
    std::string image = assembleBody(std::string(" dw ") + GetParam().expr + "\nw dw 0\narr dw 4 dup(0)");
    EXPECT_EQ(image.substr(0, 4), GetParam().hex) << GetParam().expr << ": " << image;
}

INSTANTIATE_TEST_SUITE_P(Values, TasmExpression, ::testing::Values(
    ExprCase{"1 + 2 * 3", "0700"}, ExprCase{"(1 + 2) * 3", "0900"}, ExprCase{"-1", "FFFF"},
    ExprCase{"17 / 5", "0300"}, ExprCase{"17 mod 5", "0200"}, ExprCase{"1 shl 4 + 1", "1100"},
    ExprCase{"0F0h shr 4", "0F00"}, ExprCase{"not 0", "FFFF"}, ExprCase{"0Fh and 3 or 8", "0B00"},
    ExprCase{"5 xor 1", "0400"}, ExprCase{"3 eq 3", "FFFF"}, ExprCase{"3 ne 3", "0000"},
    ExprCase{"2 lt 3", "FFFF"}, ExprCase{"2 ge 3", "0000"}, ExprCase{"high 1234h", "1200"},
    ExprCase{"low 1234h", "3400"}, ExprCase{"101b", "0500"}, ExprCase{"17o + 17q", "1E00"},
    ExprCase{"99d", "6300"}, ExprCase{"'AB'", "4241"}, ExprCase{"'a'", "6100"},
    ExprCase{"$ + 2", "0200"}, ExprCase{"type w", "0200"}, ExprCase{"size arr", "0800"},
    ExprCase{"length arr", "0400"}, ExprCase{"offset w", "0200"}), test::CaseNamer());

TEST(TasmExpression, ForwardSymbolsAndRadix) {
    // The word at 0 refers to a later label; .RADIX 16 makes plain numbers hexadecimal.
    EXPECT_EQ(assembleBody(" dw later\n .radix 16\n dw 10\nlater db 0"), "04001000" "00");
    EXPECT_EQ(assembleBody(" dw 12h + 1 ; comment"), "1300");
}

struct CodeCase {
    const char* body;
    const char* hex;
};
const char* textOf(const CodeCase& c) { return c.body; }
void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.body; }

class TasmInstruction : public ::testing::TestWithParam<CodeCase> {};

TEST_P(TasmInstruction, Encodes) { EXPECT_EQ(assembleBody(GetParam().body), GetParam().hex) << GetParam().body; }

INSTANTIATE_TEST_SUITE_P(Forms, TasmInstruction, ::testing::Values(
    CodeCase{" mov ax, bx", "8BC3"},
    CodeCase{" mov al, [bx+si+4]", "8A4004"},
    CodeCase{" mov ax, es:[di]", "268B05"},
    CodeCase{" mov ax, [bp+2]", "8B4602"},
    CodeCase{" add si, 2", "83C602"},
    CodeCase{" rep movsb", "F3A4"},
    CodeCase{" mov word ptr [bx], 1", "C7070100"},
    CodeCase{" inc byte ptr [si]", "FE04"},
    CodeCase{"v dw 5\n mov ax, v", "0500A10000"},
    CodeCase{"v dw 5\n mov v, 3", "0500C70600000300"},
    CodeCase{"v dw 1, 2\n mov ax, v[si]", "010002008B840000"},
    CodeCase{"p proc far\n ret\np endp", "CB"},
    CodeCase{"p proc near\n ret 2\np endp", "C20200"},
    CodeCase{"a: jmp a", "EBFE"},
    CodeCase{" jmp short b\n nop\nb: nop", "EB019090"},
    CodeCase{" jmp b\n db 127 dup(0)\nb: nop", "EB7F" "0000000000000000000000000000000000000000000000000000000000000000"
                                              "0000000000000000000000000000000000000000000000000000000000000000"
                                              "0000000000000000000000000000000000000000000000000000000000000000"
                                              "00000000000000000000000000000000000000000000000000000000000000" "90"},
    CodeCase{"s2 equ 300h\n mov dx, s2\n out dx, al", "BA0003EE"},
    CodeCase{" mov ax, seg s", "B80000"},
    CodeCase{" xchg ax, bx", "93"},
    CodeCase{" int 21h", "CD21"}), test::CaseNamer());

TEST(TasmJumps, ForwardJumpGrowsOnlyWhenTheTargetIsOutOfReach) {
    // 128 bytes between: the short form no longer reaches, so the jump takes three bytes.
    std::string far = assembleBody(" jmp b\n db 128 dup(0)\nb: nop");
    EXPECT_EQ(far.substr(0, 6), "E98000");
    EXPECT_EQ(far.size(), (3 + 128 + 1) * 2u);
}

TEST(TasmJumps, ConditionalJumpOutOfRangeNamesTheExcess) {
    EXPECT_EQ(assembleBody(" jz b\n db 130 dup(0)\nb: nop"), "**Error** T.ASM(3) Relative jump out of range by 0003h bytes");
    std::string back = assembleBody("b: db 126 dup(0)\n jz b");  // -128: just within reach
    EXPECT_EQ(back.substr(back.size() - 4), "7480");
}

TEST(TasmSegments, AssumeSelectsTheOverridePrefix) {
    std::string src =
        "d1 segment\nx dw 1\nd1 ends\n"
        "d2 segment\ny dw 2\nd2 ends\n"
        "c segment\n assume cs:c, ds:d1, es:d2\n mov ax, x\n mov ax, y\n assume es:nothing\n mov ax, y\nc ends\n end\n";
    AssemblyResult r = assemble("S.ASM", src, Options{}, nullptr);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), "**Error** S.ASM(12) Can't address with currently ASSUMEd segment registers");
    std::string ok = src;
    ok.replace(ok.find(" assume es:nothing\n mov ax, y\n"), 30, "");
    r = assemble("S.ASM", ok, Options{}, nullptr);
    ASSERT_TRUE(r.diagnostics.empty());
    auto m = test::readModule(r.object);
    ASSERT_TRUE(m);
    const omf::DataRecord& code = m->data.back();
    EXPECT_EQ(code.bytes, (std::vector<std::uint8_t>{0xA1, 0, 0, 0x26, 0xA1, 0, 0}));
    ASSERT_EQ(code.fixups.size(), 2u);
    EXPECT_EQ(code.fixups[1].offset, 5u);
}

struct LineCase {
    const char* text;
    std::uint16_t offset;
    const char* hex;  // empty: an error is expected
    int errorColumn;
};
const char* textOf(const LineCase& c) { return c.text; }
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.text; }

class TasmLineAssembler : public ::testing::TestWithParam<LineCase> {};

TEST_P(TasmLineAssembler, AssemblesOneLine) {
    const LineCase& c = GetParam();
    LineAssembly r = assembleLine(c.text, c.offset);
    std::string hex;
    for (std::uint8_t b : r.bytes) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    EXPECT_EQ(hex, c.hex) << c.text << " " << r.message;
    EXPECT_EQ(r.errorColumn, c.errorColumn) << c.text;
}

INSTANTIATE_TEST_SUITE_P(DebugA, TasmLineAssembler, ::testing::Values(
    LineCase{"mov ax,1234", 0x100, "B83412", -1},
    LineCase{"jmp 120", 0x100, "EB1E", -1},
    LineCase{"jz 100", 0x100, "74FE", -1},
    LineCase{"mov [1000],al", 0x100, "A20010", -1},
    LineCase{"int 21", 0x100, "CD21", -1},
    LineCase{"db 1,2,'A'", 0x100, "010241", -1},
    LineCase{"call 200", 0x100, "E8FD00", -1},
    LineCase{"mov ax,bl", 0x100, "", 0},
    LineCase{"mov ax,[bx", 0x100, "", 0},
    LineCase{"nosuch ax", 0x100, "", 0}), test::CaseNamer());

struct SwitchCase {
    const char* words;
    bool ok;
    std::string (*check)(const CommandLine&);
};

TEST(TasmSwitches, ParsesConfigurationAndCommandLine) {
    CommandLine cl;
    std::string err;
    ASSERT_TRUE(parseWords(splitWords("-la-zi-q-t-mx\n/w0 /iINC /dDEBUG=3 /m4 T, T, T,"), cl, err)) << err;
    EXPECT_TRUE(cl.options.listing && cl.options.listingAll && cl.options.lineNumbers && cl.options.quiet && cl.options.terse);
    EXPECT_EQ(cl.options.caseMode, CaseMode::Globals);
    EXPECT_EQ(cl.options.warnLevel, 0);
    EXPECT_EQ(cl.options.maxPasses, 4);
    ASSERT_EQ(cl.options.includeDirs, std::vector<std::string>{"INC"});
    ASSERT_EQ(cl.options.defines.size(), 1u);
    EXPECT_EQ(cl.options.defines[0].second, "3");
    EXPECT_EQ(cl.source, "T");
    EXPECT_EQ(cl.object, "T");
    EXPECT_EQ(cl.listing, "T");
    EXPECT_TRUE(cl.listingNamed);

    // Later words win; an unknown switch is fatal.
    ASSERT_TRUE(parseWords(splitWords("/ml /mu /l a.asm"), cl, err));
    EXPECT_EQ(cl.options.caseMode, CaseMode::Upper);
    EXPECT_FALSE(parseWords(splitWords("/k"), cl, err));
    EXPECT_EQ(err, "Bad switch: /k");
    EXPECT_FALSE(parseWords(splitWords("a,b,c,d,e"), cl, err));
    EXPECT_EQ(err, "Invalid command line");
    // An absolute POSIX path is a file name, not a switch, when the caller says so.
    CommandLine p;
    ASSERT_TRUE(parseWords(splitWords("/zi /tmp/T, /tmp/T, /tmp/T,"), p, err,
                           [](const std::string& w) { return w.rfind("/tmp/", 0) == 0; }));
    EXPECT_EQ(p.source, "/tmp/T");
    EXPECT_TRUE(p.options.lineNumbers);
}

TEST(TasmListing, EntabReplacesRunsThatReachATabStop) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Symbol Name                       Type   Value", "Symbol Name\t\t\t  Type\t Value"},
        {"        x", "\tx"},
        {"       x", "       x"},
        {"abc", "abc"},
        {"1234567 x", "1234567\tx"},
        {"a b  ", "a b"},
        {"'a      b'", "'a\tb'"},
    };
    for (const Case& c : cases) EXPECT_EQ(entab(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace krvs::tasm

namespace krvs::tasm {
namespace {

TEST(TasmLineNumbers, CoverInstructionLinesOnly) {
    // The debugger maps offsets back to lines, so data lines must not compete with code lines.
    Options o;
    o.lineNumbers = true;
    std::string src = "c segment\n assume cs:c\nstart: nop\nm macro\n inc ax\n inc bx\n endm\n m\nv db 1\n dw 2\n ret\nc ends\n end start\n";
    AssemblyResult r = assemble("L.ASM", src, o, nullptr);
    ASSERT_TRUE(r.diagnostics.empty());
    auto m = test::readModule(r.object);
    ASSERT_TRUE(m);
    std::vector<std::pair<int, std::uint32_t>> lines;
    for (const omf::LineRecord& rec : m->lines)
        for (const omf::LineEntry& e : rec.entries) lines.emplace_back(e.line, e.offset);
    EXPECT_EQ(lines, (std::vector<std::pair<int, std::uint32_t>>{{3, 0}, {8, 1}, {11, 6}}));
}

}  // namespace
}  // namespace krvs::tasm
