// Expression evaluation with the classic operator precedence (lowest first): OR XOR, AND, NOT,
// relations, + -, * / MOD SHL SHR, HIGH LOW, unary + -, OFFSET SEG TYPE PTR ..., segment ":", ".".

#include <cctype>
#include <functional>

#include "context.h"
#include "registers.h"

namespace krvs::tasm {

namespace {

constexpr int kMaxTextDepth = 40;
// Parentheses, brackets and prefix operators nest by recursion; far beyond anything written by hand,
// a limit turns a runaway line into a message instead of a stack overflow.
constexpr int kMaxNesting = 256;  // parentheses, brackets and prefix operators, counted alike

class Evaluator {
public:
    Evaluator(DirContext& a, const std::vector<Token>& t, size_t& p, int depth)
        : m_a(a), m_t(t), m_p(p), m_depth(depth) {}

    bool expr(Value& v) {
        if (kw(Kw::Short)) {
            ++m_p;
            if (!orExpr(v)) return false;
            v.isShort = true;
            return true;
        }
        // Most operands are one register, number or name before a comma or the line's end: no
        // operator level would find anything to do, so go straight to the operand itself.
        if (m_p < m_t.size() && m_t[m_p].kind != Tok::Punct && m_t[m_p].kw == Kw::None &&
            (m_p + 1 == m_t.size() || m_t[m_p + 1].is(',')))
            return primary(v);
        // Counted only here, off the one-token path that most operands take.
        Nest nest(m_a.exprNesting());
        if (nest.tooDeep()) return tooComplex();
        return orExpr(v);
    }

private:
    DirContext& m_a;
    const std::vector<Token>& m_t;
    size_t& m_p;
    int m_depth;

    // Counts one level of nesting for as long as it lives.
    struct Nest {
        int& depth;
        explicit Nest(int& d) : depth(d) { ++depth; }
        ~Nest() { --depth; }
        bool tooDeep() const { return depth > kMaxNesting; }
    };
    bool tooComplex() {
        // One message for the line, not one per level on the way out.
        if (m_a.exprNesting() == kMaxNesting + 1) m_a.error("Expression too complex", cur().col);
        return false;
    }

    const Token& cur() const {
        static const Token kEnd;
        return m_p < m_t.size() ? m_t[m_p] : kEnd;
    }
    bool kw(Kw k) const { return m_p < m_t.size() && m_t[m_p].kw == k; }
    bool punct(char c) const { return cur().is(c); }
    bool fail(const std::string& msg) {
        m_a.error(msg, cur().col);
        return false;
    }
    bool needConst(const Value& a, const Value& b) {
        if (a.isConst() && b.isConst() && a.kind == Value::Kind::Imm && b.kind == Value::Kind::Imm) return true;
        if ((a.undefined || b.undefined) && !m_a.finalPass()) return true;
        return fail("Constant expected");
    }
    static Value constant(std::int32_t n, bool undef = false) {
        Value v;
        v.num = n;
        v.undefined = undef;
        return v;
    }

    using Op = std::function<std::int32_t(std::int32_t, std::int32_t)>;
    bool binaryConst(Value& l, const Value& r, const Op& f) {
        if (!needConst(l, r)) return false;
        bool undef = l.undefined || r.undefined;
        l = constant(f(l.num, r.num), undef);
        return true;
    }

