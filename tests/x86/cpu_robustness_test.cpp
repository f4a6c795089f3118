// Arbitrary bytes as code, stack and vector table: every model keeps running without a crash or a
// hang, and FLAGS keeps the bits that are fixed on the chip.

#include "cpu_test_machine.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

namespace {

using namespace krvs::x86;
using namespace krvs::x86::testing_machine;

class CpuRobustness : public testing::TestWithParam<CpuModel> {};

TEST_P(CpuRobustness, RandomMemoryRunsWithoutHarm) {
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        Machine m(GetParam());
        std::mt19937 rng(seed);
        for (std::uint32_t i = 0; i < kMemorySize; ++i) m.mem[i] = static_cast<std::uint8_t>(rng());
        for (std::uint16_t& g : m.r().gp) g = static_cast<std::uint16_t>(rng());
        for (std::uint16_t& s : m.r().seg) s = static_cast<std::uint16_t>(rng());
        m.r().ip = static_cast<std::uint16_t>(rng());
        std::uint64_t executed = 0;
        for (int slice = 0; slice < 50; ++slice) {
            StopReason reason = m.cpu.run(2000);
            ASSERT_EQ(m.r().flags & 0x002A, 0x0002) << "seed " << seed;
            if (reason == StopReason::Halted) {
                m.r().flags |= flag::IF;  // let the next slice wake it
                m.bus.pendingVector = static_cast<int>(rng() & 0xFF);
                m.cpu.setIntr(true);
            }
            executed = m.cpu.instructionCount();
        }
        EXPECT_GT(executed, 0u);
        EXPECT_EQ(m.mem[kMemorySize], 0) << "the guard bytes are never written";
    }
}

// Flags are computed only when read; a single step always ends with them written out. So running
// code in one go must end exactly as running it one step at a time. The code is dense with the
// instructions that set or read flags, and the stack, the vectors and the data are random.
void fillFlagHeavyCode(Machine& m, std::mt19937& rng) {
    static const std::uint8_t kOps[] = {
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x18, 0x19,
        0x1A, 0x1B, 0x1C, 0x1D, 0x20, 0x21, 0x22, 0x23, 0x24, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2F, 0x30, 0x31,
        0x34, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3F, 0x40, 0x41, 0x43, 0x47, 0x48, 0x49, 0x4A, 0x4E, 0x70, 0x71,
        0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F, 0x80, 0x81, 0x83, 0x84, 0x85,
        0x9C, 0x9D, 0x9E, 0x9F, 0xA6, 0xA7, 0xA8, 0xA9, 0xAE, 0xAF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xE0, 0xE1,
        0xE2, 0xE3, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFE, 0xFF, 0xF3, 0xF2};
    const std::uint32_t base = Machine::linear(m.r().seg[CS], 0);
    for (std::uint32_t i = 0; i < 0x10000; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(rng());
        if (rng() % 4 != 0) b = kOps[rng() % std::size(kOps)];
        m.mem[(base + i) & (kMemorySize - 1)] = b;
    }
}

TEST_P(CpuRobustness, RunningInOneGoEndsAsSteppingDoes) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        Machine whole(GetParam());
        Machine stepped(GetParam());
        std::mt19937 rng(seed);
        for (std::uint32_t i = 0; i < kMemorySize; ++i) whole.mem[i] = static_cast<std::uint8_t>(rng());
        for (std::uint16_t& g : whole.r().gp) g = static_cast<std::uint16_t>(rng());
        whole.r().flags = static_cast<std::uint16_t>((rng() & 0x0CD5) | 0xF002);
        fillFlagHeavyCode(whole, rng);
        stepped.mem = whole.mem;
        stepped.r() = whole.r();
        for (int slice = 0; slice < 40; ++slice) {
            whole.cpu.run(1000);
            while (stepped.cpu.instructionCount() < whole.cpu.instructionCount() && !stepped.cpu.halted()) stepped.cpu.step();
            ASSERT_EQ(stepped.cpu.instructionCount(), whole.cpu.instructionCount()) << "seed " << seed;
            const Registers& a = whole.r();
            const Registers& b = stepped.r();
            ASSERT_EQ(a.flags, b.flags) << "seed " << seed << " after " << whole.cpu.instructionCount();
            ASSERT_EQ(a.ip, b.ip) << "seed " << seed;
            for (int i = 0; i < 8; ++i) ASSERT_EQ(a.gp[i], b.gp[i]) << "seed " << seed << " reg " << i;
            for (int i = 0; i < 4; ++i) ASSERT_EQ(a.seg[i], b.seg[i]) << "seed " << seed << " seg " << i;
            ASSERT_TRUE(whole.mem == stepped.mem) << "seed " << seed;
            if (whole.cpu.halted()) break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuRobustness, testing::Values(CpuModel::I8086, CpuModel::I80186, CpuModel::I80286),
                         [](const testing::TestParamInfo<CpuModel>& p) { return std::string(modelName(p.param)); });

}  // namespace
