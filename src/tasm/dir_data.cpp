// Data definition (DB ... DT with DUP, ?, strings), LABEL, EQU and =, structures and records.

#include <algorithm>
#include <memory>

#include "context.h"
#include "hex.h"
#include "directives.h"

namespace krvs::tasm {

namespace {

constexpr int kMaxDupDepth = 16;

struct DataNode {
    enum class Kind : std::uint8_t { Value, Reserve, Bytes, Dup };
    Kind kind = Kind::Value;
    Value v;
    std::string bytes;
    std::int32_t count = 0;
    std::vector<DataNode> kids;
};

bool word(const Token& t, const char* w) { return t.kind == Tok::Ident && iequals(t.text, w); }

bool parseItems(DirContext& a, int size, const std::vector<Token>& t, size_t& p, std::vector<DataNode>& out, int depth);

bool parseItem(DirContext& a, int size, const std::vector<Token>& t, size_t& p, DataNode& n, int depth) {
    if (p >= t.size()) {
        a.error("Need expression");
        return false;
    }
    if (t[p].text == "?") {
        ++p;
        n.kind = DataNode::Kind::Reserve;
        return true;
    }
    // A text equate stands for its text: "msg equ <'abc', 0>" then "db msg".
    if (t[p].kind == Tok::Ident && (p + 1 >= t.size() || t[p + 1].is(',') || t[p + 1].is(')'))) {
        int s = a.findSymbol(t[p].text);
        if (s >= 0 && a.syms()[s].kind == SymKind::Text && depth < kMaxDupDepth) {
            std::vector<Token> inner;
            int errCol = 0;
            std::string text = a.syms()[s].text();
            if (!tokenize(text, inner, errCol) || inner.empty()) {
                a.error("Need expression");
                return false;
            }
            size_t q = 0;
            n.kind = DataNode::Kind::Dup;
            n.count = 1;
            if (!parseItems(a, size, inner, q, n.kids, depth + 1)) return false;
            ++p;
            return true;
        }
    }
    if (t[p].kind == Tok::String && (p + 1 >= t.size() || t[p + 1].is(',') || t[p + 1].is(')'))) {
        std::string s = unquote(t[p].text);
        if (size == 1 || s.size() > static_cast<size_t>(std::min(size, 4))) {
            if (size != 1) {
                a.error("Constant too large");
                return false;
            }
            ++p;
            n.kind = DataNode::Kind::Bytes;
            n.bytes = s;
            return true;
        }
    }
    Value v;
    if (!a.evaluate(t, p, v)) return false;
    if (p < t.size() && word(t[p], "DUP")) {
        if (depth >= kMaxDupDepth) {
            a.error("Expression too complex");
            return false;
        }
        if (!v.isConst() && !v.undefined) {
            a.error("Constant expected");
            return false;
        }
        ++p;
        if (p >= t.size() || !t[p].is('(')) {
            a.error("Need left parenthesis");
            return false;
        }
        ++p;
        n.kind = DataNode::Kind::Dup;
        n.count = v.undefined ? 0 : v.num;
        if (n.count < 0 || n.count > 0x10000) {
            a.error("Value out of range");
            return false;
        }
        if (!parseItems(a, size, t, p, n.kids, depth + 1)) return false;
        if (p >= t.size() || !t[p].is(')')) {
            a.error("Need right parenthesis");
            return false;
        }
        ++p;
        return true;
    }
    n.kind = DataNode::Kind::Value;
    n.v = v;
    return true;
}

bool parseItems(DirContext& a, int size, const std::vector<Token>& t, size_t& p, std::vector<DataNode>& out, int depth) {
    for (;;) {
        DataNode n;
        if (!parseItem(a, size, t, p, n, depth)) return false;
        out.push_back(std::move(n));
        if (p < t.size() && t[p].is(',')) {
            ++p;
            continue;
        }
        return true;
    }
}

// Bytes the nodes make (stops counting past 128K). `minOne`: an empty string, and a repeat of
// nothing, count as one byte, so that the same sum bounds the work of emitting them.
std::uint64_t nodeSize(const std::vector<DataNode>& nodes, int size, bool minOne = false) {
    std::uint64_t total = 0;
    for (const DataNode& n : nodes) {
        switch (n.kind) {
            case DataNode::Kind::Bytes: total += std::max<std::uint64_t>(n.bytes.size(), minOne ? 1 : 0); break;
            case DataNode::Kind::Dup: {
                std::uint64_t kids = nodeSize(n.kids, size, minOne);
                // Emitting repeats the kids even when they make nothing (a count not known yet is 0).
                if (minOne) kids = std::max<std::uint64_t>(kids, 1);
                total += static_cast<std::uint64_t>(n.count) * kids;
                break;
            }
            default: total += static_cast<std::uint64_t>(size); break;
        }
        if (total > 0x20000) return total;
    }
    return total;
}

bool allReserve(const std::vector<DataNode>& nodes) {
    for (const DataNode& n : nodes) {
        if (n.kind == DataNode::Kind::Dup && allReserve(n.kids)) continue;
        if (n.kind != DataNode::Kind::Reserve) return false;
    }
    return true;
}

std::string hex(std::uint32_t v, int digits) { return hexText(v, digits); }

std::string reserveText(int size) { return std::string(static_cast<size_t>(std::min(size, 4) * 2), '?'); }

void emitNodes(DirContext& a, const std::vector<DataNode>& nodes, int size) {
    for (const DataNode& n : nodes) {
        switch (n.kind) {
            case DataNode::Kind::Reserve:
                a.reserve(static_cast<std::uint32_t>(size));
                a.listing().code(reserveText(size) + " ");
                break;
            case DataNode::Kind::Bytes:
                for (char c : n.bytes) a.emitListedByte(static_cast<std::uint8_t>(c));
                break;
            case DataNode::Kind::Value: a.emitValue(n.v, size); break;
            case DataNode::Kind::Dup: {
                // Listed as COUNT*(first round).
                std::string before = a.listing().column();
                if (allReserve(n.kids)) {
                    a.reserve(static_cast<std::uint32_t>(nodeSize(n.kids, size) * static_cast<std::uint64_t>(n.count)));
                    a.listing().code(hex(static_cast<std::uint32_t>(n.count), 4) + "*(" + reserveText(size) + ") ");
                    break;
                }
                for (std::int32_t i = 0; i < n.count; ++i) {
                    emitNodes(a, n.kids, size);
                    if (i == 0) a.listing().mute();
                }
                if (n.count > 0) a.listing().unmute();
                if (a.listing().on() && !a.listing().muted()) {
                    const std::string& column = a.listing().column();
                    std::string inner = column.substr(std::min(before.size(), column.size()));
                    while (!inner.empty() && inner.back() == ' ') inner.pop_back();
                    a.listing().setColumn(before + hex(static_cast<std::uint32_t>(n.count), 4) + "*(" + inner + ") ");
                }
                break;
            }
        }
    }
}

void flatten(const std::vector<DataNode>& nodes, int size, std::vector<std::uint8_t>& out) {
    for (const DataNode& n : nodes) {
        switch (n.kind) {
            case DataNode::Kind::Reserve: out.insert(out.end(), static_cast<size_t>(size), 0); break;
            case DataNode::Kind::Bytes: out.insert(out.end(), n.bytes.begin(), n.bytes.end()); break;
            case DataNode::Kind::Value:
                for (int i = 0; i < size; ++i) out.push_back(i < 4 ? static_cast<std::uint8_t>(static_cast<std::uint32_t>(n.v.num) >> (8 * i)) : 0);
                break;
            case DataNode::Kind::Dup:
                for (std::int32_t i = 0; i < n.count && out.size() < 0x10000; ++i) flatten(n.kids, size, out);
                break;
        }
    }
}

// Data that would not fit in a segment from here is refused before any of it is made, so that
// "65535 dup (65535 dup (1))" costs nothing.
bool fitsInSegment(DirContext& a, const std::vector<DataNode>& nodes, int size) {
    std::uint64_t from = static_cast<std::uint64_t>(std::max(a.here(), 0));
    if (from + nodeSize(nodes, size, true) <= 0x10000) return true;
    a.error("Location counter overflow");
    return false;
}

void defineVar(DirContext& a, int sym, int type, int length, int size) {
    if (!a.defineSymbol(sym, SymKind::Var)) return;
    Symbol& s = a.syms()[sym];
    std::int32_t at = a.here();
    if (s.value != at || s.seg != a.segs().current() || s.type != type) a.changed();
    s.value = at;
    s.seg = a.segs().current();
    s.type = type;
    a.syms().setLength(sym, length);
    s.size = size;
    if (!s.name.startsWith("@@")) a.syms().enterLocalScope();
}

}  // namespace

void dirData(DirContext& a, const DirArgs& d) {
    const DirectiveInfo* info = findDirective(d.word);
    int size = info->dataSize;
    if (!a.needSegment()) return;
    size_t p = d.pos;
    std::vector<DataNode> nodes;
    if (!parseItems(a, size, d.toks, p, nodes, 0)) {
        if (d.sym >= 0) defineVar(a, d.sym, size, 1, size);
        return;
    }
    if (p < d.toks.size()) {
        a.error("Extra characters on line");
        return;
    }
    if (!fitsInSegment(a, nodes, size)) {
        if (d.sym >= 0) defineVar(a, d.sym, size, 1, size);
        return;
    }
    if (d.sym >= 0) {
        int length = nodes[0].kind == DataNode::Kind::Dup ? nodes[0].count : 1;
        defineVar(a, d.sym, size, length, length * size);
    }
    emitNodes(a, nodes, size);
}

void Assembler::strucField(std::string_view name, int size, const std::vector<Token>& toks, size_t pos) {
    std::vector<DataNode> nodes;
    size_t p = pos;
    DirContext context(*this);
    if (!parseItems(context, size, toks, p, nodes, 0)) return;
    if (m_mod.strucOffset + nodeSize(nodes, size, true) > 0x10000) {
        error("Location counter overflow");
        return;
    }
    std::vector<std::uint8_t> bytes;
    flatten(nodes, size, bytes);
    if (!name.empty()) {
        int f = m_syms.lookupOrCreate(name);
        if (!defineSymbol(f, SymKind::Field)) return;
        m_syms[f].value = m_mod.strucOffset;
        m_syms[f].type = size;
        m_syms[f].owner() = m_mod.strucOpen;
        m_syms[f].size = static_cast<int>(bytes.size());
        m_syms[m_mod.strucOpen].fields().push_back(f);
    }
    Symbol& st = m_syms[m_mod.strucOpen];  // after the field's symbol was created
    if (st.init().size() < static_cast<size_t>(m_mod.strucOffset)) st.init().resize(static_cast<size_t>(m_mod.strucOffset));
    st.init().resize(static_cast<size_t>(m_mod.strucOffset));
    st.init().insert(st.init().end(), bytes.begin(), bytes.end());
    m_mod.strucOffset += static_cast<std::int32_t>(bytes.size());
}

// "name STRUCNAME <a, b, ...>" or "name RECNAME <...>": the defaults with the given fields replaced.
void Assembler::structVariable(int sym, int type, const std::vector<Token>& toks, size_t pos) {
    if (!needSegment()) return;
    const Symbol& t = m_syms[type];
    std::vector<std::vector<Token>> values;
    size_t p = pos;
    std::int32_t count = 1;
    if (p < toks.size() && !toks[p].is('<')) {
        if (!evalConst(toks, p, count, false)) return;
        if (p >= toks.size() || !word(toks[p], "DUP")) {
            error("Need angle brackets for structure fill");
            return;
        }
        p += 2;  // DUP (
    }
    if (p >= toks.size() || !toks[p].is('<')) {
        error("Need angle brackets for structure fill");
        return;
    }
    ++p;
    values.emplace_back();
    while (p < toks.size() && !toks[p].is('>')) {
        if (toks[p].is(',')) values.emplace_back();
        else values.back().push_back(toks[p]);
        ++p;
    }
    std::vector<std::uint8_t> bytes;
    if (t.kind == SymKind::Struc) {
        bytes = t.init();
        bytes.resize(static_cast<size_t>(std::clamp(t.size, 0, 0x10000)));
        for (size_t i = 0; i < values.size() && i < t.fields().size(); ++i) {
            if (values[i].empty()) continue;
            const Symbol& f = m_syms[t.fields()[i]];
            std::vector<std::uint8_t> fb;
            if (values[i][0].kind == Tok::String && values[i].size() == 1 && (f.type == 1 || unquote(values[i][0].text).size() > 2)) {
                std::string s = unquote(values[i][0].text);
                fb.assign(s.begin(), s.end());
            } else {
                size_t q = 0;
                std::int32_t v = 0;
                if (!evalConst(values[i], q, v, false)) return;
                for (int k = 0; k < f.type && k < 4; ++k) fb.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * k)));
            }
            fb.resize(static_cast<size_t>(std::max(f.size, 0)), 0);
            if (f.value < 0 || static_cast<size_t>(f.value) + fb.size() > bytes.size()) continue;
            std::copy(fb.begin(), fb.end(), bytes.begin() + f.value);
        }
    } else {
        std::uint32_t acc = 0;
        for (size_t i = 0; i < t.fields().size(); ++i) {
            const Symbol& f = m_syms[t.fields()[i]];
            std::int32_t v = f.size;  // the field's default
            if (i < values.size() && !values[i].empty()) {
                size_t q = 0;
                if (!evalConst(values[i], q, v, false)) return;
            }
            acc |= (static_cast<std::uint32_t>(v) & ((f.width() >= 32 ? 0u : 1u << f.width()) - 1)) << f.value;
        }
        int n = t.width() > 8 ? 2 : 1;
        for (int k = 0; k < n; ++k) bytes.push_back(static_cast<std::uint8_t>(acc >> (8 * k)));
    }
    std::uint64_t total = static_cast<std::uint64_t>(std::max<size_t>(bytes.size(), 1)) * static_cast<std::uint64_t>(std::max(count, 0));
    if (count < 0 || static_cast<std::uint64_t>(std::max(here(), 0)) + total > 0x10000) {
        error(count < 0 ? "Value out of range" : "Location counter overflow");
        return;
    }
    if (sym >= 0) {
        int size = static_cast<int>(bytes.size());
        DirContext context(*this);
        defineVar(context, sym, size, count, size * count);
    }
    for (std::int32_t i = 0; i < count; ++i) {
        for (std::uint8_t b : bytes) emitListedByte(b);
        if (i == 0) m_listing.mute();
    }
    if (count > 0) m_listing.unmute();
}

