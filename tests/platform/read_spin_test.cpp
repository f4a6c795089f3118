#include "platform/read_spin.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <thread>

namespace krvs::platform {
namespace {

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(m_fds), 0); }
  ~Pipe() {
    ::close(m_fds[0]);
    ::close(m_fds[1]);
  }
  int readEnd() const { return m_fds[0]; }
  void put() { EXPECT_EQ(::write(m_fds[1], "x", 1), 1); }
  void take() {
    char c;
    EXPECT_EQ(::read(m_fds[0], &c, 1), 1);
  }

 private:
  int m_fds[2] = {-1, -1};
};

bool severalCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return ::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

// After a short wait, whether the next one spins: it then sees the byte already waiting. The short
// wait is made again a few times, since a busy machine may pause this thread for longer than
// kShortWait between the two calls.
bool spinsAfterAShortWait(ReadSpin& spin, Pipe& pipe) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    spin.before(pipe.readEnd());  // an empty pipe: gives up after the budget at most
    spin.after();
    pipe.put();
    const bool spun = spin.before(pipe.readEnd());
    pipe.take();
    spin.after();
    if (spun) return true;
  }
  return false;
}

// Spinning follows the last wait: none at first or after a wait as long as a person's, some after a
// wait as short as a program's answer, and never with one CPU. before() reports readable input only
// when it looked, so a byte already waiting in the pipe shows whether it spun.
TEST(ReadSpin, SpinsOnlyAfterAShortWaitAndOnlyWithAnotherCpu) {
  Pipe pipe;
  ReadSpin spin;
  pipe.put();
  EXPECT_FALSE(spin.before(pipe.readEnd())) << "the first wait spins";
  pipe.take();
  spin.after();

  EXPECT_EQ(spinsAfterAShortWait(spin, pipe), severalCpus());

  spin.before(pipe.readEnd());
  std::this_thread::sleep_for(ReadSpin::kShortWait * 3);
  spin.after();
  pipe.put();
  EXPECT_FALSE(spin.before(pipe.readEnd())) << "a wait after a long one spins";
  pipe.take();
  spin.after();
}

}  // namespace
}  // namespace krvs::platform
