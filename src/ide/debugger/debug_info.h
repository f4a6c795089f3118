#pragma once
// The line table and symbol list of a debug-mode build: the linker's map gives every source line the
// address of its code, the assembler's listing gives the offset of every label and variable.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace krvs::ide {

// Diagnostic log sink: tag, text, level.
using DebugLog = std::function<void(const std::string&, const std::string&, int)>;

struct TSymble {
  std::string Name;   // as written in the listing
  std::string Value;  // the four characters of its offset
  std::string Extra;  // never filled
};
using TSymbleArray = std::vector<TSymble>;

// Address text of every source line 0..32768, as it stands in the map (segment and offset, four
// characters each). Lookups go through an index so a step costs no scan of all slots.
class LineTable {
 public:
  static constexpr int kMaxLine = 32768;

  void clear();
  void set(int line, std::string_view segment, std::string_view offset);
  // Rebuilds the reverse index; call after the last `set`.
  void buildIndex();

  const std::string& offsetOf(int line) const;
  const std::string& segmentOf(int line) const;
  bool hasAddress(int line) const { return !offsetOf(line).empty(); }
  // The highest line whose offset text equals `offset`, -1 when none.
  int findLine(std::string_view offset) const;
  // The same, limited to the lines of one segment (relative paragraph text as in the map).
  int findLine(std::string_view segment, std::string_view offset) const;
  // True when the offset belongs to lines of more than one segment.
  bool ambiguous(std::string_view offset) const;

  // Segment of "Program entry point at SSSS:OOOO", empty when the map has no such line.
  std::string entrySegment;
  std::string entryOffset;

 private:
  struct Slot {
    std::string segment;
    std::string offset;
  };
  std::vector<Slot> m_slots = std::vector<Slot>(kMaxLine + 1);
  std::unordered_map<std::string, int> m_byOffset;
  std::unordered_map<std::string, int> m_bySegmentOffset;
  std::unordered_map<std::string, int> m_segmentsOfOffset;
};

// Splits text into lines: CR LF, a lone CR and a lone LF each end a line; a final break opens none.
std::vector<std::string> splitTextLines(std::string_view text);

// Reads every "Line numbers for" section of a map into `table`. False (with a reason in `error`)
// when the map has no line numbers or an entry cannot be read.
bool readMapLineTable(const std::vector<std::string>& mapLines, LineTable& table, std::string* error);

// Reads the listing's symbol table (with or without cross-reference columns). Symbols without a
// segment:offset value are logged under "Load Lst File" and left out.
TSymbleArray readListingSymbols(const std::vector<std::string>& listingLines, const DebugLog& log);

// Reads both files; false when either cannot be read or the map has no usable line numbers.
bool loadDebugFiles(const std::string& listingPath, const std::string& mapPath, LineTable& table,
                    TSymbleArray& symbols, const DebugLog& log, std::string* error);

}  // namespace krvs::ide
