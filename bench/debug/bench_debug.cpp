// Steps per second through a pipe: "p" or "t" + CR out, one whole reply (ending in the "-" prompt) back.

#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

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
            const std::string exe = std::string(KRVS_TOOLS_DIR) + "/DEBUG.EXE";
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

private:
    int readReply() {
        int reads = 0;
        char buf[4096];
        for (;;) {
            ssize_t n = ::read(m_from, buf, sizeof buf);
            if (n <= 0) return -1;
            ++reads;
            if (buf[n - 1] == '-') return reads;
        }
    }
    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
};

void stepRoundTrip(benchmark::State& state, const char* step) {
    Debugger d;
    if (!d.ok()) {
        state.SkipWithError("cannot start DEBUG.EXE");
        return;
    }
    // An endless loop with a call and an interrupt in it, so that P runs over both:
    // 100 INC AX / CALL 0110 / INT 1C / JMP 0100, and 110 INC BX / RET.
    d.command("e 100 40 e8 0c 00 cd 1c eb f8");
    d.command("e 110 43 c3");
    std::int64_t extraReads = 0;
    const double cpuBefore = d.cpuSeconds();
    for (auto _ : state) {
        int reads = d.command(step);
        if (reads < 0) {
            state.SkipWithError("DEBUG.EXE went away");
            return;
        }
        extraReads += reads - 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["steps_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["split_replies"] = static_cast<double>(extraReads);
    state.counters["debug_cpu_us_per_step"] =
        (d.cpuSeconds() - cpuBefore) * 1e6 / static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
}

void BM_ProceedThroughPipe(benchmark::State& state) { stepRoundTrip(state, "p"); }
void BM_TraceThroughPipe(benchmark::State& state) { stepRoundTrip(state, "t"); }

BENCHMARK(BM_ProceedThroughPipe)->UseRealTime();
BENCHMARK(BM_TraceThroughPipe)->UseRealTime();

}  // namespace
