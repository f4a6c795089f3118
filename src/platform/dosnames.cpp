#include "platform/dosnames.h"

#include <algorithm>
#include <dirent.h>
#include <unistd.h>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace krvs::platform {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string> caseVariants(const std::string& path) {
  std::string dir = directoryOf(path);
  std::string name = fileNameOf(path);
  std::vector<std::string> found;
  if (DIR* d = ::opendir(dir.empty() ? "." : dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      if (equalsNoCase(e->d_name, name)) found.push_back(joinPath(dir, e->d_name));
    }
    ::closedir(d);
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool dosCharacter(unsigned char c) {
  static constexpr std::string_view kRefused = " \"*+,./:;<=>?[\\]|";
  return c >= 0x20 && c != 0x7F && kRefused.find(static_cast<char>(c)) == std::string_view::npos;
}

bool allDosCharacters(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return dosCharacter(static_cast<unsigned char>(c)); });
}

}  // namespace

bool isShortName(const std::string& name) {
  std::size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  return allDosCharacters(base) && allDosCharacters(ext);
}

std::string toShortName(const std::string& name) {
  std::size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || !allDosCharacters(base) || !allDosCharacters(ext)) return {};
  base.resize(std::min<std::size_t>(base.size(), 8));
  ext.resize(std::min<std::size_t>(ext.size(), 3));
  std::string out = base + (ext.empty() ? "" : "." + ext);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string findShortEntry(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {};
  std::string exact, folded;
  while (const dirent* e = ::readdir(d)) {
    if (!isShortName(e->d_name)) continue;
    if (name == e->d_name) {
      exact = e->d_name;
      break;
    }
    if (folded.empty() && equalsNoCase(name, e->d_name)) folded = e->d_name;
  }
  ::closedir(d);
  return exact.empty() ? folded : exact;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::optional<std::string> findNoCase(const std::string& path) {
  if (fileExists(path)) return path;
  for (const std::string& candidate : caseVariants(path)) {
    if (fileExists(candidate)) return candidate;
  }
  return std::nullopt;
}

std::string resolveNoCase(const std::string& path) { return findNoCase(path).value_or(path); }

int removeNoCase(const std::string& path) {
  int removed = 0;
  for (const std::string& candidate : caseVariants(path)) {
    if (fileExists(candidate) && ::unlink(candidate.c_str()) == 0) ++removed;
  }
  return removed;
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
  auto slash = path.find_last_of('/');
  auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
  return path.substr(0, dot) + extension;
}

}  // namespace krvs::platform
