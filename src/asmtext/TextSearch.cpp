#include "asmtext/TextSearch.h"

#include <array>
#include <string>

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

struct WordChars {
  std::array<bool, 256> is{};
  constexpr WordChars() {
    for (unsigned char c : std::string_view("$.?@_")) is[c] = true;
    for (int c = '0'; c <= '9'; ++c) is[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) is[c] = is[c + 32] = true;
  }
};
constexpr WordChars kWordChars;

// Keywords that must follow a name for each definition kind, upper case.
constexpr std::string_view kMacroWords[] = {"MACRO"};
constexpr std::string_view kSegmentWords[] = {"SEGMENT"};
constexpr std::string_view kProcWords[] = {"PROC"};
constexpr std::string_view kVariableWords[] = {
    "DB", "DW", "DD", "BYTE", "SBYTE", "WORD", "SWORD", "DWORD", "SDWORD", "DF",
    "FWORD", "DQ", "QWORD", "DT", "TBYTE", "REAL4", "REAL8", "REAL10", "LABEL"};

// True when one of the words stands at index i of text (any letter case) and no word character
// follows it; the end of the text follows as no word character.
template <std::size_t N>
bool keywordAt(std::string_view text, std::size_t i, const std::string_view (&words)[N]) {
  for (std::string_view w : words) {
    if (i + w.size() > text.size() || !equalsNoCase(text.substr(i, w.size()), w)) continue;
    std::size_t after = i + w.size();
    if (after == text.size() || !isSearchWordChar(text[after])) return true;
  }
  return false;
}

bool definitionFollows(std::string_view text, std::size_t i, DefinitionKind kind) {
  switch (kind) {
    case DefinitionKind::Macro: return keywordAt(text, i, kMacroWords);
    case DefinitionKind::Segment: return keywordAt(text, i, kSegmentWords);
    case DefinitionKind::Label: return i < text.size() && text[i] == ':';
    case DefinitionKind::Variable: return keywordAt(text, i, kVariableWords);
    case DefinitionKind::Procedure: return keywordAt(text, i, kProcWords);
  }
  return false;
}

LinePart partAt(std::string_view text, std::size_t i);

// 0-based index of the first whole-word occurrence outside comments at or after from; npos if none.
// upperText and upperWord are the upper-cased text and word; the tests look at the whole text.
std::size_t findWholeWordFrom(std::string_view upperWord, std::string_view upperText, std::size_t from) {
  while (from < upperText.size()) {
    std::size_t hit = upperText.find(upperWord, from);
    if (hit == std::string_view::npos) return hit;
    // A name inside a comment or a quoted string ('data segment') is no definition.
    if (partAt(upperText, hit) == LinePart::Code && IsWholeWord(static_cast<int>(hit) + 1, upperWord, upperText)) {
      return hit;
    }
    from = hit + 1;
  }
  return std::string_view::npos;
}

}  // namespace

bool isSearchWordChar(char c) { return kWordChars.is[static_cast<unsigned char>(c)]; }

namespace {

// The part of its line that the byte at 0-based index i belongs to. The line starts after the
// previous CR or LF; the position's own line break belongs to its line.
LinePart partAt(std::string_view text, std::size_t i) {
  std::size_t start = i;
  while (start > 0 && text[start - 1] != '\r' && text[start - 1] != '\n') --start;
  return linePartAt(text.substr(start, i - start + 1), i - start);
}

}  // namespace

bool IsInComment(int pos, std::string_view text) {
  if (pos < 1 || static_cast<std::size_t>(pos) > text.size()) return false;
  return partAt(text, static_cast<std::size_t>(pos) - 1) == LinePart::Comment;
}

bool IsWholeWord(int pos, std::string_view word, std::string_view text) {
  if (pos < 1) return false;
  auto i = static_cast<std::size_t>(pos) - 1;
  if (i > 0 && i - 1 < text.size() && isSearchWordChar(text[i - 1])) return false;
  std::size_t after = i + word.size();
  return !(after < text.size() && isSearchWordChar(text[after]));
}

int FindWholeWord(std::string_view word, std::string_view text) {
  if (word.empty()) return 0;
  std::string upperWord = upperAscii(word), upperText = upperAscii(text);
  std::size_t hit = findWholeWordFrom(upperWord, upperText, 0);
  return hit == std::string_view::npos ? 0 : static_cast<int>(hit) + 1;
}

int FindDefinition(std::string_view name, std::string_view text, DefinitionKind kind) {
  if (name.empty()) return -1;
  std::string upperName = upperAscii(name), upperText = upperAscii(text);
  std::size_t from = 0;
  while (true) {
    std::size_t hit = findWholeWordFrom(upperName, upperText, from);
    if (hit == std::string_view::npos) return -1;
    std::size_t i = hit + upperName.size();
    while (i < text.size() && text[i] == ' ') ++i;  // blanks only: a TAB fails the test
    if (definitionFollows(text, i, kind)) return static_cast<int>(hit) + 1;
    from = hit + 1;
  }
}

int FindDefinition(std::string_view name, std::string_view text, int kind) {
  if (kind < 0 || kind > static_cast<int>(DefinitionKind::Procedure)) return -1;
  return FindDefinition(name, text, static_cast<DefinitionKind>(kind));
}

}  // namespace krvs::asmtext
