// The symbol table's names, and the rule for defining a symbol in a pass.

#include <algorithm>
#include <cstring>

#include "context.h"
#include "keywords.h"

namespace krvs::tasm {

// A million-line program has hundreds of thousands of symbols: each byte here is a megabyte or so there.
static_assert(sizeof(Symbol) <= 32, "a symbol stays within 32 bytes");

SymbolTable::SymbolTable(CaseMode mode) : m_mode(mode), m_slots(1024, -1), m_tags(1024, 0) {}

namespace {
std::uint8_t tagOf(std::uint32_t hash) { return static_cast<std::uint8_t>(hash >> 24); }
}  // namespace

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

bool isLocalName(std::string_view name) { return name.size() > 2 && name[0] == '@' && name[1] == '@'; }

namespace {
// The length in front of a name: 7 bits a byte, the high bit set where another byte follows.
size_t lengthBytes(size_t n) {
    size_t bytes = 1;
    for (; n >= 0x80; n >>= 7) ++bytes;
    return bytes;
}
}  // namespace

std::string_view SymbolName::view() const {
    if (!m_entry) return {};
    const auto* p = reinterpret_cast<const unsigned char*>(m_entry);
    size_t n = 0;
    for (int shift = 0;; shift += 7) {
        n |= static_cast<size_t>(*p & 0x7F) << shift;
        if (!(*p++ & 0x80)) break;
    }
    return {reinterpret_cast<const char*>(p), n};
}

int SymbolName::scope() const {
    std::string_view name = view();
    if (!isLocalName(name)) return -1;
    std::int32_t scope;
    std::memcpy(&scope, name.data() + name.size(), sizeof scope);
    return scope;
}

size_t SymbolName::entrySize(std::string_view name) {
    return lengthBytes(name.size()) + name.size() + (isLocalName(name) ? sizeof(std::int32_t) : 0);
}

SymbolName SymbolName::write(char* at, std::string_view name, int scope) {
    auto* p = reinterpret_cast<unsigned char*>(at);
    size_t n = name.size();
    for (; n >= 0x80; n >>= 7) *p++ = static_cast<unsigned char>(0x80 | (n & 0x7F));
    *p++ = static_cast<unsigned char>(n);
    std::memcpy(p, name.data(), name.size());
    if (isLocalName(name)) {
        const std::int32_t s = scope;
        std::memcpy(p + name.size(), &s, sizeof s);
    }
    return SymbolName(at);
}

std::uint32_t SymbolTable::hashOf(std::string_view name, int scope) const {
    std::uint32_t h = 2166136261u ^ static_cast<std::uint32_t>(scope + 1) * 0x9E3779B9u;
    if (m_mode == CaseMode::All)
        for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    else
        for (char c : name) h = (h ^ static_cast<unsigned char>(upperChar(c))) * 16777619u;
    return h;
}

bool SymbolTable::sameName(const Symbol& s, std::string_view name) const {
    const std::string_view own = s.name.view();
    return m_mode == CaseMode::All ? own == name : iequals(own, name);
}

size_t SymbolTable::slotOf(std::string_view name, std::uint32_t hash, int scope) const {
    size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        std::int32_t idx = m_slots[i];
        if (idx < 0) return i;
        if (m_tags[i] != tagOf(hash)) continue;
        const Symbol& s = m_list[static_cast<size_t>(idx)];
        if (sameName(s, name) && s.name.scope() == scope) return i;
    }
}

void SymbolTable::grow() {
    std::vector<std::int32_t> slots(m_slots.size() * 2, -1);
    std::vector<std::uint8_t> tags(slots.size(), 0);
    size_t mask = slots.size() - 1;
    for (size_t idx = 0; idx < m_list.size(); ++idx) {
        // The stored name hashes as the name it was found by: it differs at most in case, and
        // only where case folds.
        const SymbolName& name = m_list[idx].name;
        std::uint32_t hash = hashOf(name.view(), name.scope());
        size_t i = hash & mask;
        while (slots[i] >= 0) i = (i + 1) & mask;
        slots[i] = static_cast<std::int32_t>(idx);
        tags[i] = tagOf(hash);
    }
    m_slots = std::move(slots);
    m_tags = std::move(tags);
}

int SymbolTable::find(std::string_view name) const {
    int scope = isLocalName(name) ? m_localScope : -1;
    return m_slots[slotOf(name, hashOf(name, scope), scope)];
}

SymbolName SymbolTable::storeName(std::string_view name, int scope) {
    return SymbolName::write(m_names.allocate(SymbolName::entrySize(name)), name, scope);
}

int SymbolTable::lookupOrCreate(std::string_view name) {
    int scope = isLocalName(name) ? m_localScope : -1;
    std::uint32_t hash = hashOf(name, scope);
    size_t slot = slotOf(name, hash, scope);
    if (m_slots[slot] >= 0) return m_slots[slot];
    Symbol s;
    s.name = storeName(displayName(name), scope);
    m_list.push_back(std::move(s));
    int idx = static_cast<int>(m_list.size()) - 1;
    m_slots[slot] = idx;
    m_tags[slot] = tagOf(hash);
    if (m_list.size() * 10 > m_slots.size() * 7) grow();  // at most 70% full
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
