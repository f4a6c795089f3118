// A student's rebuild as the IDE runs it, whole processes from start to exit: TASM.Exe assembles a
// 500-line program (/zi, listing), then TLink.Exe links it with the IDE's factory options (/v/m/M/l/s).
// Wall time per rebuild is the figure; the CPU time the two processes used is a counter beside it,
// steadier on a busy machine.
//
//   bench_toolchain --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Full segment definitions as the textbooks teach them, a loop body repeated to 500 lines.
std::string program500() {
    std::string s =
        "data segment\r\nmsg db 'Hello$'\r\nbuf db 64 dup(0)\r\ndata ends\r\n"
        "stack segment stack\r\ndw 128 dup(0)\r\nstack ends\r\n"
        "code segment\r\nassume cs:code,ds:data,ss:stack\r\nstart: mov ax,data\r\nmov ds,ax\r\n";
    int lines = 11;
    for (int i = 0; lines < 496; ++i, lines += 5) {
        const std::string l = "l" + std::to_string(i);
        s += l + ": mov ax," + std::to_string(i) + "\r\nadd ax,bx\r\ncmp ax,word ptr buf\r\njne " + l +
             "x\r\n" + l + "x: inc si\r\n";
    }
    s += "mov ah,4ch\r\nint 21h\r\ncode ends\r\nend start\r\n";
    return s;
}

// Runs a tool in `dir` with its output thrown away; false when it could not start or did not exit with 0.
bool runTool(const fs::path& dir, std::vector<std::string> args, double& cpuMs) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return false;
    cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_Assemble500LinesAndLink(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("krvs_bench_toolchain_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "PROG.ASM", std::ios::binary) << program500();
    const std::string tools = KRVS_TOOLS_DIR;
    double cpuMs = 0;
    for (auto _ : state) {
        if (!runTool(dir, {tools + "/TASM.Exe", "/zi", "/la", "PROG.ASM"}, cpuMs) ||
            !runTool(dir, {tools + "/TLink.Exe", "/v/m/M/l/s", "PROG"}, cpuMs)) {
            state.SkipWithError("TASM.Exe or TLink.Exe failed on the generated program");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    std::error_code ec;
    fs::remove_all(dir, ec);
}
// With repetitions, the fastest one shows the cost itself when other work shares the machine.
BENCHMARK(BM_Assemble500LinesAndLink)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });

}  // namespace
