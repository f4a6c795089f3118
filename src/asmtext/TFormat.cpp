#include "asmtext/TFormat.h"

#include <algorithm>
#include <array>

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

constexpr std::string_view kSeparators = "\t :";  // TAB, blank, colon end a word

// Mnemonics that define a variable named by the line's label.
constexpr std::array<std::string_view, 19> kVariableWords = {
    "DB",    "DW", "DD",    "BYTE", "SBYTE", "WORD",  "SWORD", "DWORD",  "SDWORD", "DF",
    "FWORD", "DQ", "QWORD", "DT",   "TBYTE", "REAL4", "REAL8", "REAL10", "LABEL"};

int clampWidth(int w) { return std::clamp(w, 1, kMaxColumnWidth); }

void appendBlanks(std::string& out, int n) {
  if (n > 0) out.append(static_cast<std::size_t>(n), ' ');
}

enum class CaseMode { Upper, Lower, Keep };

CaseMode caseModeOf(int setting) {
  if (setting == 0) return CaseMode::Upper;
  if (setting == 1) return CaseMode::Lower;
  return CaseMode::Keep;
}

void appendCased(std::string& out, std::string_view text, CaseMode mode) {
  const std::size_t start = out.size();
  out += text;
  char* p = out.data() + start;
  if (mode == CaseMode::Upper) {
    for (std::size_t i = 0; i < text.size(); ++i) p[i] = upperAscii(p[i]);
  } else if (mode == CaseMode::Lower) {
    for (std::size_t i = 0; i < text.size(); ++i) p[i] = lowerAscii(p[i]);
  }
}

// Operands keep quoted strings exactly: a string is what the program prints, so "Hello" must not
// become "HELLO". Either quote opens a string that only the same quote closes.
void appendCasedOperands(std::string& out, std::string_view text, CaseMode mode) {
  const std::size_t start = out.size();
  out += text;
  if (mode == CaseMode::Keep) return;
  char* p = out.data() + start;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (quote) {
      if (p[i] == quote) quote = 0;
    } else if (p[i] == '\'' || p[i] == '"') {
      quote = p[i];
    } else {
      p[i] = mode == CaseMode::Upper ? upperAscii(p[i]) : lowerAscii(p[i]);
    }
  }
}

bool containsNoCase(std::string_view haystack, std::string_view upperNeedle) {
  if (upperNeedle.size() > haystack.size()) return false;
  for (std::size_t i = 0; i + upperNeedle.size() <= haystack.size(); ++i) {
    if (upperAscii(haystack[i]) == upperNeedle[0] && equalsNoCase(haystack.substr(i, upperNeedle.size()), upperNeedle)) {
      return true;
    }
  }
  return false;
}

// The first word of rest, which becomes the trimmed remainder; see TFormat::ExtractWord.
std::string extractWord(std::string_view& rest) {
  const std::string_view t = trim(rest);
  // The separator search runs as if a TAB followed the text, so a lone word ends at t.size().
  const std::size_t sep = std::min(t.find_first_of(kSeparators), t.size());
  if (t.substr(0, sep).find_first_of("'\"") != std::string_view::npos) return {};  // quoted text: no word
  std::string word(trim(t.substr(0, std::min(sep + 1, t.size()))));
  std::string_view after = sep < t.size() ? t.substr(sep + 1) : std::string_view();
  std::size_t colon = after.find(':');
  if (colon != std::string_view::npos && after.find_first_not_of(' ') == colon) {
    // A label written with blanks before its colon reads like one written without them.
    word.push_back(':');
    after.remove_prefix(colon + 1);
  }
  rest = trim(after);
  return word;
}

}  // namespace

int fillWidth(std::size_t n, int w) {
  w = clampWidth(w);
  return w - static_cast<int>(n % static_cast<std::size_t>(w));
}

std::string TFormat::ExtractWord(std::string& text) {
  std::string_view rest = text;
  std::string word = extractWord(rest);
  if (rest.data() != text.data() || rest.size() != text.size()) text = std::string(rest);
  return word;
}

std::string TFormat::LayoutLine(std::string_view label, std::string_view mnemonic,
                                std::string_view operands, std::string_view comment, int kind,
                                const FormatSettings& settings) {
  std::string out;
  layoutInto(out, label, mnemonic, operands, comment, kind, settings);
  return out;
}

