#pragma once
// What directives, the data and macro parts and the expression evaluator may do to the assembly:
// the parts they change (symbols, segments, listing, line sources, module settings) and the
// operations they need. The Assembler's own state stays private to it.

#include <string>
#include <string_view>
#include <vector>

#include "asm.h"

namespace krvs::tasm {

class DirContext {
public:
    explicit DirContext(Assembler& a) : m_a(a) {}

    const Options& opts() const { return m_a.m_opts; }
    int pass() const { return m_a.m_pass; }
    bool finalPass() const { return m_a.m_finalPass; }
    // A value that later lines depend on differs from the last pass: another pass is needed.
    void changed() { m_a.m_changed = true; }

    // The parts.
    SymbolTable& syms() { return m_a.m_syms; }
    SegmentSet& segs() { return m_a.m_segs; }
    ListingRecorder& listing() { return m_a.m_listing; }
    SourceStack& sources() { return m_a.m_sources; }
    ModuleState& module() { return m_a.m_mod; }
    MacroTable& macros() { return m_a.m_macros; }
    Diagnostics& diags() { return m_a.m_diags; }

    // Messages about the current line.
    void error(const std::string& msg, int col = -1) { m_a.error(msg, col); }
    void warning(const std::string& msg, int level = 1) { m_a.warning(msg, level); }
    void fatal(const std::string& msg) { m_a.fatal(msg); }
    void pass1Error() { m_a.pass1Error(); }

    // Symbols.
    int findSymbol(std::string_view name) const { return m_a.m_syms.find(name); }
    int lookupOrCreate(std::string_view name) { return m_a.m_syms.lookupOrCreate(name); }
    std::string key(std::string_view name) const { return m_a.m_syms.key(name); }
    std::string displayName(std::string_view name) const { return m_a.m_syms.displayName(name); }
    bool defineSymbol(int idx, SymKind kind, bool redefinable = false) { return m_a.defineSymbol(idx, kind, redefinable); }
    void defineLabel(int sym, int type) { m_a.defineLabel(sym, type); }
    void noteRef(int sym, bool defines = false) { m_a.noteRef(sym, defines); }

    // Expressions.
    bool evaluate(const std::vector<Token>& toks, size_t& pos, Value& out) { return m_a.evaluate(toks, pos, out); }
    bool evalConst(const std::vector<Token>& toks, size_t& pos, std::int32_t& out, bool allowUndefined) {
        return m_a.evalConst(toks, pos, out, allowUndefined);
    }
    bool parseNumber(std::string_view text, std::int32_t& out) { return m_a.parseNumber(text, out); }
    int typeKeyword(std::string_view word) const { return m_a.typeKeyword(word); }
    // Levels of the expression being evaluated (a limit keeps deep nesting off the stack).
    int& exprNesting() { return m_a.m_exprNesting; }

    // Code and data.
    bool needSegment() { return m_a.needSegment(); }
    std::int32_t here() const { return m_a.here(); }
    void emitByte(std::uint8_t b) { m_a.emitByte(b); }
    void emitListedByte(std::uint8_t b) { m_a.emitListedByte(b); }
    void emitValue(const Value& v, int size) { m_a.emitValue(v, size); }
    void reserve(std::uint32_t n) { m_a.reserve(n); }

    // Statement parts that directives share with the statement processor.
    int openSegment(const std::string& name, bool create) { return m_a.openSegment(name, create); }
    void closeOpenBlocks() { m_a.closeOpenBlocks(); }
    std::string sourceText(const std::string& line, const std::vector<Token>& toks, size_t from) const {
        return m_a.sourceText(line, toks, from);
    }
    void collect(Collect c) { m_a.m_collect = std::move(c); }
    void strucField(std::string_view name, int size, const std::vector<Token>& toks, size_t pos) {
        m_a.strucField(name, size, toks, pos);
    }

private:
    Assembler& m_a;
};

}  // namespace krvs::tasm
