#include "keywords.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "directives.h"
#include "lexer.h"

namespace krvs::tasm {

namespace {

constexpr size_t kMaxWord = 12;   // the longest directive or mnemonic
constexpr size_t kSlots = 1024;   // a power of two, well above the ~300 words

struct Slot {
    char name[kMaxWord] = {};
    std::uint8_t length = 0;  // 0: free
    Keyword keyword;
};

std::uint32_t hashOf(const char* s, size_t n) {
    std::uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h;
}

class Table {
public:
    Table() {
        for (const DirectiveInfo& d : directiveTable()) slotFor(d.name).keyword.directive = &d;
        std::set<std::string_view> seen;
        for (const x86::Form& f : x86::instructionTable())
            if (seen.insert(f.mnemonic).second) slotFor(f.mnemonic).keyword.forms = x86::formsFor(f.mnemonic);
    }

    const Keyword& find(std::string_view word) const {
        static const Keyword kNone;
        if (word.empty() || word.size() > kMaxWord) return kNone;
        char buf[kMaxWord];
        for (size_t i = 0; i < word.size(); ++i) buf[i] = upperChar(word[i]);
        for (std::uint32_t i = hashOf(buf, word.size());; ++i) {
            const Slot& s = m_slots[i & (kSlots - 1)];
            if (s.length == 0) return kNone;
            if (s.length == word.size() && std::memcmp(s.name, buf, word.size()) == 0) return s.keyword;
        }
    }

private:
    // The table's words are upper case already; a word too long for it would be a table error.
    Slot& slotFor(std::string_view word) {
        for (std::uint32_t i = hashOf(word.data(), word.size());; ++i) {
            Slot& s = m_slots[i & (kSlots - 1)];
            if (s.length == word.size() && std::memcmp(s.name, word.data(), word.size()) == 0) return s;
            if (s.length == 0) {
                std::memcpy(s.name, word.data(), word.size());
                s.length = static_cast<std::uint8_t>(word.size());
                return s;
            }
        }
    }

    std::array<Slot, kSlots> m_slots{};
};

}  // namespace

const Keyword& keywordOf(std::string_view word) {
    static const Table kTable;
    return kTable.find(word);
}

}  // namespace krvs::tasm
