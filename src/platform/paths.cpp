#include "platform/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/hostfs.h"

namespace krvs::platform {

namespace {

// Files the IDE writes in its home; never linked from an installed copy.
const char* const kOwnFiles[] = {"KRVS.Ini", "KRVSLOG_1.dump", "KRVSLOG_2.log", "Bin"};

bool isOwnFile(const std::string& name) {
  return std::any_of(std::begin(kOwnFiles), std::end(kOwnFiles),
                     [&](const char* own) { return name == own; });
}

std::vector<std::string> sortedNames(const std::string& dir) {
  std::vector<std::string> names = listDirectory(dir).value_or(std::vector<std::string>{});
  std::sort(names.begin(), names.end());
  return names;
}

std::string readLink(const std::string& path) {
  char buf[PATH_MAX];
  ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  return n < 0 ? std::string{} : std::string(buf, static_cast<size_t>(n));
}

// Makes `link` a symbolic link to `target`, replacing a stale link but never a real file.
Error ensureLink(const std::string& target, const std::string& link) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return {};  // the user's own file wins
    if (readLink(link) == target) return {};
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) return "cannot link " + link + " to " + target;
  return {};
}

Error linkEntries(const std::string& fromDir, const std::string& toDir, bool skipOwn) {
  for (const std::string& name : sortedNames(fromDir)) {
    if (skipOwn && isOwnFile(name)) continue;
    if (Error e = ensureLink(joinPath(fromDir, name), joinPath(toDir, name)); !e.empty()) return e;
  }
  return {};
}

std::string xdgDir(const char* variable, const char* fallbackBelowHome) {
  std::string value = envVar(variable);
  // The base directory specification says relative values are invalid and must be ignored.
  if (!value.empty() && value.front() == '/') return value;
  return joinPath(homeDirectory(), fallbackBelowHome);
}

std::string hashHex(const std::string& text) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a, stable across runs and builds
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

bool hasBlank(const std::string& s) { return s.find(' ') != std::string::npos; }

}  // namespace

std::string executablePath() { return readLink("/proc/self/exe"); }

std::string executableDirectory() {
  std::string exe = executablePath();
  return exe.empty() ? std::string{} : directoryOf(exe);
}

std::string currentDirectory() {
  std::vector<char> buf(PATH_MAX);
  return ::getcwd(buf.data(), buf.size()) ? std::string(buf.data()) : std::string();
}

std::string xdgDataHome() { return xdgDir("XDG_DATA_HOME", ".local/share"); }
std::string xdgConfigHome() { return xdgDir("XDG_CONFIG_HOME", ".config"); }
std::string xdgCacheHome() { return xdgDir("XDG_CACHE_HOME", ".cache"); }

Error populateHome(const std::string& installDir, const std::string& home) {
  std::string bin = joinPath(home, "Bin");
  if (Error e = makeDirectories(bin); !e.empty()) return e;
  Error error = linkEntries(installDir, home, true);
  if (Error e = linkEntries(joinPath(installDir, "Bin"), bin, false); error.empty()) error = e;
  return error;
}

ProgramHome programHome(const std::string& exeDir, const std::string& dataHome) {
  if (isWritableDirectory(exeDir)) return {exeDir, {}};
  std::string home = joinPath(dataHome, "Korvash");
  Error error = populateHome(exeDir, home);
  return {isDirectory(joinPath(home, "Bin")) ? home : exeDir, error};
}

std::string shortPath(const std::string& path, Error* error, std::string cacheDir) {
  if (error) error->clear();
  if (!hasBlank(path)) return path;
  if (cacheDir.empty()) cacheDir = joinPath(xdgCacheHome(), "Korvash");
  if (hasBlank(cacheDir)) cacheDir = "/tmp/Korvash-" + std::to_string(::getuid());
  std::string shortDir = joinPath(cacheDir, "short");
  auto fail = [&](const Error& e) {
    if (error) *error = e;
    return path;
  };
  if (Error e = makeDirectories(shortDir); !e.empty()) return fail(e);

  // Link the deepest part that has a blank: the directory when the name itself has none.
  std::string dir = directoryOf(path);
  std::string name = fileNameOf(path);
  bool linkWhole = hasBlank(name) || isDirectory(path);
  std::string target = linkWhole ? path : dir;
  std::string linkName = hashHex(target);
  if (linkWhole && !isDirectory(path)) {
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos && !hasBlank(name.substr(dot))) linkName += name.substr(dot);
  }
  std::string link = joinPath(shortDir, linkName);
  if (Error e = ensureLink(target, link); !e.empty()) return fail(e);
  return linkWhole ? link : joinPath(link, name);
}

}  // namespace krvs::platform
