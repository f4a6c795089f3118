#include "lexer.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <span>

namespace krvs::tasm {

namespace {
// Character classes by table: the lexer looks at every character of every line in every pass.
enum : unsigned char { kBlank = 1, kAlpha = 2, kDigit = 4, kIdentStart = 8 };
constexpr auto kClass = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 'a'; c <= 'z'; ++c) t[c] = kAlpha | kIdentStart;
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = kAlpha | kIdentStart;
    for (int c = '0'; c <= '9'; ++c) t[c] = kDigit;
    for (char c : {'_', '@', '$', '?'}) t[static_cast<unsigned char>(c)] = kIdentStart;
    for (char c : {' ', '\t', '\r', '\n', '\x1a'}) t[static_cast<unsigned char>(c)] = kBlank;
    return t;
}();
inline bool is(char c, unsigned char cls) { return (kClass[static_cast<unsigned char>(c)] & cls) != 0; }
inline bool isAlpha(char c) { return is(c, kAlpha); }
inline bool isDigit(char c) { return is(c, kDigit); }

Kw keyword(std::string_view w) {
    // Most identifiers are no operator word: reject them by length and first letter before comparing.
    struct Row {
        const char* name;
        Kw kw;
    };
    static const Row k2[] = {{"OR", Kw::Or}, {"EQ", Kw::Eq}, {"NE", Kw::Ne}, {"LT", Kw::Lt}, {"LE", Kw::Le},
                             {"GT", Kw::Gt}, {"GE", Kw::Ge}};
    static const Row k3[] = {{"XOR", Kw::Xor}, {"AND", Kw::And}, {"NOT", Kw::Not}, {"MOD", Kw::Mod},
                             {"SHL", Kw::Shl}, {"SHR", Kw::Shr}, {"LOW", Kw::Low}, {"SEG", Kw::Seg},
                             {"PTR", Kw::Ptr}, {"DUP", Kw::Dup}};
    static const Row k4[] = {{"HIGH", Kw::High}, {"TYPE", Kw::Type}, {"SIZE", Kw::Size}, {"THIS", Kw::This},
                             {"MASK", Kw::Mask}};
    static const Row k5[] = {{"SHORT", Kw::Short}, {"WIDTH", Kw::Width}};
    static const Row k6[] = {{"OFFSET", Kw::Offset}, {"LENGTH", Kw::Length}};
    // Which first letters the words of each length start with: most identifiers stop here.
    static const auto kFirst = [] {
        std::array<std::uint32_t, 7> t{};
        for (const char* n : {"OR", "EQ", "NE", "LT", "LE", "GT", "GE", "XOR", "AND", "NOT", "MOD", "SHL", "SHR",
                              "LOW", "SEG", "PTR", "DUP", "HIGH", "TYPE", "SIZE", "THIS", "MASK", "SHORT",
                              "WIDTH", "OFFSET", "LENGTH"})
            t[std::strlen(n)] |= 1u << (n[0] - 'A');
        return t;
    }();
    if (w.size() < 2 || w.size() > 6) return Kw::None;
    char first = upperChar(w[0]);
    if (first < 'A' || first > 'Z' || !(kFirst[w.size()] >> (first - 'A') & 1)) return Kw::None;
    std::span<const Row> rows;
    switch (w.size()) {
        case 2: rows = k2; break;
        case 3: rows = k3; break;
        case 4: rows = k4; break;
        case 5: rows = k5; break;
        case 6: rows = k6; break;
        default: return Kw::None;
    }
    char buf[6];
    for (size_t i = 0; i < w.size(); ++i) buf[i] = upperChar(w[i]);
    for (const Row& r : rows)
        if (r.name[0] == buf[0] && std::memcmp(r.name, buf, w.size()) == 0) return r.kw;
    return Kw::None;
}
}  // namespace

bool identStart(char c) { return is(c, kIdentStart); }

bool identChar(char c) { return is(c, kIdentStart | kDigit); }

std::string upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = upperChar(c);
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i])) return false;
    return true;
}

bool iequals(std::string_view a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i)
        if (b[i] == 0 || upperChar(a[i]) != upperChar(b[i])) return false;
    return b[i] == 0;
}

std::string unquote(std::string_view tok) {
    std::string r;
    if (tok.size() < 2) return r;
    char q = tok[0];
    for (size_t i = 1; i + 1 < tok.size(); ++i) {
        r.push_back(tok[i]);
        if (tok[i] == q && i + 2 < tok.size() && tok[i + 1] == q) ++i;
    }
    return r;
}

size_t commentStart(std::string_view line) {
    char q = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (q) {
            if (c == q) q = 0;
        } else if (c == '\'' || c == '"') {
            q = c;
        } else if (c == ';') {
            return i;
        }
    }
    return std::string_view::npos;
}

// A quoted run; returns the index after the closing quote, or npos when it is missing.
static size_t scanString(std::string_view s, size_t i) {
    char q = s[i];
    for (size_t j = i + 1; j < s.size(); ++j) {
        if (s[j] == q) {
            if (j + 1 < s.size() && s[j + 1] == q) {
                ++j;
                continue;
            }
            return j + 1;
        }
    }
    return std::string_view::npos;
}

// Nothing before, or only a "label:".
static bool statementStart(const std::vector<Token>& out) {
    return out.empty() || (out.size() == 2 && out[0].kind == Tok::Ident && out[1].is(':'));
}

bool tokenize(std::string_view s, std::vector<Token>& out, int& errCol) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (is(c, kBlank)) {
            ++i;
            continue;
        }
        if (c == ';') break;
        Token t;
        t.col = static_cast<int>(i);
        size_t start = i;
        if (c == '\'' || c == '"') {
            size_t e = scanString(s, i);
            if (e == std::string_view::npos) {
                errCol = t.col;
                return false;
            }
            t.kind = Tok::String;
            i = e;
        } else if (isDigit(c)) {
            while (i < s.size() && is(s[i], kAlpha | kDigit)) ++i;
            t.kind = Tok::Number;
        } else if (is(c, kIdentStart) ||
                   (c == '.' && i + 1 < s.size() && isAlpha(s[i + 1]) &&
                    (out.empty() || (out.back().kind == Tok::Punct && !out.back().is(']') && !out.back().is(')')))) ||
                   (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]) && statementStart(out))) {
            // A dot and a digit open a word only where a statement begins (.8086, .286P); elsewhere
            // ("[bx].0ch") the dot is the member operator.
            ++i;
            while (i < s.size() && is(s[i], kIdentStart | kDigit)) ++i;
            t.kind = Tok::Ident;
        } else {
            ++i;
            t.kind = Tok::Punct;
        }
        t.text = s.substr(start, i - start);
        if (t.kind == Tok::Ident) t.kw = keyword(t.text);
        out.push_back(t);
    }
    return true;
}

}  // namespace krvs::tasm
