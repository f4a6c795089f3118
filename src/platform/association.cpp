#include "platform/association.h"

#include <sstream>
#include <vector>

#include "platform/paths.h"
#include "platform/process.h"

namespace krvs::platform {

namespace {

const char* const kDefaultSection = "[Default Applications]";
const char* const kAddedSection = "[Added Associations]";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// The value of `key` in `section` of an INI-like freedesktop file, nullopt when absent.
std::optional<std::string> keyValue(const std::vector<std::string>& lines, const std::string& section,
                                    const std::string& key) {
  bool inSection = false;
  for (const std::string& raw : lines) {
    std::string line = trim(raw);
    if (!line.empty() && line.front() == '[') {
      inSection = line == section;
      continue;
    }
    auto eq = line.find('=');
    if (inSection && eq != std::string::npos && trim(line.substr(0, eq)) == key) {
      return trim(line.substr(eq + 1));
    }
  }
  return std::nullopt;
}

std::string firstListEntry(const std::string& list) { return trim(list.substr(0, list.find(';'))); }

// `list` with `entry` first and no other copy of it.
std::string withEntryFirst(const std::string& list, const std::string& entry) {
  std::string result = entry + ";";
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ';');) {
    item = trim(item);
    if (!item.empty() && item != entry) result += item + ";";
  }
  return result;
}

// Sets `key` in `section`, adding the section at the end when it is missing.
void setKey(std::vector<std::string>& lines, const std::string& section, const std::string& key,
            const std::string& value) {
  size_t sectionStart = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (trim(lines[i]) == section) {
      sectionStart = i;
      break;
    }
  }
  if (sectionStart == lines.size()) {
    if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back("");
    lines.push_back(section);
    lines.push_back(key + "=" + value);
    return;
  }
  size_t insertAt = sectionStart + 1;
  for (size_t i = sectionStart + 1; i < lines.size(); ++i) {
    std::string line = trim(lines[i]);
    if (!line.empty() && line.front() == '[') break;
    auto eq = line.find('=');
    if (eq != std::string::npos && trim(line.substr(0, eq)) == key) {
      lines[i] = key + "=" + value;
      return;
    }
    if (!line.empty()) insertAt = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string desktopEntryText(const AsmAssociation& a) {
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
  text += "Name=Korvash\n";
  text += "GenericName=" + a.typeName + "\n";
  text += "Comment=" + a.description + "\n";
  if (!a.iconFile.empty()) text += "Icon=" + a.iconFile + "\n";
  text += "Exec=" + desktopExecValue(a.programFile) + "\n";
  text += "MimeType=" + std::string(kAsmMimeType) + ";\n";
  text += "Terminal=false\nCategories=Development;IDE;\n";
  return text;
}

void refreshDesktopDatabase(const std::string& applicationsDir) {
  std::string tool = findInPath("update-desktop-database");
  if (tool.empty()) return;
  Process p;
  if (p.start({tool, {applicationsDir}, {}, true, {}}).empty()) {
    while (p.read()) {
    }
    p.wait();
  }
}

}  // namespace

AssociationPaths userAssociationPaths() {
  return {joinPath(xdgDataHome(), "applications"), joinPath(xdgConfigHome(), "mimeapps.list")};
}

std::string desktopExecValue(const std::string& programFile) {
  // Inside double quotes the characters " ` $ \ take a backslash; the string-value escaping of
  // the desktop file then doubles every backslash once more.
  std::string quoted = "\"";
  for (char c : programFile) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += "\\\\";
    if (c == '%') quoted += '%';  // a literal percent sign is written twice
    quoted += c;
  }
  return quoted + "\" %f";
}

bool isAsmAssociated(const AssociationPaths& paths, const std::string& programFile) {
  auto mimeApps = readFile(paths.mimeAppsList);
  if (!mimeApps) return false;
  auto defaults = keyValue(splitLines(*mimeApps), kDefaultSection, kAsmMimeType);
  if (!defaults || firstListEntry(*defaults) != kDesktopFileName) return false;
  auto entry = readFile(joinPath(paths.applicationsDir, kDesktopFileName));
  if (!entry) return false;
  auto exec = keyValue(splitLines(*entry), "[Desktop Entry]", "Exec");
  return exec && !programFile.empty() && exec->find(programFile) != std::string::npos;
}

Error associateAsm(const AssociationPaths& paths, const AsmAssociation& association) {
  if (Error e = makeDirectories(paths.applicationsDir); !e.empty()) return e;
  std::string desktopFile = joinPath(paths.applicationsDir, kDesktopFileName);
  if (Error e = writeFileAtomic(desktopFile, desktopEntryText(association)); !e.empty()) return e;

  if (Error e = makeDirectories(directoryOf(paths.mimeAppsList)); !e.empty()) return e;
  std::vector<std::string> lines;
  if (fileExists(paths.mimeAppsList)) {
    auto text = readFile(paths.mimeAppsList);
    if (!text) return "cannot read " + paths.mimeAppsList;
    lines = splitLines(*text);
  }
  auto added = keyValue(lines, kAddedSection, kAsmMimeType).value_or("");
  auto defaults = keyValue(lines, kDefaultSection, kAsmMimeType).value_or("");
  setKey(lines, kAddedSection, kAsmMimeType, withEntryFirst(added, kDesktopFileName));
  setKey(lines, kDefaultSection, kAsmMimeType, withEntryFirst(defaults, kDesktopFileName));
  if (Error e = writeFileAtomic(paths.mimeAppsList, joinLines(lines)); !e.empty()) return e;

  refreshDesktopDatabase(paths.applicationsDir);
  return {};
}

}  // namespace krvs::platform