    bool orExpr(Value& v) {
        if (!andExpr(v)) return false;
        while (kw(Kw::Or) || kw(Kw::Xor)) {
            bool isOr = kw(Kw::Or);
            ++m_p;
            Value r;
            if (!andExpr(r)) return false;
            if (!binaryConst(v, r, [isOr](auto a, auto b) { return isOr ? (a | b) : (a ^ b); })) return false;
        }
        return true;
    }
    bool andExpr(Value& v) {
        if (!notExpr(v)) return false;
        while (kw(Kw::And)) {
            ++m_p;
            Value r;
            if (!notExpr(r)) return false;
            if (!binaryConst(v, r, [](auto a, auto b) { return a & b; })) return false;
        }
        return true;
    }
    bool notExpr(Value& v) {
        if (kw(Kw::Not)) {
            Nest nest(m_a.exprNesting());
            if (nest.tooDeep()) return tooComplex();
            ++m_p;
            if (!notExpr(v)) return false;
            if (!needConst(v, v)) return false;
            v = constant(~v.num, v.undefined);
            return true;
        }
        return relExpr(v);
    }
    bool relExpr(Value& v) {
        if (!addExpr(v)) return false;
        for (;;) {
            Kw k = m_p < m_t.size() ? m_t[m_p].kw : Kw::None;
            int which = k >= Kw::Eq && k <= Kw::Ge ? static_cast<int>(k) - static_cast<int>(Kw::Eq) : -1;
            if (which < 0) return true;
            ++m_p;
            Value r;
            if (!addExpr(r)) return false;
            bool sameSeg = v.seg == r.seg && v.ext == r.ext && v.kind == r.kind && !v.segBase && !r.segBase;
            if (!sameSeg && !needConst(v, r)) return false;
            std::int32_t a = v.num, b = r.num;
            bool res = false;
            switch (which) {
                case 0: res = a == b; break;
                case 1: res = a != b; break;
                case 2: res = a < b; break;
                case 3: res = a <= b; break;
                case 4: res = a > b; break;
                default: res = a >= b; break;
            }
            v = constant(res ? -1 : 0, v.undefined || r.undefined);
        }
    }

    static void regToMem(Value& v) {
        if (v.kind != Value::Kind::Reg || v.regClass != RegClass::R16) return;
        int r = v.reg;
        v.kind = Value::Kind::Mem;
        v.reg = -1;
        v.regClass = RegClass::None;
        if (r == 3 || r == 5) v.base = r;
        else if (r == 6 || r == 7) v.index = r;
        else v.base = 100 + r;  // not usable as an index: reported by the caller
    }

    bool combineRegs(Value& l, const Value& r) {
        for (int reg : {r.base, r.index}) {
            if (reg < 0) continue;
            int& slot = (reg == 3 || reg == 5) ? l.base : l.index;
            if (slot >= 0 || reg >= 100) return fail("Illegal indexing mode");
            slot = reg;
        }
        return true;
    }

    bool add(Value& l, Value r, bool minus) {
        regToMem(l);
        regToMem(r);
        if (l.kind == Value::Kind::Reg || r.kind == Value::Kind::Reg) return fail("Illegal use of register");
        bool undef = l.undefined || r.undefined;
        if (minus) {
            if (r.hasRegs()) return fail("Illegal indexing mode");
            if (r.relocatable()) {
                bool same = !r.segBase && !l.segBase && l.seg == r.seg && l.ext == r.ext;
                if (!same && !undef) return fail("Can't subtract dissimilar relocatable quantities");
                std::int32_t n = l.num - r.num;
                bool mem = l.hasRegs();
                Value keep = l;
                l = constant(n, undef);
                if (mem) {
                    keep.num = n;
                    keep.seg = keep.ext = -1;
                    keep.label = false;
                    l = keep;
                    l.undefined = undef;
                }
                return true;
            }
            l.num -= r.num;
            l.undefined = undef;
            return true;
        }
        if (l.relocatable() && r.relocatable() && !undef) return fail("Can't add relocatable quantities");
        if (r.relocatable()) {
            r.num += l.num;
            if (!combineRegs(r, l)) return false;
            if (l.kind == Value::Kind::Mem) r.kind = Value::Kind::Mem;
            if (l.sreg >= 0) r.sreg = l.sreg;
            if (r.type == kTypeNone) r.type = l.type;
            r.bracket = r.bracket || l.bracket;
            l = r;
        } else {
            l.num += r.num;
            if (!combineRegs(l, r)) return false;
            if (r.kind == Value::Kind::Mem) l.kind = Value::Kind::Mem;
            if (r.sreg >= 0) l.sreg = r.sreg;
            if (l.type == kTypeNone) l.type = r.type;
            l.bracket = l.bracket || r.bracket;
        }
        l.undefined = undef;
        return true;
    }

    bool addExpr(Value& v) {
        if (!mulExpr(v)) return false;
        while (punct('+') || punct('-')) {
            bool minus = punct('-');
            ++m_p;
            Value r;
            if (minus && numberBeforeBracket()) {
                // "table-2[bx]" is table + (-2) + [bx], not table - (2 + [bx]).
                if (!negativeDisplacement(r)) return false;
                if (!add(v, r, false)) return false;
                continue;
            }
            if (!mulExpr(r)) return false;
            if (!add(v, r, minus)) return false;
        }
        return true;
    }

