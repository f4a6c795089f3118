#include "debugger/stack_view.h"

#include <cctype>

#include "debugger/debug_info.h"
#include "debugger/mem_dump.h"

namespace krvs::ide {

std::vector<StackWord> readStackWords(const std::vector<std::string>& dumpLines, const std::string& sp, int words) {
  std::vector<StackWord> out;
  std::optional<long> start = readNumberText("0x" + sp);
  if (!start) return out;
  for (int k = 0; k < words; ++k) {
    long at = *start + 2L * k;
    if (at + 1 > 0xFFFF) break;
    int lo = GetMemByte(dumpLines, int(at), {});
    int hi = GetMemByte(dumpLines, int(at + 1), {});
    if (lo < 0 || hi < 0) break;
    out.push_back({hexText(at, 4), hexText(hi * 256 + lo, 4), -1});
  }
  return out;
}

bool isCallLine(const std::string& sourceLine) {
  std::string code = sourceLine.substr(0, sourceLine.find(';'));
  std::size_t colon = code.find(':');
  // A label ends in a colon before the first blank; a segment override comes later, in the operand.
  std::size_t firstWord = code.find_first_not_of(" \t");
  if (colon != std::string::npos && firstWord != std::string::npos &&
      code.find_first_of(" \t", firstWord) > colon) {
    code = code.substr(colon + 1);
  }
  std::size_t at = code.find_first_not_of(" \t");
  if (at == std::string::npos || code.size() < at + 4) return false;
  std::string word = code.substr(at, 4);
  for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
  return word == "call" && (code.size() == at + 4 || code[at + 4] == ' ' || code[at + 4] == '\t');
}

void markReturnAddresses(std::vector<StackWord>& words, const LineTable& lines, const std::string& segment,
                         const std::function<std::string(int)>& sourceLine) {
  for (StackWord& w : words) {
    int line = segment.empty() ? lines.findLine(w.value) : lines.findLine(segment, w.value);
    if (line <= 0) continue;
    // The line before it with code, in the same segment, must be the CALL that pushed the word.
    for (int prev = line - 1; prev >= 0; --prev) {
      if (!lines.hasAddress(prev) || lines.segmentOf(prev) != lines.segmentOf(line)) continue;
      if (isCallLine(sourceLine(prev))) w.returnLine = line;
      break;
    }
  }
}

}  // namespace krvs::ide
