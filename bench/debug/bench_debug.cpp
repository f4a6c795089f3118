// Steps per second through a pipe, as the IDE drives DEBUG.EXE: a command line out, one whole reply
// (ending in the "-" prompt) back.
// - "t 1000" / "p 1000": many steps in one command, each showing its registers; the figure is steps/s
//   (aim: at least 150,000), bounded by DEBUG's own work per step and the bytes it writes.
// - "t" / "p" one at a time: one round trip per step, as the IDE's run loop steps; both sides wait for
//   the other by spinning briefly (platform::ReadSpin), which spares the two process wake-ups a pipe
//   round trip would otherwise cost; debug_cpu_us_per_step is DEBUG's own share of it.
// - "t" / "p" streamed: 500 one-step commands sent at once and their 500 replies read back, as a script
//   piped into DEBUG gives them; bounded by DEBUG's work per command and its reads and writes.
//
//   bench_debug --benchmark_min_time=1     (another build's DEBUG.EXE: KRVS_TOOLS=its Bin/)

#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/read_spin.h"

namespace {

class Debugger {
public:
    Debugger() {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[0]); ::close(in[1]); ::close(out[0]); ::close(out[1]);
            // Another build's tools when KRVS_TOOLS names them, to compare two builds in one run.
            const char* other = std::getenv("KRVS_TOOLS");
            const std::string exe = std::string(other && *other ? other : KRVS_TOOLS_DIR) + "/DEBUG.EXE";
            ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_to = in[1];
        m_from = out[0];
        readReply();
    }
    ~Debugger() {
        ::close(m_to);
        ::close(m_from);
        if (m_pid <= 0) return;  // a failed fork: kill(-1) would reach every process
        ::kill(m_pid, SIGKILL);
        int status;
        ::waitpid(m_pid, &status, 0);
    }
    bool ok() const { return m_pid > 0; }
    // CPU seconds DEBUG.EXE has used so far (user + system), from /proc; steadier than wall time when
    // other work shares the machine.
    double cpuSeconds() const {
        std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14) ticks += std::stod(field);  // utime, stime
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    // Sends a command line and reads until the prompt; returns the number of reads it took.
    int command(const std::string& line) {
        const std::string bytes = line + "\r";
        if (::write(m_to, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return -1;
        return readReply();
    }

    // Sends `count` copies of a command line in one write and reads until as many prompts came back.
    bool streamed(const std::string& line, int count) {
        std::string bytes;
        for (int i = 0; i < count; ++i) bytes += line + "\r";
        if (::write(m_to, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return false;
        for (int i = 0; i < count; ++i)
            if (readReply() < 0) return false;
        return true;
    }

private:
    int readReply() {
        int reads = 0;
        for (;;) {
            // The prompt is a '-' at the start of a line, which a register display never has. Bytes after
            // it (the next reply of a stream) stay for the next call.
            for (std::size_t i = m_scan; i < m_buffered.size(); ++i) {
                const char prev = i > 0 ? m_buffered[i - 1] : m_lastByte;
                if (m_buffered[i] == '-' && prev == '\n') {
                    m_lastByte = '-';
                    m_buffered.erase(0, i + 1);
                    m_scan = 0;
                    return std::max(reads, 1);
                }
            }
            m_scan = m_buffered.size();
            char buf[65536];
            m_spin.before(m_from);  // as the IDE's reader does (platform::Process::read)
            ssize_t n = ::read(m_from, buf, sizeof buf);
            m_spin.after();
            if (n <= 0) return -1;
            ++reads;
            m_buffered.append(buf, static_cast<std::size_t>(n));
        }
    }
    std::string m_buffered;
    std::size_t m_scan = 0;
    krvs::platform::ReadSpin m_spin;
    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
    char m_lastByte = '\n';
};

// Puts an endless loop with a call and an interrupt in it at 100, so that P runs over both:
// 100 INC AX / CALL 0110 / INT 1C / JMP 0100, and 110 INC BX / RET. False when DEBUG did not start.
bool loadLoop(benchmark::State& state, Debugger& d) {
    if (!d.ok()) {
        state.SkipWithError("cannot start DEBUG.EXE");
        return false;
    }
    d.command("e 100 40 e8 0c 00 cd 1c eb f8");
    d.command("e 110 43 c3");
    return true;
}

// `steps` is how many steps one command makes (its count, or 1 without one).
void stepsThroughPipe(benchmark::State& state, const std::string& command, int steps) {
    Debugger d;
    if (!loadLoop(state, d)) return;
    std::int64_t extraReads = 0;
    const double cpuBefore = d.cpuSeconds();
    for (auto _ : state) {
        int reads = d.command(command);
        if (reads < 0) {
            state.SkipWithError("DEBUG.EXE went away");
            return;
        }
        extraReads += reads - 1;
    }
    const double total = static_cast<double>(state.iterations()) * steps;
    state.SetItemsProcessed(static_cast<std::int64_t>(total));
    state.counters["steps_per_s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    if (steps == 1) state.counters["split_replies"] = static_cast<double>(extraReads);
    state.counters["debug_cpu_us_per_step"] = (d.cpuSeconds() - cpuBefore) * 1e6 / std::max(1.0, total);
}

void streamedThroughPipe(benchmark::State& state, const std::string& command) {
    constexpr int kCommands = 500;
    Debugger d;
    if (!loadLoop(state, d)) return;
    const double cpuBefore = d.cpuSeconds();
    for (auto _ : state) {
        if (!d.streamed(command, kCommands)) {
            state.SkipWithError("DEBUG.EXE went away");
            return;
        }
    }
    const double total = static_cast<double>(state.iterations()) * kCommands;
    state.SetItemsProcessed(static_cast<std::int64_t>(total));
    state.counters["steps_per_s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.counters["debug_cpu_us_per_step"] = (d.cpuSeconds() - cpuBefore) * 1e6 / std::max(1.0, total);
}

void BM_Proceed1000ThroughPipe(benchmark::State& state) { stepsThroughPipe(state, "p 3e8", 1000); }
void BM_Trace1000ThroughPipe(benchmark::State& state) { stepsThroughPipe(state, "t 3e8", 1000); }
void BM_ProceedThroughPipe(benchmark::State& state) { stepsThroughPipe(state, "p", 1); }
void BM_TraceThroughPipe(benchmark::State& state) { stepsThroughPipe(state, "t", 1); }

void BM_ProceedStreamedThroughPipe(benchmark::State& state) { streamedThroughPipe(state, "p"); }
void BM_TraceStreamedThroughPipe(benchmark::State& state) { streamedThroughPipe(state, "t"); }

BENCHMARK(BM_Proceed1000ThroughPipe)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trace1000ThroughPipe)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProceedThroughPipe)->UseRealTime();
BENCHMARK(BM_TraceThroughPipe)->UseRealTime();
BENCHMARK(BM_ProceedStreamedThroughPipe)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TraceStreamedThroughPipe)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
