// The DEBUG writer: U line layout, operand spelling, DB per CPU, the register display's memory field.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "x86/decoder.h"
#include "x86/disasm.h"

namespace krvs::x86 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string spell(const Bytes& bytes, std::uint16_t ip, CpuModel cpu) {
    Instruction insn = decode(bytes, ip, cpu);
    DebugWriter w;
    disassemble(insn, w);
    return w.operands().empty() ? w.mnemonic() : w.mnemonic() + "\t" + w.operands();
}

std::string uLine(const Bytes& bytes, std::uint16_t ip, CpuModel cpu = CpuModel::I8086) {
    return formatULine(0x0B3E, ip, bytes, decode(bytes, ip, cpu));
}

// What the classic U output looks like on screen: TABs to 8 columns, trailing blanks dropped.
std::string rendered(const std::string& line) {
    std::string out;
    for (char c : line) {
        if (c == '\t') {
            out.append(8 - out.size() % 8, ' ');
        } else {
            out += c;
        }
    }
    return out.substr(0, out.find_last_not_of(' ') + 1);
}

TEST(DisasmDebugLayout, ULineBytesTabAndPaddedOperandField) {
    EXPECT_EQ(uLine({0xB4, 0x09}, 0x100), "0B3E:0100 B409          MOV\tAH,09                              ");
    EXPECT_EQ(uLine({0xBA, 0x09, 0x01}, 0x102), "0B3E:0102 BA0901        MOV\tDX,0109                            ");
    EXPECT_EQ(uLine({0x26}, 0x100), "0B3E:0100 26            ES:\t                                   ");
    EXPECT_EQ(uLine({0xC3}, 0x107), "0B3E:0107 C3            RET\t                                   ");
}

TEST(DisasmDebugLayout, UListingAsRenderedOnScreen) {
    const Bytes code = {0xB4, 0x09, 0xBA, 0x09, 0x01, 0xCD, 0x21, 0xC3, 0xF3, 0xA4, 0x2E, 0x8B, 0x07};
    const char* expected[] = {
        "0B3E:0100 B409          MOV     AH,09", "0B3E:0102 BA0901        MOV     DX,0109",
        "0B3E:0105 CD21          INT     21",    "0B3E:0107 C3            RET",
        "0B3E:0108 F3            REPZ",          "0B3E:0109 A4            MOVSB",
        "0B3E:010A 2E            CS:",           "0B3E:010B 8B07          MOV     AX,[BX]",
    };
    std::size_t pos = 0;
    for (const char* want : expected) {
        std::span<const std::uint8_t> rest(code.data() + pos, code.size() - pos);
        Instruction insn = decode(rest, static_cast<std::uint16_t>(0x100 + pos), CpuModel::I8086);
        EXPECT_EQ(rendered(formatULine(0x0B3E, static_cast<std::uint16_t>(0x100 + pos), rest, insn)), want);
        pos += insn.length;
    }
    EXPECT_EQ(pos, code.size());
}

TEST(DisasmDebugLayout, LongMnemonicStillGetsTabAndFullField) {
    std::string line = uLine({0xE0, 0xFE}, 0x100);
    EXPECT_EQ(line, "0B3E:0100 E0FE          LOOPNZ\t0100                               ");
}

struct SpellCase {
    Bytes bytes;
    const char* expected;
    std::uint16_t ip = 0x100;
    CpuModel cpu = CpuModel::I8086;
};

void PrintTo(const SpellCase& c, std::ostream* os) {
    *os << '"' << c.expected << "\" from";
    for (std::uint8_t b : c.bytes) *os << ' ' << std::hex << int(b);
}

class DisasmDebugSpelling : public ::testing::TestWithParam<SpellCase> {};

TEST_P(DisasmDebugSpelling, MatchesClassicDebug) {
    const SpellCase& c = GetParam();
    EXPECT_EQ(spell(c.bytes, c.ip, c.cpu), c.expected);
}

constexpr CpuModel k186 = CpuModel::I80186;
constexpr CpuModel k286 = CpuModel::I80286;

