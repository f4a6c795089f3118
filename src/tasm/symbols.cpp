// The symbol table's names, and the rule for defining a symbol in a pass.

#include <algorithm>

#include "context.h"
#include "registers.h"

namespace krvs::tasm {

SymbolTable::SymbolTable(CaseMode mode)
    : m_mode(mode), m_index(256, NameHash{mode != CaseMode::All}, NameEq{mode != CaseMode::All}) {}

std::string SymbolTable::key(std::string_view name) const {
    std::string k = m_mode == CaseMode::All ? std::string(name) : upper(name);
    // @@ labels are local to the stretch between two ordinary labels.
    if (k.size() > 2 && k[0] == '@' && k[1] == '@') k += "#" + std::to_string(m_localScope);
    return k;
}

std::string SymbolTable::displayName(std::string_view name) const {
    return m_mode == CaseMode::Upper ? upper(name) : std::string(name);
}

static bool isLocalName(std::string_view name) { return name.size() > 2 && name[0] == '@' && name[1] == '@'; }

int SymbolTable::find(std::string_view name) const {
    auto it = isLocalName(name) ? m_index.find(key(name)) : m_index.find(name);
    return it == m_index.end() ? -1 : it->second;
}

int SymbolTable::lookupOrCreate(std::string_view name) {
    auto it = isLocalName(name) ? m_index.find(key(name)) : m_index.find(name);
    if (it != m_index.end()) return it->second;
    std::string k = key(name);
    Symbol s;
    s.name = displayName(name);
    m_list.push_back(std::move(s));
    int idx = static_cast<int>(m_list.size()) - 1;
    m_index.emplace(std::move(k), idx);
    return idx;
}

bool SymbolTable::isReserved(std::string_view name) {
    static constexpr std::string_view kWords[] = {
        "OFFSET", "SEG", "TYPE", "PTR", "BYTE", "WORD", "DWORD", "QWORD", "TBYTE", "NEAR", "FAR",
        "SHORT", "THIS", "HIGH", "LOW", "LENGTH", "SIZE", "MOD", "SHL", "SHR", "AND", "OR", "XOR", "NOT",
        "EQ", "NE", "LT", "LE", "GT", "GE", "DUP", "MASK", "WIDTH",
    };
    if (registerByName(name).cls != RegClass::None) return true;
    // Every label is checked: compare only words of the same length.
    for (std::string_view w : kWords)
        if (w.size() == name.size() && iequals(name, w)) return true;
    return false;
}

// Marks a symbol defined in this pass. Returns false (after the diagnostic) on a clash.
bool Assembler::defineSymbol(int idx, SymKind kind, bool redefinable) {
    Symbol& s = m_syms[idx];
    bool definedNow = s.definedPass == m_pass;
    if (s.kind == SymKind::Extern && s.everDefined && kind != SymKind::Extern) {
        error("Symbol already different kind: " + s.name);
        return false;
    }
    if (definedNow && !(redefinable && s.redefinable)) {
        if (s.kind != kind) error("Symbol already different kind: " + s.name);
        else error("Symbol already defined elsewhere: " + s.name);
        return false;
    }
    if (s.everDefined && s.kind != kind && s.definedPass == m_pass) {
        error("Symbol already different kind: " + s.name);
        return false;
    }
    s.kind = kind;
    s.redefinable = redefinable;
    s.definedPass = m_pass;
    s.definedLine = m_listing.lineNumber();
    s.everDefined = true;
    noteRef(idx, true);
    return true;
}

}  // namespace krvs::tasm
