// The two unopened FCBs that loading (and DEBUG's N) builds from the command tail.
#include <gtest/gtest.h>

#include <string>

#include "pc/loader.h"
#include "pc/memory.h"

namespace krvs::pc::test {
namespace {

struct FcbCase {
    const char* tail;
    std::uint16_t ax;      // FFh per FCB naming a drive other than C:
    const char* first;     // drive byte as a digit, then the 11 name bytes
    const char* second;
};

std::string fcbText(const Memory& mem, std::uint16_t seg, std::uint16_t off) {
    std::string s(1, static_cast<char>('0' + mem.read8(seg, off)));
    for (int i = 1; i <= 11; ++i) s.push_back(static_cast<char>(mem.read8(seg, static_cast<std::uint16_t>(off + i))));
    return s;
}

// Test names show the command tail instead of the case's bytes.
void PrintTo(const FcbCase& c, std::ostream* os) { *os << '"' << c.tail << '"'; }

class FcbTest : public ::testing::TestWithParam<FcbCase> {};

TEST_P(FcbTest, FillsBothFcbsAndTheDriveFlags) {
    const FcbCase& c = GetParam();
    Memory mem;
    mem.write8(0x1000, 0x5C + 5, 'Z');  // stale bytes must be blanked
    EXPECT_EQ(writeCommandTailFcbs(mem, 0x1000, c.tail), c.ax);
    EXPECT_EQ(fcbText(mem, 0x1000, 0x5C), c.first);
    EXPECT_EQ(fcbText(mem, 0x1000, 0x6C), c.second);
}

INSTANTIATE_TEST_SUITE_P(Pc, FcbTest, ::testing::Values(
    FcbCase{"", 0x0000, "0           ", "0           "},
    FcbCase{" in.txt out", 0x0000, "0IN      TXT", "0OUT        "},
    FcbCase{" c:a.b,d:x.y", 0xFF00, "3A       B  ", "4X       Y  "},
    FcbCase{" c:\\work\\longname1.text=x", 0x0000, "3LONGNAMETEX", "0X          "}));

}  // namespace
}  // namespace krvs::pc::test
