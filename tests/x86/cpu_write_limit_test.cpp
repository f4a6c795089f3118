// The CPU's write path: the write limit that makes the PC's ROM read-only to programs, and code that
// writes over itself (the CPU must run the bytes as they are now, never a stale copy).

#include "cpu_test_machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace krvs::x86;
using namespace krvs::x86::testing_machine;

constexpr std::uint32_t kRomFrom = 0xF1000;  // F000:1000, where the PC's ROM becomes read-only
constexpr std::uint8_t kHlt = 0xF4, kIret = 0xCF;


// A program overwrites the INT 21h entry point in the ROM and calls INT 21h in the same run: the
// write is ignored, so the call still reaches the host service through the intact stub.
TEST(CpuWriteLimit, OverwrittenEntryPointStillServesTheCall) {
    Machine m;
    m.cpu.setWriteLimit(kRomFrom);
    m.poke(0xF000, 0x1100, {0xF1, 0x21, kIret});
    m.setVector(0x21, 0xF000, 0x1100);
    // mov ax,0F000h / mov es,ax / mov word es:[1100h],0F4F4h / mov byte es:[1102h],0F4h / int 21h / hlt
    m.code({0xB8, 0x00, 0xF0, 0x8E, 0xC0, 0x26, 0xC7, 0x06, 0x00, 0x11, kHlt, kHlt, 0x26, 0xC6, 0x06, 0x02, 0x11, kHlt,
            0xCD, 0x21, kHlt});
    EXPECT_EQ(m.cpu.run(100), StopReason::Halted);
    EXPECT_EQ(m.bus.traps, std::vector<std::uint8_t>{0x21});
    EXPECT_EQ(m.word(0xF000, 0x1100), 0x21F1);
    EXPECT_EQ(m.mem[kRomFrom + 0x102], kIret);
    EXPECT_TRUE(m.cpu.takeIgnoredWrite());
    EXPECT_FALSE(m.cpu.takeIgnoredWrite());  // taken once
}

struct LimitCase {
    std::string name;
    std::vector<std::uint8_t> code;  // runs to its HLT with ES = F0FFh, SS:SP = F100h:0010h
    std::vector<std::uint8_t> expectBelow;  // F0FFC-F0FFF afterwards (the bytes were 11h)
    bool ignored;                           // some byte fell on the ROM
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class CpuWriteLimitEdges : public testing::TestWithParam<LimitCase> {};

// Stores that straddle or touch the limit keep the bytes below it and drop those from it up; the
// memory from the limit up (filled with 11h) never changes.
TEST_P(CpuWriteLimitEdges, StoresStopExactlyAtTheLimit) {
    const LimitCase& c = GetParam();
    Machine m;
    m.cpu.setWriteLimit(kRomFrom);
    for (std::uint32_t a = kRomFrom - 4; a < kRomFrom + 16; ++a) m.mem[a] = 0x11;
    std::vector<std::uint8_t> code = c.code;
    code.push_back(kHlt);
    for (std::size_t i = 0; i < code.size(); ++i) m.mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(i))] = code[i];
    m.r().seg[ES] = 0xF0FF;
    m.r().seg[SS] = 0xF100;
    m.r().gp[SP] = 0x0010;
    m.r().gp[AX] = 0xBBAA;
    m.setVector(3, kCodeSeg, 0x0100);  // INT 3 ends at a HLT
    m.poke(kCodeSeg, 0x0100, {kHlt});
    EXPECT_EQ(m.cpu.run(1000), StopReason::Halted);
    EXPECT_EQ(std::vector<std::uint8_t>(m.mem.begin() + kRomFrom - 4, m.mem.begin() + kRomFrom), c.expectBelow);
    for (std::uint32_t a = kRomFrom; a < kRomFrom + 16; ++a) EXPECT_EQ(m.mem[a], 0x11) << std::hex << a;
    EXPECT_EQ(m.cpu.takeIgnoredWrite(), c.ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, CpuWriteLimitEdges,
    testing::Values(
        // mov es:[000Fh],al: the last byte below the limit is RAM
        LimitCase{"ByteBelowTheLimit", {0x26, 0xA2, 0x0F, 0x00}, {0x11, 0x11, 0x11, 0xAA}, false},
        // mov es:[000Fh],ax: the low byte lands, the high byte is the ROM's first
        LimitCase{"WordAcrossTheLimit", {0x26, 0xA3, 0x0F, 0x00}, {0x11, 0x11, 0x11, 0xAA}, true},
        // mov di,000Ch / mov cx,4 / cld / rep stosw: eight bytes from F0FFC, four of them ROM
        LimitCase{"RepeatedStoreAcrossTheLimit",
                  {0xBF, 0x0C, 0x00, 0xB9, 0x04, 0x00, 0xFC, 0xF3, 0xAB},
                  {0xAA, 0xBB, 0xAA, 0xBB},
                  true},
        // push ax / pushf / int 3 (to a HLT): the stack is in the ROM, nothing is stored
        LimitCase{"StackInTheRom", {0x50, 0x9C, 0xCC}, {0x11, 0x11, 0x11, 0x11}, true}),
    [](const testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

// Code that writes into the instruction after it runs the new bytes, in one run as when stepped: the
// CPU keeps no copy of decoded instructions that a write could leave stale.
TEST(CpuSelfModifyingCode, TheNextInstructionRunsAsWritten) {
    for (std::uint64_t slice : {std::uint64_t{1}, std::uint64_t{100}}) {
        Machine m;
        m.r().seg[DS] = kCodeSeg;
        // 0: mov byte [000Ah],5 / 5: inc ax / 6: jmp 0009 (short, +1) / 8: nop / 9: mov al,0 / 0B: hlt
        m.code({0xC6, 0x06, 0x0A, 0x00, 0x05, 0x40, 0xEB, 0x01, 0x90, 0xB0, 0x00, kHlt});
        while (m.cpu.run(slice) != StopReason::Halted) {
        }
        EXPECT_EQ(m.r().gp[AX], 0x0005) << "slice " << slice;
    }
}

// Without a limit (the default) the whole address space is writable, up to the last byte.
TEST(CpuWriteLimit, NoLimitWritesEverywhere) {
    Machine m;
    // mov ax,0FFFFh / mov es,ax / mov byte es:[000Fh],5Ah / hlt
    m.code({0xB8, 0xFF, 0xFF, 0x8E, 0xC0, 0x26, 0xC6, 0x06, 0x0F, 0x00, 0x5A, kHlt});
    EXPECT_EQ(m.cpu.run(100), StopReason::Halted);
    EXPECT_EQ(m.mem[0xFFFFF], 0x5A);
    EXPECT_FALSE(m.cpu.takeIgnoredWrite());
}

}  // namespace