void TFormat::layoutInto(std::string& out, std::string_view label, std::string_view mnemonic,
                         std::string_view operands, std::string_view comment, int kind,
                         const FormatSettings& settings) {
  // Case changes touch ASCII letters only, so the widths can be taken before them.
  const CaseMode change = caseModeOf(settings.caseMode);
  const int w1 = settings.column1Width, w2 = settings.column2Width, w3 = settings.column3Width;
  const int g1 = clampWidth(settings.gap1Width), g2 = clampWidth(settings.gap2Width);
  out.clear();
  switch (kind) {
    case kKindDirective:
      appendCased(out, mnemonic, change);
      appendBlanks(out, fillWidth(gbkWidth(mnemonic), w1) + g1);
      appendCasedOperands(out, operands, change);
      appendBlanks(out, fillWidth(gbkWidth(operands), w2) + g2);
      break;
    case kKindRightAligned:
      appendBlanks(out, fillWidth(gbkWidth(mnemonic), w1));
      appendCased(out, mnemonic, change);
      appendBlanks(out, g1);
      appendCasedOperands(out, operands, change);
      appendBlanks(out, fillWidth(gbkWidth(operands), w2) + g2);
      break;
    default:
      // Kind 2, and TYPEDEF lines, which have no layout of their own: columns keep all their words.
      appendBlanks(out, fillWidth(gbkWidth(label), w1));
      appendCased(out, label, change);
      appendBlanks(out, g1);
      appendCased(out, mnemonic, change);
      appendBlanks(out, fillWidth(gbkWidth(mnemonic), w2) + g2);
      appendCasedOperands(out, operands, change);
      appendBlanks(out, fillWidth(gbkWidth(operands), w3));
      break;
  }
  out += comment;
}

void TFormat::reportNames(std::string_view label, std::string_view mnemonic) const {
  if (label.find(':') != std::string_view::npos) m_db.AddLabel(label.substr(0, label.size() - 1));
  if (label.empty()) return;
  if (equalsNoCase(mnemonic, "MACRO")) m_db.AddMacro(label);
  else if (equalsNoCase(mnemonic, "PROC")) m_db.AddProc(label);
  else if (equalsNoCase(mnemonic, "SEGMENT")) m_db.AddSegment(label);
  else if (std::any_of(kVariableWords.begin(), kVariableWords.end(),
                       [&](std::string_view w) { return equalsNoCase(mnemonic, w); })) {
    m_db.AddVariable(label);
  }
}

void TFormat::FormatLine(std::string& line, const FormatSettings& settings) const {
  std::string_view rest = trim(line);
  std::string_view comment;
  // A semicolon inside a string ('a;b', "x;y") is text, not the start of the comment.
  if (std::size_t semi = findCommentStart(rest); semi != std::string_view::npos) {
    comment = trim(rest.substr(semi));
    rest = trim(rest.substr(0, semi));
  }
  std::string label, mnemonic;
  int kind = kKindNone;
  std::string first = extractWord(rest);
  int a = m_db.Classify(first);
  if (containsNoCase(rest, "MACRO")) a = kKindNone;  // "name MACRO args": the name is no keyword
  if (a >= 0) {
    mnemonic = std::move(first);
    kind = a;
  } else {
    std::string second = extractWord(rest);
    int b = m_db.Classify(second);
    if (first.find(':') != std::string::npos && second.empty()) b = kKindInstruction;
    if (!first.empty() && b >= kKindInstruction) {
      label = std::move(first);
      mnemonic = std::move(second);
      kind = b;
    }
  }
  if (kind == kKindNone) return;  // not laid out: the text stays exactly as it was
  reportNames(label, mnemonic);
  // Trimming would drop a NUL or another invisible byte the file holds; such a line stays as it is.
  if (!settings.autoFormat || hasControlCharacter(line)) return;
  // rest and comment point into line, so the layout goes to a buffer first; reusing it spares an
  // allocation per line when a whole text is formatted.
  thread_local std::string out;
  layoutInto(out, label, mnemonic, rest, comment, kind, settings);
  line.assign(trimRight(out));
}

}  // namespace krvs::asmtext
