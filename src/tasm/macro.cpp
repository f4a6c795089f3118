// Macros and repeat blocks: collecting bodies, splitting actual arguments, substituting parameters
// (with & joins, <> literals, %expr and ! escapes), LOCAL names and EXITM.

#include <cctype>

#include "context.h"
#include "directives.h"

namespace krvs::tasm {

namespace {

bool word(const Token& t, const char* w) { return t.kind == Tok::Ident && iequals(t.text, w); }

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

// Splits "a, <b,c>, 'd,e', %N" into arguments. `%expr` becomes the value of expr as a number.
std::vector<std::string> splitArgs(DirContext& a, std::string_view text) {
    std::vector<std::string> args;
    std::string cur;
    int angle = 0;
    bool any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (angle == 0 && (c == '\'' || c == '"')) {
            size_t e = text.find(c, i + 1);
            while (e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == c) e = text.find(c, e + 2);
            if (e == std::string_view::npos) e = text.size() - 1;
            cur.append(text.substr(i, e - i + 1));
            i = e;
            any = true;
            continue;
        }
        if (c == '!' && i + 1 < text.size()) {
            cur.push_back(text[++i]);
            any = true;
            continue;
        }
        if (c == '<') {
            if (angle++ > 0) cur.push_back(c);
            any = true;
            continue;
        }
        if (c == '>' && angle > 0) {
            if (--angle > 0) cur.push_back(c);
            continue;
        }
        if (c == '%' && angle == 0) {
            size_t e = i + 1;
            while (e < text.size() && text[e] != ',') ++e;
            std::vector<Token> toks;
            int errCol = 0;
            std::string expr(text.substr(i + 1, e - i - 1));
            size_t p = 0;
            std::int32_t v = 0;
            if (tokenize(expr, toks, errCol) && !toks.empty() && a.evalConst(toks, p, v, false))
                cur += std::to_string(v);
            i = e - 1;
            any = true;
            continue;
        }
        if (c == ',' && angle == 0) {
            args.push_back(trim(cur));
            cur.clear();
            continue;
        }
        if (c == ';' && angle == 0) break;
        cur.push_back(c);
        if (c != ' ' && c != '\t') any = true;
    }
    if (any || !args.empty()) args.push_back(trim(cur));
    return args;
}

// Replaces parameter names in one body line. Inside quotes a name is replaced only when an & touches it.
// Most body lines are no LOCAL line: look at the first word before splitting the whole line.
bool startsWithLocal(std::string_view l) {
    size_t i = l.find_first_not_of(" \t\r\n\x1a");
    if (i == std::string_view::npos || l.size() - i < 5 || !iequals(l.substr(i, 5), "LOCAL")) return false;
    return i + 5 == l.size() || !identChar(l[i + 5]);
}

std::string substitute(const DirContext& a, const std::string& line, const std::vector<std::string>& names,
                       const std::vector<std::string>& values) {
    if (names.empty()) return line;
    std::string out;
    out.reserve(line.size() + 16);
    char quote = 0;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (!quote && c == ';') {
            if (i + 1 < line.size() && line[i + 1] == ';') break;  // ";;" comments stay in the definition
            out.append(line, i, std::string::npos);
            break;
        }
        if (c == '\'' || c == '"') {
            if (!quote) quote = c;
            else if (quote == c) quote = 0;
            out.push_back(c);
            ++i;
            continue;
        }
        if (!identStart(c)) {
            out.push_back(c);
            ++i;
            continue;
        }
        size_t e = i;
        while (e < line.size() && identChar(line[e])) ++e;
        std::string_view id(line.data() + i, e - i);
        int found = -1;
        bool exact = a.opts().caseMode == CaseMode::All;
        for (size_t k = 0; k < names.size() && found < 0; ++k)
            if (exact ? id == names[k] : iequals(id, names[k])) found = static_cast<int>(k);
        bool ampBefore = !out.empty() && out.back() == '&';
        bool ampAfter = e < line.size() && line[e] == '&';
        if (found >= 0 && (!quote || ampBefore || ampAfter)) {
            if (ampBefore) out.pop_back();
            out += values[static_cast<size_t>(found)];
            if (ampAfter) ++e;
        } else {
            out.append(id);
        }
        i = e;
    }
    return out;
}

}  // namespace

