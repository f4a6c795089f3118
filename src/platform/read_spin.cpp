#include "platform/read_spin.h"

#include <poll.h>
#include <sched.h>

namespace krvs::platform {

namespace {

// CPUs this process may run on (a cpuset or taskset may allow fewer than the machine has).
bool severalCpus() {
  static const bool several = [] {
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
  }();
  return several;
}

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace

bool ReadSpin::before(int fd) {
  using Clock = std::chrono::steady_clock;
  m_start = Clock::now();
  if (!m_lastShort || !severalCpus()) return false;
  const Clock::time_point until = m_start + kBudget;
  do {
    if (readable(fd)) return true;
  } while (Clock::now() < until);
  return false;
}

void ReadSpin::after() { m_lastShort = std::chrono::steady_clock::now() - m_start < kShortWait; }

}  // namespace krvs::platform
