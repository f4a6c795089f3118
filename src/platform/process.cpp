#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace krvs::platform {

namespace {

// A child that closed its input must not kill the IDE with SIGPIPE; the write reports EPIPE.
void ignoreSigpipeOnce() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

std::vector<std::string> mergedEnvironment(const ProcessOptions& options) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& [key, value] : options.environment) replaced = replaced || key == name;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& [key, value] : options.environment) env.push_back(key + "=" + value);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

int decodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

Process::~Process() {
  if (started() && !m_exitCode) terminate();
  closeInput();
  closeOutput();
  closeFd(m_wake[0]);
  closeFd(m_wake[1]);
}

Error Process::start(const ProcessOptions& options) {
  if (started()) return "process already started";
  ignoreSigpipeOnce();
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return std::string("pipe: ") + std::strerror(errno);
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return std::string("pipe: ") + std::strerror(errno);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (options.mergeStderr) posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group, so terminate() reaches the programs the child starts as well.
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argStrings{options.program};
  argStrings.insert(argStrings.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> envStrings = mergedEnvironment(options);
  std::vector<char*> argv = pointers(argStrings);
  std::vector<char*> envp = pointers(envStrings);
  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, options.program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(in[0]);
  ::close(out[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return "cannot start " + options.program + ": " + std::strerror(rc);
  }
  if (m_wake[0] < 0 && ::pipe2(m_wake, O_CLOEXEC) != 0) m_wake[0] = m_wake[1] = -1;
  m_pid = pid;
  m_stdin = in[1];
  m_stdout = out[0];
  m_exitCode.reset();
  return {};
}

Error Process::write(std::string_view bytes) {
  if (m_stdin < 0) return "the process's input is closed";
  while (!bytes.empty()) {
    ssize_t n = ::write(m_stdin, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::string("write: ") + std::strerror(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

void Process::closeInput() { closeFd(m_stdin); }
void Process::closeOutput() { closeFd(m_stdout); }

std::optional<std::string> Process::read(std::size_t maxBytes) {
  if (m_stdout < 0 || maxBytes == 0) return std::nullopt;
  m_readSpin.before(m_stdout);
  std::optional<std::string> chunk = readWaiting(maxBytes);
  m_readSpin.after();
  return chunk;
}

std::optional<std::string> Process::readWaiting(std::size_t maxBytes) {
  std::string buffer(maxBytes, '\0');
  for (;;) {
    pollfd fds[2] = {{m_stdout, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    int ready = ::poll(fds, m_wake[0] >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN)) return std::nullopt;
    ssize_t n = ::read(m_stdout, buffer.data(), maxBytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    buffer.resize(static_cast<size_t>(n));
    return buffer;
  }
}

void Process::cancelRead() {
  if (m_wake[1] >= 0) {
    ssize_t n;
    do {
      n = ::write(m_wake[1], "x", 1);
    } while (n < 0 && errno == EINTR);
  }
}

int Process::wait() {
  if (m_exitCode) return *m_exitCode;
  if (!started()) return -1;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(m_pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  m_exitCode = r == m_pid ? decodeStatus(status) : -1;
  return *m_exitCode;
}

std::optional<int> Process::exitCode() {
  if (m_exitCode || !started()) return m_exitCode;
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) m_exitCode = decodeStatus(status);
  return m_exitCode;
}

void Process::terminate(int graceMs) {
  if (!started() || m_exitCode) return;
  // The child is not reaped until the end, so its pid, and with it the group id, cannot be reused
  // by an unrelated process while the signals are sent.
  auto ended = [this] {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == m_pid;
  };
  ::kill(-m_pid, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (!ended() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Also ends programs the child started that ignored SIGTERM or outlived it.
  ::kill(-m_pid, SIGKILL);
  wait();
}

std::string findInPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0 ? program : "";
  std::string path = envVar("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    std::string candidate = joinPath(dir.empty() ? "." : dir, program);
    if (fileExists(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

Error runAttached(const std::vector<std::string>& argv, int in, int out, int err, int& exitCode) {
  if (argv.empty()) return "no program";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in != 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
  if (out != 1) posix_spawn_file_actions_adddup2(&actions, out, 1);
  if (err != 2) posix_spawn_file_actions_adddup2(&actions, err, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> args = argv;
  std::vector<char*> argp = pointers(args);
  pid_t pid = -1;
  int rc = ::posix_spawn(&pid, argp[0], &actions, &attr, argp.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return "cannot start " + argv[0] + ": " + std::strerror(rc);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::string("waitpid: ") + std::strerror(errno);
  }
  exitCode = decodeStatus(status);
  return {};
}

}  // namespace krvs::platform