void dirMacro(DirContext& a, const DirArgs& d) {
    Collect c;
    c.active = true;
    c.depth = 1;
    c.kind = "MACRO";
    c.macro.name = a.syms()[d.sym].name;
    for (size_t p = d.pos; p < d.toks.size(); ++p) {
        const Token& t = d.toks[p];
        if (t.is(',')) continue;
        if (t.kind != Tok::Ident) {
            a.error("Need name");
            return;
        }
        std::string k = a.key(t.text);
        for (const std::string& prev : c.macro.params)
            if (prev == k) a.error("Duplicate dummy argument: " + upper(t.text));
        c.macro.params.push_back(k);
        bool req = false;
        if (p + 2 < d.toks.size() && d.toks[p + 1].is(':')) {
            req = word(d.toks[p + 2], "REQ");
            p += 2;
        }
        c.macro.required.push_back(req);
    }
    Symbol& s = a.syms()[d.sym];
    if (s.kind != SymKind::Macro || s.definedPass != a.pass()) {
        if (!a.defineSymbol(d.sym, SymKind::Macro)) return;
    }
    a.collect(std::move(c));
}

void dirRepeat(DirContext& a, const DirArgs& d) {
    Collect c;
    c.active = true;
    c.depth = 1;
    c.kind = upper(d.word);
    if (c.kind == "REPEAT") c.kind = "REPT";
    if (c.kind == "FOR") c.kind = "IRP";
    if (c.kind == "FORC") c.kind = "IRPC";
    c.macro.name = c.kind;
    size_t p = d.pos;
    if (c.kind == "REPT") {
        std::int32_t n = 0;
        if (!a.evalConst(d.toks, p, n, false)) return;
        if (n < 0) n = 0;
        c.count = n;
    } else {
        if (p >= d.toks.size() || d.toks[p].kind != Tok::Ident) {
            a.error("Need name");
            return;
        }
        c.macro.params.push_back(a.key(d.toks[p].text));
        if (p + 1 >= d.toks.size() || !d.toks[p + 1].is(',')) {
            a.error("Need comma");
            return;
        }
        std::string rest = d.line.substr(static_cast<size_t>(d.toks[p + 1].col) + 1);
        size_t cs = commentStart(rest);
        if (cs != std::string::npos) rest.resize(cs);
        rest = trim(rest);
        if (c.kind == "IRP") {
            if (rest.size() >= 2 && rest.front() == '<' && rest.back() == '>') rest = rest.substr(1, rest.size() - 2);
            c.args = splitArgs(a, rest);
        } else {
            if (rest.size() >= 2 && rest.front() == '<' && rest.back() == '>') rest = rest.substr(1, rest.size() - 2);
            for (char ch : rest)
                if (ch != ' ' && ch != '\t') c.args.emplace_back(1, ch);
        }
    }
    a.collect(std::move(c));
}

void Assembler::finishCollect(Collect& c) {
    if (c.kind == "MACRO") {
        c.macro.upperName = upper(c.macro.name);
        prepareMacro(c.macro);
        m_macros[m_syms.key(c.macro.name)] = std::move(c.macro);
        return;
    }
    auto lines = std::make_shared<LineText>();
    DirContext context(*this);
    size_t rounds = c.kind == "REPT" ? static_cast<size_t>(c.count) : c.args.size();
    if (rounds * c.macro.body.size() > 1000000) {
        error("Too many lines in repeat block");
        return;
    }
    for (size_t r = 0; r < rounds; ++r) {
        std::vector<std::string> values;
        if (c.kind != "REPT") values.push_back(c.args[r]);
        for (const std::string& l : c.macro.body) lines->add(substitute(context, l, c.macro.params, values));
    }
    if (lines->empty()) return;
    Frame f;
    f.kind = Frame::Kind::Repeat;
    f.lines = std::move(lines);
    f.name = c.kind;
    f.bodyLines = static_cast<int>(c.macro.body.size());
    pushExpansion(std::move(f));
}

