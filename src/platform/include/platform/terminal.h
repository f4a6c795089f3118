#pragma once
// The terminal a tool runs in: whether there is one, keys one at a time, and Ctrl-C.
#include <functional>
#include <memory>

namespace krvs::platform {

bool isTerminal(int fd);

// While it lives, the terminal on `fd` hands over each key as it is typed, without echo, and leaves CR and
// LF as they are in both directions (the emulated programs write their own CR LF). Nothing changes when
// `fd` is no terminal; active() tells which.
class RawTerminal {
 public:
  explicit RawTerminal(int fd);
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;
  bool active() const { return m_saved != nullptr; }

 private:
  struct Saved;
  int m_fd;
  std::unique_ptr<Saved> m_saved;
};

// Ctrl-C from then on calls `handler` on a thread of its own instead of ending the process, so the handler
// may lock and wake waiters as no signal handler may. Call it before any other thread starts: SIGINT is
// blocked in the caller, and threads started later inherit that. Host programs started with runAttached
// get SIGINT back. Returns false when the signal could not be taken over.
bool handleInterrupts(std::function<void()> handler);

// A descriptor that becomes readable each time the process is asked to end (SIGTERM, SIGINT or SIGHUP
// from then on), for an event loop to watch and close its windows in order instead of dying at once;
// -1 when it could not be set up. Call it once. takeEndRequests empties it after a wake-up.
int watchEndRequests();
void takeEndRequests(int fd);

// Writing to a pipe whose reader has gone returns an error instead of ending the process.
void ignoreBrokenPipes();

}  // namespace krvs::platform