    bool mulExpr(Value& v) {
        if (!unaryExpr(v)) return false;
        for (;;) {
            int op = punct('*') ? 0 : punct('/') ? 1 : kw(Kw::Mod) ? 2 : kw(Kw::Shl) ? 3 : kw(Kw::Shr) ? 4 : -1;
            if (op < 0) return true;
            ++m_p;
            Value r;
            if (!unaryExpr(r)) return false;
            if ((op == 1 || op == 2) && r.num == 0 && !r.undefined && r.isConst())
                return fail("Division by zero");
            bool ok = binaryConst(v, r, [op](std::int32_t a, std::int32_t b) -> std::int32_t {
                switch (op) {
                    case 0: return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
                    case 1: return b ? a / b : 0;
                    case 2: return b ? a % b : 0;
                    case 3: return b >= 32 || b < 0 ? 0 : static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << b);
                    default: return b >= 32 || b < 0 ? 0 : static_cast<std::int32_t>(static_cast<std::uint32_t>(a) >> b);
                }
            });
            if (!ok) return false;
        }
    }

    bool unaryExpr(Value& v) {
        if (punct('-') || punct('+') || kw(Kw::High) || kw(Kw::Low)) {
            Nest nest(m_a.exprNesting());
            if (nest.tooDeep()) return tooComplex();
            return prefixExpr(v);
        }
        return ptrExpr(v);
    }

    bool prefixExpr(Value& v) {
        if (punct('-') || punct('+')) {
            bool neg = punct('-');
            ++m_p;
            if (neg && numberBeforeBracket()) return negativeDisplacement(v);
            if (!unaryExpr(v)) return false;
            if (neg) {
                if (!needConst(v, v)) return false;
                v.num = -v.num;
            }
            return true;
        }
        if (kw(Kw::High) || kw(Kw::Low)) {
            bool high = kw(Kw::High);
            ++m_p;
            if (!unaryExpr(v)) return false;
            if (!needConst(v, v)) return false;
            v = constant(high ? (v.num >> 8) & 0xFF : v.num & 0xFF, v.undefined);
            return true;
        }
        return ptrExpr(v);
    }

    bool ptrExpr(Value& v) {
        if (cur().kind == Tok::Ident && (cur().kw != Kw::None || (m_p + 1 < m_t.size() && m_t[m_p + 1].kw == Kw::Ptr))) {
            Nest nest(m_a.exprNesting());
            if (nest.tooDeep()) return tooComplex();
            return prefixOperator(v);
        }
        return colonExpr(v);
    }

    bool prefixOperator(Value& v) {
        if (cur().kind == Tok::Ident) {
            int t = m_p + 1 < m_t.size() && m_t[m_p + 1].kw == Kw::Ptr ? m_a.typeKeyword(cur().text) : 0;
            if (t != 0) {
                m_p += 2;
                if (!ptrExpr(v)) return false;
                if (v.kind == Value::Kind::Reg) return fail("Illegal use of register");
                v.type = t;
                v.typeExplicit = true;
                if (t == kTypeNear || t == kTypeFar) v.label = true;
                return true;
            }
            Kw k = cur().kw;
            if (k >= Kw::Offset && k <= Kw::Mask) {
                ++m_p;
                return unaryOp(static_cast<int>(k) - static_cast<int>(Kw::Offset), v);
            }
        }
        return colonExpr(v);
    }

