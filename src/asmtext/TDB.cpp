#include "asmtext/TDB.h"

#include <algorithm>

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

TDB::TDB() : m_sorted(kKeywordTable.begin(), kKeywordTable.end()) {
  // Byte order, a prefix before its extensions; equal names carry equal kinds, so stability is moot.
  std::sort(m_sorted.begin(), m_sorted.end(),
            [](const KeywordEntry& a, const KeywordEntry& b) { return a.name < b.name; });
}

int TDB::lookupUpper(std::string_view upperWord) const {
  auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), upperWord,
                             [](const KeywordEntry& e, std::string_view w) { return e.name < w; });
  if (it == m_sorted.end() || it->name != upperWord) return 0;
  return static_cast<int>(it - m_sorted.begin()) + 1;
}

int TDB::Lookup(std::string_view word) const { return lookupUpper(upperAscii(trim(word))); }

int TDB::Classify(std::string_view word) const {
  if (int pos = Lookup(word); pos > 0) return m_sorted[pos - 1].kind;
  if (word.empty()) return kKindNone;
  // Jump mnemonics missing from the table, and macro parameters glued with '&', act as instructions.
  if (upperAscii(word[0]) == 'J') return kKindInstruction;
  if (word.find('&') != std::string_view::npos) return kKindInstruction;
  // A call of a macro defined earlier in the text is laid out like an instruction.
  const List& macros = m_lists[static_cast<std::size_t>(NameList::Macros)];
  if (!macros.names.empty() && macros.index.count(upperAscii(word)) > 0) return kKindInstruction;
  return kKindNone;
}

void TDB::ClearNames() {
  for (List& list : m_lists) {
    list.names.clear();
    list.index.clear();
  }
}

void TDB::addName(NameList which, std::string_view name) {
  std::string upper = upperAscii(name);
  if (upper.empty() || Lookup(upper) > 0) return;
  std::string stored(prefixByWidth(upper, kMaxNameWidth));
  List& list = m_lists[static_cast<std::size_t>(which)];
  if (list.names.size() >= kMaxNames || list.index.count(stored) > 0) return;
  list.index.insert(stored);
  list.names.push_back(std::move(stored));
}

const std::vector<std::string>& TDB::Names(NameList list) const {
  return m_lists[static_cast<std::size_t>(list)].names;
}

}  // namespace krvs::asmtext
