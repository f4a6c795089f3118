#include "debugger/debug_info.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace krvs::ide {

namespace {

const std::string kEmpty;
constexpr std::string_view kSectionHeader = "Line numbers for";
constexpr std::string_view kEntryPoint = "Program entry point at";
constexpr int kEntryWidth = 16;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isBlank(std::string_view s) {
  for (char c : s) {
    if (c != ' ' && c != '\t' && c != '\f') return false;
  }
  return true;
}

bool isHexText(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool readDecimal(std::string_view s, int* value) {
  if (s.empty() || s.size() > 6) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// One line of a line-number section: entries of 16 characters, the next one read only when at least
// four characters follow the previous one.
bool readEntryLine(const std::string& line, LineTable& table, int* entries, std::string* error) {
  std::size_t c = 0;
  for (;;) {
    if (line.size() < c + kEntryWidth) {
      *error = "short line-number entry: " + line;
      return false;
    }
    std::string_view entry = std::string_view(line).substr(c, kEntryWidth);
    int number = 0;
    std::string_view offset = trim(entry.substr(12, 4));
    if (!readDecimal(trim(entry.substr(0, 7)), &number) || number > LineTable::kMaxLine || entry[11] != ':' ||
        !isHexText(offset)) {
      *error = "unreadable line-number entry: " + line;
      return false;
    }
    table.set(number, entry.substr(7, 4), entry.substr(12, 4));
    ++*entries;
    if (line.size() < c + kEntryWidth + 4) return true;
    c += kEntryWidth;
  }
}

void readEntryPoint(std::string_view line, LineTable& table) {
  std::string_view rest = trim(line.substr(kEntryPoint.size()));
  if (rest.size() >= 9 && rest[4] == ':') {
    table.entrySegment = std::string(rest.substr(0, 4));
    table.entryOffset = std::string(rest.substr(5, 4));
  }
}

std::string expandTabs(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\t') {
      do out += ' ';
      while (out.size() % 8 != 0);
    } else {
      out += c;
    }
  }
  return out;
}

bool isSymbolHeading(std::string_view line) {
  if (!startsWith(line, "Symbol Name")) return false;
  std::string wide = expandTabs(line);
  return wide.find("Type") != std::string::npos && wide.find("Value") != std::string::npos;
}

// The whitespace-separated words of a text.
std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

bool readFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  *text = buffer.str();
  return true;
}

}  // namespace

void LineTable::clear() {
  for (Slot& s : m_slots) {
    s.segment.clear();
    s.offset.clear();
  }
  entrySegment.clear();
  entryOffset.clear();
  buildIndex();
}

void LineTable::set(int line, std::string_view segment, std::string_view offset) {
  if (line < 0 || line > kMaxLine) return;
  m_slots[line].segment = std::string(segment);
  m_slots[line].offset = std::string(offset);
}

void LineTable::buildIndex() {
  m_byOffset.clear();
  m_bySegmentOffset.clear();
  m_segmentsOfOffset.clear();
  std::unordered_map<std::string, std::string> firstSegment;
  for (int line = 0; line <= kMaxLine; ++line) {
    const Slot& s = m_slots[line];
    if (s.offset.empty()) continue;
    m_byOffset[s.offset] = line;  // ascending, so the highest line wins
    m_bySegmentOffset[s.segment + ':' + s.offset] = line;
    auto [it, inserted] = firstSegment.emplace(s.offset, s.segment);
    int& count = m_segmentsOfOffset[s.offset];
    if (inserted) {
      count = 1;
    } else if (it->second != s.segment) {
      count = 2;
    }
  }
}

const std::string& LineTable::offsetOf(int line) const {
  return line < 0 || line > kMaxLine ? kEmpty : m_slots[line].offset;
}

const std::string& LineTable::segmentOf(int line) const {
  return line < 0 || line > kMaxLine ? kEmpty : m_slots[line].segment;
}

int LineTable::findLine(std::string_view offset) const {
  if (offset.empty()) return -1;
  auto it = m_byOffset.find(std::string(offset));
  return it == m_byOffset.end() ? -1 : it->second;
}

int LineTable::findLine(std::string_view segment, std::string_view offset) const {
  if (offset.empty()) return -1;
  std::string key(segment);
  key += ':';
  key += offset;
  auto it = m_bySegmentOffset.find(key);
  return it == m_bySegmentOffset.end() ? -1 : it->second;
}

bool LineTable::ambiguous(std::string_view offset) const {
  auto it = m_segmentsOfOffset.find(std::string(offset));
  return it != m_segmentsOfOffset.end() && it->second > 1;
}

std::vector<std::string> splitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool readMapLineTable(const std::vector<std::string>& mapLines, LineTable& table, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  int entries = 0;
  bool sawSection = false;
  std::size_t i = 0;
  while (i < mapLines.size()) {
    const std::string& line = mapLines[i];
    if (startsWith(line, kEntryPoint)) readEntryPoint(line, table);
    if (!startsWith(line, kSectionHeader)) {
      ++i;
      continue;
    }
    sawSection = true;
    // The header is followed by one spacing line; entries end at a blank line, the next header, the
    // entry point or the end of the file.
    for (i += 2; i < mapLines.size(); ++i) {
      const std::string& entry = mapLines[i];
      if (isBlank(entry) || startsWith(entry, kSectionHeader) || startsWith(entry, kEntryPoint)) break;
      if (!readEntryLine(entry, table, &entries, error)) {
        table.buildIndex();
        return false;
      }
    }
  }
  table.buildIndex();
  if (!sawSection || entries == 0) {
    *error = "the map has no line numbers";
    return false;
  }
  return true;
}

TSymbleArray readListingSymbols(const std::vector<std::string>& listingLines, const DebugLog& log) {
  TSymbleArray symbols;
  bool started = false;
  for (const std::string& line : listingLines) {
    if (!started) {
      started = isSymbolHeading(line);
      continue;
    }
    if (startsWith(line, "Groups & Segments")) break;
    // Predefined symbols, page breaks and continued cross-reference lists carry no symbol of their own.
    if (line.empty() || line[0] == '?' || line[0] == '@' || line[0] == '\f' || line[0] == ' ' || line[0] == '\t') {
      continue;
    }
    std::vector<std::string_view> w = words(line);
    std::string value;
    if (w.size() >= 3) {
      std::size_t colon = w[2].find(':');
      if (colon != std::string_view::npos) value = std::string(w[2].substr(colon + 1, 4));
    }
    if (value.size() != 4 || !isHexText(value)) {
      if (log) log("Load Lst File", line, 99);
      continue;
    }
    symbols.push_back({std::string(w[0]), value, {}});
  }
  return symbols;
}

bool loadDebugFiles(const std::string& listingPath, const std::string& mapPath, LineTable& table,
                    TSymbleArray& symbols, const DebugLog& log, std::string* error) {
  std::string listing, map;
  if (!readFile(listingPath, &listing)) {
    if (error) *error = "cannot read " + listingPath;
    return false;
  }
  if (!readFile(mapPath, &map)) {
    if (error) *error = "cannot read " + mapPath;
    return false;
  }
  table.clear();
  if (!readMapLineTable(splitTextLines(map), table, error)) return false;
  symbols = readListingSymbols(splitTextLines(listing), log);
  return true;
}

}  // namespace krvs::ide