INSTANTIATE_TEST_SUITE_P(
    Addressing, DisasmDebugSpelling,
    ::testing::Values(SpellCase{{0x8B, 0x07}, "MOV\tAX,[BX]"}, SpellCase{{0x8B, 0x00}, "MOV\tAX,[BX+SI]"},
                      SpellCase{{0x8B, 0x03}, "MOV\tAX,[BP+DI]"}, SpellCase{{0x8B, 0x04}, "MOV\tAX,[SI]"},
                      SpellCase{{0x8B, 0x46, 0x02}, "MOV\tAX,[BP+02]"},
                      SpellCase{{0x8B, 0x47, 0xFE}, "MOV\tAX,[BX-02]"},
                      SpellCase{{0x8B, 0x47, 0x80}, "MOV\tAX,[BX-80]"},
                      SpellCase{{0x8B, 0x80, 0x10, 0x00}, "MOV\tAX,[BX+SI+0010]"},
                      SpellCase{{0x8B, 0x87, 0xFE, 0xFF}, "MOV\tAX,[BX+FFFE]"},
                      SpellCase{{0x8B, 0x1E, 0x34, 0x12}, "MOV\tBX,[1234]"},
                      SpellCase{{0xA1, 0x00, 0x00}, "MOV\tAX,[0000]"},
                      SpellCase{{0xA2, 0x34, 0x12}, "MOV\t[1234],AL"},
                      SpellCase{{0x8D, 0x50, 0x02}, "LEA\tDX,[BX+SI+02]"},
                      SpellCase{{0xC4, 0x1F}, "LES\tBX,[BX]"}));

INSTANTIATE_TEST_SUITE_P(
    NumbersAndSizes, DisasmDebugSpelling,
    ::testing::Values(SpellCase{{0xB0, 0x12}, "MOV\tAL,12"}, SpellCase{{0x83, 0xC4, 0x02}, "ADD\tSP,+02"},
                      SpellCase{{0x83, 0xEC, 0xFE}, "SUB\tSP,-02"},
                      SpellCase{{0x81, 0xC3, 0xE8, 0x03}, "ADD\tBX,03E8"},
                      SpellCase{{0x05, 0x01, 0x00}, "ADD\tAX,0001"},
                      SpellCase{{0xC6, 0x07, 0x12}, "MOV\tBYTE PTR [BX],12"},
                      SpellCase{{0xC7, 0x07, 0x34, 0x12}, "MOV\tWORD PTR [BX],1234"},
                      SpellCase{{0x80, 0x3E, 0x00, 0x01, 0x0D}, "CMP\tBYTE PTR [0100],0D"},
                      SpellCase{{0x83, 0x3F, 0xFF}, "CMP\tWORD PTR [BX],-01"},
                      SpellCase{{0x82, 0xC0, 0x05}, "ADD\tAL,05"},
                      SpellCase{{0xFF, 0x04}, "INC\tWORD PTR [SI]"},
                      SpellCase{{0xFE, 0x0F}, "DEC\tBYTE PTR [BX]"},
                      SpellCase{{0xD0, 0x27}, "SHL\tBYTE PTR [BX],1"},
                      SpellCase{{0xD3, 0x2F}, "SHR\tWORD PTR [BX],CL"},
                      SpellCase{{0xF6, 0x07, 0x80}, "TEST\tBYTE PTR [BX],80"},
                      SpellCase{{0xF7, 0x27}, "MUL\tWORD PTR [BX]"},
                      SpellCase{{0xF6, 0xF3}, "DIV\tBL"},
                      SpellCase{{0xFF, 0x37}, "PUSH\t[BX]"}, SpellCase{{0x8F, 0x07}, "POP\t[BX]"},
                      SpellCase{{0x8B, 0xC3}, "MOV\tAX,BX"}, SpellCase{{0x8C, 0xD8}, "MOV\tAX,DS"},
                      SpellCase{{0x8E, 0xC0}, "MOV\tES,AX"}, SpellCase{{0x8E, 0xC8}, "MOV\tCS,AX"},
                      SpellCase{{0x84, 0xD8}, "TEST\tBL,AL"}, SpellCase{{0x86, 0xD8}, "XCHG\tBL,AL"},
                      SpellCase{{0x87, 0x07}, "XCHG\tAX,[BX]"}, SpellCase{{0x91}, "XCHG\tCX,AX"},
                      SpellCase{{0x90}, "NOP"}));

