#pragma once
// A small machine for CPU tests: 1 MiB of memory, a bus that records port writes and host traps and
// can raise one interrupt, and helpers to place code and read memory.

#include "x86/cpu.h"

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

namespace krvs::x86 {

inline const char* modelName(CpuModel m) {
    switch (m) {
    case CpuModel::I8086: return "I8086";
    case CpuModel::I80186: return "I80186";
    case CpuModel::I80286: return "I80286";
    }
    return "?";
}

// So that parameterised tests over models get readable names in ctest.
inline void PrintTo(CpuModel m, std::ostream* os) { *os << modelName(m); }

}  // namespace krvs::x86

namespace krvs::x86::testing_machine {

class TestBus : public Bus {
public:
    std::uint8_t portIn8(std::uint16_t port) override { return static_cast<std::uint8_t>(port + 0x40); }
    void portOut8(std::uint16_t port, std::uint8_t value) override { outs.emplace_back(port, value); }
    int acknowledgeInterrupt() override {
        ++acknowledged;
        int v = pendingVector;
        pendingVector = -1;
        return v;
    }
    bool hostTrap(Cpu& cpu, std::uint8_t number) override {
        traps.push_back(number);
        cpu.regs().gp[AX] = static_cast<std::uint16_t>(0x1100 + number);
        return trapContinues;
    }

    std::vector<std::pair<std::uint16_t, std::uint8_t>> outs;
    std::vector<std::uint8_t> traps;
    bool trapContinues = true;
    int pendingVector = -1;
    int acknowledged = 0;
};

constexpr std::uint16_t kCodeSeg = 0x1000;
constexpr std::uint16_t kStackSeg = 0x2000;
constexpr std::uint16_t kDataSeg = 0x3000;
constexpr std::uint16_t kStackTop = 0x0100;

struct Machine {
    explicit Machine(CpuModel model = CpuModel::I80186) : cpu(mem.data(), bus, model) {
        Registers& r = cpu.regs();
        r.seg[CS] = kCodeSeg;
        r.seg[SS] = kStackSeg;
        r.seg[DS] = kDataSeg;
        r.seg[ES] = kDataSeg;
        r.gp[SP] = kStackTop;
    }

    static std::uint32_t linear(std::uint16_t seg, std::uint16_t off) {
        return ((static_cast<std::uint32_t>(seg) << 4) + off) & (kMemorySize - 1);
    }
    void poke(std::uint16_t seg, std::uint16_t off, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) mem[linear(seg, off++)] = b;
    }
    void code(std::initializer_list<std::uint8_t> bytes) { poke(kCodeSeg, 0, bytes); }
    void pokeWord(std::uint16_t seg, std::uint16_t off, std::uint16_t v) {
        poke(seg, off, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    std::uint16_t word(std::uint16_t seg, std::uint16_t off) const {
        return static_cast<std::uint16_t>(mem[linear(seg, off)] | (mem[linear(seg, off + 1)] << 8));
    }
    std::uint16_t stackWord(unsigned index) const {
        return word(kStackSeg, static_cast<std::uint16_t>(cpu.regs().gp[SP] + 2 * index));
    }
    void setVector(std::uint8_t n, std::uint16_t seg, std::uint16_t off) {
        pokeWord(0, static_cast<std::uint16_t>(n * 4), off);
        pokeWord(0, static_cast<std::uint16_t>(n * 4 + 2), seg);
    }
    Registers& r() { return cpu.regs(); }

    std::vector<std::uint8_t> mem = std::vector<std::uint8_t>(kMemorySize + kMemoryGuard);
    TestBus bus;
    Cpu cpu;
};

}  // namespace krvs::x86::testing_machine
