#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krvs::platform {

namespace {

Error errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

AtomicFile::AtomicFile(std::string path, Durability durability)
    : m_path(std::move(path)), m_durability(durability) {}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temp.empty() && !m_committed) ::unlink(m_temp.c_str());
  m_temp.clear();
}

Error AtomicFile::open() {
  m_temp = m_path + ".tmp.XXXXXX";
  m_fd = ::mkstemp(m_temp.data());
  if (m_fd < 0) {
    m_temp.clear();
    return errnoText("cannot create a temporary file for", m_path);
  }
  // Keep the permissions of the file being replaced; a new file gets the usual 0644.
  struct stat old {};
  ::fchmod(m_fd, ::stat(m_path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  return {};
}

Error AtomicFile::write(std::string_view bytes) {
  if (m_error.empty() && !m_committed && m_fd < 0) m_error = open();
  if (m_error.empty() && !m_committed && !writeAll(m_fd, bytes)) m_error = errnoText("cannot write", m_temp);
  if (!m_error.empty()) discard();
  return m_error;
}

Error AtomicFile::commit() {
  if (m_committed) return {};
  if (Error e = write({}); !e.empty()) return e;
  // The fsync is most of a build step's wall time, so only data nothing can remake pays for it.
  if (m_durability == Durability::Synced && ::fsync(m_fd) != 0) m_error = errnoText("cannot write", m_temp);
  if (::close(m_fd) != 0 && m_error.empty()) m_error = errnoText("cannot close", m_temp);
  m_fd = -1;
  if (m_error.empty() && ::rename(m_temp.c_str(), m_path.c_str()) != 0)
    m_error = errnoText("cannot rename onto", m_path);
  m_committed = m_error.empty();
  if (!m_committed) discard();
  return m_error;
}

Error writeFileAtomic(const std::string& path, std::string_view bytes, Durability durability) {
  AtomicFile file(path, durability);
  if (Error e = file.write(bytes); !e.empty()) return e;
  return file.commit();
}

// Plain reads rather than a file stream: a stream brings the whole locale machinery into every tool
// that reads a file, and with the C++ runtime linked in, its code is paged in at each start.
std::optional<std::string> readFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[16 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      if (n < 0) return std::nullopt;
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isWritableDirectory(const std::string& path) {
  return isDirectory(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

namespace {
// The path with its links and dot components resolved; for a file not there yet, its directory's
// resolved path and its name; the path unchanged when not even the directory resolves.
std::string resolvedPath(const std::string& path) {
  if (char* full = ::realpath(path.c_str(), nullptr)) {
    std::string resolved = full;
    std::free(full);
    return resolved;
  }
  std::string dir = directoryOf(path);
  if (char* full = ::realpath(dir.empty() ? "." : dir.c_str(), nullptr)) {
    std::string resolved = joinPath(full, fileNameOf(path));
    std::free(full);
    return resolved;
  }
  return path;
}
}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return resolvedPath(a) == resolvedPath(b);
}

Error makeDirectories(const std::string& path) {
  if (path.empty() || isDirectory(path)) return {};
  std::string parent = directoryOf(path);
  if (parent != path && !parent.empty()) {
    if (Error e = makeDirectories(parent); !e.empty()) return e;
  }
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return errnoText("cannot create", path);
  return {};
}

std::string envVar(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string directoryOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace krvs::platform
