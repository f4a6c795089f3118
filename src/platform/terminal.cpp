#include "platform/terminal.h"

#include <csignal>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace krvs::platform {

struct RawTerminal::Saved {
  termios modes{};
};

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

RawTerminal::RawTerminal(int fd) : m_fd(fd) {
  auto saved = std::make_unique<Saved>();
  if (!isTerminal(fd) || ::tcgetattr(fd, &saved->modes) != 0) return;
  termios raw = saved->modes;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_iflag &= static_cast<tcflag_t>(~ICRNL);
  raw.c_oflag &= static_cast<tcflag_t>(~ONLCR);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &raw) == 0) m_saved = std::move(saved);
}

RawTerminal::~RawTerminal() {
  if (m_saved) ::tcsetattr(m_fd, TCSANOW, &m_saved->modes);
}

bool handleInterrupts(std::function<void()> handler) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  // The thread stays in sigwait until the process ends, so it is detached rather than joined.
  std::thread([set, handler = std::move(handler)] {
    for (int sig = 0;;) {
      if (::sigwait(&set, &sig) == 0) handler();
    }
  }).detach();
  return true;
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace krvs::platform
