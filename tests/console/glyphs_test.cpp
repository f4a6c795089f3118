// Which bytes of a row pair up as Chinese characters and which stay line drawing, and the drawing data.

#include <gtest/gtest.h>

#include <string>

#include "glyphs.h"

namespace krvs::console::test {
namespace {

// Roles written as one letter per cell: '.' single, 'L' lead, 'T' trail.
std::string roles(const std::string& bytes) {
    auto r = layoutRow(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    std::string out;
    for (CellRole c : r) out += c == CellRole::Single ? '.' : c == CellRole::WideLead ? 'L' : 'T';
    return out;
}

struct LayoutCase { const char* name; std::string bytes; std::string expected; };
// The case prints as its name, so ctest's test names stay the same from one build to the next.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, Roles) { EXPECT_EQ(roles(GetParam().bytes), GetParam().expected) << GetParam().name; }

INSTANTIATE_TEST_SUITE_P(
    Rows, LayoutTest,
    ::testing::Values(
        LayoutCase{"Ascii", "abc", "..."},
        LayoutCase{"ChineseWord", "\xC4\xE3\xBA\xC3", "LTLT"},                          // 你好
        LayoutCase{"PauseMessage", "\xC7\xEB\xB0\xB4\xC8\xCE", "LTLTLT"},               // 请按任 (B0B4 and C8CE look like box bytes)
        LayoutCase{"DoubleBoxTop", "\xC9\xCD\xCD\xCD\xBB", "....."},                      // ╔═══╗
        LayoutCase{"SingleBoxWithText", "\xDA\xC4\xC4\xBF", "...."},                      // ┌──┐
        LayoutCase{"DividerWithJoins", "\xC7\xC4\xC4\xB6", "...."},                       // ╟──╢
        LayoutCase{"ShadesAndBlocks", "\xB0\xB1\xB2\xDB\xDC", "....."},
        LayoutCase{"LoneHighByte", "a\x82" "b", "..."},                                     // é stays é
        LayoutCase{"OddRunLeavesLastSingle", "\xC4\xE3\xBA", "LT."},
        LayoutCase{"BoxBesideTextSplitByBlank", "\xBA \xC4\xE3 \xBA", "..LT.."},
        LayoutCase{"LinesThatDoNotJoinAreText", "\xB3\xB3", "LT"}),                       // two │ side by side
    [](const ::testing::TestParamInfo<LayoutCase>& i) { return std::string(i.param.name); });

TEST(Glyphs, DrawingDataMatchesCodePage437) {
    EXPECT_EQ(cp437ToUnicode(0xB3), u'│');
    EXPECT_EQ(cp437ToUnicode(0xC9), u'╔');
    EXPECT_EQ(cp437ToUnicode(0xDA), u'┌');
    EXPECT_EQ(cp437ToUnicode(0xDB), u'█');
    EXPECT_EQ(cp437ToUnicode(0xE0), u'α');
    EXPECT_EQ(cp437ToUnicode(0xFF), u'\u00A0');
    EXPECT_EQ(cp437ToUnicode(0x01), u'☺');
    EXPECT_EQ(cp437ToUnicode('A'), u'A');
    // Arms agree with the Unicode names: ╔ goes right and down, double; ╡ is single up/down, double left.
    BoxArms corner = boxArms(0xC9);
    EXPECT_EQ((std::array<int, 4>{corner.up, corner.right, corner.down, corner.left}), (std::array<int, 4>{0, 2, 2, 0}));
    BoxArms tee = boxArms(0xB5);
    EXPECT_EQ((std::array<int, 4>{tee.up, tee.right, tee.down, tee.left}), (std::array<int, 4>{1, 0, 1, 2}));
    EXPECT_FALSE(boxArms('A').any());
    EXPECT_FALSE(boxArms(0xDB).any());
    BlockRect lower;
    ASSERT_TRUE(blockRect(0xDC, lower));
    EXPECT_EQ(lower.top, 4);
    EXPECT_EQ(shadePercent(0xB1), 50);
}

}  // namespace
}  // namespace krvs::console::test