    bool unaryOp(int op, Value& v) {
        if (op == 5) {  // THIS type
            int t = cur().kind == Tok::Ident ? m_a.typeKeyword(cur().text) : 0;
            if (t == 0) return fail("Need type");
            ++m_p;
            v = Value();
            v.kind = Value::Kind::Mem;
            v.seg = m_a.segs().current();
            v.num = m_a.here();
            v.type = t;
            v.label = t == kTypeNear || t == kTypeFar;
            return true;
        }
        if (!ptrExpr(v)) return false;
        switch (op) {
            case 0:  // OFFSET
                if (v.kind == Value::Kind::Reg || v.hasRegs()) return fail("Illegal use of register");
                v.kind = Value::Kind::Imm;
                v.type = kTypeNone;
                v.label = false;
                v.bracket = false;
                v.sym = -1;
                return true;
            case 1: {  // SEG
                if (v.kind == Value::Kind::Reg) return fail("Illegal use of register");
                Value s;
                s.undefined = v.undefined;
                s.segBase = true;
                s.ext = v.ext;
                s.seg = v.seg;
                if (m_a.segs().exists(v.seg) && m_a.segs()[v.seg].group >= 0) {
                    s.grp = m_a.segs()[v.seg].group;
                    s.seg = -1;
                }
                if (v.segBase) s = v;
                s.kind = Value::Kind::Imm;
                v = s;
                return true;
            }
            case 2: {  // TYPE
                std::int32_t t = v.type == kTypeNear ? 0xFFFF : v.type == kTypeFar ? 0xFFFE : v.type;
                if (v.kind == Value::Kind::Reg) t = v.regClass == RegClass::R8 ? 1 : 2;
                v = constant(t, v.undefined);
                return true;
            }
            case 3:
            case 4: {  // LENGTH, SIZE
                int len = 1, size = v.type > 0 ? v.type : 0;
                if (v.sym >= 0 && m_a.syms()[v.sym].kind == SymKind::Var) {
                    len = m_a.syms().length(v.sym);
                    size = m_a.syms()[v.sym].size;
                }
                v = constant(op == 3 ? len : size, v.undefined);
                return true;
            }
            case 6:
                v.isShort = true;
                return true;
            default: {  // WIDTH, MASK of a record field
                if (v.sym < 0 || m_a.syms()[v.sym].kind != SymKind::RecField) {
                    if (v.sym >= 0 && m_a.syms()[v.sym].kind == SymKind::Record) {
                        const Symbol& r = m_a.syms()[v.sym];
                        v = constant(op == 7 ? r.width() : static_cast<std::int32_t>((r.width() >= 32 ? 0 : (1u << r.width())) - 1));
                        return true;
                    }
                    if (v.undefined) return true;
                    return fail("Record field expected");
                }
                const Symbol& f = m_a.syms()[v.sym];
                std::uint32_t mask = ((f.width() >= 32 ? 0u : (1u << f.width())) - 1) << f.value;
                v = constant(op == 7 ? f.width() : static_cast<std::int32_t>(mask));
                return true;
            }
        }
    }

    bool colonExpr(Value& v) {
        if (!dotExpr(v)) return false;
        if (!punct(':')) return true;
        ++m_p;
        Value r;
        if (!ptrExpr(r)) return false;
        if (v.kind == Value::Kind::Reg && v.regClass == RegClass::Seg) {
            regToMem(r);
            if (r.kind == Value::Kind::Reg) return fail("Illegal use of register");
            r.sreg = v.reg;
            r.kind = Value::Kind::Mem;
        } else if (v.segBase && v.grp >= 0) {
            r.frameGrp = v.grp;
        } else if (v.segBase && v.seg >= 0) {
            r.frameSeg = v.seg;
        } else if (!v.undefined) {
            return fail("Illegal segment address");
        }
        r.undefined = r.undefined || v.undefined;
        v = r;
        return true;
    }

    bool dotExpr(Value& v) {
        if (!postfix(v)) return false;
        return dotTail(v);
    }

    // ".member" and ".number" after an operand, each possibly followed by more "[...]" parts:
    // "[bx].0ch" and "[bx].10h[si]" are the textbooks' way of writing a record field's offset.
    bool dotTail(Value& v) {
        while (punct('.') || (cur().kind == Tok::Ident && cur().text[0] == '.')) {
            std::string_view name;
            if (punct('.')) {
                ++m_p;
                if (cur().kind == Tok::Number && v.kind == Value::Kind::Mem) {
                    Value n;
                    if (!primary(n)) return false;
                    v.num += n.num;
                    if (!bracketTail(v)) return false;
                    continue;
                }
                if (cur().kind != Tok::Ident) return fail("Need structure member name");
                name = cur().text;
            } else {
                name = cur().text.substr(1);
            }
            ++m_p;
            int s = m_a.findSymbol(name);
            if (s < 0 || m_a.syms()[s].kind != SymKind::Field) {
                if (!m_a.finalPass()) {
                    v.undefined = true;
                    continue;
                }
                return fail("Undefined symbol: " + m_a.displayName(name));
            }
            m_a.noteRef(s);
            regToMem(v);
            v.num += m_a.syms()[s].value;
            v.type = m_a.syms()[s].type;
            if (v.kind == Value::Kind::Imm && !v.relocatable()) v.kind = Value::Kind::Mem;
            if (!bracketTail(v)) return false;
        }
        return true;
    }

