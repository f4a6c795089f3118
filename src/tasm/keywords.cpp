#include "keywords.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "directives.h"
#include "lexer.h"
#include "registers.h"

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
        for (const DirectiveInfo& d : directiveTable()) slotFor(d.name).keyword.directive = &d;
        std::set<std::string_view> seen;
        for (const x86::Form& f : x86::instructionTable()) {
            if (!seen.insert(f.mnemonic).second) continue;
            Keyword& k = slotFor(f.mnemonic).keyword;
            k.forms = x86::formsFor(f.mnemonic);
            k.cls = classOf(f.mnemonic);
        }
        static constexpr std::string_view kReserved[] = {
            "OFFSET", "SEG", "TYPE", "PTR", "BYTE", "WORD", "DWORD", "QWORD", "TBYTE", "NEAR", "FAR",
            "SHORT", "THIS", "HIGH", "LOW", "LENGTH", "SIZE", "MOD", "SHL", "SHR", "AND", "OR", "XOR", "NOT",
            "EQ", "NE", "LT", "LE", "GT", "GE", "DUP", "MASK", "WIDTH",
        };
        for (std::string_view w : kReserved) slotFor(w).keyword.reserved = true;
        for (std::string_view r : registerNames()) slotFor(r).keyword.reserved = true;
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
