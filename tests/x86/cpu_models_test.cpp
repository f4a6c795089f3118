// Behaviour that differs between the 8086, 80186 and 80286 models, and the 80186 instructions.

#include "cpu_test_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

using namespace krvs::x86;
using namespace krvs::x86::testing_machine;

struct ModelCase {
    const char* name;
    CpuModel model;
    std::vector<std::uint8_t> code;
    std::function<void(Machine&)> setup;
    int steps;
    std::function<void(Machine&)> check;
};

std::ostream& operator<<(std::ostream& os, const ModelCase& c) { return os << c.name; }

constexpr std::uint16_t kHandlerSeg = 0x5000;

const ModelCase kCases[] = {
    {"PushaStoresTheOriginalSp",
     CpuModel::I80186,
     {0x60},
     [](Machine& m) {
         for (unsigned i = 0; i < 8; ++i)
             if (i != SP) m.r().gp[i] = static_cast<std::uint16_t>(0x1110 * (i + 1));
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[SP], kStackTop - 16);
         const std::uint16_t want[8] = {0x8880, 0x7770, 0x6660, kStackTop, 0x4440, 0x3330, 0x2220, 0x1110};
         for (unsigned i = 0; i < 8; ++i) EXPECT_EQ(m.stackWord(i), want[i]) << i;
     }},
    {"PopaSkipsTheStoredSp",
     CpuModel::I80186,
     {0x61},
     [](Machine& m) {
         m.r().gp[SP] = 0xF0;
         for (unsigned i = 0; i < 8; ++i)
             m.pokeWord(kStackSeg, static_cast<std::uint16_t>(0xF0 + 2 * i), static_cast<std::uint16_t>(0xA0 + i));
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[SP], 0x100);
         EXPECT_EQ(m.r().gp[DI], 0xA0);
         EXPECT_EQ(m.r().gp[BP], 0xA2);
         EXPECT_EQ(m.r().gp[AX], 0xA7);
     }},
    {"PushImm8IsSignExtended",
     CpuModel::I80186,
     {0x6A, 0x80, 0x68, 0x34, 0x12},
     nullptr,
     2,
     [](Machine& m) {
         EXPECT_EQ(m.stackWord(0), 0x1234);
         EXPECT_EQ(m.stackWord(1), 0xFF80);
     }},
    {"ImulImmediateFits",
     CpuModel::I80186,
     {0x6B, 0xC3, 0xFB},
     [](Machine& m) { m.r().gp[BX] = 7; },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[AX], static_cast<std::uint16_t>(-35));
         EXPECT_EQ(m.r().flags & (flag::CF | flag::OF), 0);
     }},
    {"ImulImmediateOverflows",
     CpuModel::I80186,
     {0x69, 0xC3, 0x00, 0x10},
     [](Machine& m) { m.r().gp[BX] = 0x10; },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[AX], 0);
         EXPECT_EQ(m.r().flags & (flag::CF | flag::OF), flag::CF | flag::OF);
     }},
    {"ShiftByImmediate",
     CpuModel::I80186,
     {0xC1, 0xE0, 0x04},
     [](Machine& m) { m.r().gp[AX] = 0x1234; },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[AX], 0x2340);
         EXPECT_TRUE(m.r().flags & flag::CF);
     }},
    {"ShiftCountMaskedOn186",
     CpuModel::I80186,
     {0xD3, 0xE0},
     [](Machine& m) {
         m.r().gp[AX] = 1;
         m.r().gp[CX] = 33;
     },
     1,
     [](Machine& m) { EXPECT_EQ(m.r().gp[AX], 2); }},
    {"ShiftCountWholeOn8086",
     CpuModel::I8086,
     {0xD3, 0xE0},
     [](Machine& m) {
         m.r().gp[AX] = 1;
         m.r().gp[CX] = 33;
     },
     1,
     [](Machine& m) { EXPECT_EQ(m.r().gp[AX], 0); }},
    {"EnterBuildsAFrame",
     CpuModel::I80186,
     {0xC8, 0x08, 0x00, 0x00},
     [](Machine& m) { m.r().gp[BP] = 0x1234; },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[BP], kStackTop - 2);
         EXPECT_EQ(m.r().gp[SP], kStackTop - 10);
         EXPECT_EQ(m.word(kStackSeg, kStackTop - 2), 0x1234);
     }},
    {"EnterCopiesOuterFramePointers",
     CpuModel::I80186,
     {0xC8, 0x04, 0x00, 0x02},
     [](Machine& m) {
         m.r().gp[BP] = 0xF0;
         m.pokeWord(kStackSeg, 0xEE, 0xAAAA);
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[BP], 0xFE);
         EXPECT_EQ(m.r().gp[SP], 0xF6);
         EXPECT_EQ(m.word(kStackSeg, 0xFC), 0xAAAA);
         EXPECT_EQ(m.word(kStackSeg, 0xFA), 0xFE);
     }},
    {"LeaveUndoesEnter",
     CpuModel::I80186,
     {0xC8, 0x08, 0x00, 0x01, 0xC9},
     [](Machine& m) { m.r().gp[BP] = 0x1234; },
     2,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[BP], 0x1234);
         EXPECT_EQ(m.r().gp[SP], kStackTop);
     }},
    {"BoundInRangeContinues",
     CpuModel::I80186,
     {0x62, 0x06, 0x00, 0x00},
     [](Machine& m) {
         m.pokeWord(kDataSeg, 0, static_cast<std::uint16_t>(-10));
         m.pokeWord(kDataSeg, 2, 20);
         m.r().gp[AX] = static_cast<std::uint16_t>(-10);
     },
     1,
     [](Machine& m) { EXPECT_EQ(m.r().ip, 4); }},
    {"BoundOutOfRangeRaisesInt5AtTheInstruction",
     CpuModel::I80186,
     {0x62, 0x06, 0x00, 0x00},
     [](Machine& m) {
         m.pokeWord(kDataSeg, 0, 10);
         m.pokeWord(kDataSeg, 2, 20);
         m.r().gp[AX] = 21;
         m.setVector(5, kHandlerSeg, 0x10);
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
         EXPECT_EQ(m.r().ip, 0x10);
         EXPECT_EQ(m.stackWord(0), 0);
     }},
    {"RepInsb",
     CpuModel::I80186,
     {0xF3, 0x6C},
     [](Machine& m) {
         m.r().gp[CX] = 3;
         m.r().gp[DX] = 0x10;
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[CX], 0);
         EXPECT_EQ(m.r().gp[DI], 3);
         for (std::uint16_t i = 0; i < 3; ++i) EXPECT_EQ(m.mem[Machine::linear(kDataSeg, i)], 0x50);
     }},
    {"RepOutsw",
     CpuModel::I80186,
     {0xF3, 0x6F},
     [](Machine& m) {
         m.r().gp[CX] = 2;
         m.r().gp[DX] = 0x20;
         m.poke(kDataSeg, 0, {1, 2, 3, 4});
     },
     1,
     [](Machine& m) {
         using Out = std::pair<std::uint16_t, std::uint8_t>;
         EXPECT_EQ(m.bus.outs, (std::vector<Out>{{0x20, 1}, {0x21, 2}, {0x20, 3}, {0x21, 4}}));
         EXPECT_EQ(m.r().gp[SI], 4);
     }},
    {"Opcode0FIsInvalidOn186",
     CpuModel::I80186,
     {0x0F},
     [](Machine& m) { m.setVector(6, kHandlerSeg, 0); },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
         EXPECT_EQ(m.stackWord(0), 0);
     }},
    {"Opcode0FPopsCsOn8086",
     CpuModel::I8086,
     {0x0F},
     [](Machine& m) { m.pokeWord(kStackSeg, kStackTop, 0x4321); },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], 0x4321);
         EXPECT_EQ(m.r().ip, 1);
     }},
    {"Opcode60IsJoOn8086",
     CpuModel::I8086,
     {0x60, 0x05},
     [](Machine& m) { m.r().flags |= flag::OF; },
     1,
     [](Machine& m) { EXPECT_EQ(m.r().ip, 7); }},
    {"OpcodeC0IsRetImmOn8086",
     CpuModel::I8086,
     {0xC0, 0x04, 0x00},
     [](Machine& m) { m.pokeWord(kStackSeg, kStackTop, 0x1234); },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().ip, 0x1234);
         EXPECT_EQ(m.r().gp[SP], kStackTop + 6);
     }},
    {"SalcCopiesCarry",
     CpuModel::I80186,
     {0xF9, 0xD6},
     nullptr,
     2,
     [](Machine& m) { EXPECT_EQ(m.r().gp[AX] & 0xFF, 0xFF); }},
    {"PushSpStoresNewValueOn8086",
     CpuModel::I8086,
     {0x54},
     nullptr,
     1,
     [](Machine& m) { EXPECT_EQ(m.stackWord(0), kStackTop - 2); }},
    {"PushSpStoresNewValueOn186",
     CpuModel::I80186,
     {0x54},
     nullptr,
     1,
     [](Machine& m) { EXPECT_EQ(m.stackWord(0), kStackTop - 2); }},
    {"PushSpStoresOldValueOn286",
     CpuModel::I80286,
     {0x54},
     nullptr,
     1,
     [](Machine& m) { EXPECT_EQ(m.stackWord(0), kStackTop); }},
    {"PushfShowsHighBitsOn8086",
     CpuModel::I8086,
     {0x9C},
     nullptr,
     1,
     [](Machine& m) { EXPECT_EQ(m.stackWord(0) & 0xF000, 0xF000); }},
    {"PushfClearsHighBitsOn286",
     CpuModel::I80286,
     {0x9C},
     nullptr,
     1,
     [](Machine& m) { EXPECT_EQ(m.stackWord(0) & 0xF000, 0); }},
    {"DivideErrorReturnsPastTheInstructionOn8086",
     CpuModel::I8086,
     {0xF6, 0xF3},
     [](Machine& m) { m.setVector(0, kHandlerSeg, 0); },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
         EXPECT_EQ(m.stackWord(0), 2);
     }},
    {"DivideErrorReturnsToTheInstructionOn186",
     CpuModel::I80186,
     {0x2E, 0xF6, 0xF3},
     [](Machine& m) { m.setVector(0, kHandlerSeg, 0); },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
         EXPECT_EQ(m.stackWord(0), 0);
     }},
    // The chip's division routine compares 0 with the zero divisor before it raises the error, so
    // the flags it pushes are those of a zero result, whatever they were before.
    {"AamByZeroPushesTheFlagsOfAZeroResult",
     CpuModel::I8086,
     {0xD4, 0x00},
     [](Machine& m) {
         m.setVector(0, kHandlerSeg, 0);
         m.r().gp[AX] = 0x1285;
         m.r().flags = 0xF002 | flag::SF | flag::CF | flag::AF | flag::OF;
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
         EXPECT_EQ(m.r().gp[AX], 0x1285);
         EXPECT_EQ(m.stackWord(0), 2);
         EXPECT_EQ(m.stackWord(2), 0xF002 | flag::ZF | flag::PF);
     }},
    {"SmswShowsRealModeOn286",
     CpuModel::I80286,
     {0x0F, 0x01, 0xE0},
     nullptr,
     1,
     [](Machine& m) {
         EXPECT_EQ(m.r().gp[AX], 0xFFF0);
         EXPECT_EQ(m.r().ip, 3);
     }},
    {"WordReadWrapsInsideTheSegment",
     CpuModel::I80186,
     {0x8B, 0x06, 0xFF, 0xFF},
     [](Machine& m) {
         m.poke(kDataSeg, 0xFFFF, {0x34});
         m.poke(kDataSeg, 0, {0x12});
     },
     1,
     [](Machine& m) { EXPECT_EQ(m.r().gp[AX], 0x1234); }},
    {"WordWriteWrapsAtTheTopOfMemory",
     CpuModel::I80186,
     {0x89, 0x06, 0x0F, 0x00},
     [](Machine& m) {
         m.r().seg[DS] = 0xFFFF;
         m.r().gp[AX] = 0xBEEF;
     },
     1,
     [](Machine& m) {
         EXPECT_EQ(m.mem[0xFFFFF], 0xEF);
         EXPECT_EQ(m.mem[0], 0xBE);
         EXPECT_EQ(m.mem[kMemorySize], 0);
     }},
};

class CpuModels : public testing::TestWithParam<ModelCase> {};

TEST_P(CpuModels, Behave) {
    const ModelCase& c = GetParam();
    Machine m(c.model);
    for (std::size_t i = 0; i < c.code.size(); ++i)
        m.mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(i))] = c.code[i];
    if (c.setup) c.setup(m);
    EXPECT_EQ(m.cpu.run(static_cast<std::uint64_t>(c.steps)), StopReason::InstructionLimit);
    c.check(m);
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuModels, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ModelCase>& p) { return std::string(p.param.name); });

}  // namespace
