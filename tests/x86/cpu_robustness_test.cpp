// Arbitrary bytes as code, stack and vector table: every model keeps running without a crash or a
// hang, and FLAGS keeps the bits that are fixed on the chip.

#include "cpu_test_machine.h"

#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Cpu, CpuRobustness, testing::Values(CpuModel::I8086, CpuModel::I80186, CpuModel::I80286),
                         [](const testing::TestParamInfo<CpuModel>& p) { return std::string(modelName(p.param)); });

}  // namespace
