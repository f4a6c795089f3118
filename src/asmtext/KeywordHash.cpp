#include "asmtext/TSynAsmSyn.h"

#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

namespace {

// v of one identifier character: letters 1-26 (case folded), digits 27-36, everything else 0.
constexpr std::uint32_t charValue(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
  if (c >= '0' && c <= '9') return c - '0' + 27;
  return 0;
}

constexpr std::uint32_t kHashMask = 0xFFFFFF;
constexpr std::uint32_t kBucketMask = KeywordHash::kBucketCount - 1;

bool sameValues(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (charValue(static_cast<unsigned char>(a[i])) != charValue(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::array<std::uint32_t, KeywordHash::kBucketCount> KeywordHash::filledHeads() {
  std::array<std::uint32_t, kBucketCount> heads{};
  heads.fill(kNoEntry);
  return heads;
}

std::uint32_t KeywordHash::hashIdent(std::string_view ident) {
  std::uint32_t h = 0;
  for (char c : ident) h = (h * 7 + charValue(static_cast<unsigned char>(c))) & kHashMask;
  return h;
}

std::optional<std::string> KeywordHash::add(std::string_view word) {
  std::uint32_t* link = &m_heads[hashIdent(word) & kBucketMask];
  // Walk past every entry of the same or shorter length; a repeat can only be among them.
  while (*link != kNoEntry && m_entries[*link].text.size() <= word.size()) {
    if (equalsNoCase(m_entries[*link].text, word)) {
      return "Keyword \"" + std::string(word) + "\" already in list";
    }
    link = &m_entries[*link].next;
  }
  auto index = static_cast<std::uint32_t>(m_entries.size());
  std::uint32_t next = *link;
  m_entries.push_back(Entry{std::string(word), next});
  // push_back may have moved the entries that link pointed into; find the slot again.
  link = &m_heads[hashIdent(word) & kBucketMask];
  while (*link != next) link = &m_entries[*link].next;
  *link = index;
  return std::nullopt;
}

bool KeywordHash::contains(std::string_view ident) const { return contains(ident, hashIdent(ident)); }

bool KeywordHash::contains(std::string_view ident, std::uint32_t hash) const {
  for (std::uint32_t i = m_heads[hash & kBucketMask]; i != kNoEntry; i = m_entries[i].next) {
    const Entry& e = m_entries[i];
    if (e.text.size() > ident.size()) break;  // chains are length-ordered
    if (e.text.size() == ident.size() && sameValues(e.text, ident)) return true;
  }
  return false;
}

std::vector<std::string_view> KeywordHash::chain(std::size_t bucket) const {
  std::vector<std::string_view> words;
  if (bucket >= kBucketCount) return words;
  for (std::uint32_t i = m_heads[bucket]; i != kNoEntry; i = m_entries[i].next) {
    words.push_back(m_entries[i].text);
  }
  return words;
}

}  // namespace krvs::asmtext
