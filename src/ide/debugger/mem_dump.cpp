#include "debugger/mem_dump.h"

#include <cctype>
#include <cstdio>

namespace krvs::ide {

namespace {

constexpr long kSegmentSize = 0x10000;
constexpr std::size_t kSegmentPrefix = 5;  // "SSSS:"
constexpr std::size_t kFirstByte = 6;      // after "OOOO  "
constexpr int kBytesPerLine = 16;

void note(const DebugLog& log, const std::string& tag, const std::string& text) {
  if (log) log(tag, text, 99);
}

int hexValue(std::string_view s) {
  if (s.empty()) return -1;
  int v = 0;
  for (char c : s) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return -1;
    v = v * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10);
  }
  return v;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\r\n";
  return all;
}

}  // namespace

bool dumpReplyComplete(std::string_view joinedText) {
  std::vector<std::string> lines = splitTextLines(joinedText);
  // A break after the prompt would open no line, so a reply ending in "-" CR LF is not complete.
  return !lines.empty() && lines.back() == "-" && joinedText.back() == '-';
}

std::vector<std::string> dumpLinesOf(std::string_view joinedText) {
  std::vector<std::string> lines = splitTextLines(joinedText);
  std::vector<std::string> out;
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
    out.push_back(lines[i].size() > kSegmentPrefix ? lines[i].substr(kSegmentPrefix) : std::string());
  }
  return out;
}

int GetStartAddr(const std::vector<std::string>& lines, const DebugLog& log) {
  if (lines.empty()) return -1;
  int v = hexValue(std::string_view(lines[0]).substr(0, 4));
  if (v < 0 || lines[0].size() < 4) {
    note(log, "GetStartAddr", lines[0]);
    return -2;
  }
  return v;
}

int GetMemByte(const std::vector<std::string>& lines, int offset, const DebugLog& log) {
  if (lines.empty()) {
    note(log, "GetMemByte 1", "Empty input");
    return -1;
  }
  int counter = GetStartAddr(lines, log);
  if (counter < 0) {
    note(log, "GetMemByte 2", "Wrong Invoke GetStartAddr " + std::to_string(counter));
    return counter;
  }
  if (offset < counter) return -2;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (line.size() < kFirstByte) {
      note(log, "GetMemByte 3", "Wrong format: " + std::to_string(k) + " " + line);
      return -2;
    }
    if (offset >= counter + kBytesPerLine) {
      counter += kBytesPerLine;
      continue;
    }
    std::size_t at = kFirstByte + std::size_t(offset - counter) * 3;
    int v = at + 2 <= line.size() ? hexValue(std::string_view(line).substr(at, 2)) : -1;
    return v < 0 ? -2 : v;
  }
  // An offset beyond the last line is not in the dump.
  return -2;
}

std::string GetMemRange(const std::vector<std::string>& lines, std::string_view address, std::string_view length,
                        const DebugLog& log) {
  std::optional<long> a = readNumberText(address);
  std::optional<long> n = readNumberText(length);
  std::string value;
  if (!a || !n) return value;
  for (long k = 0; k < *n; ++k) {
    int b = GetMemByte(lines, int(*a + k), log);
    if (b < 0) {
      note(log, b == -1 ? "GetMemRange 1" : "GetMemRange 2",
           std::to_string(b) + "\t" + std::to_string(*a + k) + "\r\n" + joined(lines));
      continue;
    }
    value += hexText(b, 2) + ' ';
  }
  return value;
}

std::optional<long> readNumberText(std::string_view text) {
  int base = 10;
  if (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X") {
    base = 16;
    text.remove_prefix(2);
  } else if (text.substr(0, 1) == "$") {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 8) return std::nullopt;
  long v = 0;
  for (char c : text) {
    int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : std::isxdigit(static_cast<unsigned char>(c)) ? std::toupper(c) - 'A' + 10
                                                            : 99;
    if (d >= base) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

WatchCheck checkWatch(std::string_view addressText, std::string_view lengthText) {
  WatchCheck c;
  std::optional<long> a = addressText.substr(0, 2) == "0x" ? readNumberText(addressText) : std::nullopt;
  if (!a || *a >= kSegmentSize) {
    c.error = WatchError::Address;
    return c;
  }
  std::optional<long> n = readNumberText(lengthText);
  // The dump cannot reach past the end of the segment.
  if (!n || *a + *n > kSegmentSize) {
    c.error = WatchError::Length;
    return c;
  }
  c.address = *a;
  c.length = *n;
  c.lengthText = "0x" + hexText(*n, 4);
  return c;
}

std::string dumpRangeEnd(const std::vector<std::pair<long, long>>& watches) {
  long end = 0;
  for (const auto& [address, length] : watches) end = std::max(end, address + length);
  return hexText(std::min(end, kSegmentSize - 1), 4);
}

std::string hexText(long value, int digits) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%0*lX", digits, value);
  return buffer;
}

}  // namespace krvs::ide