INSTANTIATE_TEST_SUITE_P(
    Jumps, DisasmDebugSpelling,
    ::testing::Values(SpellCase{{0xEB, 0x0E}, "JMP\t0110"}, SpellCase{{0x74, 0x03}, "JZ\t0105"},
                      SpellCase{{0xE8, 0xFD, 0x00}, "CALL\t0200"}, SpellCase{{0xE2, 0xFE}, "LOOP\t0103", 0x103},
                      SpellCase{{0xE9, 0xFD, 0xFF}, "JMP\t0000", 0x0000},
                      SpellCase{{0xEB, 0x10}, "JMP\t0002", 0xFFF0},
                      SpellCase{{0x72, 0x00}, "JB\t0102"}, SpellCase{{0x73, 0x00}, "JNB\t0102"},
                      SpellCase{{0x7A, 0x00}, "JPE\t0102"}, SpellCase{{0x7B, 0x00}, "JPO\t0102"},
                      SpellCase{{0x7C, 0x00}, "JL\t0102"}, SpellCase{{0x7F, 0x00}, "JG\t0102"},
                      SpellCase{{0xE0, 0x00}, "LOOPNZ\t0102"}, SpellCase{{0xE1, 0x00}, "LOOPZ\t0102"},
                      SpellCase{{0xE3, 0x00}, "JCXZ\t0102"},
                      SpellCase{{0x9A, 0x78, 0x56, 0x34, 0x12}, "CALL\t1234:5678"},
                      SpellCase{{0xEA, 0xF0, 0xFF, 0x00, 0xF0}, "JMP\tF000:FFF0"},
                      SpellCase{{0xFF, 0x17}, "CALL\t[BX]"}, SpellCase{{0xFF, 0x26, 0x00, 0x01}, "JMP\t[0100]"},
                      SpellCase{{0xFF, 0x1F}, "CALL\tFAR [BX]"}, SpellCase{{0xFF, 0x6F, 0x04}, "JMP\tFAR [BX+04]"},
                      SpellCase{{0xFF, 0xE0}, "JMP\tAX"}, SpellCase{{0xC3}, "RET"},
                      SpellCase{{0xC2, 0x04, 0x00}, "RET\t0004"}, SpellCase{{0xCB}, "RETF"},
                      SpellCase{{0xCA, 0x02, 0x00}, "RETF\t0002"}));

