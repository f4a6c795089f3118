#include "asmtext/TDB.h"

#include <algorithm>

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

constexpr std::size_t kSlotMask = TDB::kSlotCount - 1;

std::uint32_t nameHash(std::string_view name) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

}  // namespace

TDB::TDB() : m_sorted(kKeywordTable.begin(), kKeywordTable.end()) {
  // Byte order, a prefix before its extensions; equal names carry equal kinds, so stability is moot.
  std::sort(m_sorted.begin(), m_sorted.end(),
            [](const KeywordEntry& a, const KeywordEntry& b) { return a.name < b.name; });
  // Lookups run for every formatted line, so the sorted positions are also reachable by hash. Only
  // the first of equal names is entered: Lookup reports the first position.
  for (std::size_t i = 0; i < m_sorted.size(); ++i) {
    std::string_view name = m_sorted[i].name;
    if (i > 0 && m_sorted[i - 1].name == name) continue;
    std::size_t slot = nameHash(name) & kSlotMask;
    while (m_slots[slot] != 0) slot = (slot + 1) & kSlotMask;
    m_slots[slot] = static_cast<std::uint16_t>(i + 1);
  }
}

int TDB::lookupUpper(std::string_view upperWord) const {
  for (std::size_t slot = nameHash(upperWord) & kSlotMask; m_slots[slot] != 0;
       slot = (slot + 1) & kSlotMask) {
    if (m_sorted[m_slots[slot] - 1].name == upperWord) return m_slots[slot];
  }
  return 0;
}

int TDB::Lookup(std::string_view word) const {
  word = trim(word);
  if (word.size() > kMaxKeywordLength) return 0;  // longer than any keyword
  char upper[kMaxKeywordLength];
  for (std::size_t i = 0; i < word.size(); ++i) upper[i] = upperAscii(word[i]);
  return lookupUpper(std::string_view(upper, word.size()));
}

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
