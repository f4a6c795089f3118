#pragma once
// The symbol table: one entry per name for the whole run, so that a later pass sees the values that
// the previous pass found for forward references. Names are found without copying; upper and lower
// case fold unless /ml is in force, and @@ labels are local to the stretch between two other labels.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "arena.h"
#include "int_map.h"
#include "lexer.h"
#include "tasm/assembler.h"
#include "value.h"

namespace krvs::tasm {

enum class SymKind : std::uint8_t {
    Label, Var, Number, Text, Segment, Group, Extern, Struc, Field, Record, RecField, Macro, Proc
};

// What only equates, structures and records carry, kept apart so that the many labels stay small.
struct SymbolDetail {
    std::string text;                // text equates
    Value val;                       // numeric equates that carry a relocation
    std::vector<std::uint8_t> init;  // structures: the default contents
    std::vector<int> fields;         // structures and records: their fields in order
    int owner = -1;                  // structure or record of a field
    int width = 0;                   // records and record fields: width in bits
};

// A symbol's name: where its entry in the table's name store begins (the length as a LEB128 number,
// the characters, and for an @@ label the stretch it belongs to), 8 bytes where a view takes 16. The
// store keeps its entries in place for the table's life.
class SymbolName {
public:
    SymbolName() = default;
    explicit SymbolName(const char* entry) : m_entry(entry) {}
    operator std::string_view() const { return view(); }
    std::string_view view() const;
    size_t size() const { return view().size(); }
    bool startsWith(std::string_view prefix) const { return view().substr(0, prefix.size()) == prefix; }
    // The stretch of an @@ label (-1 for every other name).
    int scope() const;

    // Writes an entry at `at` (entrySize bytes) and returns the name that reads it.
    static size_t entrySize(std::string_view name);
    static SymbolName write(char* at, std::string_view name, int scope);

private:
    const char* m_entry = nullptr;
};

// An @@ label: local to the stretch between two other labels.
bool isLocalName(std::string_view name);

struct Symbol {
    // As written where the name was first met (upper case under /mu).
    SymbolName name;
    std::int32_t value = 0;
    int type = kTypeNone;
    int size = 0;          // SIZE in bytes (LENGTH and the external number are the table's)
    std::int16_t seg = -1;  // segments are at most kMaxSegments
    SymKind kind : 4 = SymKind::Label;
    bool redefinable : 1 = false;
    bool isPublic : 1 = false;
    bool everDefined : 1 = false;
    std::uint8_t definedPass = 0;  // passes are few (at most 33)

    // The detail, created when first written; reading a symbol that has none gives empty values.
    std::string& text() { return detail().text; }
    Value& val() { return detail().val; }
    std::vector<std::uint8_t>& init() { return detail().init; }
    std::vector<int>& fields() { return detail().fields; }
    int& owner() { return detail().owner; }
    int& width() { return detail().width; }
    const std::string& text() const { return view().text; }
    const Value& val() const { return view().val; }
    const std::vector<std::uint8_t>& init() const { return view().init; }
    const std::vector<int>& fields() const { return view().fields; }
    int owner() const { return view().owner; }
    int width() const { return view().width; }

private:
    SymbolDetail& detail() {
        if (!m_detail) m_detail = std::make_unique<SymbolDetail>();
        return *m_detail;
    }
    const SymbolDetail& view() const {
        static const SymbolDetail kNone;
        return m_detail ? *m_detail : kNone;
    }
    std::unique_ptr<SymbolDetail> m_detail;
};

// Names hash and compare without copying; upper and lower case fold unless /ml is in force (for
// the macro table; the symbol table has its own index).
struct NameHash {
    using is_transparent = void;
    bool fold = true;
    size_t operator()(std::string_view s) const {
        size_t h = 1469598103934665603ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(fold ? upperChar(c) : c)) * 1099511628211ull;
        return h;
    }
};
struct NameEq {
    using is_transparent = void;
    bool fold = true;
    bool operator()(std::string_view a, std::string_view b) const { return fold ? iequals(a, b) : a == b; }
};

class SymbolTable {
public:
    explicit SymbolTable(CaseMode mode);

    int find(std::string_view name) const;  // -1 when the name was never seen
    int lookupOrCreate(std::string_view name);
    // The name as the index knows it: case folded unless /ml, @@ names with their scope.
    std::string key(std::string_view name) const;
    // The name as messages and the listing show it.
    std::string displayName(std::string_view name) const;
    static bool isReserved(std::string_view name);

    // LENGTH of a variable: the count of its first initializer (1 unless DUP made it more).
    int length(int sym) const { return m_lengths.get(sym, 1); }
    void setLength(int sym, int length) {
        if (length != 1 || m_lengths.get(sym, 1) != 1) m_lengths.set(sym, length);
    }
    // An EXTRN's number among the module's externals in this pass; -1 until declared.
    int externOf(int sym) const { return m_externs.get(sym, -1); }
    void setExtern(int sym, int ext) { m_externs.set(sym, ext); }
    void forgetExterns() { m_externs.clear(); }

    // A label that is no @@ label starts a new scope for @@ labels.
    void enterLocalScope() { ++m_localScope; }
    void resetLocalScope() { m_localScope = 0; }

    Symbol& operator[](size_t i) { return m_list[i]; }
    const Symbol& operator[](size_t i) const { return m_list[i]; }
    size_t size() const { return m_list.size(); }
    std::deque<Symbol>::iterator begin() { return m_list.begin(); }
    std::deque<Symbol>::iterator end() { return m_list.end(); }
    std::deque<Symbol>::const_iterator begin() const { return m_list.begin(); }
    std::deque<Symbol>::const_iterator end() const { return m_list.end(); }

private:
    CaseMode m_mode;
    std::uint32_t hashOf(std::string_view name, int scope) const;
    bool sameName(const Symbol& s, std::string_view name) const;
    // The slot where `name` is, or the free slot where it would go.
    size_t slotOf(std::string_view name, std::uint32_t hash, int scope) const;
    void grow();

    // Copies a new symbol's name into the store, whose blocks never move.
    SymbolName storeName(std::string_view name, int scope);

    // A deque: growing it moves no symbol, so references stay good and no second copy is made.
    std::deque<Symbol> m_list;
    // The names, packed into blocks: a symbol holds a pointer and no std::string.
    ByteArena m_names;
    // The index: open addressing over symbol numbers (-1 free), at most 70% full; a name is
    // hashed once per lookup and no key string is kept beside the symbol's own name. Beside each
    // slot, 8 bits of its name's hash, so that a probe seldom compares names that differ: a byte
    // a slot where a whole hash in each symbol took four.
    std::vector<std::int32_t> m_slots;
    std::vector<std::uint8_t> m_tags;
    int m_localScope = 0;
    // What few symbols carry, kept apart so that a symbol is 32 bytes where it was 48.
    IntMap m_lengths, m_externs;
};

}  // namespace krvs::tasm
