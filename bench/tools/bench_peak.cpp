// Peak resident memory and wall time of a whole process, as a user's shell would start it: runs
// COMMAND `runs` times, its standard output thrown away, and prints the medians.
//
//   bench_peak RUNS COMMAND [ARGS...]
//
// The kernel carries the starting process's own high-water mark into a child it spawns, so a big
// benchmark process would report its own peak for a small tool; this program is small (linked
// statically, well under 1 MB), so any figure above that is the tool's.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

// One run, its standard output thrown away; false when it could not start or did not exit with 0.
bool runOnce(char** argv, long& peakKb, double& ms) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    peakKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc >= 3 ? std::atoi(argv[1]) : 0;
    if (runs < 1) {
        std::fprintf(stderr, "usage: bench_peak RUNS COMMAND [ARGS...]\n");
        return 2;
    }
    std::vector<long> peaks;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        long peak = 0;
        double ms = 0;
        if (!runOnce(argv + 2, peak, ms)) {
            std::fprintf(stderr, "bench_peak: %s did not start or did not exit with 0\n", argv[2]);
            return 1;
        }
        peaks.push_back(peak);
        times.push_back(ms);
    }
    std::sort(peaks.begin(), peaks.end());
    std::sort(times.begin(), times.end());
    std::printf("peak_kb %ld wall_ms %.2f (medians of %d runs)\n", peaks[peaks.size() / 2], times[times.size() / 2],
                runs);
    return 0;
}
