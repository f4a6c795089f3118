// Emulated instructions per second: the bare CPU against the whole machine with its devices running
// (timer interrupts through the BIOS stub, port and interrupt checks between slices).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "pc/machine.h"
#include "x86/cpu.h"

namespace {

// l: add ax,bx; xor dx,ax; inc bx; mov [si],ax; loop l; jmp l
const std::vector<std::uint8_t> kLoop = {0x01, 0xD8, 0x31, 0xC2, 0x43, 0x89, 0x04, 0xE2, 0xF7, 0xEB, 0xF5};

class NullBus : public krvs::x86::Bus {
public:
    std::uint8_t portIn8(std::uint16_t) override { return 0xFF; }
    void portOut8(std::uint16_t, std::uint8_t) override {}
    bool hostTrap(krvs::x86::Cpu&, std::uint8_t) override { return true; }
};

constexpr std::uint64_t kSlice = 10'000'000;

void BM_BareCpu(benchmark::State& state) {
    std::vector<std::uint8_t> mem(krvs::x86::kMemorySize + krvs::x86::kMemoryGuard, 0);
    std::copy(kLoop.begin(), kLoop.end(), mem.begin() + 0x10100);
    NullBus bus;
    krvs::x86::Cpu cpu(mem.data(), bus, krvs::x86::CpuModel::I80186);
    auto& r = cpu.regs();
    r.seg[krvs::x86::CS] = r.seg[krvs::x86::DS] = r.seg[krvs::x86::SS] = 0x1000;
    r.ip = 0x100;
    r.gp[krvs::x86::SP] = 0xFFFE;
    r.gp[krvs::x86::SI] = 0x8000;
    r.flags |= krvs::x86::flag::IF;
    for (auto _ : state) cpu.run(kSlice);
    state.counters["instructions/s"] = benchmark::Counter(static_cast<double>(cpu.instructionCount()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareCpu)->Unit(benchmark::kMillisecond);

void BM_MachineWithDevices(benchmark::State& state) {
    krvs::pc::StringSink out;
    krvs::pc::MachineConfig config;
    config.output = &out;
    krvs::pc::Machine m(config);
    m.loadImage(kLoop, "LOOP.COM", "");
    m.regs().gp[krvs::x86::SI] = 0x8000;
    std::uint64_t first = m.instructions();
    for (auto _ : state) m.run({kSlice, 0});
    state.counters["instructions/s"] = benchmark::Counter(static_cast<double>(m.instructions() - first), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MachineWithDevices)->Unit(benchmark::kMillisecond);

// A whole corpus program: load, run to its end, with redirected output.
void BM_CorpusProgram(benchmark::State& state) {
    namespace fs = std::filesystem;
    fs::path dir = fs::path(KRVS_TEST_DATA) / "corpus" / "MULTAB";
    std::uint64_t total = 0;
    for (auto _ : state) {
        krvs::pc::StringSink out;
        krvs::pc::StringSource in("");
        krvs::pc::MachineConfig config;
        config.driveRoot = dir;
        config.input = &in;
        config.output = &out;
        krvs::pc::Machine m(config);
        // Without the program the machine would run whatever memory holds: no figure at all is better.
        if (const krvs::pc::LoadResult loaded = m.load(dir / "expected.exe", ""); !loaded.ok) {
            state.SkipWithError(("cannot load MULTAB: " + loaded.error).c_str());
            return;
        }
        m.run({100'000'000, 0});
        total += m.instructions();
        benchmark::DoNotOptimize(out.text().size());
    }
    state.counters["instructions/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["instructions_per_run"] =
        static_cast<double>(total) / static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
}
BENCHMARK(BM_CorpusProgram)->Unit(benchmark::kMicrosecond);

}  // namespace
