// What textbook programs written for MASM expect of the assembler: processor directives, the
// "[bx].idata" and "-2[bp]" operand spellings, and a constant in brackets being a constant.

#include <gtest/gtest.h>

#include <cstdio>

#include "case_name.h"
#include "object_dump.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

struct Assembled {
    std::string hex;    // the segment's bytes
    std::string diags;  // every diagnostic, one per line
};

Assembled assembleCode(const std::string& body) {
    std::string src = "s segment\n assume cs:s, ds:s\n" + body + "\ns ends\n end\n";
    AssemblyResult r = assemble("T.ASM", src, Options{}, nullptr);
    Assembled a;
    for (const Diagnostic& d : r.diagnostics) a.diags += formatDiagnostic(d) + "\n";
    if (r.object.empty()) return a;
    auto m = test::readModule(r.object);
    if (!m) return a;
    for (std::uint8_t b : test::layOut(*m).image) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        a.hex += buf;
    }
    return a;
}

struct CpuCase {
    const char* directive;
    const char* hex;  // push 1234h / shl ax,4 / pusha
};
const char* textOf(const CpuCase& c) { return c.directive; }
void PrintTo(const CpuCase& c, std::ostream* os) { *os << c.directive; }

class TasmProcessorDirective : public ::testing::TestWithParam<CpuCase> {};

TEST_P(TasmProcessorDirective, EnablesTheProcessorsInstructions) {
    for (const char* indent : {"", "    ", "\t"}) {
        Assembled a = assembleCode(std::string(indent) + GetParam().directive + "\n push 1234h\n shl ax,4\n pusha");
        EXPECT_EQ(a.diags, "") << GetParam().directive;
        EXPECT_EQ(a.hex, GetParam().hex) << GetParam().directive;
    }
}

INSTANTIATE_TEST_SUITE_P(Directives, TasmProcessorDirective, ::testing::Values(
    CpuCase{".186", "683412C1E00460"}, CpuCase{".286", "683412C1E00460"}, CpuCase{".286C", "683412C1E00460"},
    CpuCase{".286P", "683412C1E00460"}, CpuCase{"P186", "683412C1E00460"}, CpuCase{"P286", "683412C1E00460"},
    CpuCase{"P286N", "683412C1E00460"}, CpuCase{"start: .286", "683412C1E00460"}), test::CaseNamer());

TEST(TasmProcessorDirective, EightySixAndCoprocessorDirectivesKeepThe8086) {
    for (const char* d : {".8086", "P8086", ".287", ".8087", "P287", "P8087"}) {
        Assembled a = assembleCode(std::string(" ") + d + "\n nop\n push 1234h");
        EXPECT_EQ(a.diags, "**Error** T.ASM(5) Illegal instruction for currently selected processor(s)\n") << d;
    }
    // Back to the 8086 after a .286.
    EXPECT_NE(assembleCode(".286\n pusha\n.8086\n pusha").diags.find("T.ASM(6) Illegal instruction for currently"),
              std::string::npos);
}

TEST(TasmProcessorDirective, AWordAfterTheDirectiveIsAnError) {
    EXPECT_EQ(assembleCode("P186 db 0").diags, "**Error** T.ASM(3) Extra characters on line\n");
}

TEST(TasmProcessorDirective, The386IsRefusedByName) {
    for (const char* d : {".386", ".386P", "P386"}) {
        Assembled a = assembleCode(std::string(d) + "\n nop");
        EXPECT_EQ(a.diags, std::string("**Error** T.ASM(3) Processor not supported: ") + d +
                               " (this assembler knows the 8086, 80186 and 80286)\n");
    }
}

struct OperandCase {
    const char* body;
    const char* hex;
};
const char* textOf(const OperandCase& c) { return c.body; }
void PrintTo(const OperandCase& c, std::ostream* os) { *os << c.body; }

class TasmMasmOperand : public ::testing::TestWithParam<OperandCase> {};

TEST_P(TasmMasmOperand, Encodes) {
    Assembled a = assembleCode(GetParam().body);
    EXPECT_EQ(a.diags, "") << GetParam().body;
    EXPECT_EQ(a.hex, GetParam().hex) << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(Spellings, TasmMasmOperand, ::testing::Values(
    OperandCase{" mov ax,[bx].0ch", "8B470C"},
    OperandCase{" mov byte ptr [bx].10h[si],1", "C6401001"},
    OperandCase{" mov ax,[bx+2].3", "8B4705"},
    OperandCase{" mov ax,-2[bp]", "8B46FE"},
    OperandCase{" mov ax,-2[bp][di]", "8B43FE"},
    OperandCase{" mov ax,-2[bp].4", "8B4602"},
    OperandCase{"table dw 1,2\n mov ax,table-2[bx][si]", "010002008B80FEFF"},
    OperandCase{"table dw 1,2\n mov ax,table+2[bx]", "010002008B870200"},
    OperandCase{" mov ax,5-2", "B80300"},
    OperandCase{" mov al,ds:[0]", "A00000"},
    OperandCase{" mov al,byte ptr [0]", "A00000"},
    OperandCase{" mov [0],al", "A20000"}), test::CaseNamer());

TEST(TasmMasmOperand, ConstantInBracketsIsAnImmediateWithAWarning) {
    struct Case {
        const char* body;
        const char* hex;
        const char* operand;
    } cases[] = {
        {" mov al,[0]", "B000", "[0]"},
        {" add al,[1]", "0401", "[1]"},
        {" mov ax,[1234h]", "B83412", "[1234h]"},
    };
    for (const Case& c : cases) {
        Assembled a = assembleCode(c.body);
        EXPECT_EQ(a.hex, c.hex) << c.body;
        std::string want = std::string("*Warning* T.ASM(3) Brackets ignored: ") + c.operand + " is the constant " +
                           std::string(c.operand).substr(1, std::string(c.operand).size() - 2) + ", write DS:" +
                           c.operand + " to read memory\n";
        EXPECT_EQ(a.diags, want) << c.body;
    }
}

TEST(TasmMasmOperand, DebugsLineAssemblerStillReadsBracketsAsMemory) {
    LineAssembly r = assembleLine("mov al,[0]", 0x100);
    ASSERT_EQ(r.bytes.size(), 3u) << r.message;
    EXPECT_EQ(r.bytes[0], 0xA0);
}

}  // namespace
}  // namespace krvs::tasm
