#pragma once
// TDB: the keyword database. Knows the words of the assembly language (526 entries, each with the
// layout kind the formatter uses) and the five lists of names the current source defines, which the
// navigation tree shows.
//
// The IDE owns one instance; the formatter (TFormat) and the editor hold references to it.
//
//   krvs::asmtext::TDB db;
//   db.Classify("mov");                       // 2: an instruction, laid out in columns
//   db.AddLabel("start");                     // stored upper case: "START"
//   for (const std::string& n : db.Names(NameList::Labels)) ...

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace krvs::asmtext {

// Layout kinds of a line's first keyword, as returned by TDB::Classify.
inline constexpr int kKindNone = -1;       // not a keyword
inline constexpr int kKindDirective = 0;   // dot directives and SUBTTL: keyword at the left margin
inline constexpr int kKindRightAligned = 1;  // COMMENT, TITLE, ...: keyword right-aligned in column 1
inline constexpr int kKindInstruction = 2;   // label, mnemonic, operands, comment columns
inline constexpr int kKindTypedef = 4;       // TYPEDEF

struct KeywordEntry {
  std::string_view name;  // upper case, exactly as stored
  std::int32_t kind;
};

// The 526 entries in their given order (before sorting).
inline constexpr std::size_t kKeywordCount = 526;
inline constexpr std::size_t kMaxKeywordLength = 23;
extern const std::array<KeywordEntry, kKeywordCount> kKeywordTable;

enum class NameList { Macros = 0, Variables = 1, Procs = 2, Segments = 3, Labels = 4 };
inline constexpr std::size_t kNameListCount = 5;
inline constexpr std::size_t kMaxNames = 1024;     // a full list takes no more names
inline constexpr std::size_t kMaxNameWidth = 20;   // stored names are cut to 20 columns (GBK bytes)

class TDB {
 public:
  TDB();  // builds and sorts the keyword table; all name lists empty

  // 1-based position of the first entry named exactly like the word (trimmed, upper-cased) in the
  // sorted table, or 0 when the word is no keyword.
  int Lookup(std::string_view word) const;

  // The layout kind of a line that begins with word: the keyword's kind; else 2 for a word beginning
  // with J or j (jump mnemonics missing from the table), for a word containing '&', and for a
  // macro name added with AddMacro (any letter case); else -1. The empty word gives -1.
  int Classify(std::string_view word) const;

  // Empties all five lists.
  void ClearNames();

  // Add a name (upper-cased, cut to 20 columns) unless it is empty, a keyword, already listed, or
  // the list holds 1024 names.
  void AddMacro(std::string_view name) { addName(NameList::Macros, name); }
  void AddVariable(std::string_view name) { addName(NameList::Variables, name); }
  void AddProc(std::string_view name) { addName(NameList::Procs, name); }
  void AddSegment(std::string_view name) { addName(NameList::Segments, name); }
  void AddLabel(std::string_view name) { addName(NameList::Labels, name); }

  // Names of one list in the order they were added.
  const std::vector<std::string>& Names(NameList list) const;
  std::size_t Count(NameList list) const { return Names(list).size(); }

  static constexpr std::size_t kSlotCount = 2048;  // hash slots for Lookup, a power of two

  // The sorted keyword table (entry i has Lookup position i + 1).
  const std::vector<KeywordEntry>& SortedTable() const { return m_sorted; }

 private:
  struct List {
    std::vector<std::string> names;
    std::unordered_set<std::string> index;  // same names, for the duplicate test
  };
  void addName(NameList list, std::string_view name);
  int lookupUpper(std::string_view upperWord) const;

  std::vector<KeywordEntry> m_sorted;
  std::array<std::uint16_t, kSlotCount> m_slots{};  // 1-based positions in m_sorted, 0 empty
  std::array<List, kNameListCount> m_lists;
};

}  // namespace krvs::asmtext