void dirLabel(DirContext& a, const DirArgs& d) {
    int type = d.pos < d.toks.size() ? a.typeKeyword(d.toks[d.pos].text) : 0;
    if (type == 0) {
        a.error("Need type");
        return;
    }
    if (type == kTypeNear || type == kTypeFar) {
        a.defineLabel(d.sym, type);
        return;
    }
    if (!a.needSegment()) return;
    defineVar(a, d.sym, type, 1, type);
}

namespace {
bool tryEvaluate(DirContext& a, const DirArgs& d, Value& v) {
    size_t mark = a.diags().size();
    size_t p = d.pos;
    bool ok = a.evaluate(d.toks, p, v) && p == d.toks.size() && v.kind != Value::Kind::Reg && !v.hasRegs() &&
              v.sreg < 0;
    if (!ok) a.diags().truncate(mark);
    return ok;
}
}  // namespace

// On the last pass every name has had its chance to be defined; a value that is still unknown
// depends on itself ("x equ y" and "y equ x").
static bool circular(DirContext& a, int sym, const Value& v) {
    if (!a.finalPass() || !v.undefined) return false;
    a.error("Circular definition: " + std::string(a.syms()[sym].name));
    return true;
}

void dirEqu(DirContext& a, const DirArgs& d) {
    Symbol& s = a.syms()[d.sym];
    Value v;
    std::string text = a.sourceText(d.line, d.toks, d.pos);
    bool angle = text.size() >= 2 && text.front() == '<' && text.back() == '>';
    if (!angle && d.pos < d.toks.size() && tryEvaluate(a, d, v)) {
        if (circular(a, d.sym, v)) return;
        if (s.kind == SymKind::Number && s.definedPass == a.pass() && !s.redefinable &&
            s.val().num == v.num && s.val().seg == v.seg) {
            return;  // the same value again is harmless
        }
        if (!a.defineSymbol(d.sym, SymKind::Number)) return;
        if (s.val().num != v.num || s.val().seg != v.seg || s.val().type != v.type || s.val().undefined != v.undefined)
            if (a.pass() > 1 || !v.undefined) a.changed();
        v.sym = -1;
        s.val() = v;
        if (v.isConst()) {
            std::string text = "=";
            text += hex(static_cast<std::uint32_t>(v.num) & 0xFFFF, 4);
            a.listing().code(text);
        }
        return;
    }
    if (!a.defineSymbol(d.sym, SymKind::Text, s.kind == SymKind::Text)) return;
    s.text() = angle ? text.substr(1, text.size() - 2) : text;
}