// Finds the parameter and LOCAL names in each body line once, by the same rules as substitute().
void Assembler::prepareMacro(Macro& m) const {
    std::vector<std::string> names = m.params;
    bool exact = m_opts.caseMode == CaseMode::All;
    std::vector<Token> toks;
    m.lines.clear();
    for (const std::string& l : m.body) {
        MacroLine ml;
        int errCol = 0;
        if (startsWithLocal(l) && tokenize(l, toks, errCol) && !toks.empty() && word(toks[0], "LOCAL")) {
            ml.locals = 0;
            for (size_t p = 1; p < toks.size(); ++p) {
                if (toks[p].is(',')) continue;
                names.push_back(m_syms.key(toks[p].text));
                ++ml.locals;
            }
            m.lines.push_back(std::move(ml));
            continue;
        }
        if (names.empty()) {
            m.lines.push_back(std::move(ml));
            continue;
        }
        char quote = 0;
        size_t i = 0;
        while (i < l.size()) {
            char c = l[i];
            if (!quote && c == ';') {
                if (i + 1 < l.size() && l[i + 1] == ';') ml.end = i;  // ";;" comments stay in the definition
                break;
            }
            if (c == '\'' || c == '"') {
                if (!quote) quote = c;
                else if (quote == c) quote = 0;
                ++i;
                continue;
            }
            if (!identStart(c)) {
                ++i;
                continue;
            }
            size_t e = i;
            while (e < l.size() && identChar(l[e])) ++e;
            std::string_view id(l.data() + i, e - i);
            for (size_t k = 0; k < names.size(); ++k) {
                if (exact ? id == names[k] : iequals(id, names[k])) {
                    bool ampAfter = e < l.size() && l[e] == '&';
                    ml.refs.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(e),
                                       static_cast<std::uint32_t>(k), quote != 0, ampAfter});
                    break;
                }
            }
            i = e;
        }
        m.lines.push_back(std::move(ml));
    }
}

namespace {

// One prepared body line with the arguments in: what substitute() would make of it.
void expandLine(const std::string& l, const MacroLine& ml, const std::vector<std::string>& values, std::string& out) {
    out.clear();
    size_t at = 0;
    for (const MacroLine::Ref& r : ml.refs) {
        out.append(l, at, r.from - at);
        bool ampBefore = !out.empty() && out.back() == '&';
        if (!r.quoted || ampBefore || r.ampAfter) {
            if (ampBefore) out.pop_back();
            out += values[r.name];
            at = r.to + (r.ampAfter ? 1 : 0);
        } else {
            out.append(l, r.from, r.to - r.from);
            at = r.to;
        }
    }
    size_t end = std::min(ml.end, l.size());
    if (at < end) out.append(l, at, end - at);
}

}  // namespace

bool Assembler::expandMacro(const Macro& m, const std::string& line, size_t argStart) {
    DirContext context(*this);
    std::vector<std::string> args = splitArgs(context, std::string_view(line).substr(std::min(argStart, line.size())));
    args.resize(std::max(args.size(), m.params.size()));
    for (size_t i = 0; i < m.required.size(); ++i)
        if (m.required[i] && args[i].empty()) error("Missing macro argument");
    args.resize(m.params.size());
    auto lines = std::make_shared<LineText>();
    size_t chars = 0;
    for (const std::string& l : m.body) chars += l.size() + 1;
    lines->reserve(m.body.size(), chars + 16 * m.body.size());
    std::string text;
    for (size_t i = 0; i < m.body.size(); ++i) {
        const MacroLine& ml = m.lines[i];
        if (ml.locals >= 0) {
            for (int k = 0; k < ml.locals; ++k) {
                char buf[16];
                // ??0000 to ??FFFF as the classic assembler numbers them, then five digits on
                // rather than wrapping to names that are taken already.
                std::snprintf(buf, sizeof buf, "??%04X", m_localCounter++);
                args.emplace_back(buf);
            }
            lines->add({});  // keeps the line numbering inside the macro
            continue;
        }
        expandLine(m.body[i], ml, args, text);
        lines->add(text);
    }
    if (lines->empty()) return true;
    Frame f;
    f.kind = Frame::Kind::Macro;
    f.lines = std::move(lines);
    f.name = m.upperName;
    pushExpansion(std::move(f));
    return true;
}

void dirExitm(DirContext& a, const DirArgs&) {
    if (!a.sources().exitMacro()) a.error("EXITM outside a macro");
}

void dirEndm(DirContext& a, const DirArgs&) { a.error("Unmatched ENDM"); }

void dirLocal(DirContext& a, const DirArgs&) {
    if (!a.sources().inExpansion()) a.error("LOCAL outside a macro");
}

void dirPurge(DirContext& a, const DirArgs& d) {
    for (size_t p = d.pos; p < d.toks.size(); ++p)
        if (d.toks[p].kind == Tok::Ident) a.macros().erase(a.key(d.toks[p].text));
}

// ----- conditional assembly -----

