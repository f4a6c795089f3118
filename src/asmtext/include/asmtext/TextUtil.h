#pragma once
// Byte-level text helpers shared by the formatter, the keyword database and the searches.
//
// All text is UTF-8. Only the ASCII letters change case, as the DOS tools do. Column widths count
// every character outside ASCII as 2, the size of its GBK encoding, so that CJK comments line up in a
// monospace font exactly as they did on the GBK code page.

#include <cstddef>
#include <string>
#include <string_view>

namespace krvs::asmtext {

// True for bytes that trimming removes: the blank and every control character (0 to 32).
constexpr bool isTrimmable(unsigned char c) { return c <= 0x20; }

// The text without leading and trailing blanks and control characters.
std::string_view trim(std::string_view text);
std::string_view trimRight(std::string_view text);

constexpr char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

// Display width in columns: ASCII bytes count 1, a UTF-8 lead byte counts 2, continuation bytes 0.
std::size_t gbkWidth(std::string_view text);

// The longest prefix of text whose width is at most maxWidth; never splits a UTF-8 sequence.
std::string_view prefixByWidth(std::string_view text, std::size_t maxWidth);

// Where a byte of a source line stands: in code, inside a quoted string or in the comment. A string
// opens with either quote and only the same quote closes it (so "It's" and 'say "hi"' are whole
// strings); a string left open runs to the end of the line. The first ';' outside a string starts the
// comment. The formatter, the highlighter and the definition search all read lines this way.
enum class LinePart : unsigned char { Code, String, Comment };

// Index of the first ';' outside strings, or npos.
std::size_t findCommentStart(std::string_view line);
// The part of the line that byte pos (< line.size()) belongs to; a quote itself counts as String.
LinePart linePartAt(std::string_view line, std::size_t pos);

// True when the line holds a control character other than TAB (a NUL, a form feed, ...). The
// formatter leaves such lines exactly as they are, so no invisible byte is ever trimmed away.
bool hasControlCharacter(std::string_view line);

// Length in bytes of the UTF-8 character that starts at text[pos]; 1 for an invalid or cut sequence.
std::size_t utf8CharLength(std::string_view text, std::size_t pos);

}  // namespace krvs::asmtext