void dirAssign(DirContext& a, const DirArgs& d) {
    size_t p = d.pos;
    Value v;
    if (!a.evaluate(d.toks, p, v)) return;
    if (v.kind == Value::Kind::Reg || v.hasRegs()) {
        a.error("Illegal use of register");
        return;
    }
    if (circular(a, d.sym, v)) return;
    Symbol& s = a.syms()[d.sym];
    if (s.everDefined && s.definedPass == a.pass() && !s.redefinable) {
        a.error("Symbol already defined elsewhere: " + std::string(s.name));
        return;
    }
    if (!a.defineSymbol(d.sym, SymKind::Number, true)) return;
    v.sym = -1;
    s.val() = v;
    if (v.isConst()) a.listing().code("=" + hex(static_cast<std::uint32_t>(v.num) & 0xFFFF, 4));
}

void dirStruc(DirContext& a, const DirArgs& d) {
    if (a.module().strucOpen >= 0) {
        a.error("Nested structures are not supported");
        return;
    }
    if (!a.defineSymbol(d.sym, SymKind::Struc)) return;
    a.syms()[d.sym].fields().clear();
    a.syms()[d.sym].init().clear();
    a.module().strucOpen = d.sym;
    a.module().strucOffset = 0;
}

void dirRecord(DirContext& a, const DirArgs& d) {
    if (!a.defineSymbol(d.sym, SymKind::Record)) return;
    std::vector<int> fields;
    std::vector<int> widths;
    std::vector<std::int32_t> defaults;
    size_t p = d.pos;
    while (p < d.toks.size()) {
        if (d.toks[p].kind != Tok::Ident || p + 1 >= d.toks.size() || !d.toks[p + 1].is(':')) {
            a.error("Need colon");
            return;
        }
        int f = a.lookupOrCreate(d.toks[p].text);
        p += 2;
        std::int32_t w = 0, def = 0;
        if (!a.evalConst(d.toks, p, w, false)) return;
        if (p < d.toks.size() && d.toks[p].is('=')) {
            ++p;
            if (!a.evalConst(d.toks, p, def, false)) return;
        }
        if (w <= 0 || w > 16) {
            a.error("Value out of range");
            return;
        }
        fields.push_back(f);
        widths.push_back(w);
        defaults.push_back(def);
        if (p < d.toks.size() && d.toks[p].is(',')) ++p;
    }
    int total = 0;
    for (int w : widths) total += w;
    if (total > 16) {
        a.error("Record too large");
        return;
    }
    Symbol& r = a.syms()[d.sym];
    r.width() = total;
    r.fields() = fields;
    int shift = total;
    for (size_t i = 0; i < fields.size(); ++i) {
        shift -= widths[i];
        if (!a.defineSymbol(fields[i], SymKind::RecField)) continue;
        Symbol& f = a.syms()[fields[i]];
        f.value = shift;
        f.width() = widths[i];
        f.size = defaults[i];
        f.owner() = d.sym;
    }
}

