// The teletype of the debugger window and the UTF-8 to GBK stream of the interpreter's messages.

#include <gtest/gtest.h>

#include "gbk_text.h"
#include "terminal.h"

namespace krvs::console::test {
namespace {

std::string row(const ScreenImage& s, int r) {
    std::string line;
    for (int c = 0; c < s.columns; ++c) line.push_back(static_cast<char>(s.cell(r, c) & 0xFF));
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

TEST(TerminalTest, TeletypeControlsAndTabs) {
    Terminal t;
    t.write("ab\bc\r\nx\ty\a");
    EXPECT_EQ(row(t.image(), 0), "ac");
    EXPECT_EQ(row(t.image(), 1), "x       y");
    EXPECT_EQ(t.image().cursorRow, 1);
    EXPECT_EQ(t.image().cursorColumn, 9);
}

TEST(TerminalTest, ScrollsAtTheBottomAndWrapsLongLines) {
    Terminal t;
    for (int i = 0; i < 30; ++i) t.write("line " + std::to_string(i) + "\r\n");
    EXPECT_EQ(row(t.image(), 0), "line 6");
    EXPECT_EQ(row(t.image(), 23), "line 29");
    EXPECT_EQ(row(t.image(), 24), "");
    t.write(std::string(85, 'x'));
    EXPECT_EQ(row(t.image(), 23), std::string(80, 'x'));
    EXPECT_EQ(row(t.image(), 24), "xxxxx");
}

TEST(TerminalTest, FormFeedAndAnsiClearEmptyTheScreen) {
    Terminal t;
    t.write("old\r\nold");
    t.write("\f");
    EXPECT_EQ(row(t.image(), 0), "");
    EXPECT_EQ(t.image().cursorRow, 0);
    t.write("x\r\ny\x1b[2J\x1b[Hz\x1b[1;31mw");  // unknown sequences are swallowed, not shown
    EXPECT_EQ(row(t.image(), 0), "zw");
    EXPECT_EQ(row(t.image(), 1), "");
}

TEST(Utf8ToGbkTest, ConvertsCharactersAcrossWritesAndPassesOtherBytes) {
    Utf8ToGbk c;
    const std::string pause = "请按任意键继续. . .";
    std::string out = c.feed(pause.substr(0, 4));  // the second character is cut after one byte
    out += c.feed(pause.substr(4));
    EXPECT_EQ(out, "\xC7\xEB\xB0\xB4\xC8\xCE\xD2\xE2\xBC\xFC\xBC\xCC\xD0\xF8. . .");
    // GBK bytes that are no UTF-8 (a program's own text echoed by a batch file) stay as they are.
    EXPECT_EQ(Utf8ToGbk().feed("\xC4\xE3\xBA\xC3!"), "\xC4\xE3\xBA\xC3!");
}

}  // namespace
}  // namespace krvs::console::test
