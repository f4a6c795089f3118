// Lines per second and peak memory of a whole assembly (all passes, object module built) of a
// generated program: several data and code segments, labels, forward and backward jumps, macros.
// Sizes run from 10,000 to 1,000,000 lines in that order, so that each size's peak_rss_kb (the
// process's high-water mark) is its own; source_kb is the program's size to compare it with.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

#include "tasm/assembler.h"

namespace {

// Appends the pieces in order (a one-letter literal plus a temporary string trips gcc 12's -Wrestrict).
void add(std::string& s, std::initializer_list<std::string_view> parts) {
    for (std::string_view p : parts) s += p;
}

std::string generate(int lines, int& actual) {
    std::string s =
        "print macro msg\n mov dx, offset msg\n mov ah, 9\n int 21h\n endm\n"
        "clear macro r\n local again\nagain: xor r, r\n jnz again\n endm\n";
    int n = 10;
    // At most 3,000 variables: the data segment stays within 64 KB at every size.
    const int vars = std::min(lines / 40, 3000);
    s += "dseg segment\n assume ds:dseg\n";
    n += 2;
    for (int i = 0; i < vars; ++i) {
        const std::string k = std::to_string(i);
        add(s, {"v", k, " dw ", k, ", ", std::to_string(i * 3), "\n"});
        add(s, {"m", k, " db 'text ", k, "$'\n"});
        n += 2;
    }
    s += "dseg ends\n";
    ++n;
    int seg = 0;
    for (int i = 0; n < lines - 2; ++i) {
        if (i % 400 == 0) {
            if (seg) add(s, {"c", std::to_string(seg - 1), " ends\n"});
            const std::string c = std::to_string(seg);
            add(s, {"c", c, " segment\n assume cs:c", c, "\n"});
            n += 3;
            ++seg;
        }
        const std::string l = std::to_string(i), v = std::to_string(i % vars);
        add(s, {"l", l, ": mov ax, v", v, "\n add ax, ", std::to_string(i % 60000), "\n cmp ax, bx\n jne l", l,
                "x\n print m", v, "\n clear cx\n jmp l", l, "x\nl", l, "x: inc si\n mov [si+4], al\n loop l", l,
                "\n"});
        n += 10;
    }
    add(s, {"c", std::to_string(seg - 1), " ends\n end l0\n"});
    actual = n + 2;
    return s;
}

void BM_Assemble(benchmark::State& state) {
    int lines = 0;
    const std::string src = generate(static_cast<int>(state.range(0)), lines);
    krvs::tasm::Options opts;
    for (auto _ : state) {
        krvs::tasm::AssemblyResult r = krvs::tasm::assemble("BIG.ASM", src, opts, nullptr);
        if (r.errorCount) state.SkipWithError("the generated program did not assemble");
        benchmark::DoNotOptimize(r.object.data());
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["lines"] = lines;
    state.counters["source_kb"] = static_cast<double>(src.size()) / 1024;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_rss_kb"] = static_cast<double>(ru.ru_maxrss);
}
BENCHMARK(BM_Assemble)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const char* flag = "--write-program=";
    if (argc == 3 && std::strncmp(argv[1], flag, std::strlen(flag)) == 0) {
        int lines = 0;
        std::ofstream out(argv[2], std::ios::binary);
        out << generate(std::atoi(argv[1] + std::strlen(flag)), lines);
        return out.good() ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