void dirProc(DirContext& a, const DirArgs& d) {
    int type = a.module().model >= 4 ? kTypeFar : kTypeNear;
    if (d.pos < d.toks.size()) {
        int t = a.typeKeyword(d.toks[d.pos].text);
        if (t == kTypeNear || t == kTypeFar) type = t;
    }
    a.defineLabel(d.sym, type);
    Symbol& s = a.syms()[d.sym];
    if (s.kind != SymKind::Label || s.definedPass != a.pass()) return;
    s.kind = SymKind::Proc;
    a.module().procs.push_back(d.sym);
}

void dirEndp(DirContext& a, const DirArgs& d) {
    if (a.module().procs.empty() || a.module().procs.back() != d.sym) {
        a.error("Unmatched ENDP: " + std::string(a.syms()[d.sym].name));
        return;
    }
    a.module().procs.pop_back();
}

void dirPublic(DirContext& a, const DirArgs& d) {
    for (size_t p = d.pos; p < d.toks.size(); ++p) {
        if (d.toks[p].is(',')) continue;
        if (d.toks[p].kind != Tok::Ident) {
            a.error("Need name");
            return;
        }
        int sym = a.lookupOrCreate(d.toks[p].text);
        a.syms()[sym].isPublic = true;
        a.noteRef(sym);
    }
}

