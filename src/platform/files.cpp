#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
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

Error writeFileAtomic(const std::string& path, std::string_view bytes, Durability durability) {
  std::string temp = path + ".tmp.XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return errnoText("cannot create a temporary file for", path);
  // Keep the permissions of the file being replaced; a new file gets the usual 0644.
  struct stat old {};
  ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  // The fsync is most of a build step's wall time, so only data nothing can remake pays for it.
  bool ok = writeAll(fd, bytes) && (durability == Durability::Regenerable || ::fsync(fd) == 0);
  Error error = ok ? Error{} : errnoText("cannot write", temp);
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errnoText("cannot close", temp);
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errnoText("cannot rename onto", path);
  }
  if (!ok) ::unlink(temp.c_str());
  return error;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
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

std::string homeDirectory() {
  std::string home = envVar("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
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
