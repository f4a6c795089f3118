#include "cell_painter.h"

#include <QFontMetrics>
#include <QStringDecoder>
#include <algorithm>

namespace krvs::console {

namespace {

constexpr QRgb kVga[16] = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
};

QColor blend(QColor fg, QColor bg, int percent) {
    auto mix = [percent](int a, int b) { return (a * percent + b * (100 - percent)) / 100; };
    return QColor(mix(fg.red(), bg.red()), mix(fg.green(), bg.green()), mix(fg.blue(), bg.blue()));
}

// The largest pixel size of `family` whose glyphs fit a box of width x height.
QFont fittedFont(const QString& family, int width, int height, QFont::StyleHint hint) {
    QFont font(family);
    font.setStyleHint(hint);
    for (int px = std::max(4, height); px > 4; --px) {
        font.setPixelSize(px);
        QFontMetrics fm(font);
        if (fm.height() <= height + 1 && fm.horizontalAdvance(QChar('M')) <= width) return font;
    }
    font.setPixelSize(4);
    return font;
}

}  // namespace

QColor vgaColor(int index) { return QColor::fromRgb(kVga[index & 15]); }

void CellPainter::setGeometry(int cellWidth, int cellHeight, const QString& family) {
    m_width = std::max(2, cellWidth);
    m_height = std::max(2, cellHeight);
    m_thickness = std::max(1, (std::min(m_width, m_height / 2) + 4) / 8);
    m_gap = std::max(m_thickness + 1, (m_width + 2) / 5);
    m_font = fittedFont(family, m_width, m_height, QFont::Monospace);
    m_wideFont = fittedFont(QStringLiteral("Noto Sans Mono CJK SC"), m_width * 2, m_height, QFont::Monospace);
    // A CJK face is as wide as it is tall: size it by the height and let two cells hold it.
    m_wideFont.setPixelSize(std::max(4, std::min(m_height * 7 / 8, m_width * 2)));
}

void CellPainter::drawCell(QPainter& p, int x, int y, std::uint8_t ch, QColor fg, QColor bg) const {
    const QRect cell(x, y, m_width, m_height);
    if (int percent = shadePercent(ch)) {
        p.fillRect(cell, blend(fg, bg, percent));
        return;
    }
    p.fillRect(cell, bg);
    BlockRect b;
    if (blockRect(ch, b)) {
        int left = x + m_width * b.left / 8, right = x + m_width * b.right / 8;
        int top = y + m_height * b.top / 8, bottom = y + m_height * b.bottom / 8;
        p.fillRect(QRect(left, top, right - left, bottom - top), fg);
        return;
    }
    if (BoxArms arms = boxArms(ch); arms.any()) {
        drawBox(p, x, y, arms, fg);
        return;
    }
    if (ch == 0 || ch == ' ' || ch == 0xFF) return;
    p.setFont(m_font);
    p.setPen(fg);
    p.drawText(cell, Qt::AlignCenter, QString(QChar(cp437ToUnicode(ch))));
}

void CellPainter::drawWide(QPainter& p, int x, int y, std::uint8_t lead, std::uint8_t trail, QColor fg, QColor bg) const {
    const QRect cells(x, y, m_width * 2, m_height);
    p.fillRect(cells, bg);
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    QStringDecoder decoder("GB18030");
    QString text = decoder.decode(QByteArrayView(bytes, 2));
    p.setFont(m_wideFont);
    p.setPen(fg);
    p.drawText(cells, Qt::AlignCenter, text);
}

void CellPainter::drawCursor(QPainter& p, int x, int y, int start, int end, int cellLines, QColor colour) const {
    int top = y + start * m_height / cellLines;
    int bottom = y + (end + 1) * m_height / cellLines;
    p.fillRect(QRect(x, top, m_width, std::max(1, bottom - top)), colour);
}

void CellPainter::drawBox(QPainter& p, int x, int y, BoxArms arms, QColor fg) const {
    for (int side = 0; side < 4; ++side) drawArm(p, x, y, arms, side, fg);
}

// One arm, from the cell's edge to where it meets the others. Coordinates are worked out along the arm
// ("along") and across it ("across") so that one rule serves all four directions:
// - a single arm runs to the centre, or to the near stroke of a double line crossing it;
// - each stroke of a double arm stops at the crossing arm on its own side (its near stroke when double),
//   or, with nothing on its side, runs on to the far stroke of the crossing arm opposite (a corner's
//   outer line), or to the centre when the line goes straight through.
void CellPainter::drawArm(QPainter& p, int x, int y, BoxArms arms, int side, QColor fg) const {
    const std::uint8_t weights[4] = {arms.up, arms.right, arms.down, arms.left};
    const int weight = weights[side];
    if (!weight) return;
    const bool vertical = side == 0 || side == 2;
    const int length = vertical ? m_height : m_width;    // extent along the arm
    const int breadth = vertical ? m_width : m_height;   // extent across it
    const int centreAlong = length / 2, centreAcross = breadth / 2;
    const bool towardsEnd = side == 1 || side == 2;      // the arm runs from the centre to the far edge
    // The crossing arms: `before` lies on the low side across (up or left), `after` on the high side.
    const int before = vertical ? weights[3] : weights[0];
    const int after = vertical ? weights[1] : weights[2];
    const int half = m_thickness / 2;

    auto stroke = [&](int acrossPos, int stopAlong) {
        int from = towardsEnd ? stopAlong : 0, to = towardsEnd ? length : stopAlong;
        if (to <= from) return;
        QRect r = vertical ? QRect(x + acrossPos - half, y + from, m_thickness, to - from)
                           : QRect(x + from, y + acrossPos - half, to - from, m_thickness);
        p.fillRect(r, fg);
    };
    // Positions along the arm measured from the centre towards the cell's centre side of this arm.
    auto atOffset = [&](int offset) { return towardsEnd ? centreAlong + offset : centreAlong - offset; };

    if (weight == 1) {
        bool crossedByDouble = before == 2 || after == 2;
        int stop = crossedByDouble ? atOffset(m_gap) : (towardsEnd ? centreAlong - half : centreAlong + m_thickness - half);
        stroke(centreAcross, stop);
        return;
    }
    const bool straight = weights[(side + 2) % 4] != 0;
    for (int s = -1; s <= 1; s += 2) {
        const int own = s < 0 ? before : after, other = s < 0 ? after : before;
        int stop;
        if (own) stop = atOffset(own == 2 ? m_gap : 0);
        else if (other) stop = atOffset(other == 2 ? -m_gap : 0);
        else stop = straight ? centreAlong : atOffset(-m_gap);
        // A stroke that ends on another stroke covers that stroke's width too, so corners close.
        stop = towardsEnd ? stop - half : stop + m_thickness - half;
        stroke(centreAcross + s * m_gap, stop);
    }
}

}  // namespace krvs::console
