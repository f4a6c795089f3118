// SEGMENT/ENDS, GROUP, ASSUME, location counter directives, END, the simplified segment directives and
// the processor selection.

#include <algorithm>

#include "asm.h"
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

void setText(Assembler& a, const char* name, const std::string& text) {
    int s = a.lookupOrCreate(name);
    if (a.defineSymbol(s, SymKind::Text, true)) a.m_syms[s].text = text;
}

int groupIndex(Assembler& a, const std::string& name) {
    int sym = a.lookupOrCreate(name);
    Symbol& s = a.m_syms[sym];
    if (s.kind == SymKind::Group && s.definedPass == a.m_pass) return s.value;
    if (!a.defineSymbol(sym, SymKind::Group)) return -1;
    a.m_groups.push_back({a.m_syms[sym].name, {}, sym});
    a.m_syms[sym].value = static_cast<int>(a.m_groups.size()) - 1;
    return a.m_syms[sym].value;
}

void joinGroup(Assembler& a, int grp, int seg) {
    Group& g = a.m_groups[grp];
    if (std::find(g.segs.begin(), g.segs.end(), seg) == g.segs.end()) g.segs.push_back(seg);
    a.m_segs[seg].group = grp;
}

// Creates (or finds) a segment of the simplified model without entering it.
int simplifiedSegment(Assembler& a, const SimplifiedSeg& def) {
    std::string name = def.name;
    if (std::string(def.name) == "_TEXT" && a.m_model >= 4) {
        std::string base = a.m_mainFile;
        size_t slash = base.find_last_of("/\\:");
        if (slash != std::string::npos) base = base.substr(slash + 1);
        base = upper(base.substr(0, base.find('.')));
        name = base + "_TEXT";
    }
    int existing = a.findSymbol(name);
    bool fresh = existing < 0 || a.m_syms[existing].kind != SymKind::Segment ||
                 a.m_syms[existing].definedPass != a.m_pass;
    int seg = a.openSegment(name, true);
    if (seg < 0) return -1;
    if (fresh) {
        Segment& s = a.m_segs[seg];
        s.align = def.align;
        s.combine = def.combine;
        s.className = def.cls;
        bool inGroup = def.inGroup || (a.m_model == 1 && std::string(def.name) == "_TEXT");
        if (inGroup) joinGroup(a, groupIndex(a, "DGROUP"), seg);
    }
    return seg;
}

void enter(Assembler& a, int seg) {
    // Simplified directives close the open simplified segment instead of nesting.
    a.m_curSeg = seg;
    std::string name = seg >= 0 ? a.m_segs[seg].name : std::string();
    setText(a, "@CURSEG", name);
}

}  // namespace

int Assembler::openSegment(const std::string& name, bool create) {
    int sym = lookupOrCreate(name);
    Symbol& s = m_syms[sym];
    if (s.kind == SymKind::Segment && s.definedPass == m_pass) {
        noteRef(sym);
        return s.seg;
    }
    if (!create) return -1;
    if (!defineSymbol(sym, SymKind::Segment)) return -1;
    Segment seg;
    seg.name = m_syms[sym].name;
    seg.sym = sym;
    m_segs.push_back(std::move(seg));
    m_syms[sym].seg = static_cast<int>(m_segs.size()) - 1;
    return m_syms[sym].seg;
}

void dirSegment(Assembler& a, const DirArgs& d) {
    const std::string& name = a.m_syms[d.sym].name;
    Symbol& sym = a.m_syms[d.sym];
    bool reopen = sym.kind == SymKind::Segment && sym.definedPass == a.m_pass;
    int seg = a.openSegment(name, true);
    if (seg < 0) return;
    Segment& s = a.m_segs[seg];
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
    if (a.m_curSeg >= 0 || !a.m_segStack.empty()) a.m_segStack.push_back(a.m_curSeg);
    else a.m_segStack.push_back(-1);
    enter(a, seg);
}

void dirEnds(Assembler& a, const DirArgs& d) {
    if (a.m_strucOpen >= 0 && (d.sym < 0 || d.sym == a.m_strucOpen)) {
        Symbol& st = a.m_syms[a.m_strucOpen];
        if (st.size != a.m_strucOffset) a.m_changed = true;
        st.size = a.m_strucOffset;
        a.m_strucOpen = -1;
        return;
    }
    if (a.m_curSeg < 0 || a.m_segStack.empty() ||
        (d.sym >= 0 && a.m_syms[d.sym].seg != a.m_curSeg) ||
        (d.sym >= 0 && a.m_syms[d.sym].kind != SymKind::Segment)) {
        a.error("Unmatched ENDS: " + (d.sym >= 0 ? a.m_syms[d.sym].name : std::string()));
        return;
    }
    if (!a.m_procStack.empty() && a.m_syms[a.m_procStack.back()].seg == a.m_curSeg) {
        a.error("Open procedure: " + a.m_syms[a.m_procStack.back()].name);
        a.m_procStack.clear();
    }
    enter(a, a.m_segStack.back());
    a.m_segStack.pop_back();
}

