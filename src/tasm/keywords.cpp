#include "keywords.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "directives.h"
#include "lexer.h"
#include "registers.h"

namespace krvs::tasm {

namespace {

constexpr size_t kMaxWord = 16;   // longer than every directive and mnemonic
constexpr size_t kSlots = 1024;   // a power of two, well above the ~350 words

// A word upper-cased into two machine words, zero-padded: hashed and compared as two integers.
struct Packed {
    std::uint64_t w[2] = {0, 0};
    bool operator==(const Packed& o) const { return w[0] == o.w[0] && w[1] == o.w[1]; }
    size_t hash() const {
        std::uint64_t h = w[0] * 0x9E3779B97F4A7C15ull ^ w[1] * 0xC2B2AE3D27D4EB4Full;
        return static_cast<size_t>(h ^ (h >> 31));
    }
};

// False for a word too long to be a keyword.
bool pack(std::string_view word, Packed& p) {
    if (word.size() > kMaxWord) return false;
    char buf[kMaxWord] = {};
    for (size_t i = 0; i < word.size(); ++i) buf[i] = upperChar(word[i]);
    std::memcpy(p.w, buf, sizeof buf);
    return true;
}

struct Entry {
    Packed name;
    Keyword keyword;
};

MnemonicClass classOf(std::string_view m) {
    static const std::pair<const char*, MnemonicClass> kNamed[] = {
        {"JMP", MnemonicClass::Jmp}, {"CALL", MnemonicClass::Call}, {"LOOP", MnemonicClass::Loop},
        {"LOOPE", MnemonicClass::Loop}, {"LOOPZ", MnemonicClass::Loop}, {"LOOPNE", MnemonicClass::Loop},
        {"LOOPNZ", MnemonicClass::Loop}, {"JCXZ", MnemonicClass::Loop}, {"SHL", MnemonicClass::Shift},
        {"SHR", MnemonicClass::Shift}, {"SAL", MnemonicClass::Shift}, {"SAR", MnemonicClass::Shift},
        {"ROL", MnemonicClass::Shift}, {"ROR", MnemonicClass::Shift}, {"RCL", MnemonicClass::Shift},
        {"RCR", MnemonicClass::Shift}, {"IN", MnemonicClass::In}, {"OUT", MnemonicClass::Out},
        {"REP", MnemonicClass::Prefix}, {"REPE", MnemonicClass::Prefix}, {"REPZ", MnemonicClass::Prefix},
        {"REPNE", MnemonicClass::Prefix}, {"REPNZ", MnemonicClass::Prefix}, {"LOCK", MnemonicClass::Prefix},
        {"RET", MnemonicClass::Ret},
    };
    for (const auto& [name, cls] : kNamed)
        if (m == name) return cls;
    // Every other mnemonic that starts with J is a conditional jump.
    return !m.empty() && m[0] == 'J' ? MnemonicClass::Conditional : MnemonicClass::Other;
}

class Table {
public:
    Table() {
        for (const DirectiveInfo& d : directiveTable()) slotFor(d.name).directive = &d;
        std::set<std::string_view> seen;
        for (const x86::Form& f : x86::instructionTable()) {
            if (!seen.insert(f.mnemonic).second) continue;
            Keyword& k = slotFor(f.mnemonic);
            k.forms = x86::formsFor(f.mnemonic);
            k.cls = classOf(f.mnemonic);
        }
        static constexpr std::string_view kReserved[] = {
            "OFFSET", "SEG", "TYPE", "PTR", "BYTE", "WORD", "DWORD", "QWORD", "TBYTE", "NEAR", "FAR",
            "SHORT", "THIS", "HIGH", "LOW", "LENGTH", "SIZE", "MOD", "SHL", "SHR", "AND", "OR", "XOR", "NOT",
            "EQ", "NE", "LT", "LE", "GT", "GE", "DUP", "MASK", "WIDTH",
        };
        for (std::string_view w : kReserved) slotFor(w).reserved = true;
        for (std::string_view r : registerNames()) slotFor(r).reserved = true;
    }

    const Keyword& find(std::string_view word) const {
        static const Keyword kNone;
        Packed p;
        if (word.empty() || !pack(word, p)) return kNone;
        for (size_t i = p.hash();; ++i) {
            std::uint16_t at = m_slots[i & (kSlots - 1)];
            if (at == 0) return kNone;
            const Entry& e = m_entries[at - 1];
            if (e.name == p) return e.keyword;
        }
    }

private:
    Keyword& slotFor(std::string_view word) {
        Packed p;
        pack(word, p);  // the table's words are all short enough (the keyword test checks them)
        for (size_t i = p.hash();; ++i) {
            std::uint16_t& at = m_slots[i & (kSlots - 1)];
            if (at != 0 && m_entries[at - 1].name == p) return m_entries[at - 1].keyword;
            if (at == 0) {
                m_entries.push_back(Entry{p, Keyword{}});
                at = static_cast<std::uint16_t>(m_entries.size());
                return m_entries.back().keyword;
            }
        }
    }

    // The slots hold entry numbers + 1 (0 free), so the sparse part of the table is 2 KB where whole
    // entries in the slots took 56 KB, all of it written when the table was built.
    std::array<std::uint16_t, kSlots> m_slots{};
    std::vector<Entry> m_entries;
};

}  // namespace

const Keyword& keywordOf(std::string_view word) {
    static const Table kTable;
    return kTable.find(word);
}

}  // namespace krvs::tasm
