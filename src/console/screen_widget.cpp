#include "screen_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStringDecoder>
#include <algorithm>

namespace krvs::console {

namespace {

constexpr int kTextBlinkMs = 267;   // about the VGA's 32-frame blink cycle
constexpr int kCursorBlinkMs = 133; // the cursor blinks twice as fast

std::vector<std::uint8_t> rowChars(const ScreenImage& s, int row) {
    std::vector<std::uint8_t> chars(static_cast<std::size_t>(s.columns));
    for (int c = 0; c < s.columns; ++c) chars[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(s.cell(row, c));
    return chars;
}

}  // namespace

ScreenWidget::ScreenWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(false);
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &ScreenWidget::refresh);
    m_timer.start(50);  // blinking goes on without a source too
    relayout();
}

void ScreenWidget::setSource(Source source, int refreshMs) {
    m_source = std::move(source);
    m_timer.start(std::max(5, refreshMs));
}

void ScreenWidget::showImage(const ScreenImage& image) {
    // Most ticks find the screen as it was: one compare, nothing to draw.
    const bool phasesSame = m_drawnBlink == m_blinkVisible && m_drawnCursor == m_cursorVisible;
    if (phasesSame && image == m_image && !m_drawn.empty() && m_drawn.front() != ~std::uint64_t{0}) return;
    m_drawnBlink = m_blinkVisible;
    m_drawnCursor = m_cursorVisible;
    bool geometry = image.columns != m_image.columns || image.rows != m_image.rows;
    m_image = image;
    if (geometry) relayout();
    redrawCells(false);
}

void ScreenWidget::setTextFont(const QString& family, int cellHeight) {
    m_family = family;
    m_preferredHeight = std::clamp(cellHeight, 6, 96);
    updateGeometry();
    relayout();
}

void ScreenWidget::setCodePage(int codePage) {
    m_codePage = codePage;
    redrawCells(true);
}

QSize ScreenWidget::sizeHint() const {
    int h = m_preferredHeight, w = (m_preferredHeight + 1) / 2;
    return {w * m_image.columns, h * m_image.rows};
}

void ScreenWidget::refresh() {
    const qint64 now = m_clock.elapsed();
    m_blinkVisible = (now / kTextBlinkMs) % 2 == 0;
    m_cursorVisible = (now / kCursorBlinkMs) % 2 == 0;
    if (m_source) {
        ScreenImage next = m_image;
        m_source(next);
        showImage(next);
        return;
    }
    redrawCells(false);
}

void ScreenWidget::relayout() {
    const int cw = std::max(2, width() / std::max(1, m_image.columns));
    const int ch = std::max(2, height() / std::max(1, m_image.rows));
    m_painter.setGeometry(cw, ch, m_family);
    m_glyphs.clear();
    m_canvas = QImage(cw * m_image.columns, ch * m_image.rows, QImage::Format_RGB32);
    m_canvas.fill(Qt::black);
    m_origin = QPoint((width() - m_canvas.width()) / 2, (height() - m_canvas.height()) / 2);
    m_drawn.assign(static_cast<std::size_t>(m_image.columns * m_image.rows), ~std::uint64_t{0});
    redrawCells(true);
    update();
}

bool ScreenWidget::selected(int row, int column) const {
    if (m_selFrom.x() < 0) return false;
    int r0 = std::min(m_selFrom.y(), m_selTo.y()), r1 = std::max(m_selFrom.y(), m_selTo.y());
    int c0 = std::min(m_selFrom.x(), m_selTo.x()), c1 = std::max(m_selFrom.x(), m_selTo.x());
    return row >= r0 && row <= r1 && column >= c0 && column <= c1;
}

bool ScreenWidget::cursorOn(int row, int column) const {
    const ScreenImage& s = m_image;
    return m_cursorVisible && !s.cursorHidden && s.cursorStart <= s.cursorEnd &&
           row == s.cursorRow && column == s.cursorColumn;
}

// Everything that decides how a cell looks, packed so that an unchanged cell is skipped by one compare.
std::uint64_t ScreenWidget::cellKey(int row, int column, const std::vector<CellRole>& roles) const {
    const std::uint16_t v = m_image.cell(row, column);
    const CellRole role = roles[static_cast<std::size_t>(column)];
    std::uint64_t key = v | static_cast<std::uint64_t>(role) << 16;
    const bool hiddenByBlink = m_image.blinkEnabled && (v & 0x8000) && !m_blinkVisible;
    key |= static_cast<std::uint64_t>(hiddenByBlink) << 18 | static_cast<std::uint64_t>(selected(row, column)) << 19;
    if (cursorOn(row, column))
        key |= 1ull << 20 | static_cast<std::uint64_t>(m_image.cursorStart) << 21 | static_cast<std::uint64_t>(m_image.cursorEnd) << 26;
    if (role == CellRole::WideLead) key |= static_cast<std::uint64_t>(m_image.cell(row, column + 1)) << 32;
    if (role == CellRole::WideTrail) key |= static_cast<std::uint64_t>(m_image.cell(row, column - 1)) << 32;
    key |= static_cast<std::uint64_t>(m_codePage == 437) << 48;
    return key;
}

