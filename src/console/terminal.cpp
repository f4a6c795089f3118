#include "terminal.h"

#include <algorithm>

namespace krvs::console {

void Terminal::clear() {
    std::fill(m_image.cells.begin(), m_image.cells.end(), static_cast<std::uint16_t>(m_attribute << 8 | ' '));
    m_image.cursorRow = m_image.cursorColumn = 0;
    ++m_changes;
}

void Terminal::write(std::string_view bytes) {
    for (char c : bytes) put(static_cast<std::uint8_t>(c));
    ++m_changes;
}

void Terminal::lineFeed() {
    if (++m_image.cursorRow < m_image.rows) return;
    m_image.cursorRow = m_image.rows - 1;
    const auto width = static_cast<std::ptrdiff_t>(m_image.columns);
    std::move(m_image.cells.begin() + width, m_image.cells.end(), m_image.cells.begin());
    std::fill(m_image.cells.end() - width, m_image.cells.end(), static_cast<std::uint16_t>(m_attribute << 8 | ' '));
}

// Only the two sequences a terminal-minded writer sends for CLS are understood; any other sequence is
// swallowed up to its final letter rather than shown as garbage.
bool Terminal::escape(std::uint8_t byte) {
    if (m_escape.empty()) return false;
    m_escape.push_back(static_cast<char>(byte));
    if (m_escape.size() == 2 && byte != '[') {
        m_escape.clear();
        return true;
    }
    if (m_escape.size() > 2 && ((byte >= '@' && byte <= '~') || m_escape.size() > 16)) {
        if (m_escape == "\x1b[2J") clear();
        else if (m_escape == "\x1b[H") m_image.cursorRow = m_image.cursorColumn = 0;
        m_escape.clear();
    }
    return true;
}

void Terminal::put(std::uint8_t byte) {
    if (escape(byte)) return;
    ScreenImage& s = m_image;
    switch (byte) {
    case 0x1B: m_escape.assign(1, '\x1b'); return;
    case 0x07: return;  // the bell is silent
    case 0x0C: clear(); return;
    case '\r': s.cursorColumn = 0; return;
    case '\n': lineFeed(); return;
    case 0x08:
        if (s.cursorColumn > 0) --s.cursorColumn;
        return;
    case '\t':
        do put(' ');
        while (s.cursorColumn % 8 != 0);
        return;
    default: break;
    }
    s.cell(s.cursorRow, s.cursorColumn) = static_cast<std::uint16_t>(m_attribute << 8 | byte);
    if (++s.cursorColumn >= s.columns) {
        s.cursorColumn = 0;
        lineFeed();
    }
}

}  // namespace krvs::console
