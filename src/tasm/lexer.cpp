#include "lexer.h"

#include <cctype>

namespace krvs::tasm {

bool identStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '$' || c == '?';
}

bool identChar(char c) { return identStart(c) || std::isdigit(static_cast<unsigned char>(c)); }

std::string upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
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

bool tokenize(std::string_view s, std::vector<Token>& out, int& errCol) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a') {
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
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            while (i < s.size() && std::isalnum(static_cast<unsigned char>(s[i]))) ++i;
            t.kind = Tok::Number;
        } else if (identStart(c) ||
                   (c == '.' && i + 1 < s.size() && std::isalpha(static_cast<unsigned char>(s[i + 1])) &&
                    (out.empty() || (out.back().kind == Tok::Punct && !out.back().is(']') && !out.back().is(')'))))) {
            ++i;
            while (i < s.size() && identChar(s[i])) ++i;
            t.kind = Tok::Ident;
        } else {
            ++i;
            t.kind = Tok::Punct;
        }
        t.text = s.substr(start, i - start);
        out.push_back(t);
    }
    return true;
}

}  // namespace krvs::tasm
