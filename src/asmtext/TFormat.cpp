#include "asmtext/TFormat.h"

#include <algorithm>
#include <array>

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

constexpr std::string_view kSeparators = "\t :";  // TAB, blank, colon end a word

// Mnemonics that define a variable named by the line's label.
constexpr std::array<std::string_view, 19> kVariableWords = {
    "DB",    "DW",     "DD", "BYTE",  "SBYTE", "WORD", "SWORD", "DWORD", "SDWORD", "DF",
    "FWORD", "DQ",     "QWORD", "DT", "TBYTE", "REAL4", "REAL8", "REAL10", "LABEL"};

int clampWidth(int w) { return std::clamp(w, 1, kMaxColumnWidth); }

void appendBlanks(std::string& out, int n) {
  if (n > 0) out.append(static_cast<std::size_t>(n), ' ');
}

// CaseMode applied to the operands: single-quoted strings keep their case.
std::string caseOperands(std::string_view operands, char (*change)(char)) {
  std::string out(operands);
  bool inString = false;
  for (char& c : out) {
    if (c == '\'') inString = !inString;
    else if (!inString) c = change(c);
  }
  return out;
}

struct Fields {
  std::string label, mnemonic, operands;
};

Fields applyCase(std::string_view label, std::string_view mnemonic, std::string_view operands,
                 int caseMode) {
  if (caseMode == 0) {
    return {upperAscii(label), upperAscii(mnemonic), caseOperands(operands, &upperAscii)};
  }
  if (caseMode == 1) {
    return {lowerAscii(label), lowerAscii(mnemonic), caseOperands(operands, &lowerAscii)};
  }
  return {std::string(label), std::string(mnemonic), std::string(operands)};
}

bool containsNoCase(std::string_view haystack, std::string_view upperNeedle) {
  return upperAscii(haystack).find(upperNeedle) != std::string::npos;
}

}  // namespace

int fillWidth(std::size_t n, int w) {
  w = clampWidth(w);
  return w - static_cast<int>(n % static_cast<std::size_t>(w));
}

std::string TFormat::ExtractWord(std::string& text) {
  std::string s(trim(text));
  s.push_back('\t');
  std::size_t p = s.find_first_of(kSeparators) + 1;  // 1-based; the appended TAB guarantees a hit
  std::size_t quote = s.find('\'');
  if (quote != std::string::npos && quote + 1 < p) return {};  // a quote before the separator
  std::string word(trim(std::string_view(s).substr(0, p)));
  s.erase(0, p);
  std::size_t colon = s.find(':');
  if (colon != std::string::npos && s.find_first_not_of(' ') == colon) {
    // A label written with blanks before its colon reads like one written without them.
    word.push_back(':');
    s.erase(0, colon + 1);
  }
  text = std::string(trim(s));
  return word;
}

std::string TFormat::LayoutLine(std::string_view label, std::string_view mnemonic,
                                std::string_view operands, std::string_view comment, int kind,
                                const FormatSettings& settings) {
  const Fields f = applyCase(label, mnemonic, operands, settings.caseMode);
  const int w1 = settings.column1Width, w2 = settings.column2Width, w3 = settings.column3Width;
  const int g1 = clampWidth(settings.gap1Width), g2 = clampWidth(settings.gap2Width);
  std::string out;
  out.reserve(f.label.size() + f.mnemonic.size() + f.operands.size() + comment.size() + 64);
  switch (kind) {
    case kKindDirective:
      out += f.mnemonic;
      appendBlanks(out, fillWidth(gbkWidth(f.mnemonic), w1) + g1);
      out += f.operands;
      appendBlanks(out, fillWidth(gbkWidth(f.operands), w2) + g2);
      out += comment;
      return out;
    case kKindRightAligned:
      appendBlanks(out, fillWidth(gbkWidth(f.mnemonic), w1));
      out += f.mnemonic;
      appendBlanks(out, g1);
      out += f.operands;
      appendBlanks(out, fillWidth(gbkWidth(f.operands), w2) + g2);
      out += comment;
      return out;
    default:
      // Kind 2, and TYPEDEF lines, which have no layout of their own: columns keep all their words.
      appendBlanks(out, fillWidth(gbkWidth(f.label), w1));
      out += f.label;
      appendBlanks(out, g1);
      out += f.mnemonic;
      appendBlanks(out, fillWidth(gbkWidth(f.mnemonic), w2) + g2);
      out += f.operands;
      appendBlanks(out, fillWidth(gbkWidth(f.operands), w3));
      out += comment;
      return out;
  }
}

void TFormat::reportNames(std::string_view label, std::string_view mnemonic) const {
  if (label.find(':') != std::string_view::npos) m_db.AddLabel(label.substr(0, label.size() - 1));
  const std::string m = upperAscii(mnemonic);
  if (m == "MACRO") m_db.AddMacro(label);
  else if (m == "PROC") m_db.AddProc(label);
  else if (m == "SEGMENT") m_db.AddSegment(label);
  else if (std::find(kVariableWords.begin(), kVariableWords.end(), m) != kVariableWords.end()) {
    m_db.AddVariable(label);
  }
}

void TFormat::FormatLine(std::string& line, const FormatSettings& settings) const {
  std::string rest(trim(line));
  std::string comment;
  if (std::size_t semi = rest.find(';'); semi != std::string::npos) {
    comment = trim(std::string_view(rest).substr(semi));
    rest = std::string(trim(std::string_view(rest).substr(0, semi)));
  }
  std::string label, mnemonic;
  int kind = kKindNone;
  std::string first = ExtractWord(rest);
  int a = m_db.Classify(first);
  if (containsNoCase(rest, "MACRO")) a = kKindNone;  // "name MACRO args": the name is no keyword
  if (a >= 0) {
    mnemonic = std::move(first);
    kind = a;
  } else {
    std::string second = ExtractWord(rest);
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
  if (!settings.autoFormat) return;
  line = std::string(trimRight(LayoutLine(label, mnemonic, rest, comment, kind, settings)));
}

}  // namespace krvs::asmtext