INSTANTIATE_TEST_SUITE_P(
    Others, DisasmDebugSpelling,
    ::testing::Values(SpellCase{{0xCC}, "INT\t3"}, SpellCase{{0xCD, 0x21}, "INT\t21"}, SpellCase{{0xCE}, "INTO"},
                      SpellCase{{0xCF}, "IRET"}, SpellCase{{0xEC}, "IN\tAL,DX"}, SpellCase{{0xE4, 0x60}, "IN\tAL,60"},
                      SpellCase{{0xEE}, "OUT\tDX,AL"}, SpellCase{{0xE7, 0x60}, "OUT\t60,AX"},
                      SpellCase{{0xD1, 0xE0}, "SHL\tAX,1"}, SpellCase{{0xD3, 0xE0}, "SHL\tAX,CL"},
                      SpellCase{{0xD4, 0x0A}, "AAM"}, SpellCase{{0xD4, 0x10}, "AAM\t10"},
                      SpellCase{{0xD5, 0x0A}, "AAD"}, SpellCase{{0xD7}, "XLAT"}, SpellCase{{0x9B}, "WAIT"},
                      SpellCase{{0x0F}, "POP\tCS"}, SpellCase{{0x1E}, "PUSH\tDS"}, SpellCase{{0x07}, "POP\tES"},
                      SpellCase{{0xA4}, "MOVSB"}, SpellCase{{0xA5}, "MOVSW"}, SpellCase{{0xA6}, "CMPSB"},
                      SpellCase{{0xA7}, "CMPSW"}, SpellCase{{0xAA}, "STOSB"}, SpellCase{{0xAB}, "STOSW"},
                      SpellCase{{0xAC}, "LODSB"}, SpellCase{{0xAD}, "LODSW"}, SpellCase{{0xAE}, "SCASB"},
                      SpellCase{{0xAF}, "SCASW"}, SpellCase{{0xF3}, "REPZ"}, SpellCase{{0xF2}, "REPNZ"},
                      SpellCase{{0xF0}, "LOCK"}, SpellCase{{0x26}, "ES:"}, SpellCase{{0x3E}, "DS:"},
                      SpellCase{{0x60}, "DB\t60"}, SpellCase{{0xC8}, "DB\tC8"}, SpellCase{{0xD6}, "DB\tD6"},
                      SpellCase{{0xF1}, "DB\tF1"}, SpellCase{{0xFE, 0x38}, "???"}, SpellCase{{0x8D, 0xC0}, "???"}, SpellCase{{0xC6, 0x0F, 0x01}, "MOV\tBYTE PTR [BX],01"},
                      SpellCase{{0xC6, 0x0F, 0x01}, "???", 0x100, k186}, SpellCase{{0x8F, 0xC0}, "POP\tAX"},
                      SpellCase{{0x8C, 0xF8}, "MOV\tAX,DS"}, SpellCase{{0x8C, 0xF8}, "???", 0x100, k186}, SpellCase{{0xD0, 0xF0}, "???"}));

INSTANTIATE_TEST_SUITE_P(
    Later, DisasmDebugSpelling,
    ::testing::Values(SpellCase{{0x60}, "PUSHA", 0x100, k186}, SpellCase{{0x61}, "POPA", 0x100, k186},
                      SpellCase{{0x6A, 0xFE}, "PUSH\t-02", 0x100, k186},
                      SpellCase{{0x68, 0x34, 0x12}, "PUSH\t1234", 0x100, k186},
                      SpellCase{{0xC1, 0xE0, 0x04}, "SHL\tAX,04", 0x100, k186},
                      SpellCase{{0xC0, 0x2F, 0x02}, "SHR\tBYTE PTR [BX],02", 0x100, k186},
                      SpellCase{{0xC8, 0x10, 0x00, 0x01}, "ENTER\t0010,01", 0x100, k186},
                      SpellCase{{0xC9}, "LEAVE", 0x100, k186},
                      SpellCase{{0x6B, 0xC3, 0x0A}, "IMUL\tAX,BX,+0A", 0x100, k186},
                      SpellCase{{0x69, 0xC3, 0x00, 0x01}, "IMUL\tAX,BX,0100", 0x100, k186},
                      SpellCase{{0x62, 0x07}, "BOUND\tAX,[BX]", 0x100, k186},
                      SpellCase{{0x6C}, "INSB", 0x100, k186}, SpellCase{{0x6F}, "OUTSW", 0x100, k186},
                      SpellCase{{0x0F, 0x06}, "DB\t0F", 0x100, k186},
                      SpellCase{{0x0F, 0x06}, "CLTS", 0x100, k286},
                      SpellCase{{0x0F, 0x01, 0xF0}, "LMSW\tAX", 0x100, k286},
                      SpellCase{{0x0F, 0x01, 0x07}, "SGDT\t[BX]", 0x100, k286},
                      SpellCase{{0x0F, 0x00, 0xD0}, "LLDT\tAX", 0x100, k286},
                      SpellCase{{0x0F, 0x02, 0xC3}, "LAR\tAX,BX", 0x100, k286},
                      SpellCase{{0x63, 0xD8}, "ARPL\tAX,BX", 0x100, k286},
                      SpellCase{{0x0F, 0x07}, "DB\t0F", 0x100, k286}));

