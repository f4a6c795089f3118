// SEGMENT/ENDS, GROUP, ASSUME, location counter directives, END, the simplified segment directives and
// the processor selection.

#include <algorithm>

#include "context.h"
#include "directives.h"
#include "registers.h"

namespace krvs::tasm {

namespace {

bool word(const Token& t, const char* w) { return t.kind == Tok::Ident && iequals(t.text, w); }

struct SimplifiedSeg {
    const char* directive;
    const char* name;
    int align;
    Combine combine;
    const char* cls;
    bool inGroup;
};

constexpr SimplifiedSeg kSimplified[] = {
    {".CODE", "_TEXT", 2, Combine::Public, "CODE", false},
    {".DATA", "_DATA", 2, Combine::Public, "DATA", true},
    {".CONST", "CONST", 2, Combine::Public, "CONST", true},
    {".DATA?", "_BSS", 2, Combine::Public, "BSS", true},
    {".STACK", "STACK", 16, Combine::Stack, "STACK", true},
    {".FARDATA", "FAR_DATA", 16, Combine::Private, "FAR_DATA", false},
    {".FARDATA?", "FAR_BSS", 16, Combine::Private, "FAR_BSS", false},
};

const SimplifiedSeg* simplifiedFor(std::string_view directive) {
    for (const SimplifiedSeg& s : kSimplified)
        if (iequals(directive, s.directive)) return &s;
    return nullptr;
}

void setText(DirContext& a, const char* name, const std::string& text) {
    int s = a.lookupOrCreate(name);
    if (a.defineSymbol(s, SymKind::Text, true)) a.syms()[s].text() = text;
}

int groupIndex(DirContext& a, const std::string& name) {
    int sym = a.lookupOrCreate(name);
    Symbol& s = a.syms()[sym];
    if (s.kind == SymKind::Group && s.definedPass == a.pass()) return s.value;
    if (!a.defineSymbol(sym, SymKind::Group)) return -1;
    a.syms()[sym].value = a.segs().addGroup({std::string(a.syms()[sym].name), {}, sym});
    return a.syms()[sym].value;
}

void joinGroup(DirContext& a, int grp, int seg) {
    Group& g = a.segs().group(grp);
    if (std::find(g.segs.begin(), g.segs.end(), seg) == g.segs.end()) g.segs.push_back(seg);
    a.segs()[seg].group = grp;
}

// DGROUP as .MODEL made it in this pass; -1 when the name is another kind of symbol.
int modelGroup(DirContext& a) {
    int sym = a.findSymbol("DGROUP");
    if (sym < 0) return -1;
    const Symbol& s = a.syms()[sym];
    return s.kind == SymKind::Group && s.definedPass == a.pass() ? s.value : -1;
}

// Creates (or finds) a segment of the simplified model without entering it.
int simplifiedSegment(DirContext& a, const SimplifiedSeg& def) {
    std::string name = def.name;
    if (std::string(def.name) == "_TEXT" && a.module().model >= 4) {
        std::string base = a.sources().mainFile();
        size_t slash = base.find_last_of("/\\:");
        if (slash != std::string::npos) base = base.substr(slash + 1);
        base = upper(base.substr(0, base.find('.')));
        name = base + "_TEXT";
    }
    int existing = a.findSymbol(name);
    bool fresh = existing < 0 || a.syms()[existing].kind != SymKind::Segment ||
                 a.syms()[existing].definedPass != a.pass();
    int seg = a.openSegment(name, true);
    if (seg < 0) return -1;
    if (fresh) {
        Segment& s = a.segs()[seg];
        s.align = def.align;
        s.combine = def.combine;
        s.className = def.cls;
        bool inGroup = def.inGroup || (a.module().model == 1 && std::string(def.name) == "_TEXT");
        // .MODEL made DGROUP, or reported the symbol of another kind that holds the name: then the
        // segment stays out of a group, and the error is not repeated on each line that opens one.
        int grp = inGroup ? modelGroup(a) : -1;
        if (grp >= 0) joinGroup(a, grp, seg);
    }
    return seg;
}

// @CURSEG follows the current segment.
void segmentChanged(DirContext& a) {
    int seg = a.segs().current();
    setText(a, "@CURSEG", seg >= 0 ? a.segs()[seg].name : std::string());
}

}  // namespace

int Assembler::openSegment(const std::string& name, bool create) {
    int sym = m_syms.lookupOrCreate(name);
    Symbol& s = m_syms[sym];
    if (s.kind == SymKind::Segment && s.definedPass == m_pass) {
        noteRef(sym);
        return s.seg;
    }
    if (!create) return -1;
    // An object module numbers its segments with 15 bits: more would come out as other segments.
    if (m_segs.size() >= kMaxSegments) {
        fatal("Too many segments");
        return -1;
    }
    if (!defineSymbol(sym, SymKind::Segment)) return -1;
    Segment seg;
    seg.name = m_syms[sym].name;
    seg.sym = sym;
    m_syms[sym].seg = m_segs.add(std::move(seg));
    return m_syms[sym].seg;
}

void dirSegment(DirContext& a, const DirArgs& d) {
    const std::string name(a.syms()[d.sym].name);
    Symbol& sym = a.syms()[d.sym];
    bool reopen = sym.kind == SymKind::Segment && sym.definedPass == a.pass();
    int seg = a.openSegment(name, true);
    if (seg < 0) return;
    Segment& s = a.segs()[seg];
    for (size_t p = d.pos; p < d.toks.size(); ++p) {
        const Token& t = d.toks[p];
        if (reopen) break;
        static const std::pair<const char*, int> kAlign[] = {{"BYTE", 1}, {"WORD", 2}, {"DWORD", 4}, {"PARA", 16}, {"PAGE", 256}};
        static const std::pair<const char*, Combine> kCombine[] = {
            {"PUBLIC", Combine::Public}, {"STACK", Combine::Stack}, {"COMMON", Combine::Common},
            {"MEMORY", Combine::Memory}, {"PRIVATE", Combine::Private}};
        bool known = false;
        for (const auto& [w, v] : kAlign)
            if (word(t, w)) s.align = v, known = true;
        for (const auto& [w, v] : kCombine)
            if (word(t, w)) s.combine = v, known = true;
        if (known || word(t, "USE16")) continue;
        if (word(t, "AT")) {
            ++p;
            std::int32_t frame = 0;
            if (!a.evalConst(d.toks, p, frame, false)) return;
            --p;
            s.combine = Combine::At;
            s.atFrame = static_cast<std::uint16_t>(frame);
            continue;
        }
        if (t.kind == Tok::String) {
            s.className = upper(unquote(t.text));
            if (a.opts().caseMode != CaseMode::Upper) s.className = unquote(t.text);
            continue;
        }
        if (word(t, "USE32")) {
            a.error("Illegal instruction for currently selected processor(s)");
            continue;
        }
        a.error("Undefined symbol: " + a.displayName(t.text));
        return;
    }
    a.segs().open(seg);
    segmentChanged(a);
}

void dirEnds(DirContext& a, const DirArgs& d) {
    if (a.module().strucOpen >= 0 && (d.sym < 0 || d.sym == a.module().strucOpen)) {
        Symbol& st = a.syms()[a.module().strucOpen];
        if (st.size != a.module().strucOffset) a.changed();
        st.size = a.module().strucOffset;
        a.module().strucOpen = -1;
        return;
    }
    if (a.segs().current() < 0 || !a.segs().anyOpen() ||
        (d.sym >= 0 && a.syms()[d.sym].seg != a.segs().current()) ||
        (d.sym >= 0 && a.syms()[d.sym].kind != SymKind::Segment)) {
        a.error("Unmatched ENDS: " + (d.sym >= 0 ? std::string(a.syms()[d.sym].name) : std::string()));
        return;
    }
    if (!a.module().procs.empty() && a.syms()[a.module().procs.back()].seg == a.segs().current()) {
        a.error("Open procedure: " + std::string(a.syms()[a.module().procs.back()].name));
        a.module().procs.clear();
    }
    a.segs().close();
    segmentChanged(a);
}

void dirGroup(DirContext& a, const DirArgs& d) {
    int grp = groupIndex(a, std::string(a.syms()[d.sym].name));
    if (grp < 0) return;
    for (size_t p = d.pos; p < d.toks.size(); ++p) {
        if (d.toks[p].is(',')) continue;
        if (d.toks[p].kind != Tok::Ident) {
            a.error("Illegal segment address");
            return;
        }
        int seg = a.openSegment(std::string(d.toks[p].text), true);
        if (seg >= 0) joinGroup(a, grp, seg);
    }
}

void dirAssume(DirContext& a, const DirArgs& d) {
    size_t p = d.pos;
    if (p < d.toks.size() && word(d.toks[p], "NOTHING")) {
        a.segs().assumeNothing();
        return;
    }
    while (p < d.toks.size()) {
        RegInfo r = registerByName(d.toks[p].text);
        if (r.cls != RegClass::Seg || p + 2 >= d.toks.size() || !d.toks[p + 1].is(':')) {
            if (r.cls == RegClass::None) a.error("Need register in expression");
            else a.error(r.cls == RegClass::Seg ? "Need colon" : "Illegal use of register");
            return;
        }
        p += 2;
        const Token& t = d.toks[p];
        if (word(t, "NOTHING")) {
            a.segs().assume(r.num, -1);
            ++p;
        } else if (word(t, "SEG")) {
            size_t q = p;
            Value v;
            if (!a.evaluate(d.toks, q, v)) return;
            a.segs().assume(r.num, a.segs().groupExists(v.grp) ? a.segs().group(v.grp).sym : a.segs().exists(v.seg) ? a.segs()[v.seg].sym : -1);
            p = q;
        } else {
            int sym = a.findSymbol(t.text);
            if (sym < 0 || !a.syms()[sym].everDefined) {
                // A segment defined further down: known from the next pass on.
                sym = a.lookupOrCreate(t.text);
                if (a.finalPass()) {
                    a.error("Undefined symbol: " + a.displayName(t.text));
                    return;
                }
            } else if (a.syms()[sym].kind == SymKind::Text) {
                sym = a.findSymbol(a.syms()[sym].text());
            }
            if (sym >= 0 && a.syms()[sym].everDefined && a.syms()[sym].kind != SymKind::Segment &&
                a.syms()[sym].kind != SymKind::Group) {
                a.error("Illegal segment address");
                return;
            }
            a.segs().assume(r.num, sym);
            a.noteRef(sym);
            ++p;
        }
        if (p < d.toks.size()) {
            if (!d.toks[p].is(',')) {
                a.error("Extra characters on line");
                return;
            }
            ++p;
        }
    }
}

void dirOrg(DirContext& a, const DirArgs& d) {
    size_t p = d.pos;
    Value v;
    if (!a.evaluate(d.toks, p, v)) return;
    if (!v.isConst() && !(v.seg == a.segs().current() && !v.hasRegs())) {
        if (!v.undefined) a.error("Constant expected");
        return;
    }
    if (a.module().strucOpen >= 0) {
        a.module().strucOffset = v.num;
        return;
    }
    if (!a.needSegment()) return;
    Segment& s = a.segs()[a.segs().current()];
    s.lc = static_cast<std::uint32_t>(v.num) & 0xFFFF;
    s.size = std::max(s.size, s.lc);
}

static void padTo(DirContext& a, std::uint32_t align) {
    if (!a.needSegment()) return;
    Segment& s = a.segs()[a.segs().current()];
    bool code = a.segs().assumed(1) >= 0 && a.syms()[a.segs().assumed(1)].kind == SymKind::Segment &&
                a.syms()[a.segs().assumed(1)].seg == a.segs().current();
    while (s.lc % align) a.emitByte(code ? 0x90 : 0x00);
}

void dirEven(DirContext& a, const DirArgs&) { padTo(a, 2); }

void dirAlign(DirContext& a, const DirArgs& d) {
    size_t p = d.pos;
    std::int32_t n = 0;
    if (!a.evalConst(d.toks, p, n, false)) return;
    if (n <= 0 || (n & (n - 1)) || n > 256) {
        a.error("Value out of range");
        return;
    }
    padTo(a, static_cast<std::uint32_t>(n));
}

void dirEnd(DirContext& a, const DirArgs& d) {
    a.module().ended = true;
    a.closeOpenBlocks();
    if (d.pos >= d.toks.size()) return;
    size_t p = d.pos;
    Value v;
    if (!a.evaluate(d.toks, p, v)) return;
    if (v.kind == Value::Kind::Reg || v.hasRegs() || (v.seg < 0 && v.ext < 0 && !v.undefined)) {
        a.error("Illegal use of constant");
        return;
    }
    a.module().start = v;
    a.module().hasStart = true;
}

void Assembler::closeOpenBlocks() {
    if (!m_mod.procs.empty()) error("Open procedure: " + std::string(m_syms[m_mod.procs.back()].name));
    if (m_mod.strucOpen >= 0) error("Open structure definition: " + std::string(m_syms[m_mod.strucOpen].name));
    for (int seg : m_segs.takeOpen())
        if (seg >= 0) error("Open segment: " + m_segs[seg].name);
    if (!m_sources.conds().empty()) error("Open conditional");
    m_mod.procs.clear();
    m_mod.strucOpen = -1;
}

void dirModel(DirContext& a, const DirArgs& d) {
    static const char* kModels[] = {"TINY", "SMALL", "COMPACT", "MEDIUM", "LARGE", "HUGE", "TPASCAL", "FLAT"};
    a.listing().showOffset();  // the classic listing shows 0000 on the .MODEL line
    if (d.pos >= d.toks.size()) {
        a.error("Need expression");
        return;
    }
    int model = 0;
    for (int i = 0; i < 6; ++i)
        if (word(d.toks[d.pos], kModels[i])) model = i + 1;
    if (model == 0) {
        a.error("Illegal memory model");
        return;
    }
    a.module().model = model;
    groupIndex(a, "DGROUP");
    int code = simplifiedSegment(a, kSimplified[0]);
    simplifiedSegment(a, kSimplified[1]);
    if (code < 0) return;
    setText(a, "@CODE", model == 1 ? "DGROUP" : a.segs()[code].name);
    setText(a, "@DATA", "DGROUP");
    setText(a, "@MODEL", std::to_string(model));
    setText(a, "@CODESIZE", model >= 4 ? "1" : "0");
    setText(a, "@DATASIZE", model == 3 || model == 5 ? "1" : model == 6 ? "2" : "0");
    setText(a, "@STACK", "DGROUP");
    setText(a, "@FARDATA", "FAR_DATA");
    setText(a, "@FARDATA?", "FAR_BSS");
    int dgroup = a.findSymbol("DGROUP");
    a.segs().assume(1, model == 1 ? dgroup : a.segs()[code].sym);
    a.segs().assume(3, dgroup);
    a.segs().assume(2, dgroup);
}

void dirSimplified(DirContext& a, const DirArgs& d) {
    if (a.module().model == 0) {
        a.error("Model must be specified first");
        return;
    }
    const SimplifiedSeg* def = simplifiedFor(d.word);
    int seg = simplifiedSegment(a, *def);
    if (seg < 0) return;
    if (!a.module().procs.empty()) {
        a.error("Open procedure: " + std::string(a.syms()[a.module().procs.back()].name));
        a.module().procs.clear();
    }
    // Simplified directives close the open simplified segment instead of nesting.
    a.segs().switchTo(seg);
    segmentChanged(a);
    if (def == &kSimplified[0]) a.segs().assume(1, a.module().model == 1 ? a.findSymbol("DGROUP") : a.segs()[seg].sym);
}

void dirStack(DirContext& a, const DirArgs& d) {
    if (a.module().model == 0) {
        a.error("Model must be specified first");
        return;
    }
    std::int32_t size = 0x400;
    size_t p = d.pos;
    if (p < d.toks.size() && !a.evalConst(d.toks, p, size, false)) return;
    int seg = simplifiedSegment(a, kSimplified[4]);
    if (seg < 0) return;
    Segment& s = a.segs()[seg];
    s.lc += static_cast<std::uint32_t>(size);
    s.size = std::max(s.size, s.lc);
}

void dirDosseg(DirContext& a, const DirArgs&) { a.module().dosseg = true; }

// .8086/.186/.286 (and the P8086/P186/P286 spellings) select the processor whose instructions the
// encoder accepts from here on; .287/.8087 only add the coprocessor.
void dirCpu(DirContext& a, const DirArgs& d) {
    if (d.pos < d.toks.size()) {
        // "P186 db 0" names a variable like a directive: say so rather than drop the data.
        a.error("Extra characters on line", d.toks[d.pos].col);
        return;
    }
    std::string w = upper(d.word);
    if (w[0] == 'P') w[0] = '.';
    bool privileged = false;
    if (w == ".8086") a.module().cpu = 0;
    else if (w == ".186") a.module().cpu = 1;
    else if (w == ".286" || w == ".286C" || w == ".286N") a.module().cpu = 2;
    else if (w == ".286P") a.module().cpu = 2, privileged = true;
    else a.module().fpu = true;
    // The classic assembler's @CPU bits: 8086 0101H, 80186 0103H, 80286 0707H (with its coprocessors),
    // 80h for protected-mode instructions.
    std::string code = a.module().cpu == 0 ? "0101H" : a.module().cpu == 1 ? "0103H" : privileged ? "0787H" : "0707H";
    setText(a, "@CPU", code);
}

void dirCpuUnsupported(DirContext& a, const DirArgs& d) {
    a.error("Processor not supported: " + upper(d.word) + " (this assembler knows the 8086, 80186 and 80286)");
}

void dirRadix(DirContext& a, const DirArgs& d) {
    int saved = a.module().radix;
    a.module().radix = 10;  // the argument of .RADIX is always decimal
    size_t p = d.pos;
    std::int32_t r = 0;
    bool ok = a.evalConst(d.toks, p, r, false);
    a.module().radix = saved;
    if (!ok) return;
    if (r < 2 || r > 16) {
        a.error("Value out of range");
        return;
    }
    a.module().radix = r;
}

}  // namespace krvs::tasm