namespace {

std::string argText(DirContext& a, const DirArgs& d, size_t from) {
    std::string t = trim(a.sourceText(d.line, d.toks, from));
    if (t.size() >= 2 && t.front() == '<' && t.back() == '>') t = t.substr(1, t.size() - 2);
    return trim(t);
}

// "<a>, <b>" -> a, b
bool twoArgs(const std::string& text, std::string& x, std::string& y) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') ++depth;
        else if (text[i] == '>') --depth;
        else if (text[i] == ',' && depth == 0) {
            auto strip = [](std::string s) {
                s = trim(s);
                if (s.size() >= 2 && s.front() == '<' && s.back() == '>') s = s.substr(1, s.size() - 2);
                return s;
            };
            x = strip(text.substr(0, i));
            y = strip(text.substr(i + 1));
            return true;
        }
    }
    return false;
}

bool evaluateCondition(DirContext& a, const DirArgs& d, const std::string& w, bool& result) {
    if (w == "IF1" || w == "IF2") {
        result = true;
        return true;
    }
    if (w == "IF" || w == "IFE") {
        size_t p = d.pos;
        std::int32_t v = 0;
        if (!a.evalConst(d.toks, p, v, false)) return false;
        result = w == "IF" ? v != 0 : v == 0;
        return true;
    }
    if (w == "IFDEF" || w == "IFNDEF") {
        if (d.pos >= d.toks.size()) {
            a.error("Need name");
            return false;
        }
        int s = a.findSymbol(d.toks[d.pos].text);
        bool def = s >= 0 && a.syms()[s].definedPass == a.pass();
        result = w == "IFDEF" ? def : !def;
        return true;
    }
    if (w == "IFB" || w == "IFNB") {
        bool blank = argText(a, d, d.pos).empty();
        result = w == "IFB" ? blank : !blank;
        return true;
    }
    std::string x, y;
    if (!twoArgs(a.sourceText(d.line, d.toks, d.pos), x, y)) {
        a.error("Need comma");
        return false;
    }
    bool ci = w.back() == 'I';
    bool same = ci ? iequals(x, y) : x == y;
    result = w.rfind("IFIDN", 0) == 0 ? same : !same;
    return true;
}

}  // namespace

void dirIf(DirContext& a, const DirArgs& d) {
    std::string w = upper(d.word);
    bool result = false;
    if (!evaluateCondition(a, d, w, result)) result = false;
    a.sources().conds().push_back({result, result, true, false});
}

void dirElse(DirContext& a, const DirArgs& d) {
    // Like ENDIF, ELSE belongs to an IF of its own source: one in a macro body cannot switch off the
    // IF around the macro's call (whose ENDIF would then be skipped).
    if (a.sources().condsOfTop() == 0) {
        a.error("Unmatched ELSE");
        return;
    }
    Cond& c = a.sources().conds().back();
    std::string w = upper(d.word);
    if (w == "ELSE") {
        if (c.sawElse) a.error("Unmatched ELSE");
        c.sawElse = true;
    }
    // The branch being assembled ends here; no later branch of this IF is taken.
    c.active = false;
    c.taken = true;
}

void dirEndif(DirContext& a, const DirArgs&) {
    if (a.sources().condsOfTop() == 0) {
        a.error("Unmatched ENDIF");
        return;
    }
    a.sources().conds().pop_back();
}

void dirInclude(DirContext& a, const DirArgs& d) {
    std::string name = trim(a.sourceText(d.line, d.toks, d.pos));
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '<' || name.front() == '\''))
        name = name.substr(1, name.size() - 2);
    if (name.empty()) {
        a.error("Need file name");
        return;
    }
    bool hasPath = name.find_first_of("/\\:") != std::string::npos;
    std::vector<std::string> tries;
    if (hasPath) tries.push_back(name);
    for (const std::string& dir : a.opts().includeDirs) {
        std::string sep = !dir.empty() && (dir.back() == '/' || dir.back() == '\\') ? "" : "/";
        tries.push_back(dir + sep + name);
    }
    if (!hasPath) tries.push_back(name);
    for (const std::string& t : tries) {
        switch (a.sources().include(t)) {
            case SourceStack::Include::Ok: return;
            case SourceStack::Include::TooDeep: a.fatal("Too many nested includes"); return;
            case SourceStack::Include::Unreadable: break;
        }
    }
    a.error("Can't locate file: " + name);
}

}  // namespace krvs::tasm