// The bytes that are no instruction on each CPU; every other first byte decodes to something.
TEST(DisasmDebugUndefined, DbExactlyForBytesTheCpuDoesNotKnow) {
    struct Level {
        CpuModel cpu;
        std::vector<int> undefined;
    };
    std::vector<int> on8086;
    for (int b = 0x60; b <= 0x6F; ++b) on8086.push_back(b);
    for (int b : {0xC0, 0xC1, 0xC8, 0xC9, 0xD6, 0xF1}) on8086.push_back(b);
    const Level levels[] = {
        {CpuModel::I8086, on8086},
        {CpuModel::I80186, {0x0F, 0x63, 0x64, 0x65, 0x66, 0x67, 0xD6, 0xF1}},
        {CpuModel::I80286, {0x64, 0x65, 0x66, 0x67, 0xD6, 0xF1}},
    };
    for (const Level& level : levels) {
        for (int b = 0; b < 256; ++b) {
            // A second byte that is a 80286 two-byte opcode (0F 00 = SLDT), then a harmless tail.
            Bytes bytes{static_cast<std::uint8_t>(b), 0x00, 0x00, 0x00, 0x00, 0x00};
            Instruction insn = decode(bytes, 0x100, level.cpu);
            bool wantDb = std::find(level.undefined.begin(), level.undefined.end(), b) != level.undefined.end();
            EXPECT_EQ(insn.kind == DecodeKind::Undefined, wantDb)
                << "byte " << std::hex << b << " on level " << static_cast<int>(level.cpu);
            if (wantDb) {
                EXPECT_EQ(insn.length, 1);
                char want[8];
                std::snprintf(want, sizeof want, "DB\t%02X", b);
                EXPECT_EQ(spell(bytes, 0x100, level.cpu), want);
            }
        }
    }
}

TEST(DisasmDebugDecode, TruncatedInputIsReportedNotRead) {
    Bytes bytes{0x8B, 0x87, 0x34};  // needs a 16-bit displacement
    Instruction insn = decode(bytes, 0, CpuModel::I8086);
    EXPECT_EQ(insn.kind, DecodeKind::Truncated);
    EXPECT_EQ(decode({}, 0, CpuModel::I8086).kind, DecodeKind::Truncated);
}

TEST(DisasmDebugDecode, InvalidFormsStillCoverTheirAddressBytes) {
    // FE /7 with a 16-bit displacement: ???, four bytes, so the next line starts after them.
    EXPECT_EQ(decode(Bytes{0xFE, 0xBF, 0x34, 0x12, 0x90}, 0, CpuModel::I8086).length, 4);
    EXPECT_EQ(decode(Bytes{0xFF, 0xFF}, 0, CpuModel::I8086).kind, DecodeKind::Invalid);
    EXPECT_EQ(decode(Bytes{0x8F, 0x4F, 0x02}, 0, CpuModel::I8086).length, 3);
}

