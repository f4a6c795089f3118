#include "platform/dosnames.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/hostfs.h"

namespace krvs::platform {

namespace {

char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The one case-folding lookup: the entries of `dir` spelled like `name` in any letter case, the exact
// spelling first, then the others in byte order. `shortOnly` keeps to names DOS can hold.
std::vector<std::string> entriesNoCase(const std::string& dir, const std::string& name, bool shortOnly) {
  std::vector<std::string> found;
  bool exact = false;
  for (std::string& entry : listDirectory(dir.empty() ? "." : dir).value_or(std::vector<std::string>{})) {
    if (shortOnly && !isShortName(entry)) continue;
    if (!equalsNoCase(entry, name)) continue;
    exact = exact || entry == name;
    found.push_back(std::move(entry));
  }
  std::sort(found.begin(), found.end());
  if (exact) std::stable_partition(found.begin(), found.end(), [&](const std::string& e) { return e == name; });
  return found;
}

std::vector<std::string> caseVariants(const std::string& path) {
  std::string dir = directoryOf(path);
  std::vector<std::string> found = entriesNoCase(dir, fileNameOf(path), false);
  for (std::string& f : found) f = joinPath(dir, f);
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
  return upperAscii(base + (ext.empty() ? "" : "." + ext));
}

std::string findShortEntry(const std::string& dir, const std::string& name) {
  std::vector<std::string> found = entriesNoCase(dir, name, true);
  return found.empty() ? std::string() : found.front();
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return lowerChar(x) == lowerChar(y); });
}

std::string upperAscii(std::string text) {
  for (char& c : text) c = upperChar(c);
  return text;
}

std::string lowerAscii(std::string text) {
  for (char& c : text) c = lowerChar(c);
  return text;
}

std::string resolvePathNoCase(const std::string& path) {
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (inspect(slashed).type != EntryType::Missing) return slashed;
  std::string result = slashed.size() > 0 && slashed[0] == '/' ? "/" : "";
  std::size_t pos = 0;
  while (pos <= slashed.size()) {
    std::size_t slash = slashed.find('/', pos);
    std::string part = slashed.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? slashed.size() + 1 : slash + 1;
    if (part.empty() || part == ".") continue;
    // A component spelled exactly as it is on disk wins over its case variants anyway, so one look at it
    // spares listing every directory on the way down (a new file's path is mostly such components).
    const std::string exact = joinPath(result, part);
    if (part == ".." || inspect(exact).type != EntryType::Missing) {
      result = exact;
      continue;
    }
    std::vector<std::string> found = entriesNoCase(result, part, false);
    result = joinPath(result, found.empty() ? part : found.front());
  }
  return result;
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
    if (fileExists(candidate) && removeFile(candidate) == FsError::None) ++removed;
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
