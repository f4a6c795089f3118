#pragma once
// TSynAsmSyn: the assembly highlighter's scanner, without any GUI. The editor's highlighter adapter
// hands it one line at a time and paints each token with the attribute of its kind. No state passes
// from one line to the next.
//
// Positions and lengths are byte offsets into the UTF-8 line, ready for a byte-addressed editor.
// Tokens cover the whole line without gaps; the line is scanned in place and never copied.
//
// Bulk use (fastest):
//   krvs::asmtext::TSynAsmSyn syn;
//   syn.ScanLine(line, [&](const Token& t) { style(t.start, t.length, t.kind); });
//
// Cursor use, one token at a time:
//   syn.SetLine(line);
//   for (; !syn.GetEol(); syn.Next()) use(syn.GetTokenKind(), syn.GetTokenPos(), syn.GetTokenLen());

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krvs::asmtext {

enum class TokenKind : std::uint8_t {
  Comment = 0,
  Identifier = 1,
  ReservedWord = 2,
  EndOfLine = 3,
  Number = 4,
  Space = 5,
  String = 6,
  Symbol = 7,
};

struct Token {
  TokenKind kind;
  std::uint32_t start;   // byte offset in the line
  std::uint32_t length;  // bytes
};

// Painting attribute of a token kind: name and the highlighter's own font style. Colours are left to
// the editor (comments dark blue, numbers dark green, all else in the font colour).
struct TokenAttribute {
  std::string_view name;  // "Comment", "Identifier", "Reserved Word", "Number", "Space", "String", "Symbol"
  bool italic;
  bool bold;
};

// The attribute that paints a token kind; nullptr for EndOfLine.
const TokenAttribute* attributeOf(TokenKind kind);
// The attributes by index for generic queries: 0 Comment, 1 Identifier, 2 Reserved Word, 3 String,
// 4 Space, 5 Symbol; nullptr outside 0..5.
const TokenAttribute* attributeByIndex(int index);

// Identifier characters for the editor's word queries: A-Z, a-z, 0-9 and the underscore.
constexpr bool isIdentifierChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

inline constexpr std::string_view kLanguageName = "x86 Assembly";
inline constexpr std::string_view kDefaultFilter = "x86 Assembly Files (*.asm)|*.asm";

// The reserved words the highlighter knows, in the order they are given to the hash table.
inline constexpr std::size_t kReservedWordCount = 373;
extern const std::array<std::string_view, kReservedWordCount> kReservedWords;

// Hash table of reserved words: 1024 buckets, each chain ordered by keyword length, shortest first.
class KeywordHash {
 public:
  static constexpr std::size_t kBucketCount = 1024;

  // Adds one keyword; returns the message "Keyword \"<word>\" already in list" when the word (in any
  // letter case) is already present, and leaves the table unchanged then.
  std::optional<std::string> add(std::string_view word);

  // True when the identifier (letters, digits, underscore) is a keyword, in any letter case.
  bool contains(std::string_view ident) const;
  // Same, with the identifier's hash already computed by hashIdent.
  bool contains(std::string_view ident, std::uint32_t hash) const;

  // The 24-bit hash of an identifier: h = h * 7 + v per character, v 1-26 for letters (case folded),
  // 27-36 for digits, 0 for underscore. The bucket is its low 10 bits.
  static std::uint32_t hashIdent(std::string_view ident);

  // Length-ordered words of one bucket, for inspection.
  std::vector<std::string_view> chain(std::size_t bucket) const;
  std::size_t size() const { return m_entries.size(); }

 private:
  struct Entry {
    std::string text;
    std::uint32_t next;  // index into m_entries, kNoEntry at the chain's end
  };
  static constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;
  std::vector<Entry> m_entries;
  std::array<std::uint32_t, kBucketCount> m_heads = filledHeads();
  static std::array<std::uint32_t, kBucketCount> filledHeads();
};

class TSynAsmSyn {
 public:
  // The highlighter with the built-in 373 reserved words.
  TSynAsmSyn();

  // A highlighter whose reserved words come from wordList, split at every character that is not a
  // letter, digit or underscore. On a repeated word, error receives its message and the result is
  // empty.
  static std::optional<TSynAsmSyn> FromWordList(std::string_view wordList, std::string* error);

  // Scans the whole line and calls onToken(const Token&) for each token, in order.
  template <class F>
  void ScanLine(std::string_view line, F&& onToken) const {
    std::size_t pos = 0;
    while (pos < line.size()) {
      Token t = scanToken(line, pos);
      pos = t.start + t.length;
      onToken(t);
    }
  }
  std::vector<Token> Tokenize(std::string_view line) const;

  // Cursor interface: start a line, then Next() until GetEol(). The line must outlive the scan.
  void SetLine(std::string_view line);
  void Next();
  bool GetEol() const { return m_token.kind == TokenKind::EndOfLine; }
  TokenKind GetTokenKind() const { return m_token.kind; }
  std::size_t GetTokenPos() const { return m_token.start; }
  std::size_t GetTokenLen() const { return m_token.length; }
  std::string_view GetToken() const { return m_line.substr(m_token.start, m_token.length); }
  const TokenAttribute* GetTokenAttribute() const { return attributeOf(m_token.kind); }

  const KeywordHash& Keywords() const { return m_keywords; }

  // The token that starts at pos (pos < line.size()).
  Token scanToken(std::string_view line, std::size_t pos) const;

 private:
  explicit TSynAsmSyn(KeywordHash keywords) : m_keywords(std::move(keywords)) {}

  KeywordHash m_keywords;
  std::string_view m_line;
  Token m_token{TokenKind::EndOfLine, 0, 0};
};

}  // namespace krvs::asmtext