class MemoryField : public ::testing::Test {
protected:
    MemoryField() {
        for (int i = 0; i < 0x10000; ++i) m_mem[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
        m_mem[0] = 0xCD;
        m_mem[1] = 0x20;
        m_regs.seg[DS] = 0x0B3E;
        m_regs.seg[ES] = 0x0B3E;
        m_regs.seg[SS] = 0x2000;
        m_regs.seg[CS] = 0x0B3E;
    }
    std::string field(const Bytes& bytes, int segOverride = kNoReg) {
        Instruction insn = decode(bytes, 0x100, CpuModel::I80186);
        return memoryOperandField(insn, m_regs, reader(), segOverride);
    }
    MemoryReader reader() {
        return [this](std::uint16_t seg, std::uint16_t off) {
            // Segment 2000 is the stack: give it other contents than the data segment.
            return static_cast<std::uint8_t>(m_mem[off] + (seg == 0x2000 ? 1 : 0));
        };
    }
    std::array<std::uint8_t, 0x10000> m_mem{};
    Registers m_regs;
};

TEST_F(MemoryField, WordByteSegmentAndEffectiveAddress) {
    EXPECT_EQ(field({0xA1, 0x00, 0x00}), "DS:0000=20CD");
    EXPECT_EQ(field({0x8A, 0x07}), "DS:0000=CD");
    EXPECT_EQ(field({0x8B, 0x07}, ES), "ES:0000=20CD");
    m_regs.gp[BX] = 0x0010;
    m_regs.gp[SI] = 0x0002;
    EXPECT_EQ(field({0x8B, 0x40, 0xFE}), "DS:0010=1110");  // BX+SI-2
    m_regs.gp[BP] = 0x0004;
    EXPECT_EQ(field({0x8B, 0x46, 0x00}), "SS:0004=0605");  // BP defaults to SS
    EXPECT_EQ(field({0x8B, 0x46, 0x00}, DS), "DS:0004=0504");
    m_regs.gp[BX] = 0xFFFF;
    EXPECT_EQ(field({0x8B, 0x07}), "DS:FFFF=CD00");  // the word wraps inside the segment
}

TEST_F(MemoryField, ShownForAddressOperandsOnly) {
    EXPECT_EQ(field({0x8D, 0x07}), "DS:0000=20CD");  // LEA
    EXPECT_EQ(field({0xFF, 0x17}), "DS:0000=20CD");  // CALL [BX]
    EXPECT_EQ(field({0xFF, 0x37}), "DS:0000=20CD");  // PUSH [BX]
    EXPECT_EQ(field({0xA4}), "");                     // MOVSB
    EXPECT_EQ(field({0x8B, 0xC3}), "");               // MOV AX,BX
    EXPECT_EQ(field({0xB8, 0x00, 0x00}), "");         // MOV AX,0000
    EXPECT_EQ(field({0x26}), "");                     // the prefix line itself
}

TEST_F(MemoryField, RegisterDisplayThirdLine) {
    Bytes code{0xA1, 0x00, 0x00};
    Instruction insn = decode(code, 0x100, CpuModel::I8086);
    EXPECT_EQ(formatULine(0x0B3E, 0x100, code, insn) + memoryOperandField(insn, m_regs, reader()),
              "0B3E:0100 A10000        MOV\tAX,[0000]                          DS:0000=20CD");

    Bytes prefixed{0x26, 0x8B, 0x07};
    Instruction prefix = decode(prefixed, 0x100, CpuModel::I8086);
    ASSERT_EQ(prefix.kind, DecodeKind::Prefix);
    int seg = segmentOverrideOf(prefix);
    EXPECT_EQ(seg, ES);
    Instruction next = decode(std::span(prefixed).subspan(1), 0x101, CpuModel::I8086);
    EXPECT_EQ(formatULine(0x0B3E, 0x100, prefixed, prefix) + memoryOperandField(prefix, m_regs, reader()),
              "0B3E:0100 26            ES:\t                                   ");
    EXPECT_EQ(formatULine(0x0B3E, 0x101, std::span(prefixed).subspan(1), next) +
                  memoryOperandField(next, m_regs, reader(), seg),
              "0B3E:0101 8B07          MOV\tAX,[BX]                            ES:0000=20CD");
}

TEST_F(MemoryField, UnassembleAtReadsAcrossTheSegmentEnd) {
    m_mem[0xFFFF] = 0xB8;  // MOV AX,1234 with its immediate at offsets 0000 and 0001
    m_mem[0x0000] = 0x34;
    m_mem[0x0001] = 0x12;
    UnassembledLine line = unassembleAt(reader(), 0x0B3E, 0xFFFF, CpuModel::I8086);
    EXPECT_EQ(line.insn.length, 3);
    EXPECT_EQ(line.text, "0B3E:FFFF B83412        MOV\tAX,1234                            ");
}

}  // namespace
}  // namespace krvs::x86
