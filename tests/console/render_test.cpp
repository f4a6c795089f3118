// The screen view on the offscreen platform: colours of cells, blinking, the cursor shape, line drawing
// that meets across cells, a GBK pair drawn as one character, the text geometries, selection and keys.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include "qt_app.h"
#include "screen_widget.h"

namespace krvs::console::test {
namespace {

constexpr QRgb kBlue = 0xFF0000AA, kYellow = 0xFFFFFF55, kRed = 0xFFAA0000, kGrey = 0xFFAAAAAA, kBlack = 0xFF000000,
               kDarkGrey = 0xFF555555;

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        widget.resize(640, 400);  // 8 x 16 cells at 80 x 25
        widget.show();
        widget.showImage(image);
    }
    QImage shot() {
        widget.refresh();
        return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    void put(int row, int column, std::uint8_t ch, std::uint8_t attr) {
        image.cell(row, column) = static_cast<std::uint16_t>(attr << 8 | ch);
    }
    void show() { widget.showImage(image); }
    // How many pixels of a cell have the colour.
    int count(const QImage& img, int row, int column, QRgb colour, int cells = 1) {
        const QSize c = widget.cellSize();
        int n = 0;
        for (int y = row * c.height(); y < (row + 1) * c.height(); ++y)
            for (int x = column * c.width(); x < (column + cells) * c.width(); ++x) n += img.pixel(x, y) == colour;
        return n;
    }
    // Pixels of a cell near the colour (glyphs are smoothed at their edges).
    int ink(const QImage& img, int row, int column, QRgb colour) {
        const QSize c = widget.cellSize();
        int n = 0;
        for (int y = row * c.height(); y < (row + 1) * c.height(); ++y)
            for (int x = column * c.width(); x < (column + 1) * c.width(); ++x) {
                QRgb p = img.pixel(x, y);
                n += std::abs(qRed(p) - qRed(colour)) < 48 && std::abs(qGreen(p) - qGreen(colour)) < 48 &&
                     std::abs(qBlue(p) - qBlue(colour)) < 48;
            }
        return n;
    }
    // Samples the view for `ms`; true when `a` held in some frame and `b` in another.
    template <typename A, typename B>
    bool seesBoth(int ms, A a, B b) {
        bool sawA = false, sawB = false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && !(sawA && sawB)) {
            QImage img = shot();
            sawA |= a(img);
            sawB |= b(img);
            QTest::qWait(20);
        }
        return sawA && sawB;
    }
    struct App { App() { qtApp(); } } app;  // before any widget
    ScreenImage image;
    ScreenWidget widget;
};

TEST_F(RenderTest, CellsTakeTheirAttributesColours) {
    image.cursorHidden = true;
    put(0, 0, 'A', 0x1E);
    put(0, 1, ' ', 0x4F);
    put(0, 2, 'B', 0x07);
    show();
    QImage img = shot();
    ASSERT_EQ(widget.cellSize(), QSize(8, 16));
    EXPECT_GT(count(img, 0, 0, kBlue), 40);     // background
    EXPECT_GT(ink(img, 0, 0, kYellow), 5);      // the letter's strokes
    EXPECT_EQ(count(img, 0, 1, kRed), 8 * 16);  // a blank on red
    EXPECT_GT(ink(img, 0, 2, kGrey), 5);
    EXPECT_EQ(count(img, 1, 0, kBlack), 8 * 16);
}

TEST_F(RenderTest, BlinkingTextComesAndGoesAndBit7BrightensWhenBlinkingIsOff) {
    image.cursorHidden = true;
    put(0, 0, 0xDB, 0x8E);  // a full block, blinking yellow on black
    show();
    EXPECT_TRUE(seesBoth(1500, [&](const QImage& i) { return count(i, 0, 0, kYellow) == 128; },
                         [&](const QImage& i) { return count(i, 0, 0, kBlack) == 128; }));
    image.blinkEnabled = false;
    put(0, 0, ' ', 0x8E);
    show();
    EXPECT_EQ(count(shot(), 0, 0, kDarkGrey), 128);  // background 8: dark grey, steady
}

TEST_F(RenderTest, CursorTakesTheShapeFromIntTenFunctionOne) {
    image.cursorRow = 2;
    image.cursorColumn = 3;
    image.cursorStart = 0;  // CX = 0007h: a full block
    image.cursorEnd = 7;
    show();
    EXPECT_TRUE(seesBoth(1000, [&](const QImage& i) { return count(i, 2, 3, kGrey) == 128; },
                         [&](const QImage& i) { return count(i, 2, 3, kBlack) == 128; }));
    image.cursorStart = 6;  // the underline of mode 3: the lower quarter of the cell
    image.cursorEnd = 7;
    show();
    EXPECT_TRUE(seesBoth(1000, [&](const QImage& i) { return count(i, 2, 3, kGrey) == 32; },
                         [&](const QImage& i) { return count(i, 2, 3, kGrey) == 0; }));
    image.cursorHidden = true;  // CH bit 5
    show();
    EXPECT_FALSE(seesBoth(600, [&](const QImage& i) { return count(i, 2, 3, kGrey) > 0; }, [](const QImage&) { return true; }));
}

