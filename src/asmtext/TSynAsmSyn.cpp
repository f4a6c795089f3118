#include "asmtext/TSynAsmSyn.h"

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

// How the character at the start of a token is scanned.
enum class Rule : std::uint8_t {
  Other,       // one character (one UTF-8 character) of kind identifier
  Spaces,      // run of blanks and control characters
  LineFeed,    // one character of space
  Return,      // CR, or CR LF, as space
  Comment,     // ; or # to the end of the line
  Slash,       // // comment, or a single-character symbol
  Quote,       // " or '
  Digit,       // number
  IdentStart,  // identifier or reserved word
  Symbol,      // one-character symbol
  Less,        // <, <=, <>
  Greater,     // >, >=
};

struct RuleTable {
  std::array<Rule, 256> rule{};
  constexpr RuleTable() {
    for (int c = 1; c <= 32; ++c) rule[c] = Rule::Spaces;
    rule['\n'] = Rule::LineFeed;
    rule['\r'] = Rule::Return;
    rule[';'] = rule['#'] = Rule::Comment;
    rule['/'] = Rule::Slash;
    rule['"'] = rule['\''] = Rule::Quote;
    for (int c = '0'; c <= '9'; ++c) rule[c] = Rule::Digit;
    for (int c = 'A'; c <= 'Z'; ++c) rule[c] = rule[c + 32] = Rule::IdentStart;
    rule['_'] = Rule::IdentStart;
    for (unsigned char c : std::string_view("&()*+-.:=^{}")) rule[c] = Rule::Symbol;
    rule['<'] = Rule::Less;
    rule['>'] = Rule::Greater;
  }
};
constexpr RuleTable kRules;

struct CharClasses {
  std::array<bool, 256> ident{};
  std::array<bool, 256> numberTail{};
  constexpr CharClasses() {
    for (int c = '0'; c <= '9'; ++c) ident[c] = numberTail[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) ident[c] = ident[c + 32] = true;
    ident['_'] = true;
    for (unsigned char c : std::string_view(".ABCDEFHabcdefh")) numberTail[c] = true;
  }
};
constexpr CharClasses kClasses;

constexpr std::uint32_t identValue(unsigned char c) {
  if (c >= 'a') return c - 'a' + 1;
  if (c >= 'A') return c == '_' ? 0 : c - 'A' + 1;
  return c - '0' + 27;
}

constexpr bool isLineEnd(unsigned char c) { return c == 0 || c == '\n' || c == '\r'; }

constexpr TokenAttribute kAttributes[] = {
    {"Comment", true, false},  {"Identifier", false, false}, {"Reserved Word", false, true},
    {"Number", false, false},  {"Space", false, false},      {"String", false, false},
    {"Symbol", false, false},
};
// Attribute of each token kind, by the kind's value; -1 for end of line.
constexpr int kAttributeOfKind[] = {0, 1, 2, -1, 3, 4, 5, 6};
// Attributes by index for the editor's generic queries.
constexpr int kAttributeByIndex[] = {0, 1, 2, 5, 4, 6};

}  // namespace

const TokenAttribute* attributeOf(TokenKind kind) {
  auto k = static_cast<std::size_t>(kind);
  if (k >= std::size(kAttributeOfKind) || kAttributeOfKind[k] < 0) return nullptr;
  return &kAttributes[kAttributeOfKind[k]];
}

const TokenAttribute* attributeByIndex(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kAttributeByIndex))) return nullptr;
  return &kAttributes[kAttributeByIndex[index]];
}

TSynAsmSyn::TSynAsmSyn() {
  // The built-in list holds no repeat (checked by the tests), so add() cannot fail here.
  for (std::string_view w : kReservedWords) m_keywords.add(w);
}

