// One source line: comment blocks, macro bodies being collected, conditional assembly, then labels,
// directives, macro calls and instructions.

#include <x86/table.h>

#include "context.h"
#include "directives.h"
#include "keywords.h"
#include "registers.h"

namespace krvs::tasm {

namespace {

bool isWord(const Token& t, const char* w) { return t.kind == Tok::Ident && iequals(t.text, w); }

bool opensBlock(const std::vector<Token>& t) {
    static const char* kOpen[] = {"MACRO", "REPT", "IRP", "IRPC", "REPEAT", "FOR", "FORC", "WHILE"};
    for (const char* w : kOpen) {
        if (!t.empty() && isWord(t[0], w)) return true;
        if (t.size() > 1 && isWord(t[1], w) && iequals(w, "MACRO")) return true;
    }
    return false;
}

}  // namespace

void Assembler::processLine(const std::string& line) {
    size_t diagStart = m_diags.size();
    int startSeg = m_segs.current();
    std::uint32_t startLc = m_segs.lc();
    m_lineEmitted = false;
    m_lineInstr = false;
    m_listing.startLine();

    if (char delim = m_sources.commentDelimiter()) {
        if (line.find(delim) != std::string::npos) m_sources.setCommentDelimiter(0);
        endLine(line, startLc, startSeg, diagStart);
        return;
    }
    std::vector<Token> toks = std::move(m_tokBuf);
    int errCol = 0;
    bool tokOk = tokenize(line, toks, errCol);
    struct Keep {
        std::vector<Token>& from;
        std::vector<Token>& to;
        ~Keep() { to = std::move(from); }
    } keep{toks, m_tokBuf};

    if (m_collect.active) {
        if (tokOk && opensBlock(toks)) ++m_collect.depth;
        bool ends = tokOk && !toks.empty() && isWord(toks[0], "ENDM");
        if (ends && --m_collect.depth == 0) {
            endLine(line, startLc, startSeg, diagStart);
            Collect c = std::move(m_collect);
            m_collect = Collect();
            finishCollect(c);
            return;
        }
        m_collect.macro.body.push_back(line);
        endLine(line, startLc, startSeg, diagStart);
        return;
    }
    if (!m_sources.active()) {
        if (tokOk && !toks.empty()) conditionalWhileSkipping(toks);
        m_listing.suppressLine();
        endLine(line, startLc, startSeg, diagStart);
        return;
    }
    if (!tokOk) {
        error("Missing end quote", errCol);
    } else if (!toks.empty()) {
        statement(line, toks);
    }
    if (m_opts.lineNumbers && m_lineInstr) recordLine(startSeg, startLc);
    endLine(line, startLc, startSeg, diagStart);
}

// The line's listing line, if a listing is being made.
void Assembler::endLine(const std::string& line, std::uint32_t startLc, int startSeg, size_t diagStart) {
    bool label = m_lineLabel;
    m_lineLabel = false;
    LineEnd e;
    e.source = line;
    e.expansion = m_sources.inExpansion();
    e.hasOffset = startSeg >= 0 && (m_lineEmitted || label) && m_mod.strucOpen < 0;
    e.offset = startLc;
    e.emitted = m_lineEmitted;
    e.diagFrom = diagStart;
    e.diagTo = m_diags.size();
    e.symbolCount = m_syms.size();
    m_listing.endLine(e);
}

void Assembler::statement(const std::string& line, std::vector<Token>& toks) {
    size_t pos = 0;
    // "name:" labels; "ES:" alone would be a segment prefix, which is no label.
    if (toks.size() >= 2 && toks[0].kind == Tok::Ident && toks[1].is(':') &&
        registerByName(toks[0].text).cls != RegClass::Seg) {
        if (SymbolTable::isReserved(toks[0].text)) warning("Reserved word used as symbol: " + upper(toks[0].text));
        int sym = m_syms.lookupOrCreate(toks[0].text);
        pos = 2;
        if (pos < toks.size() && toks[pos].is(':')) ++pos;  // "name::"
        defineLabel(sym, kTypeNear);
        if (pos == toks.size()) return;
    }
    // %OUT, %LIST, %NOLIST: the lexer splits off the percent sign.
    if (toks[pos].is('%') && pos + 1 < toks.size() && toks[pos + 1].kind == Tok::Ident) {
        std::string word = "%";
        word += upper(toks[pos + 1].text);
        if (const DirectiveInfo* d = findDirective(word)) {
            callDirective(*d, word, -1, toks, pos + 2, line);
            return;
        }
    }
    const Token& first = toks[pos];
    if (first.kind != Tok::Ident) {
        error("Illegal instruction", first.col);
        return;
    }
    const Token* second = pos + 1 < toks.size() ? &toks[pos + 1] : nullptr;
    const Keyword& firstWord = keywordOf(first.text);
    const DirectiveInfo* firstDir = firstWord.directive;
    const DirectiveInfo* secondDir = nullptr;
    if (second && second->kind == Tok::Ident) secondDir = findDirective(second->text);
    if (second && second->is('=')) secondDir = findDirective("=");
    bool nameForm = secondDir && secondDir->takesName != NameUse::None;
    if (nameForm && (firstDir || firstWord.isMnemonic()))
        nameForm = isWord(*second, "MACRO") || isWord(*second, "EQU") || second->is('=');
    if (nameForm) {
        if (m_mod.strucOpen >= 0 && secondDir->isData) {
            strucField(first.text, secondDir->dataSize, toks, pos + 2);
            return;
        }
        if (SymbolTable::isReserved(first.text) && !isWord(*second, "ENDS") && !isWord(*second, "ENDP"))
            warning("Reserved word used as symbol: " + upper(first.text));
        int sym = m_syms.lookupOrCreate(first.text);
        callDirective(*secondDir, second->text, sym, toks, pos + 2, line);
        return;
    }
    if (firstDir) {
        if (firstDir->takesName == NameUse::Required) {
            error("Need name", first.col);
            return;
        }
        if (m_mod.strucOpen >= 0 && firstDir->isData) {
            strucField({}, firstDir->dataSize, toks, pos + 1);
            return;
        }
        callDirective(*firstDir, first.text, -1, toks, pos + 1, line);
        return;
    }
    if (!m_macros.empty()) {
        auto macro = m_macros.find(first.text);
        if (macro != m_macros.end()) {
            expandMacro(macro->second, line, pos + 1 < toks.size() ? static_cast<size_t>(toks[pos + 1].col) : line.size());
            return;
        }
    }
    if (firstWord.isMnemonic()) {
        instruction(toks, pos, firstWord);
        return;
    }
    // "name STRUCNAME <...>" declares a structure variable.
    if (second && second->kind == Tok::Ident) {
        int t = m_syms.find(second->text);
        if (t >= 0 && (m_syms[t].kind == SymKind::Struc || m_syms[t].kind == SymKind::Record)) {
            structVariable(m_syms.lookupOrCreate(first.text), t, toks, pos + 2);
            return;
        }
    }
    if (int t = m_syms.find(first.text); t >= 0 && (m_syms[t].kind == SymKind::Struc || m_syms[t].kind == SymKind::Record)) {
        structVariable(-1, t, toks, pos + 1);
        return;
    }
    error("Illegal instruction", first.col);
}

void Assembler::defineLabel(int sym, int type) {
    if (m_mod.strucOpen >= 0) {
        error("Illegal use of label in structure");
        return;
    }
    if (!needSegment()) return;
    if (!defineSymbol(sym, SymKind::Label)) return;
    Symbol& s = m_syms[sym];
    std::int32_t at = here();
    if (s.value != at || s.seg != m_segs.current() || s.type != type) m_changed = true;
    s.value = at;
    s.seg = m_segs.current();
    s.type = type;
    m_lineLabel = true;
    if (!s.name.startsWith("@@")) m_syms.enterLocalScope();
}

void Assembler::conditionalWhileSkipping(const std::vector<Token>& toks) {
    const DirectiveInfo* d = findDirective(toks[0].text);
    if (!d || !d->conditional) return;
    std::string w = upper(toks[0].text);
    // Skipping means an IF of this source is open (see dirElse), so there is one to close or switch.
    if (m_sources.condsOfTop() == 0) return;
    if (w == "ENDIF") {
        m_sources.conds().pop_back();
    } else if (w == "ELSE") {
        Cond& c = m_sources.conds().back();
        if (c.parentActive && !c.taken) c.active = true, c.taken = true;
        else c.active = false;
    } else if (w.rfind("ELSEIF", 0) == 0) {
        Cond& c = m_sources.conds().back();
        if (c.parentActive && !c.taken) {
            // Evaluated as an IF on the same level.
            m_sources.conds().pop_back();
            std::vector<Token> t(toks);
            callDirective(*findDirective(w.substr(4)), std::string_view(w).substr(4), -1, t, 1, {});
        }
    } else {
        m_sources.conds().push_back({false, true, false, false});
    }
}

}  // namespace krvs::tasm