// Each pixel row of a horizontal line must run unbroken across the boundary of two cells.
TEST_F(RenderTest, LineDrawingMeetsAcrossCells) {
    image.cursorHidden = true;
    const std::uint8_t top[] = {0xC9, 0xCD, 0xCD, 0xBB};  // ╔══╗
    const std::uint8_t mid[] = {0xC7, 0xC4, 0xC4, 0xB6};  // ╟──╢
    for (int c = 0; c < 4; ++c) {
        put(0, c, top[c], 0x0E);
        put(1, c, mid[c], 0x0E);
    }
    put(2, 0, 0xBA, 0x0E);  // ║ down the column: its strokes must meet the next row's
    put(3, 0, 0xBA, 0x0E);
    show();
    QImage img = shot();
    auto yellowRows = [&](int row) {
        std::vector<int> ys;
        for (int y = row * 16; y < row * 16 + 16; ++y) {
            bool full = true;
            for (int x = 8; x < 24; ++x) full &= img.pixel(x, y) == kYellow;  // cells 1 and 2 end to end
            if (full) ys.push_back(y);
        }
        return ys;
    };
    EXPECT_EQ(yellowRows(0).size(), 2u);  // ═ is two strokes
    EXPECT_EQ(yellowRows(1).size(), 1u);  // ─ is one
    // The double vertical of ║ in row 2 continues into row 3's ║ with no gap at the cell boundary.
    int joined = 0;
    for (int x = 0; x < 8; ++x) joined += img.pixel(x, 2 * 16 + 15) == kYellow && img.pixel(x, 2 * 16 + 16) == kYellow;
    EXPECT_EQ(joined, 2);
    // The corner's outer stroke turns down: the pixel column of its vertical reaches the cell's bottom.
    int cornerColumns = 0;
    for (int x = 0; x < 8; ++x) cornerColumns += img.pixel(x, 15) == kYellow;
    EXPECT_EQ(cornerColumns, 2);
}

TEST_F(RenderTest, AGbkPairIsOneChineseCharacterOverTwoCells) {
    image.cursorHidden = true;
    put(0, 0, 0xC4, 0x07);  // 你
    put(0, 1, 0xE3, 0x07);
    show();
    QImage chinese = shot();
    EXPECT_EQ(widget.rowText(0, 0, 1), QString::fromUtf8("你"));
    widget.setCodePage(437);
    QImage twoGlyphs = shot();
    EXPECT_EQ(widget.rowText(0, 0, 1), QString::fromUtf8("─π"));
    EXPECT_NE(chinese, twoGlyphs);
    // The character is wider than one cell: ink on both sides of the boundary, in the lead's colour.
    EXPECT_GT(ink(chinese, 0, 0, kGrey), 3);
    EXPECT_GT(ink(chinese, 0, 1, kGrey), 3);
}

TEST_F(RenderTest, FortyColumnsAndFiftyRowsScaleTheCells) {
    ScreenImage wide;
    wide.resize(40, 25);
    widget.showImage(wide);
    EXPECT_EQ(widget.cellSize(), QSize(16, 16));
    ScreenImage tall;
    tall.resize(80, 50);
    widget.showImage(tall);
    EXPECT_EQ(widget.cellSize(), QSize(8, 8));
    widget.resize(1280, 800);  // a bigger window: whole-pixel cells, still crisp
    QTest::qWait(10);
    EXPECT_EQ(widget.cellSize(), QSize(16, 16));
}

TEST_F(RenderTest, SelectionCopiesTheScreenTextOfTheRectangle) {
    const std::string rows[] = {"DIR  \xC4\xE3\xBA\xC3", "  \xC9\xCD\xBB", "ab"};
    for (int r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) put(r, static_cast<int>(c), static_cast<std::uint8_t>(rows[r][c]), 7);
    show();
    widget.select({0, 0}, {8, 2});
    EXPECT_EQ(widget.selectedText(), QString::fromUtf8("DIR  你好\n  ╔═╗\nab"));
    widget.select({6, 0}, {8, 0});  // starts on the trail of 你: only 好 is inside
    EXPECT_EQ(widget.selectedText(), QString::fromUtf8("好"));
}

TEST_F(RenderTest, KeysAndPasteComeOutAsStrokes) {
    std::vector<std::vector<KeyStroke>> typed;
    QObject::connect(&widget, &ScreenWidget::keysTyped, [&](const std::vector<KeyStroke>& k) { typed.push_back(k); });
    QTest::keyClick(&widget, Qt::Key_F1);
    QTest::keyClick(&widget, Qt::Key_Tab);  // stays with the screen: it is a key for the program
    QTest::keyClick(&widget, Qt::Key_X, Qt::AltModifier);
    ASSERT_EQ(typed.size(), 3u);
    auto strokes = [&](std::size_t i) { return typed[i]; };
    EXPECT_EQ(strokes(0), (std::vector<KeyStroke>{{0x3B, 0}}));
    EXPECT_EQ(strokes(1), (std::vector<KeyStroke>{{0x0F, 0x09}}));
    EXPECT_EQ(strokes(2), (std::vector<KeyStroke>{{0x2D, 0}}));
}

}  // namespace
}  // namespace krvs::console::test
