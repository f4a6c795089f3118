#include <gtest/gtest.h>

#include <random>
#include <string>

#include "asmtext/TFormat.h"
#include "asmtext/TSynAsmSyn.h"
#include "asmtext/TextUtil.h"

namespace krvs::asmtext {
namespace {

// The characters that must survive formatting: everything but blanks and control characters,
// compared without letter case.
std::string visible(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!isTrimmable(static_cast<unsigned char>(c))) out += upperAscii(c);
  }
  return out;
}

// Lines built from assembly-like pieces and raw bytes, so that both real layouts and garbage occur.
std::string randomLine(std::mt19937& rng) {
  static const char* pieces[] = {"mov", "MACRO", "print", "start:", "db", "segment", "proc", ";", "'",
                                 "\"", ":", " ", "\t", "ax,bx", "typedef", ".model", "title", "jnz",
                                 "数据", "&", "0x1F", "<=", "//", "\r", "\n", "x:", "label", "'a;b'"};
  std::uniform_int_distribution<int> count(0, 12), pick(0, 3), piece(0, std::size(pieces) - 1),
      byte(0, 255);
  std::string line;
  for (int n = count(rng); n > 0; --n) {
    if (pick(rng) == 0) line += static_cast<char>(byte(rng));
    else line += pieces[piece(rng)];
    if (pick(rng) == 0) line += ' ';
  }
  return line;
}

TEST(AsmtextRandomLines, FormattingKeepsEveryVisibleCharacterInOrder) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> width(-3, 24), caseMode(0, 3);
  TDB db;
  TFormat fmt(db);
  for (int i = 0; i < 4000; ++i) {
    const std::string original = randomLine(rng);
    FormatSettings s;
    s.caseMode = caseMode(rng);
    s.column1Width = width(rng);
    s.column2Width = width(rng);
    s.column3Width = width(rng);
    s.gap1Width = width(rng);
    s.gap2Width = width(rng);
    std::string line = original;
    fmt.FormatLine(line, s);
    ASSERT_EQ(visible(line), visible(original)) << "line " << i << ": [" << original << "] -> [" << line << "]";
  }
}

TEST(AsmtextRandomLines, TokensCoverTheLineWithoutGaps) {
  std::mt19937 rng(99);
  TSynAsmSyn syn;
  for (int i = 0; i < 4000; ++i) {
    const std::string line = randomLine(rng);
    std::size_t next = 0;
    syn.ScanLine(line, [&](const Token& t) {
      ASSERT_EQ(t.start, next) << "line " << i;
      ASSERT_GT(t.length, 0u) << "line " << i;
      ASSERT_NE(t.kind, TokenKind::EndOfLine);
      next = t.start + t.length;
    });
    ASSERT_EQ(next, line.size()) << "line " << i << ": [" << line << "]";
  }
}

}  // namespace
}  // namespace krvs::asmtext
