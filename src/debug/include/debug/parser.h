#pragma once
// Parameters of DEBUG commands: hex numbers, addresses, ranges and byte lists. The line is upper-cased
// outside quotes before parsing. A failure records the column of the offending character, which is
// where "^ Error" points.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "x86/cpu.h"

namespace krvs::debug {

// Upper-cases everything that is not inside '...' or "...".
std::string upperOutsideQuotes(std::string_view line);

struct Address {
    std::uint16_t segment = 0;
    std::uint16_t offset = 0;
};

struct Range {
    Address start;
    std::uint32_t length = 0;  // 1..10000h
};

class LineParser {
public:
    // `line` is already upper-cased; parsing starts at `pos`.
    LineParser(std::string_view line, std::size_t pos) : m_line(line), m_pos(pos) {}

    // Skips blanks and tabs, and at most one comma among them.
    void skipSeparators();
    bool atEnd();
    std::size_t position() const { return m_pos; }
    char peek() const { return m_pos < m_line.size() ? m_line[m_pos] : '\0'; }
    void advance() { ++m_pos; }
    // Marks the current character as the error (when no error is set yet) and returns false.
    bool fail();
    bool failAt(std::size_t column);
    int errorColumn() const { return m_error; }

    // 1 to maxDigits hex digits.
    bool number(std::uint32_t& value, int maxDigits = 4);
    // [segment:]offset; segment is hex or CS/DS/ES/SS, defaulting to `defaultSegment`.
    bool address(Address& out, std::uint16_t defaultSegment, const x86::Registers& regs);
    // address [end | L length]; without either the length is `defaultLength`, cut at the segment end.
    bool range(Range& out, std::uint16_t defaultSegment, const x86::Registers& regs, std::uint32_t defaultLength);
    // Hex bytes and quoted strings; at least one item.
    bool list(std::vector<std::uint8_t>& out);
    // Succeeds only when nothing but separators is left.
    bool end();
    // A word (letters) at the current position, without consuming it.
    std::string_view word() const;

private:
    std::string_view m_line;
    std::size_t m_pos;
    int m_error = -1;
};

}  // namespace krvs::debug
