#pragma once
// Splits one source line into tokens. Comments end the line; strings keep their quotes so that the
// data directives can tell a string from a character constant.

#include <string>
#include <string_view>
#include <vector>

namespace krvs::tasm {

enum class Tok : unsigned char { End, Ident, Number, String, Punct };

// Operator words of expressions, recognised once when the line is split.
enum class Kw : unsigned char {
    None, Or, Xor, And, Not, Eq, Ne, Lt, Le, Gt, Ge, Mod, Shl, Shr, High, Low,
    Offset, Seg, Type, Length, Size, This, Short, Width, Mask, Ptr, Dup
};

struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    std::string_view text;
    int col = 0;
    bool is(char c) const { return kind == Tok::Punct && text.size() == 1 && text[0] == c; }
};

// Returns false (and the column in errCol) on an unterminated string.
bool tokenize(std::string_view line, std::vector<Token>& out, int& errCol);

bool identStart(char c);
bool identChar(char c);
std::string upper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool iequals(std::string_view a, const char* b);  // b upper-case or not; no length scan first
inline char upperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Decodes a quoted string token: doubled quotes become one.
std::string unquote(std::string_view tok);

// The position where the comment of a line starts (or npos), skipping quoted text.
size_t commentStart(std::string_view line);

}  // namespace krvs::tasm
