// Interpreter speed on tight loops. The "MIPS" counter is millions of emulated instructions per
// second (a REP string instruction counts once; its elements are in "Melem/s").

#include "null_bus.h"
#include "x86/cpu.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace {

using namespace krvs::x86;

using bench::NullBus;

constexpr std::uint16_t kCodeSeg = 0x1000;
constexpr std::uint64_t kSlice = 1'000'000;

struct Bench {
    explicit Bench(std::initializer_list<std::uint8_t> code) : cpu(mem.data(), bus, CpuModel::I80186) {
        std::uint32_t at = static_cast<std::uint32_t>(kCodeSeg) << 4;
        for (std::uint8_t b : code) mem[at++] = b;
        Registers& r = cpu.regs();
        r.seg[CS] = kCodeSeg;
        r.seg[SS] = 0x2000;
        r.gp[SP] = 0xFFFE;
        r.seg[DS] = 0x3000;
        r.seg[ES] = 0x4000;
    }
    void run(benchmark::State& state) {
        std::uint64_t before = cpu.instructionCount();
        for (auto _ : state) {
            cpu.run(kSlice);
        }
        double n = static_cast<double>(cpu.instructionCount() - before);
        state.counters["MIPS"] = benchmark::Counter(n / 1e6, benchmark::Counter::kIsRate);
    }

    std::vector<std::uint8_t> mem = std::vector<std::uint8_t>(kMemorySize + kMemoryGuard);
    NullBus bus;
    Cpu cpu;
};

// top: add ax,bx / xor dx,ax / inc si / shl di,1 / sub bp,cx / dec cx / jnz top / jmp top
void BM_RegisterArithmetic(benchmark::State& state) {
    Bench b({0x01, 0xD8, 0x31, 0xC2, 0x46, 0xD1, 0xE7, 0x29, 0xCD, 0x49, 0x75, 0xF4, 0xEB, 0xF2});
    b.run(state);
}
BENCHMARK(BM_RegisterArithmetic);

// top: mov ax,[si] / mov [di+2],ax / add si,2 / add di,2 / and si,0FFFh / loop top / jmp top
void BM_MemoryMoves(benchmark::State& state) {
    Bench b({0x8B, 0x04, 0x89, 0x45, 0x02, 0x83, 0xC6, 0x02, 0x83, 0xC7, 0x02, 0x81, 0xE6, 0xFF, 0x0F, 0xE2, 0xEF, 0xEB,
             0xED});
    b.run(state);
}
BENCHMARK(BM_MemoryMoves);

// top: call f / inc ax / jmp top ; f: push bx / pop bx / ret
void BM_Calls(benchmark::State& state) {
    Bench b({0xE8, 0x03, 0x00, 0x40, 0xEB, 0xFA, 0x53, 0x5B, 0xC3});
    b.run(state);
}
BENCHMARK(BM_Calls);

// top: xor si,si / xor di,di / mov cx,800h / rep movsw / mov cx,800h / xor ax,ax / rep stosw /
//      mov cx,1000h / xor di,di / repe scasb / jmp top
void BM_StringInstructions(benchmark::State& state) {
    Bench b({0x31, 0xF6, 0x31, 0xFF, 0xB9, 0x00, 0x08, 0xF3, 0xA5, 0xB9, 0x00, 0x08, 0x31,
             0xC0, 0xF3, 0xAB, 0xB9, 0x00, 0x10, 0x31, 0xFF, 0xF3, 0xAE, 0xEB, 0xE7});
    std::uint64_t before = b.cpu.instructionCount();
    for (auto _ : state) {
        b.cpu.run(10'000);
    }
    // Each pass of 11 instructions moves 2048 words, stores 2048 words and scans 4096 zero bytes.
    double passes = static_cast<double>(b.cpu.instructionCount() - before) / 11.0;
    state.counters["Melem/s"] = benchmark::Counter(passes * (2048 + 2048 + 4096) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StringInstructions);

}  // namespace
