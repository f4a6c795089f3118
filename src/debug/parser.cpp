#include "debug/parser.h"

#include <cctype>

namespace krvs::debug {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::pair<std::string_view, int> kSegmentNames[] = {
    {"ES", x86::ES}, {"CS", x86::CS}, {"SS", x86::SS}, {"DS", x86::DS},
};

}  // namespace

std::string upperOutsideQuotes(std::string_view line) {
    std::string out(line);
    char quote = 0;
    for (char& c : out) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

void LineParser::skipSeparators() {
    bool comma = false;
    while (m_pos < m_line.size()) {
        char c = m_line[m_pos];
        if (c == ' ' || c == '\t') {
            ++m_pos;
        } else if (c == ',' && !comma) {
            comma = true;
            ++m_pos;
        } else {
            break;
        }
    }
}

bool LineParser::atEnd() {
    skipSeparators();
    return m_pos >= m_line.size();
}

bool LineParser::fail() { return failAt(m_pos); }

bool LineParser::failAt(std::size_t column) {
    if (m_error < 0) m_error = static_cast<int>(column);
    return false;
}

bool LineParser::end() { return atEnd() || fail(); }

std::string_view LineParser::word() const {
    std::size_t e = m_pos;
    while (e < m_line.size() && std::isalpha(static_cast<unsigned char>(m_line[e]))) ++e;
    return m_line.substr(m_pos, e - m_pos);
}

bool LineParser::number(std::uint32_t& value, int maxDigits) {
    skipSeparators();
    value = 0;
    int digits = 0;
    while (m_pos < m_line.size() && hexValue(m_line[m_pos]) >= 0) {
        if (digits == maxDigits) return fail();
        value = value * 16 + static_cast<std::uint32_t>(hexValue(m_line[m_pos]));
        ++digits;
        ++m_pos;
    }
    return digits > 0 || fail();
}

bool LineParser::address(Address& out, std::uint16_t defaultSegment, const x86::Registers& regs) {
    skipSeparators();
    out.segment = defaultSegment;
    std::string_view rest = m_line.substr(m_pos);
    for (const auto& [name, seg] : kSegmentNames) {
        if (rest.size() >= 3 && rest.substr(0, 2) == name && rest[2] == ':') {
            out.segment = regs.seg[seg];
            m_pos += 3;
            std::uint32_t off;
            if (!number(off)) return false;
            out.offset = static_cast<std::uint16_t>(off);
            return true;
        }
    }
    std::uint32_t first;
    if (!number(first)) return false;
    if (peek() == ':') {
        advance();
        out.segment = static_cast<std::uint16_t>(first);
        std::uint32_t off;
        if (!number(off)) return false;
        out.offset = static_cast<std::uint16_t>(off);
        return true;
    }
    out.offset = static_cast<std::uint16_t>(first);
    return true;
}

bool LineParser::range(Range& out, std::uint16_t defaultSegment, const x86::Registers& regs,
                       std::uint32_t defaultLength) {
    if (!address(out.start, defaultSegment, regs)) return false;
    const std::uint32_t room = 0x10000 - out.start.offset;
    if (atEnd() || (peek() != 'L' && hexValue(peek()) < 0)) {
        out.length = std::min(defaultLength, room);
        return true;
    }
    if (peek() == 'L') {
        advance();
        std::size_t at = (skipSeparators(), m_pos);
        std::uint32_t len;
        if (!number(len)) return false;
        // A length of 0 stands for the whole 64 KB only when starting at offset 0.
        if (len == 0) len = 0x10000;
        if (len > room) return failAt(at);
        out.length = len;
        return true;
    }
    std::size_t at = m_pos;
    std::uint32_t last;
    if (!number(last)) return false;
    if (last < out.start.offset) return failAt(at);
    out.length = last - out.start.offset + 1;
    return true;
}

bool LineParser::list(std::vector<std::uint8_t>& out) {
    out.clear();
    while (!atEnd()) {
        char c = peek();
        if (c == '\'' || c == '"') {
            std::size_t open = m_pos;
            advance();
            for (;;) {
                if (m_pos >= m_line.size()) return failAt(open);
                char d = m_line[m_pos++];
                if (d == c) {
                    if (peek() != c) break;
                    advance();  // a doubled quote stands for itself
                }
                out.push_back(static_cast<std::uint8_t>(d));
            }
            continue;
        }
        std::uint32_t v;
        if (!number(v, 2)) return false;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return !out.empty() || fail();
}

}  // namespace krvs::debug
