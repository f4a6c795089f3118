#pragma once
// A short busy wait before a blocking read from a program that answers at machine speed.
#include <chrono>

namespace krvs::platform {

// A blocking wait on a pipe costs a scheduler wake-up on each side of an exchange: tens of
// microseconds on a machine whose idle CPUs sleep, several times the work of one debugger step.
// The IDE's run loop and DEBUG exchange a step command and its reply hundreds of thousands of times
// a second. When the last wait was short (the peer is a program answering at once, not a person at
// a keyboard), before() polls the descriptor without blocking for up to kBudget first, so that the
// answer is taken on a CPU that never went to sleep. After a long wait it does not spin, so waiting
// for a person costs nothing; with a single CPU it never spins, since the peer needs that CPU.
class ReadSpin {
 public:
  static constexpr std::chrono::microseconds kBudget{50};
  static constexpr std::chrono::microseconds kShortWait{1000};

  // Call before blocking on `fd`: true when `fd` became readable while spinning.
  bool before(int fd);
  // Call when the wait is over: its length decides whether the next one spins.
  void after();

 private:
  std::chrono::steady_clock::time_point m_start{};
  bool m_lastShort = false;
};

}  // namespace krvs::platform
