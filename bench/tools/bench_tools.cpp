// A student's rebuild as the IDE runs it, whole processes from start to exit: TASM.Exe assembles a
// 500-line program (/la /zi /c), then TLink.Exe links it with the IDE's factory options and a map
// (/v/m/M/l/s). Wall time per process pair is the figure (aim: under 5 ms); each tool alone is measured
// too, and the CPU time the processes used is a counter beside it, steadier on a busy machine.
//
//   bench_tools --benchmark_repetitions=5
//   bench_tools --benchmark_repetitions=5 --benchmark_filter=Link   (another build's tools: KRVS_TOOLS=dir)

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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
        const std::string l = std::string("l").append(std::to_string(i));
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

// The tools of this build, or of another one named by KRVS_TOOLS (to compare two builds in one run).
std::string toolsDir() {
    const char* other = std::getenv("KRVS_TOOLS");
    return other && *other ? other : KRVS_TOOLS_DIR;
}

struct Step {
    bool assemble;
    bool link;
};

void runSteps(benchmark::State& state, Step step) {
    const fs::path dir = fs::temp_directory_path() / ("krvs_bench_tools_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "PROG.ASM", std::ios::binary) << program500();
    const std::string tools = toolsDir();
    const std::vector<std::string> tasm = {tools + "/TASM.Exe", "/la", "/zi", "/c", "PROG.ASM"};
    const std::vector<std::string> tlink = {tools + "/TLink.Exe", "/v/m/M/l/s", "PROG"};
    double cpuMs = 0;
    // Linking alone needs the object once.
    if (!step.assemble && !runTool(dir, tasm, cpuMs)) state.SkipWithError("TASM.Exe failed on the generated program");
    cpuMs = 0;
    for (auto _ : state) {
        if ((step.assemble && !runTool(dir, tasm, cpuMs)) || (step.link && !runTool(dir, tlink, cpuMs))) {
            state.SkipWithError("TASM.Exe or TLink.Exe failed on the generated program");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    if (step.link && !fs::exists(dir / "PROG.MAP")) state.SkipWithError("TLink.Exe wrote no map");
    std::error_code ec;
    fs::remove_all(dir, ec);
}

void BM_Assemble500LinesAndLink(benchmark::State& state) { runSteps(state, {true, true}); }
void BM_Assemble500Lines(benchmark::State& state) { runSteps(state, {true, false}); }
void BM_Link500Lines(benchmark::State& state) { runSteps(state, {false, true}); }

// A program of 20 modules as a larger course project has them: module 0 calls a procedure and reads a
// word of every other module; each module has its own code and data and 10 publics. The objects are
// assembled once; the figure is TLink.Exe linking them with a map of publics and line numbers.
std::string module(int m) {
    const std::string n = std::to_string(m);
    std::string s;
    if (m == 0) {
        s += "extrn ";
        for (int k = 1; k < 20; ++k) s += std::string(k > 1 ? "," : "") + "proc" + std::to_string(k) + ":far";
        s += "\r\nextrn ";
        for (int k = 1; k < 20; ++k) s += std::string(k > 1 ? "," : "") + "word" + std::to_string(k) + ":word";
        s += "\r\nstack segment stack\r\ndw 256 dup(0)\r\nstack ends\r\n";
    }
    s += "data" + n + " segment public 'DATA'\r\n";
    for (int p = 0; p < 10; ++p) s += "public v" + n + "_" + std::to_string(p) + "\r\n";
    s += "public word" + n + "\r\nword" + n + " dw " + n + "\r\n";
    for (int p = 0; p < 10; ++p) s += "v" + n + "_" + std::to_string(p) + " dw " + std::to_string(p) + "\r\n";
    s += "data" + n + " ends\r\ncode" + n + " segment public 'CODE'\r\nassume cs:code" + n + ",ds:data" + n +
         "\r\npublic proc" + n + "\r\nproc" + n + " proc far\r\n";
    if (m == 0) s += "start: mov ax,data0\r\nmov ds,ax\r\n";
    for (int i = 0; i < 20; ++i) s += "mov ax,v" + n + "_" + std::to_string(i % 10) + "\r\nadd ax," + n + "\r\n";
    if (m == 0) {
        for (int k = 1; k < 20; ++k) {
            const std::string kn = std::to_string(k);
            s += "call proc" + kn + "\r\nmov ax,seg word" + kn + "\r\nmov es,ax\r\nmov ax,es:word" + kn + "\r\n";
        }
        s += "mov ah,4ch\r\nint 21h\r\n";
    } else {
        s += "ret\r\n";
    }
    s += "proc" + n + " endp\r\ncode" + n + " ends\r\n" + (m == 0 ? "end start\r\n" : "end\r\n");
    return s;
}

void BM_Link20Modules(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("krvs_bench_tools20_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string tools = toolsDir();
    std::string objects;
    double cpuMs = 0;
    for (int m = 0; m < 20; ++m) {
        const std::string name = std::string("M").append(std::to_string(m));
        std::ofstream(dir / (name + ".ASM"), std::ios::binary) << module(m);
        if (!runTool(dir, {tools + "/TASM.Exe", "/zi", name + ".ASM"}, cpuMs)) {
            state.SkipWithError(("TASM.Exe failed on " + name + ".ASM").c_str());
            return;
        }
        objects += (m ? "+" : "") + name;
    }
    cpuMs = 0;
    for (auto _ : state) {
        if (!runTool(dir, {tools + "/TLink.Exe", "/v/m/M/l/s", objects + ",PROG"}, cpuMs)) {
            state.SkipWithError("TLink.Exe failed on the 20 modules");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// With repetitions, the fastest one shows the cost itself when other work shares the machine.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
BENCHMARK(BM_Assemble500LinesAndLink)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", fastest);
BENCHMARK(BM_Assemble500Lines)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", fastest);
BENCHMARK(BM_Link500Lines)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", fastest);
BENCHMARK(BM_Link20Modules)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", fastest);

}  // namespace
