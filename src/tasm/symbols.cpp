// The symbol table's names, and the rule for defining a symbol in a pass.

#include <algorithm>

#include "context.h"
#include "keywords.h"

namespace krvs::tasm {

SymbolTable::SymbolTable(CaseMode mode) : m_mode(mode), m_slots(1024, -1) {}

std::string SymbolTable::key(std::string_view name) const {
    std::string k = m_mode == CaseMode::All ? std::string(name) : upper(name);
    // @@ labels are local to the stretch between two ordinary labels.
    if (k.size() > 2 && k[0] == '@' && k[1] == '@') {
        k += '#';
        k += std::to_string(m_localScope);
    }
    return k;
}

std::string SymbolTable::displayName(std::string_view name) const {
    return m_mode == CaseMode::Upper ? upper(name) : std::string(name);
}

static bool isLocalName(std::string_view name) { return name.size() > 2 && name[0] == '@' && name[1] == '@'; }

std::uint32_t SymbolTable::hashOf(std::string_view name, int scope) const {
    std::uint32_t h = 2166136261u ^ static_cast<std::uint32_t>(scope + 1) * 0x9E3779B9u;
    if (m_mode == CaseMode::All)
        for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    else
        for (char c : name) h = (h ^ static_cast<unsigned char>(upperChar(c))) * 16777619u;
    return h;
}

bool SymbolTable::sameName(const Symbol& s, std::string_view name) const {
    return m_mode == CaseMode::All ? s.name == name : iequals(s.name, name);
}

size_t SymbolTable::slotOf(std::string_view name, std::uint32_t hash, int scope) const {
    size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        std::int32_t idx = m_slots[i];
        if (idx < 0) return i;
        const Symbol& s = m_list[static_cast<size_t>(idx)];
        if (s.hash == hash && s.scope == scope && sameName(s, name)) return i;
    }
}

void SymbolTable::grow() {
    std::vector<std::int32_t> slots(m_slots.size() * 2, -1);
    size_t mask = slots.size() - 1;
    for (size_t idx = 0; idx < m_list.size(); ++idx) {
        size_t i = m_list[idx].hash & mask;
        while (slots[i] >= 0) i = (i + 1) & mask;
        slots[i] = static_cast<std::int32_t>(idx);
    }
    m_slots = std::move(slots);
}

int SymbolTable::find(std::string_view name) const {
    int scope = isLocalName(name) ? m_localScope : -1;
    return m_slots[slotOf(name, hashOf(name, scope), scope)];
}

std::string_view SymbolTable::storeName(std::string_view name) {
    constexpr size_t kBlock = 64 * 1024;
    if (name.size() > m_blockFree) {
        const size_t size = std::max(kBlock, name.size());
        m_nameBlocks.push_back(std::make_unique<char[]>(size));
        m_blockNext = m_nameBlocks.back().get();
        m_blockFree = size;
    }
    char* at = m_blockNext;
    std::copy(name.begin(), name.end(), at);
    m_blockNext += name.size();
    m_blockFree -= name.size();
    return {at, name.size()};
}

int SymbolTable::lookupOrCreate(std::string_view name) {
    int scope = isLocalName(name) ? m_localScope : -1;
    std::uint32_t hash = hashOf(name, scope);
    size_t slot = slotOf(name, hash, scope);
    if (m_slots[slot] >= 0) return m_slots[slot];
    Symbol s;
    s.name = storeName(displayName(name));
    s.hash = hash;
    s.scope = scope;
    m_list.push_back(std::move(s));
    int idx = static_cast<int>(m_list.size()) - 1;
    m_slots[slot] = idx;
    if (m_list.size() * 2 > m_slots.size()) grow();
    return idx;
}

bool SymbolTable::isReserved(std::string_view name) { return keywordOf(name).reserved; }

// Marks a symbol defined in this pass. Returns false (after the diagnostic) on a clash.
bool Assembler::defineSymbol(int idx, SymKind kind, bool redefinable) {
    Symbol& s = m_syms[idx];
    bool definedNow = s.definedPass == m_pass;
    if (s.kind == SymKind::Extern && s.everDefined && kind != SymKind::Extern) {
        error("Symbol already different kind: " + std::string(s.name));
        return false;
    }
    if (definedNow && !(redefinable && s.redefinable)) {
        if (s.kind != kind) error("Symbol already different kind: " + std::string(s.name));
        else error("Symbol already defined elsewhere: " + std::string(s.name));
        return false;
    }
    if (s.everDefined && s.kind != kind && s.definedPass == m_pass) {
        error("Symbol already different kind: " + std::string(s.name));
        return false;
    }
    s.kind = kind;
    s.redefinable = redefinable;
    s.definedPass = m_pass;
    s.everDefined = true;
    noteRef(idx, true);
    return true;
}

}  // namespace krvs::tasm
