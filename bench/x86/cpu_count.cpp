// Runs one of bench_x86's loops for a given number of millions of instructions, after one million to
// warm up, so that an instruction counter (callgrind) can give host instructions per emulated one:
// host_instructions.sh runs it twice and divides the difference.
//
//   bench_x86_count arith|moves MILLIONS

#include "null_bus.h"
#include "x86/cpu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace krvs::x86;

using bench::NullBus;

// The same loops as BM_RegisterArithmetic and BM_MemoryMoves in cpu_bench.cpp.
const std::vector<std::uint8_t> kArith{0x01, 0xD8, 0x31, 0xC2, 0x46, 0xD1, 0xE7, 0x29, 0xCD, 0x49, 0x75, 0xF4, 0xEB, 0xF2};
const std::vector<std::uint8_t> kMoves{0x8B, 0x04, 0x89, 0x45, 0x02, 0x83, 0xC6, 0x02, 0x83, 0xC7,
                                       0x02, 0x81, 0xE6, 0xFF, 0x0F, 0xE2, 0xEF, 0xEB, 0xED};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "arith") != 0 && std::strcmp(argv[1], "moves") != 0)) {
        std::fprintf(stderr, "usage: bench_x86_count arith|moves MILLIONS\n");
        return 2;
    }
    const std::vector<std::uint8_t>& code = std::strcmp(argv[1], "arith") == 0 ? kArith : kMoves;
    const long millions = std::strtol(argv[2], nullptr, 10);
    std::vector<std::uint8_t> mem(kMemorySize + kMemoryGuard);
    NullBus bus;
    Cpu cpu(mem.data(), bus, CpuModel::I80186);
    std::memcpy(mem.data() + 0x10000, code.data(), code.size());
    Registers& r = cpu.regs();
    r.seg[CS] = 0x1000;
    r.seg[SS] = 0x2000;
    r.gp[SP] = 0xFFFE;
    r.seg[DS] = 0x3000;
    r.seg[ES] = 0x4000;
    cpu.run(1'000'000);
    for (long i = 0; i < millions; ++i) cpu.run(1'000'000);
    std::printf("%llu instructions\n", static_cast<unsigned long long>(cpu.instructionCount()));
    return 0;
}
