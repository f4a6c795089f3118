#pragma once
// Draws one cell of the text screen at a given cell size. Line-drawing characters, shades and blocks are
// geometry in whole pixels, so lines meet across cells at any size; everything else is a font glyph.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <cstdint>

#include "glyphs.h"

namespace krvs::console {

QColor vgaColor(int index);

class CellPainter {
public:
    // `family` draws code page 437 text; Chinese characters use a CJK font that Qt falls back from it.
    void setGeometry(int cellWidth, int cellHeight, const QString& family);
    int cellWidth() const { return m_width; }
    int cellHeight() const { return m_height; }

    // A single cell at (x, y): background, then the character in the foreground colour.
    void drawCell(QPainter& p, int x, int y, std::uint8_t ch, QColor fg, QColor bg) const;
    // A double-byte GBK character over two cells.
    void drawWide(QPainter& p, int x, int y, std::uint8_t lead, std::uint8_t trail, QColor fg, QColor bg) const;
    // The cursor: scan lines start..end of a cell of `cellLines` lines, in the foreground colour.
    void drawCursor(QPainter& p, int x, int y, int start, int end, int cellLines, QColor colour) const;

private:
    void drawBox(QPainter& p, int x, int y, BoxArms arms, QColor fg) const;
    void drawArm(QPainter& p, int x, int y, BoxArms arms, int side, QColor fg) const;

    int m_width = 8, m_height = 16;
    int m_thickness = 1, m_gap = 2;  // line width, and half the distance between the strokes of a double line
    QFont m_font, m_wideFont;
};

}  // namespace krvs::console