std::optional<TSynAsmSyn> TSynAsmSyn::FromWordList(std::string_view wordList, std::string* error) {
  KeywordHash keywords;
  std::size_t pos = 0;
  while (pos < wordList.size()) {
    while (pos < wordList.size() && !kClasses.ident[static_cast<unsigned char>(wordList[pos])]) ++pos;
    std::size_t end = pos;
    while (end < wordList.size() && kClasses.ident[static_cast<unsigned char>(wordList[end])]) ++end;
    if (end > pos) {
      if (auto failure = keywords.add(wordList.substr(pos, end - pos))) {
        if (error) *error = *failure;
        return std::nullopt;
      }
    }
    pos = end;
  }
  return TSynAsmSyn(std::move(keywords));
}

Token TSynAsmSyn::scanToken(std::string_view line, std::size_t pos) const {
  const std::size_t n = line.size();
  auto at = [&](std::size_t i) -> unsigned char {
    return i < n ? static_cast<unsigned char>(line[i]) : 0;
  };
  auto make = [&](TokenKind kind, std::size_t end) {
    return Token{kind, static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(end - pos)};
  };
  const unsigned char c = at(pos);
  std::size_t run = pos + 1;
  switch (kRules.rule[c]) {
    case Rule::Spaces:
      while (run < n && kRules.rule[at(run)] == Rule::Spaces) ++run;
      return make(TokenKind::Space, run);
    case Rule::LineFeed:
      return make(TokenKind::Space, run);
    case Rule::Return:
      return make(TokenKind::Space, at(run) == '\n' ? run + 1 : run);
    case Rule::Comment:
      while (run < n && !isLineEnd(at(run))) ++run;
      return make(TokenKind::Comment, run);
    case Rule::Slash:
      if (at(run) != '/') return make(TokenKind::Symbol, run);
      while (run < n && !isLineEnd(at(run))) ++run;
      return make(TokenKind::Comment, run);
    case Rule::Quote: {
      run = pos;
      if (at(pos + 1) == c && at(pos + 2) == c) run += 2;
      do {
        ++run;
      } while (run < n && at(run) != c && !isLineEnd(at(run)));
      if (run < n && at(run) != 0) ++run;  // the closing quote belongs to the string
      return make(TokenKind::String, run);
    }
    case Rule::Digit:
      while (run < n && kClasses.numberTail[at(run)]) ++run;
      return make(TokenKind::Number, run);
    case Rule::IdentStart: {
      std::uint32_t h = identValue(c);
      while (run < n && kClasses.ident[at(run)]) {
        h = (h * 7 + identValue(at(run))) & 0xFFFFFF;
        ++run;
      }
      bool reserved = m_keywords.contains(line.substr(pos, run - pos), h);
      return make(reserved ? TokenKind::ReservedWord : TokenKind::Identifier, run);
    }
    case Rule::Symbol:
      return make(TokenKind::Symbol, run);
    case Rule::Less:
      return make(TokenKind::Symbol, (at(run) == '=' || at(run) == '>') ? run + 1 : run);
    case Rule::Greater:
      return make(TokenKind::Symbol, at(run) == '=' ? run + 1 : run);
    case Rule::Other:
      break;
  }
  // Everything else, a character outside ASCII included, is one identifier-kind token; a stray NUL
  // byte inside the line too, so that the tokens always cover the whole line.
  return make(TokenKind::Identifier, pos + utf8CharLength(line, pos));
}

std::vector<Token> TSynAsmSyn::Tokenize(std::string_view line) const {
  std::vector<Token> tokens;
  ScanLine(line, [&](const Token& t) { tokens.push_back(t); });
  return tokens;
}

void TSynAsmSyn::SetLine(std::string_view line) {
  m_line = line;
  m_token = Token{TokenKind::EndOfLine, 0, 0};
  Next();
}

void TSynAsmSyn::Next() {
  std::size_t pos = m_token.start + m_token.length;
  if (pos >= m_line.size()) {
    m_token = Token{TokenKind::EndOfLine, static_cast<std::uint32_t>(m_line.size()), 0};
    return;
  }
  m_token = scanToken(m_line, pos);
}

}  // namespace krvs::asmtext
