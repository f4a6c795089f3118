// Arbitrary bytes through the formatter, the scanner and the searches. Crashes, hangs and sanitizer
// reports are what libFuzzer finds by itself; the properties below trap when broken:
//  - a formatted line keeps every visible character in its order (letter case aside);
//  - the scanner's tokens cover the line without gaps or empty tokens.
//
//   fuzz_asmtext -max_total_time=60 corpus_dir/

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "asmtext/TFormat.h"
#include "asmtext/TSynAsmSyn.h"
#include "asmtext/TextSearch.h"
#include "asmtext/TextUtil.h"

using namespace krvs::asmtext;

namespace {

std::string visible(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!isTrimmable(static_cast<unsigned char>(c))) out += upperAscii(c);
  }
  return out;
}

// Settings from the first bytes, widths from -8 to 23 so that zero and negative ones occur.
FormatSettings settingsFrom(std::string_view& data) {
  FormatSettings s;
  if (data.size() < 6) return s;
  auto width = [&](std::size_t i) { return static_cast<int>(static_cast<unsigned char>(data[i]) % 32) - 8; };
  s.caseMode = static_cast<unsigned char>(data[0]) % 4;
  s.autoFormat = (static_cast<unsigned char>(data[0]) & 0x80) == 0;
  s.column1Width = width(1);
  s.column2Width = width(2);
  s.column3Width = width(3);
  s.gap1Width = width(4);
  s.gap2Width = width(5);
  data.remove_prefix(6);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static TDB db;
  static TFormat fmt(db);
  static TSynAsmSyn syn;

  std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const FormatSettings settings = settingsFrom(data);

  std::string line(data);
  fmt.FormatLine(line, settings);
  if (visible(line) != visible(data)) __builtin_trap();

  std::size_t next = 0;
  syn.ScanLine(data, [&](const Token& t) {
    if (t.start != next || t.length == 0) __builtin_trap();
    next = t.start + t.length;
  });
  if (next != data.size()) __builtin_trap();

  // The searches on the same bytes as a text, with its first word as the name.
  std::string rest(data);
  std::string name = TFormat::ExtractWord(rest);
  int pos = FindDefinition(name, data, static_cast<int>(size % 6));
  if (pos == 0 || pos > static_cast<int>(data.size())) __builtin_trap();
  int word = FindWholeWord(name, data);
  if (word < 0 || word > static_cast<int>(data.size())) __builtin_trap();
  return 0;
}
