// Encoder: form choice (shortest legal form), exact bytes, fixup fields and errors.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "x86/encoder.h"

namespace krvs::x86 {
namespace {

using Ops = std::vector<Operand>;
using Bytes = std::vector<std::uint8_t>;

Operand al() { return Operand::reg8(r8::AL); }
Operand bl() { return Operand::reg8(r8::BL); }
Operand cl() { return Operand::reg8(r8::CL); }
Operand ax() { return Operand::reg16(AX); }
Operand bx() { return Operand::reg16(BX); }
Operand sp() { return Operand::reg16(SP); }
Operand dx() { return Operand::reg16(DX); }
Operand imm(int v) { return Operand::imm(v); }
Operand mem(std::int8_t base, std::int8_t index, int disp, OpSize s = OpSize::None) {
    return Operand::memory(base, index, disp, s);
}
Operand unknownImm() { return Operand::imm(0, false); }

struct EncodeCase {
    const char* name;
    const char* mnemonic;
    Ops ops;
    Bytes expected;
    CpuModel cpu = CpuModel::I8086;
    std::uint16_t origin = 0x100;
};

// Printed by name, so that the test's ctest name stays the same from build to build.
void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class EncodeBytes : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeBytes, ChoosesShortestForm) {
    const EncodeCase& c = GetParam();
    EncodeOptions opt;
    opt.cpu = c.cpu;
    opt.origin = c.origin;
    EncodeResult r = encode(c.mnemonic, c.ops, opt);
    ASSERT_TRUE(r.ok()) << encodeErrorText(r.error);
    EXPECT_EQ(Bytes(r.code().begin(), r.code().end()), c.expected);
}

Operand farMem(std::int8_t base) { return mem(base, kNoReg, 4, OpSize::Dword); }

INSTANTIATE_TEST_SUITE_P(
    Table, EncodeBytes,
    ::testing::Values(
        EncodeCase{"MovRegReg_DestInRegField", "mov", {ax(), bx()}, {0x8B, 0xC3}},
        EncodeCase{"MovRegImm_B8", "MOV", {ax(), imm(0x1234)}, {0xB8, 0x34, 0x12}},
        EncodeCase{"MovAhImm_B4", "mov", {Operand::reg8(r8::AH), imm(9)}, {0xB4, 0x09}},
        EncodeCase{"MovAxDirect_A1", "mov", {ax(), Operand::direct(0x10)}, {0xA1, 0x10, 0x00}},
        EncodeCase{"MovDirectAl_A2", "mov", {Operand::direct(0x10), al()}, {0xA2, 0x10, 0x00}},
        EncodeCase{"MovBxDirect_8B1E", "mov", {bx(), Operand::direct(0x10)}, {0x8B, 0x1E, 0x10, 0x00}},
        EncodeCase{"MovDsAx", "mov", {Operand::seg(DS), ax()}, {0x8E, 0xD8}},
        EncodeCase{"MovAxCs", "mov", {ax(), Operand::seg(CS)}, {0x8C, 0xC8}},
        EncodeCase{"MovByteMemImm", "mov", {mem(BX, kNoReg, 0, OpSize::Byte), imm(0x12)}, {0xC6, 0x07, 0x12}},
        EncodeCase{"MemNoDisp", "mov", {ax(), mem(BX, SI, 0)}, {0x8B, 0x00}},
        EncodeCase{"MemDisp8", "mov", {ax(), mem(BP, kNoReg, 4)}, {0x8B, 0x46, 0x04}},
        EncodeCase{"MemBpAloneNeedsDisp8", "mov", {ax(), mem(BP, kNoReg, 0)}, {0x8B, 0x46, 0x00}},
        EncodeCase{"MemNegativeDisp8", "mov", {ax(), mem(BX, kNoReg, -2)}, {0x8B, 0x47, 0xFE}},
        EncodeCase{"MemFFFFIsMinusOne", "mov", {ax(), mem(BX, kNoReg, 0xFFFF)}, {0x8B, 0x47, 0xFF}},
        EncodeCase{"MemDisp16", "mov", {ax(), mem(BX, DI, 0x1234)}, {0x8B, 0x81, 0x34, 0x12}},
        EncodeCase{"IndexGivenAsBase", "mov", {ax(), mem(SI, kNoReg, 0)}, {0x8B, 0x04}},
        EncodeCase{"CmpAx1_83", "cmp", {ax(), imm(1)}, {0x83, 0xF8, 0x01}},
        EncodeCase{"AddSpMinus2_83", "add", {sp(), imm(-2)}, {0x83, 0xC4, 0xFE}},
        EncodeCase{"AddAxFFFF_83", "add", {ax(), imm(0xFFFF)}, {0x83, 0xC0, 0xFF}},
        EncodeCase{"AddAx1000_05", "add", {ax(), imm(1000)}, {0x05, 0xE8, 0x03}},
        EncodeCase{"AddAl_04", "add", {al(), imm(5)}, {0x04, 0x05}},
        EncodeCase{"AddBx1000_81", "add", {bx(), imm(1000)}, {0x81, 0xC3, 0xE8, 0x03}},
        EncodeCase{"AddWordMem_83", "add", {mem(BX, kNoReg, 0, OpSize::Word), imm(1)}, {0x83, 0x07, 0x01}},
        EncodeCase{"XorRegReg_33", "xor", {dx(), dx()}, {0x33, 0xD2}},
        EncodeCase{"TestAlImm_A8", "test", {al(), imm(0x80)}, {0xA8, 0x80}},
        EncodeCase{"XchgAxReg_Short", "xchg", {ax(), Operand::reg16(CX)}, {0x91}},
        EncodeCase{"XchgRegAx_Short", "xchg", {Operand::reg16(CX), ax()}, {0x91}},
        EncodeCase{"XchgMemReg", "xchg", {mem(BX, kNoReg, 0), al()}, {0x86, 0x07}},
        EncodeCase{"PushReg_50", "push", {ax()}, {0x50}},
        EncodeCase{"PushSeg", "push", {Operand::seg(DS)}, {0x1E}},
        EncodeCase{"PopEs", "pop", {Operand::seg(ES)}, {0x07}},
        EncodeCase{"PushMem", "push", {mem(BX, kNoReg, 0)}, {0xFF, 0x37}},
        EncodeCase{"IncReg_40", "inc", {Operand::reg16(SI)}, {0x46}},
        EncodeCase{"IncByteReg", "inc", {bl()}, {0xFE, 0xC3}},
        EncodeCase{"ShlBy1", "shl", {ax(), imm(1)}, {0xD1, 0xE0}},
        EncodeCase{"SalIsShl", "sal", {ax(), cl()}, {0xD3, 0xE0}},
        EncodeCase{"Int21", "int", {imm(0x21)}, {0xCD, 0x21}},
        EncodeCase{"Int3_CC", "int", {imm(3)}, {0xCC}},
        EncodeCase{"AamDefault", "aam", {}, {0xD4, 0x0A}},
        EncodeCase{"RetImm", "ret", {imm(4)}, {0xC2, 0x04, 0x00}},
        EncodeCase{"InPort", "in", {al(), imm(0x60)}, {0xE4, 0x60}},
        EncodeCase{"OutDx", "out", {dx(), ax()}, {0xEF}},
        EncodeCase{"LeaReg", "lea", {dx(), mem(BX, SI, 2, OpSize::Byte)}, {0x8D, 0x50, 0x02}},
        EncodeCase{"Lds", "lds", {Operand::reg16(SI), mem(BX, kNoReg, 0)}, {0xC5, 0x37}},
        EncodeCase{"SegOverride", "mov", {ax(), Operand::memory(BX, kNoReg, 0, OpSize::None, ES)},
                   {0x26, 0x8B, 0x07}},
        EncodeCase{"DefaultSegmentDropped", "mov", {ax(), Operand::memory(BP, kNoReg, 2, OpSize::None, SS)},
                   {0x8B, 0x46, 0x02}},
        EncodeCase{"JmpShortBackward", "jmp", {Operand::rel(0x100)}, {0xEB, 0xFE}},
        EncodeCase{"JmpNearFar", "jmp", {Operand::rel(0x300)}, {0xE9, 0xFD, 0x01}},
        EncodeCase{"JmpUnknownIsNear", "jmp", {Operand::rel(0, JumpDist::Auto, false)}, {0xE9, 0x00, 0x00}},
        EncodeCase{"JmpUnknownShort", "jmp", {Operand::rel(0, JumpDist::Short, false)}, {0xEB, 0x00}},
        EncodeCase{"JmpNearForced", "jmp", {Operand::rel(0x105, JumpDist::Near)}, {0xE9, 0x02, 0x00}},
        EncodeCase{"JzAlias", "je", {Operand::rel(0x110)}, {0x74, 0x0E}},
        EncodeCase{"Loop", "loop", {Operand::rel(0xF0)}, {0xE2, 0xEE}},
        EncodeCase{"CallNear", "call", {Operand::rel(0x200)}, {0xE8, 0xFD, 0x00}},
        EncodeCase{"CallFarDirect", "call", {Operand::farPtr(0x1234, 0x5678)}, {0x9A, 0x78, 0x56, 0x34, 0x12}},
        EncodeCase{"CallMemNear", "call", {mem(BX, kNoReg, 0)}, {0xFF, 0x17}},
        EncodeCase{"JmpMemFar", "jmp", {farMem(BX)}, {0xFF, 0x6F, 0x04}},
        EncodeCase{"RepPrefix", "rep", {}, {0xF3}},
        EncodeCase{"PushImm8_186", "push", {imm(5)}, {0x6A, 0x05}, CpuModel::I80186},
        EncodeCase{"PushImm16_186", "push", {imm(0x1234)}, {0x68, 0x34, 0x12}, CpuModel::I80186},
        EncodeCase{"ShlImm_186", "shl", {ax(), imm(4)}, {0xC1, 0xE0, 0x04}, CpuModel::I80186},
        EncodeCase{"ShlBy1Still_D1_On186", "shl", {ax(), imm(1)}, {0xD1, 0xE0}, CpuModel::I80186},
        EncodeCase{"ImulImm8_186", "imul", {ax(), bx(), imm(10)}, {0x6B, 0xC3, 0x0A}, CpuModel::I80186},
        EncodeCase{"Enter_186", "enter", {imm(16), imm(0)}, {0xC8, 0x10, 0x00, 0x00}, CpuModel::I80186},
        EncodeCase{"Lmsw_286", "lmsw", {ax()}, {0x0F, 0x01, 0xF0}, CpuModel::I80286},
        EncodeCase{"Clts_286", "clts", {}, {0x0F, 0x06}, CpuModel::I80286},
        EncodeCase{"ImulTwoOperands_186", "imul", {ax(), imm(10)}, {0x6B, 0xC0, 0x0A}, CpuModel::I80186},
        EncodeCase{"MovsWithOperands", "movs",
                   {Operand::memory(kNoReg, DI, 0, OpSize::Word, ES), Operand::memory(SI, kNoReg, 0, OpSize::Word)},
                   {0xA5}},
        EncodeCase{"LodsSourceOverride", "lods", {Operand::memory(kNoReg, SI, 0, OpSize::Byte, CS)}, {0x2E, 0xAC}},
        EncodeCase{"StosVariable", "stos", {Operand::direct(0x40, OpSize::Word)}, {0xAB}},
        EncodeCase{"XlatTableInEs", "xlat", {Operand::direct(0x40, OpSize::Byte, ES)}, {0x26, 0xD7}},
        EncodeCase{"XlatBx", "xlat", {mem(BX, kNoReg, 0)}, {0xD7}},
        EncodeCase{"EscCodeSplitsIntoOpcodeAndReg", "esc", {imm(0x2B), mem(BX, kNoReg, 0)}, {0xDD, 0x1F}},
        EncodeCase{"CmpsSizeFromOneSide", "cmps",
                   {Operand::memory(kNoReg, SI, 0, OpSize::Byte), Operand::memory(kNoReg, DI, 0, OpSize::None, ES)},
                   {0xA6}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ErrorCase {
    const char* name;
    const char* mnemonic;
    Ops ops;
    EncodeError expected;
    CpuModel cpu = CpuModel::I8086;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class EncodeErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(EncodeErrors, ReportsErrorAsValue) {
    const ErrorCase& c = GetParam();
    EncodeOptions opt;
    opt.cpu = c.cpu;
    opt.origin = 0x100;
    EncodeResult r = encode(c.mnemonic, c.ops, opt);
    EXPECT_EQ(r.error, c.expected);
    EXPECT_EQ(r.length, 0);
    EXPECT_FALSE(encodeErrorText(r.error).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EncodeErrors,
    ::testing::Values(
        ErrorCase{"Unknown", "movx", {ax(), bx()}, EncodeError::UnknownMnemonic},
        ErrorCase{"RegSizes", "mov", {al(), bx()}, EncodeError::SizeMismatch},
        ErrorCase{"MemSize", "mov", {ax(), mem(BX, kNoReg, 0, OpSize::Byte)}, EncodeError::SizeMismatch},
        ErrorCase{"MemImmNoSize", "mov", {mem(BX, kNoReg, 0), imm(1)}, EncodeError::SizeUnknown},
        ErrorCase{"IncNoSize", "inc", {mem(BX, kNoReg, 0)}, EncodeError::SizeUnknown},
        ErrorCase{"ShiftClNoSize", "shl", {mem(BX, kNoReg, 0), cl()}, EncodeError::SizeUnknown},
        ErrorCase{"ByteImmTooBig", "mov", {al(), imm(300)}, EncodeError::OutOfRange},
        ErrorCase{"WordImmTooBig", "add", {ax(), imm(70000)}, EncodeError::OutOfRange},
        ErrorCase{"DispTooBig", "mov", {ax(), mem(BX, kNoReg, 0x10000)}, EncodeError::OutOfRange},
        ErrorCase{"JccTooFar", "jz", {Operand::rel(0x200)}, EncodeError::OutOfRange},
        ErrorCase{"ShortJmpTooFar", "jmp", {Operand::rel(0x200, JumpDist::Short)}, EncodeError::OutOfRange},
        ErrorCase{"PushImmOn8086", "push", {imm(5)}, EncodeError::NeedsHigherCpu},
        ErrorCase{"ShiftImmOn8086", "shr", {ax(), imm(4)}, EncodeError::NeedsHigherCpu},
        ErrorCase{"PushaOn8086", "pusha", {}, EncodeError::NeedsHigherCpu},
        ErrorCase{"CltsOn186", "clts", {}, EncodeError::NeedsHigherCpu, CpuModel::I80186},
        ErrorCase{"BadBaseAx", "mov", {ax(), mem(AX, kNoReg, 0)}, EncodeError::BadAddress},
        ErrorCase{"TwoBases", "mov", {ax(), mem(BX, BP, 0)}, EncodeError::BadAddress},
        ErrorCase{"TwoIndexes", "mov", {ax(), mem(SI, DI, 0)}, EncodeError::BadAddress},
        ErrorCase{"MovCsIsRefused", "mov", {Operand::seg(CS), ax()}, EncodeError::NoForm},
        ErrorCase{"PopCsIsRefused", "pop", {Operand::seg(CS)}, EncodeError::NoForm},
        ErrorCase{"MovImmToSeg", "mov", {Operand::seg(DS), imm(5)}, EncodeError::NoForm},
        ErrorCase{"LeaOfRegister", "lea", {ax(), bx()}, EncodeError::NoForm},
        ErrorCase{"TooManyOperands", "nop", {ax()}, EncodeError::NoForm},
        ErrorCase{"StringSizeUnknown", "lods", {mem(kNoReg, SI, 0)}, EncodeError::SizeUnknown},
        ErrorCase{"StringSizesDisagree", "movs",
                  {mem(kNoReg, DI, 0, OpSize::Byte), mem(kNoReg, SI, 0, OpSize::Word)}, EncodeError::SizeMismatch},
        ErrorCase{"StringDestNotEs", "stos", {Operand::memory(kNoReg, DI, 0, OpSize::Byte, DS)}, EncodeError::NoForm},
        ErrorCase{"StringWrongRegister", "lods", {mem(BX, kNoReg, 0, OpSize::Byte)}, EncodeError::NoForm}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeOutOfRange, ReportsHowFarTheJumpMisses) {
    EncodeOptions opt;
    opt.origin = 0x100;
    Operand target = Operand::rel(0x102 + 127 + 5);
    EncodeResult r = encode("jnz", std::span<const Operand>(&target, 1), opt);
    ASSERT_EQ(r.error, EncodeError::OutOfRange);
    EXPECT_EQ(r.excess, 5);
}

TEST(EncodeFields, ReportWhereEachValueSits) {
    EncodeOptions opt;
    // MOV WORD PTR ES:[BX+table], OFFSET msg: prefix, opcode, ModR/M, disp16, imm16.
    Operand dst = Operand::memory(BX, kNoReg, 0, OpSize::Word, ES);
    dst.mem.dispKnown = false;
    Ops ops{dst, unknownImm()};
    EncodeResult r = encode("mov", ops, opt);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(Bytes(r.code().begin(), r.code().end()), (Bytes{0x26, 0xC7, 0x87, 0, 0, 0, 0}));
    ASSERT_EQ(r.fieldCount, 2);
    EXPECT_EQ(r.fields[0].role, FieldRole::Displacement);
    EXPECT_EQ(r.fields[0].offset, 3);
    EXPECT_EQ(r.fields[0].width, 2);
    EXPECT_EQ(r.fields[0].operand, 0);
    EXPECT_EQ(r.fields[1].role, FieldRole::Immediate);
    EXPECT_EQ(r.fields[1].offset, 5);
    EXPECT_EQ(r.fields[1].width, 2);
    EXPECT_EQ(r.fields[1].operand, 1);

    Ops far{Operand::farPtr(0, 0, false)};
    r = encode("jmp", far, opt);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.fieldCount, 2);
    EXPECT_EQ(r.fields[0].role, FieldRole::FarOffset);
    EXPECT_EQ(r.fields[0].offset, 1);
    EXPECT_EQ(r.fields[1].role, FieldRole::FarSegment);
    EXPECT_EQ(r.fields[1].offset, 3);

    Ops jump{Operand::rel(0, JumpDist::Auto, false)};
    r = encode("call", jump, opt);
    ASSERT_EQ(r.fieldCount, 1);
    EXPECT_EQ(r.fields[0].role, FieldRole::Relative);
    EXPECT_EQ(r.fields[0].offset, 1);
    EXPECT_EQ(r.fields[0].width, 2);
}

TEST(EncodeFields, UnknownImmediateNeverUsesSignExtendedForm) {
    Ops ops{ax(), unknownImm()};
    EncodeResult r = encode("add", ops, {});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.code()[0], 0x05);
    EXPECT_EQ(r.length, 3);
}

TEST(EncodeOptionsTest, RmDestinationGivesDebugStyleRegisterPairs) {
    EncodeOptions opt;
    opt.rmDestination = true;
    Ops ops{ax(), bx()};
    EncodeResult r = encode("mov", ops, opt);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(Bytes(r.code().begin(), r.code().end()), (Bytes{0x89, 0xD8}));
    Ops memOps{ax(), mem(BX, kNoReg, 0)};  // a memory operand leaves no choice
    r = encode("mov", memOps, opt);
    EXPECT_EQ(Bytes(r.code().begin(), r.code().end()), (Bytes{0x8B, 0x07}));
}

TEST(EncodeCpu, ReportsTheCpuThatWouldDo) {
    Ops ops{imm(5)};
    EncodeResult r = encode("push", ops, {});
    ASSERT_EQ(r.error, EncodeError::NeedsHigherCpu);
    EXPECT_EQ(r.requiredCpu, CpuModel::I80186);
}

}  // namespace
}  // namespace krvs::x86
