#include "platform/terminal.h"

#include <csignal>
#include <fcntl.h>
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

namespace {

int g_endPipe[2] = {-1, -1};

extern "C" void onEndRequest(int) {
  const char b = 1;
  [[maybe_unused]] ssize_t n = ::write(g_endPipe[1], &b, 1);  // a full pipe already says it
}

}  // namespace

int watchEndRequests() {
  if (g_endPipe[0] < 0 && ::pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction sa {};
  sa.sa_handler = onEndRequest;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
  return g_endPipe[0];
}

void takeEndRequests(int fd) {
  char b;
  while (::read(fd, &b, 1) == 1) {}
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace krvs::platform
