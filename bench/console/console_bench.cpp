// How fast the emulated CPU runs a program in the console window's setup (an interpreter session on the
// text screen, on its own thread, with the window redrawing changed cells every 20 ms) against krvscmd's
// (the byte-stream front end on the calling thread). The refresh is meant to cost under 5%.
// Items per second are emulated instructions per second of wall time; on a shared machine that swings
// with the load, so `cpuMips` counts them per second of CPU time of the thread that emulates, taken from
// the start of the program to its end.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include <QApplication>
#include <fcntl.h>
#include <unistd.h>

#include "cmd/interpreter.h"
#include "console_window.h"
#include "pc/machine.h"
#include "rtm_session.h"

namespace {

using namespace krvs;

const std::string kProgram = KRVS_BENCH_DATA "/BENCH.COM";

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Instructions and emulating-thread CPU time of the programs seen through an onMachine-style hook.
struct ProgramMeter {
    pc::Machine* machine = nullptr;
    double startCpu = 0, cpuSeconds = 0;
    std::uint64_t instructions = 0;
    double guiCpuSeconds = 0, wallSeconds = 0;  // the window's thread while the program ran
    void operator()(pc::Machine* m) {
        if (m) {
            startCpu = threadCpuSeconds();
        } else if (machine) {
            cpuSeconds += threadCpuSeconds() - startCpu;
            instructions += machine->instructions();
        }
        machine = m;
    }
    void report(benchmark::State& state) const {
        state.SetItemsProcessed(static_cast<std::int64_t>(instructions));
        state.counters["cpuMips"] = cpuSeconds > 0 ? static_cast<double>(instructions) / cpuSeconds / 1e6 : 0;
        if (wallSeconds > 0) state.counters["guiCpu%"] = 100 * guiCpuSeconds / wallSeconds;
    }
};

// Runs the program as krvscmd does.
void runLikeKrvscmd(ProgramMeter& meter) {
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    cmd::Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.onMachine = [&meter](pc::Machine* m) { meter(m); };
    {
        cmd::Interpreter interpreter(options);
        interpreter.runSingle(kProgram);
    }
    ::close(null);
}

QApplication& app() {
    static int argc = 1;
    static char name[] = "bench_console";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

void runInRtm(bool withWindow, ProgramMeter& meter) {
    console::RtmSession session({kProgram, KRVS_BENCH_DATA, console::ConsoleSettings{}, [&meter](pc::Machine* m) { meter(m); }});
    console::ConsoleWindow::Hooks hooks;
    hooks.snapshot = [&session](console::ScreenImage& i) { session.snapshot(i); };
    hooks.type = [&session](const std::vector<console::KeyStroke>& k) { session.type(k); };
    hooks.tick = [&session] { session.pump(); };
    hooks.finished = [&session] { return session.finished(); };
    hooks.stop = [&session] { session.stop(); };
    std::unique_ptr<console::ConsoleWindow> window;
    if (withWindow) {
        window = std::make_unique<console::ConsoleWindow>("bench", console::ConsoleSettings{}, hooks);
        window->show();
    }
    const double guiStart = threadCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    session.start();
    while (!session.finished()) {
        if (withWindow) app().processEvents(QEventLoop::WaitForMoreEvents);  // woken by the refresh timer
        else usleep(5000);
    }
    session.join(1000);
    meter.guiCpuSeconds += threadCpuSeconds() - guiStart;
    meter.wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
}

void BM_Krvscmd(benchmark::State& state) {
    ProgramMeter meter;
    for (auto _ : state) runLikeKrvscmd(meter);
    meter.report(state);
}

void BM_RtmSessionWithoutWindow(benchmark::State& state) {
    ProgramMeter meter;
    for (auto _ : state) runInRtm(false, meter);
    meter.report(state);
}

void BM_RtmWindow(benchmark::State& state) {
    app();
    ProgramMeter meter;
    for (auto _ : state) runInRtm(true, meter);
    meter.report(state);
}

BENCHMARK(BM_Krvscmd)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RtmSessionWithoutWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RtmWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