void ScreenWidget::drawCellAt(QPainter& p, int row, int column, const std::vector<CellRole>& roles) const {
    const int x = column * m_painter.cellWidth(), y = row * m_painter.cellHeight();
    const std::uint16_t v = m_image.cell(row, column);
    const std::uint8_t attr = static_cast<std::uint8_t>(v >> 8);
    QColor fg = vgaColor(attr & 15);
    QColor bg = vgaColor(m_image.blinkEnabled ? (attr >> 4) & 7 : attr >> 4);
    if (m_image.blinkEnabled && (attr & 0x80) && !m_blinkVisible) fg = bg;
    if (selected(row, column)) std::swap(fg, bg);
    const CellRole role = roles[static_cast<std::size_t>(column)];
    if (role != CellRole::WideTrail) {
        const bool wide = role == CellRole::WideLead;
        const std::uint64_t key = static_cast<std::uint64_t>(v & 0xFF) | static_cast<std::uint64_t>(fg.rgb() & 0xFFFFFF) << 8 |
                                  static_cast<std::uint64_t>(bg.rgb() & 0xFFFFFF) << 32 | static_cast<std::uint64_t>(wide) << 56 |
                                  (wide ? static_cast<std::uint64_t>(m_image.cell(row, column + 1) & 0xFF) << 57 : 0);
        p.drawImage(x, y, glyph(key, v, wide ? m_image.cell(row, column + 1) : 0, fg, bg, wide));
    }
    if (cursorOn(row, column)) {
        // Shapes within 0-7 are CGA scan lines, which a VGA BIOS scales to its taller cell.
        const int lines = m_image.cursorEnd <= 7 || m_image.rows > 25 ? 8 : 16;
        m_painter.drawCursor(p, x, y, std::min<int>(m_image.cursorStart, lines - 1), std::min<int>(m_image.cursorEnd, lines - 1),
                             lines, vgaColor(attr & 15));
    }
}

// Drawing text is the costly part of a refresh, and a screen uses few distinct cells: each one is drawn
// once into a small image and copied from then on. The cache is emptied when the cell size changes.
const QImage& ScreenWidget::glyph(std::uint64_t key, std::uint16_t cell, std::uint16_t trail, QColor fg, QColor bg,
                                  bool wide) const {
    auto it = m_glyphs.find(key);
    if (it != m_glyphs.end()) return it->second;
    if (m_glyphs.size() > 8192) m_glyphs.clear();
    QImage image(m_painter.cellWidth() * (wide ? 2 : 1), m_painter.cellHeight(), QImage::Format_RGB32);
    QPainter p(&image);
    if (wide) m_painter.drawWide(p, 0, 0, static_cast<std::uint8_t>(cell), static_cast<std::uint8_t>(trail), fg, bg);
    else m_painter.drawCell(p, 0, 0, static_cast<std::uint8_t>(cell), fg, bg);
    p.end();
    return m_glyphs.emplace(key, std::move(image)).first->second;
}

void ScreenWidget::redrawCells(bool all) {
    if (m_canvas.isNull() || m_image.cells.size() != m_drawn.size()) return;
    QPainter p(&m_canvas);
    QRegion dirty;
    const int cw = m_painter.cellWidth(), ch = m_painter.cellHeight();
    for (int row = 0; row < m_image.rows; ++row) {
        std::vector<std::uint8_t> chars = rowChars(m_image, row);
        std::vector<CellRole> roles = m_codePage == 437 ? std::vector<CellRole>(chars.size(), CellRole::Single)
                                                        : layoutRow(chars.data(), m_image.columns);
        for (int column = 0; column < m_image.columns; ++column) {
            const auto i = static_cast<std::size_t>(row * m_image.columns + column);
            const std::uint64_t key = cellKey(row, column, roles);
            if (!all && key == m_drawn[i]) continue;
            m_drawn[i] = key;
            // A wide character is drawn from its lead cell; a changed trail redraws the pair.
            int first = roles[static_cast<std::size_t>(column)] == CellRole::WideTrail ? column - 1 : column;
            drawCellAt(p, row, first, roles);
            if (first != column) drawCellAt(p, row, column, roles);  // the cursor may sit on the trail
            dirty += QRect(m_origin.x() + first * cw, m_origin.y() + row * ch, (column - first + 1) * cw, ch);
        }
    }
    if (!dirty.isEmpty()) update(dirty);
}

void ScreenWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawImage(m_origin, m_canvas);
}

void ScreenWidget::resizeEvent(QResizeEvent*) { relayout(); }

void ScreenWidget::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::ShiftModifier) {
        paste(QApplication::clipboard()->text());
        return;
    }
    std::vector<KeyStroke> strokes = keyStrokes(e->key(), e->modifiers(), e->text());
    if (strokes.empty()) {
        QWidget::keyPressEvent(e);
        return;
    }
    if (m_selFrom.x() >= 0) select({-1, -1}, {-1, -1});
    emit keysTyped(strokes);
}

QPoint ScreenWidget::cellAt(QPoint pos) const {
    int c = (pos.x() - m_origin.x()) / std::max(1, m_painter.cellWidth());
    int r = (pos.y() - m_origin.y()) / std::max(1, m_painter.cellHeight());
    return {std::clamp(c, 0, m_image.columns - 1), std::clamp(r, 0, m_image.rows - 1)};
}

void ScreenWidget::select(QPoint fromCell, QPoint toCell) {
    m_selFrom = fromCell;
    m_selTo = toCell;
    redrawCells(false);
}

void ScreenWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        m_selecting = true;
        QPoint c = cellAt(e->position().toPoint());
        select(c, c);
    } else if (e->button() == Qt::MiddleButton) {
        paste(QApplication::clipboard()->text(QClipboard::Selection));
    }
}

void ScreenWidget::mouseMoveEvent(QMouseEvent* e) {
    if (m_selecting) select(m_selFrom, cellAt(e->position().toPoint()));
}

void ScreenWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !m_selecting) return;
    m_selecting = false;
    if (m_selFrom == m_selTo) {  // a click only takes the focus
        select({-1, -1}, {-1, -1});
        return;
    }
    copySelection();
}

void ScreenWidget::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("复制"));
    copy->setEnabled(m_selFrom.x() >= 0);
    QAction* pasteAction = menu.addAction(QStringLiteral("粘贴"));
    QAction* chosen = menu.exec(e->globalPos());
    if (chosen == copy) copySelection();
    else if (chosen == pasteAction) paste(QApplication::clipboard()->text());
}

void ScreenWidget::copySelection() {
    QString text = selectedText();
    if (text.isEmpty()) return;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->supportsSelection()) clipboard->setText(text, QClipboard::Selection);
}

void ScreenWidget::paste(const QString& text) {
    std::vector<KeyStroke> strokes = textStrokes(text);
    if (!strokes.empty()) emit keysTyped(strokes);
}

QString ScreenWidget::rowText(int row, int firstColumn, int lastColumn) const {
    std::vector<std::uint8_t> chars = rowChars(m_image, row);
    std::vector<CellRole> roles = m_codePage == 437 ? std::vector<CellRole>(chars.size(), CellRole::Single)
                                                    : layoutRow(chars.data(), m_image.columns);
    QString out;
    QStringDecoder gbk("GB18030");
    for (int c = firstColumn; c <= lastColumn && c < m_image.columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        if (roles[i] == CellRole::WideTrail) continue;  // its lead gave the character, or lies outside
        if (roles[i] == CellRole::WideLead) {
            const char pair[2] = {static_cast<char>(chars[i]), static_cast<char>(chars[i + 1])};
            out += gbk.decode(QByteArrayView(pair, 2));
            continue;
        }
        out += chars[i] == 0 ? QChar(' ') : QChar(cp437ToUnicode(chars[i]));
    }
    while (out.endsWith(QChar(' '))) out.chop(1);
    return out;
}

QString ScreenWidget::selectedText() const {
    if (m_selFrom.x() < 0) return {};
    int r0 = std::min(m_selFrom.y(), m_selTo.y()), r1 = std::max(m_selFrom.y(), m_selTo.y());
    int c0 = std::min(m_selFrom.x(), m_selTo.x()), c1 = std::max(m_selFrom.x(), m_selTo.x());
    QStringList lines;
    for (int r = r0; r <= r1; ++r) lines << rowText(r, c0, c1);
    return lines.join(QChar('\n'));
}

}  // namespace krvs::console