    bool postfix(Value& v) {
        if (!primary(v)) return false;
        return bracketTail(v);
    }

    // "-2[bp]" and "table-2[bx][si]": a signed number written in front of the brackets is their
    // displacement. True when the tokens at the cursor are that number (after the sign).
    bool numberBeforeBracket() const {
        return m_p + 1 < m_t.size() && m_t[m_p].kind == Tok::Number && m_t[m_p + 1].is('[');
    }
    bool negativeDisplacement(Value& v) {
        if (!primary(v)) return false;
        v.num = -v.num;
        if (!bracketTail(v)) return false;
        return dotTail(v);
    }

    bool bracketTail(Value& v) {
        while (punct('[') || punct('(')) {
            Value r;
            if (!primary(r)) return false;
            if (!add(v, r, false)) return false;
            if (r.bracket || v.hasRegs()) v.kind = Value::Kind::Mem;
        }
        return true;
    }

    bool bracket(Value& v) {
        ++m_p;
        if (!expr(v)) return false;
        if (!punct(']')) return fail("Need right square bracket");
        ++m_p;
        regToMem(v);
        if (v.kind == Value::Kind::Reg) return fail("Illegal use of register");
        if (v.base >= 100) return fail("Illegal indexing mode");
        v.kind = Value::Kind::Mem;
        v.bracket = true;
        return true;
    }

    bool primary(Value& v) {
        v = Value();
        const Token& t = cur();
        switch (t.kind) {
            case Tok::End: return fail("Need expression");
            case Tok::Number: {
                ++m_p;
                std::int32_t n = 0;
                if (!m_a.parseNumber(t.text, n)) {
                    m_a.error("Illegal number", t.col);
                    return false;
                }
                v.num = n;
                return true;
            }
            case Tok::String: {
                ++m_p;
                std::string s = unquote(t.text);
                if (s.size() > 4) return fail("Constant too large");
                std::uint32_t n = 0;
                for (char c : s) n = (n << 8) | static_cast<unsigned char>(c);
                v.num = static_cast<std::int32_t>(n);
                return true;
            }
            case Tok::Punct:
                if (t.is('(')) {
                    ++m_p;
                    if (!expr(v)) return false;
                    if (!punct(')')) return fail("Need right parenthesis");
                    ++m_p;
                    return true;
                }
                if (t.is('[')) return bracket(v);
                return fail(t.is(']') ? "Need left square bracket" : "Illegal expression");
            case Tok::Ident: break;
        }
        ++m_p;
        return identifier(t, v);
    }

    bool identifier(const Token& t, Value& v) {
        RegInfo r = registerByName(t.text);
        if (r.cls != RegClass::None) {
            v.kind = Value::Kind::Reg;
            v.reg = r.num;
            v.regClass = r.cls;
            return true;
        }
        if (t.text == "$") {
            v.kind = Value::Kind::Mem;
            v.seg = m_a.segs().current();
            v.num = m_a.here();
            v.type = kTypeNear;
            v.label = true;
            if (m_a.module().strucOpen >= 0) v = constant(m_a.module().strucOffset);
            return true;
        }
        if (t.text == "?") return fail("Illegal use of ?");
        int s = m_a.findSymbol(t.text);
        if (s < 0 || !m_a.syms()[s].everDefined) return undefinedSymbol(t, v);
        return symbolValue(s, v);
    }

    bool undefinedSymbol(const Token& t, Value& v) {
        if (m_a.finalPass()) {
            m_a.error("Undefined symbol: " + m_a.displayName(t.text), t.col);
            return false;
        }
        v.undefined = true;
        return true;
    }