void dirGroup(Assembler& a, const DirArgs& d) {
    int grp = groupIndex(a, a.m_syms[d.sym].name);
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

void dirAssume(Assembler& a, const DirArgs& d) {
    size_t p = d.pos;
    if (p < d.toks.size() && word(d.toks[p], "NOTHING")) {
        for (int& r : a.m_assume) r = -1;
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
            a.m_assume[r.num] = -1;
            ++p;
        } else if (word(t, "SEG")) {
            size_t q = p;
            Value v;
            if (!a.evaluate(d.toks, q, v)) return;
            a.m_assume[r.num] = a.groupExists(v.grp) ? a.m_groups[v.grp].sym : a.segExists(v.seg) ? a.m_segs[v.seg].sym : -1;
            p = q;
        } else {
            int sym = a.findSymbol(t.text);
            if (sym < 0 || !a.m_syms[sym].everDefined) {
                // A segment defined further down: known from the next pass on.
                sym = a.lookupOrCreate(t.text);
                if (a.m_finalPass) {
                    a.error("Undefined symbol: " + a.displayName(t.text));
                    return;
                }
            } else if (a.m_syms[sym].kind == SymKind::Text) {
                sym = a.findSymbol(a.m_syms[sym].text);
            }
            if (sym >= 0 && a.m_syms[sym].everDefined && a.m_syms[sym].kind != SymKind::Segment &&
                a.m_syms[sym].kind != SymKind::Group) {
                a.error("Illegal segment address");
                return;
            }
            a.m_assume[r.num] = sym;
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

void dirOrg(Assembler& a, const DirArgs& d) {
    size_t p = d.pos;
    Value v;
    if (!a.evaluate(d.toks, p, v)) return;
    if (!v.isConst() && !(v.seg == a.m_curSeg && !v.hasRegs())) {
        if (!v.undefined) a.error("Constant expected");
        return;
    }
    if (a.m_strucOpen >= 0) {
        a.m_strucOffset = v.num;
        return;
    }
    if (!a.needSegment()) return;
    Segment& s = a.m_segs[a.m_curSeg];
    s.lc = static_cast<std::uint32_t>(v.num) & 0xFFFF;
    s.size = std::max(s.size, s.lc);
}

static void padTo(Assembler& a, std::uint32_t align) {
    if (!a.needSegment()) return;
    Segment& s = a.m_segs[a.m_curSeg];
    bool code = a.m_assume[1] >= 0 && a.m_syms[a.m_assume[1]].kind == SymKind::Segment &&
                a.m_syms[a.m_assume[1]].seg == a.m_curSeg;
    while (s.lc % align) a.emitByte(code ? 0x90 : 0x00);
}

void dirEven(Assembler& a, const DirArgs&) { padTo(a, 2); }

void dirAlign(Assembler& a, const DirArgs& d) {
    size_t p = d.pos;
    std::int32_t n = 0;
    if (!a.evalConst(d.toks, p, n, false)) return;
    if (n <= 0 || (n & (n - 1)) || n > 256) {
        a.error("Value out of range");
        return;
    }
    padTo(a, static_cast<std::uint32_t>(n));
}

void dirEnd(Assembler& a, const DirArgs& d) {
    a.m_ended = true;
    a.closeOpenBlocks();
    if (d.pos >= d.toks.size()) return;
    size_t p = d.pos;
    Value v;
    if (!a.evaluate(d.toks, p, v)) return;
    if (v.kind == Value::Kind::Reg || v.hasRegs() || (v.seg < 0 && v.ext < 0 && !v.undefined)) {
        a.error("Illegal use of constant");
        return;
    }
    a.m_start = v;
    a.m_hasStart = true;
}

void Assembler::closeOpenBlocks() {
    if (!m_procStack.empty()) error("Open procedure: " + m_syms[m_procStack.back()].name);
    if (m_strucOpen >= 0) error("Open structure definition: " + m_syms[m_strucOpen].name);
    for (size_t i = 0; i < m_segStack.size(); ++i) {
        int seg = i + 1 < m_segStack.size() ? m_segStack[i + 1] : m_curSeg;
        if (seg >= 0) error("Open segment: " + m_segs[seg].name);
    }
    if (!m_conds.empty()) error("Open conditional");
    m_procStack.clear();
    m_segStack.clear();
    m_strucOpen = -1;
}

void dirModel(Assembler& a, const DirArgs& d) {
    static const char* kModels[] = {"TINY", "SMALL", "COMPACT", "MEDIUM", "LARGE", "HUGE", "TPASCAL", "FLAT"};
    a.m_lineListsOffset = true;  // the classic listing shows 0000 on the .MODEL line
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
    a.m_model = model;
    int code = simplifiedSegment(a, kSimplified[0]);
    simplifiedSegment(a, kSimplified[1]);
    if (code < 0) return;
    groupIndex(a, "DGROUP");
    setText(a, "@CODE", model == 1 ? "DGROUP" : a.m_segs[code].name);
    setText(a, "@DATA", "DGROUP");
    setText(a, "@MODEL", std::to_string(model));
    setText(a, "@CODESIZE", model >= 4 ? "1" : "0");
    setText(a, "@DATASIZE", model == 3 || model == 5 ? "1" : model == 6 ? "2" : "0");
    setText(a, "@STACK", "DGROUP");
    setText(a, "@FARDATA", "FAR_DATA");
    setText(a, "@FARDATA?", "FAR_BSS");
    int dgroup = a.findSymbol("DGROUP");
    a.m_assume[1] = model == 1 ? dgroup : a.m_segs[code].sym;
    a.m_assume[3] = dgroup;
    a.m_assume[2] = dgroup;
}

void dirSimplified(Assembler& a, const DirArgs& d) {
    if (a.m_model == 0) {
        a.error("Model must be specified first");
        return;
    }
    const SimplifiedSeg* def = simplifiedFor(d.word);
    int seg = simplifiedSegment(a, *def);
    if (seg < 0) return;
    if (!a.m_procStack.empty()) {
        a.error("Open procedure: " + a.m_syms[a.m_procStack.back()].name);
        a.m_procStack.clear();
    }
    a.m_segStack.clear();
    enter(a, seg);
    if (def == &kSimplified[0]) a.m_assume[1] = a.m_model == 1 ? a.findSymbol("DGROUP") : a.m_segs[seg].sym;
}

void dirStack(Assembler& a, const DirArgs& d) {
    if (a.m_model == 0) {
        a.error("Model must be specified first");
        return;
    }
    std::int32_t size = 0x400;
    size_t p = d.pos;
    if (p < d.toks.size() && !a.evalConst(d.toks, p, size, false)) return;
    int seg = simplifiedSegment(a, kSimplified[4]);
    if (seg < 0) return;
    Segment& s = a.m_segs[seg];
    s.lc += static_cast<std::uint32_t>(size);
    s.size = std::max(s.size, s.lc);
}

void dirDosseg(Assembler& a, const DirArgs&) { a.m_dosseg = true; }

// .8086/.186/.286 (and the P8086/P186/P286 spellings) select the processor whose instructions the
// encoder accepts from here on; .287/.8087 only add the coprocessor.
void dirCpu(Assembler& a, const DirArgs& d) {
    if (d.pos < d.toks.size()) {
        // "P186 db 0" names a variable like a directive: say so rather than drop the data.
        a.error("Extra characters on line", d.toks[d.pos].col);
        return;
    }
    std::string w = upper(d.word);
    if (w[0] == 'P') w[0] = '.';
    bool privileged = false;
    if (w == ".8086") a.m_cpu = 0;
    else if (w == ".186") a.m_cpu = 1;
    else if (w == ".286" || w == ".286C" || w == ".286N") a.m_cpu = 2;
    else if (w == ".286P") a.m_cpu = 2, privileged = true;
    else a.m_fpu = true;
    // The classic assembler's @CPU bits: 8086 0101H, 80186 0103H, 80286 0707H (with its coprocessors),
    // 80h for protected-mode instructions.
    std::string code = a.m_cpu == 0 ? "0101H" : a.m_cpu == 1 ? "0103H" : privileged ? "0787H" : "0707H";
    setText(a, "@CPU", code);
}

void dirCpuUnsupported(Assembler& a, const DirArgs& d) {
    a.error("Processor not supported: " + upper(d.word) + " (this assembler knows the 8086, 80186 and 80286)");
}

void dirRadix(Assembler& a, const DirArgs& d) {
    int saved = a.m_radix;
    a.m_radix = 10;  // the argument of .RADIX is always decimal
    size_t p = d.pos;
    std::int32_t r = 0;
    bool ok = a.evalConst(d.toks, p, r, false);
    a.m_radix = saved;
    if (!ok) return;
    if (r < 2 || r > 16) {
        a.error("Value out of range");
        return;
    }
    a.m_radix = r;
}

}  // namespace krvs::tasm
