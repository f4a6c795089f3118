#pragma once
// A live view of an emulated text screen: draws a ScreenImage in whole-pixel cells that scale with the
// window, refreshes from a timer by the cells that changed (never per write to video memory), blinks
// text and cursor, turns key presses into BIOS key strokes, copies a mouse selection as text and types
// pasted text. The console window shows it full size; the IDE can embed it beside the debugger.

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "cell_painter.h"
#include "keymap.h"
#include "screen_image.h"

namespace krvs::console {

class ScreenWidget : public QWidget {
    Q_OBJECT
public:
    explicit ScreenWidget(QWidget* parent = nullptr);

    // Called on every refresh tick to fetch the screen; the widget redraws only what differs.
    using Source = std::function<void(ScreenImage&)>;
    void setSource(Source source, int refreshMs = 20);
    // Shows an image at once (also used without a source).
    void showImage(const ScreenImage& image);
    const ScreenImage& image() const { return m_image; }

    // The code page 437 font and the preferred cell height in pixels.
    void setTextFont(const QString& family, int cellHeight);
    // 936 pairs GBK bytes into Chinese characters; 437 shows every byte as its own character.
    void setCodePage(int codePage);
    QSize cellSize() const { return {m_painter.cellWidth(), m_painter.cellHeight()}; }
    QSize sizeHint() const override;

    // The text of the selected rectangle (rows joined by line breaks), and the selection in cells.
    QString selectedText() const;
    void select(QPoint fromCell, QPoint toCell);
    // The text of a cell range of one row, decoded as the row is drawn.
    QString rowText(int row, int firstColumn, int lastColumn) const;
    // Draws what is due now (tests call it instead of waiting for the timer).
    void refresh();

signals:
    // Keys typed or pasted, in order.
    void keysTyped(const std::vector<krvs::console::KeyStroke>& strokes);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a key for the program

private:
    void relayout();
    void redrawCells(bool all);
    std::uint64_t cellKey(int row, int column, const std::vector<CellRole>& roles) const;
    void drawCellAt(QPainter& p, int row, int column, const std::vector<CellRole>& roles) const;
    const QImage& glyph(std::uint64_t key, std::uint16_t cell, std::uint16_t trail, QColor fg, QColor bg, bool wide) const;
    QPoint cellAt(QPoint pos) const;
    bool selected(int row, int column) const;
    bool cursorOn(int row, int column) const;
    void copySelection();
    void paste(const QString& text);

    Source m_source;
    QTimer m_timer;
    QElapsedTimer m_clock;
    ScreenImage m_image;
    QImage m_canvas;
    QPoint m_origin;                        // where the canvas sits in the widget
    std::vector<std::uint64_t> m_drawn;     // what each cell of the canvas shows now
    CellPainter m_painter;
    mutable std::unordered_map<std::uint64_t, QImage> m_glyphs;  // drawn cells by character and colours
    QString m_family = QStringLiteral("Courier New");
    int m_preferredHeight = 16;
    int m_codePage = 936;
    bool m_blinkVisible = true, m_cursorVisible = true;
    bool m_drawnBlink = true, m_drawnCursor = true;  // the phases the canvas was drawn in
    bool m_selecting = false;
    QPoint m_selFrom{-1, -1}, m_selTo{-1, -1};
};

}  // namespace krvs::console