    bool symbolValue(int s, Value& v) {
        const Symbol& sym = m_a.syms()[s];
        m_a.noteRef(s);
        v.sym = s;
        switch (sym.kind) {
            case SymKind::Label:
            case SymKind::Proc:
                v.kind = Value::Kind::Mem;
                v.seg = sym.seg;
                v.num = sym.value;
                v.type = sym.type;
                v.label = true;
                return true;
            case SymKind::Var:
                v.kind = Value::Kind::Mem;
                v.seg = sym.seg;
                v.num = sym.value;
                v.type = sym.type;
                return true;
            case SymKind::Number: {
                bool u = v.undefined;
                v = sym.val();
                v.undefined = v.undefined || u;
                v.sym = s;
                return true;
            }
            case SymKind::Text: return textValue(sym.text(), v);
            case SymKind::Segment:
                v.segBase = true;
                v.seg = m_a.syms()[s].seg;
                return true;
            case SymKind::Group:
                v.segBase = true;
                v.grp = sym.value;
                return true;
            case SymKind::Extern: {
                const int ext = m_a.syms().externOf(s);
                if (ext < 0 || ext >= static_cast<int>(m_a.segs().externs().size())) {
                    // Declared further down: usable from the next pass on only.
                    if (m_a.finalPass()) return fail("Undefined symbol: " + std::string(sym.name));
                    v.undefined = true;
                    return true;
                }
                const Extern& e = m_a.segs().externAt(ext);
                v.ext = ext;
                v.type = e.type;
                v.kind = Value::Kind::Mem;
                v.label = e.type == kTypeNear || e.type == kTypeFar;
                if (e.type == 0) v.kind = Value::Kind::Imm;  // ABS: a constant from another module
                return true;
            }
            case SymKind::Struc:
                v.num = sym.size;
                v.type = sym.size;
                return true;
            case SymKind::Field:
                v.num = sym.value;
                v.type = sym.type;
                return true;
            case SymKind::RecField:
                v.num = sym.value;
                return true;
            case SymKind::Record:
                v.num = 0;
                return true;
            case SymKind::Macro: return fail("Illegal use of macro: " + std::string(sym.name));
        }
        return true;
    }

    bool textValue(const std::string& text, Value& v) {
        if (m_depth >= kMaxTextDepth) return fail("Text macro expansion too deep");
        std::vector<Token> toks;
        int errCol = 0;
        if (!tokenize(text, toks, errCol)) return fail("Missing end quote");
        if (toks.empty()) return fail("Need expression");
        size_t p = 0;
        Evaluator inner(m_a, toks, p, m_depth + 1);
        if (!inner.expr(v)) return false;
        if (p != toks.size()) return fail("Extra characters on line");
        return true;
    }
};

}  // namespace

bool Assembler::evaluate(const std::vector<Token>& toks, size_t& pos, Value& out) {
    DirContext context(*this);
    Evaluator e(context, toks, pos, 0);
    return e.expr(out);
}

bool Assembler::evalConst(const std::vector<Token>& toks, size_t& pos, std::int32_t& out, bool allowUndefined) {
    Value v;
    if (!evaluate(toks, pos, v)) return false;
    if (v.undefined && !allowUndefined && !m_finalPass) {
        out = 0;
        return true;
    }
    if (!v.isConst() && !v.undefined) {
        error("Constant expected", pos < toks.size() ? toks[pos].col : -1);
        return false;
    }
    out = v.num;
    return true;
}

bool Assembler::parseNumber(std::string_view text, std::int32_t& out) {
    std::string s = upper(text);
    int radix = m_mod.radix;
    char last = s.back();
    bool hexDigitsOk = true;
    if (last == 'H') {
        radix = 16;
        s.pop_back();
    } else if (last == 'O' || last == 'Q') {
        radix = 8;
        s.pop_back();
    } else if ((last == 'B' || last == 'Y') && m_mod.radix <= 10) {
        radix = 2;
        s.pop_back();
    } else if ((last == 'D' || last == 'T') && m_mod.radix <= 10) {
        radix = 10;
        s.pop_back();
    }
    (void)hexDigitsOk;
    if (s.empty()) return false;
    std::uint64_t n = 0;
    for (char c : s) {
        int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c >= 'A' && c <= 'Z') ? c - 'A' + 10 : 99;
        if (d >= radix) return false;
        n = n * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        if (n > 0xFFFFFFFFull) return false;
    }
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
    return true;
}

int Assembler::typeKeyword(std::string_view w) const {
    static const std::pair<const char*, int> kTypes[] = {
        {"BYTE", 1}, {"WORD", 2}, {"DWORD", 4}, {"FWORD", 6}, {"PWORD", 6}, {"QWORD", 8},
        {"TBYTE", 10}, {"NEAR", kTypeNear}, {"FAR", kTypeFar}, {"PROC", kTypeNear},
    };
    for (const auto& [name, t] : kTypes)
        if (iequals(w, name)) return t;
    int s = m_syms.find(w);
    if (s >= 0 && m_syms[s].kind == SymKind::Struc) return m_syms[s].size;
    return 0;
}

}  // namespace krvs::tasm