void dirExtrn(DirContext& a, const DirArgs& d) {
    size_t p = d.pos;
    while (p < d.toks.size()) {
        if (d.toks[p].kind != Tok::Ident) {
            a.error("Need name");
            return;
        }
        int sym = a.lookupOrCreate(d.toks[p].text);
        ++p;
        int type = kTypeNone;
        if (p < d.toks.size() && d.toks[p].is(':')) {
            ++p;
            if (p >= d.toks.size()) {
                a.error("Need type");
                return;
            }
            type = word(d.toks[p], "ABS") ? kTypeNone : a.typeKeyword(d.toks[p].text);
            if (type == kTypeNone && !word(d.toks[p], "ABS")) {
                a.error("Need type");
                return;
            }
            ++p;
        }
        if (p < d.toks.size() && d.toks[p].is(',')) ++p;
        Symbol& s = a.syms()[sym];
        if (s.definedPass == a.pass() && s.kind != SymKind::Extern) {
            a.error("Symbol already different kind: " + std::string(s.name));
            continue;
        }
        if (s.definedPass == a.pass()) continue;  // declared twice: harmless
        if (static_cast<int>(a.segs().externs().size()) >= kMaxExterns) {
            a.fatal("Too many external symbols");
            return;
        }
        if (!a.defineSymbol(sym, SymKind::Extern)) continue;
        a.syms().setExtern(sym, a.segs().addExtern({std::string(s.name), type, sym}));
        s.type = type;
    }
}

}  // namespace krvs::tasm
