// Every fixup kind a 16-bit program uses, applied to the two-module world of helpers.h at _TEXT:0010h.
#include <gtest/gtest.h>

#include <algorithm>

#include "helpers.h"

namespace krvs::tlink::test {
namespace {

using omf::FrameMethod;
using omf::Location;
using omf::TargetMethod;

struct FixupCase {
    const char* name;
    omf::Fixup fixup;
    Bytes preset;     // bytes at 10h before the fixup
    Bytes expected;   // bytes at 10h after it
    std::vector<Relocation> relocations;
};

std::ostream& operator<<(std::ostream& os, const FixupCase& c) { return os << c.name; }

omf::Fixup fix(Location loc, bool segRel, omf::Reference r) { return omf::Fixup{0x10, loc, segRel, r}; }

class FixupKinds : public ::testing::TestWithParam<FixupCase> {};

TEST_P(FixupKinds, PatchImageAndRelocations) {
    const FixupCase& c = GetParam();
    Bytes code(0x20, 0);
    std::copy(c.preset.begin(), c.preset.end(), code.begin() + 0x10);
    LinkResult r = World::link({c.fixup}, {}, code);
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    Bytes got(r.image.begin() + 0x10, r.image.begin() + 0x10 + static_cast<std::ptrdiff_t>(c.expected.size()));
    EXPECT_EQ(got, c.expected);
    auto sorted = [](std::vector<Relocation> v) {
        std::sort(v.begin(), v.end(), [](auto a, auto b) { return a.segment * 0x10000 + a.offset < b.segment * 0x10000 + b.offset; });
        return v;
    };
    EXPECT_EQ(sorted(r.relocations), sorted(c.relocations));
}

constexpr auto W = World{};

INSTANTIATE_TEST_SUITE_P(
    Cases, FixupKinds,
    ::testing::Values(
        FixupCase{"OffsetOfExternalInGroup",
                  fix(Location::Offset16, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kVar)),
                  {}, {0x14, 0x00}, {}},
        FixupCase{"OffsetAddsExistingContent",
                  fix(Location::Offset16, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kVar)),
                  {0x05, 0x00}, {0x19, 0x00}, {}},
        FixupCase{"OffsetRelativeToGroup",
                  fix(Location::Offset16, true, ref(FrameMethod::Group, W.kDgroup, TargetMethod::Segment, W.kData, 3)),
                  {}, {0x03, 0x00}, {}},
        FixupCase{"OffsetFrameOfExternal",
                  fix(Location::Offset16, true, ref(FrameMethod::External, W.kVar, TargetMethod::Segment, W.kData, 2)),
                  {}, {0x02, 0x00}, {}},
        FixupCase{"NegativeDisplacement",
                  fix(Location::Offset16, true, ref(FrameMethod::Group, W.kDgroup, TargetMethod::External, W.kVar, -2)),
                  {}, {0x12, 0x00}, {}},
        FixupCase{"LowAndHighByte",
                  fix(Location::HighByte, true, ref(FrameMethod::Segment, W.kData, TargetMethod::Segment, W.kData, 0x1234)),
                  {}, {0x12}, {}},
        FixupCase{"LowByteOfOffset",
                  fix(Location::LowByte, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kVar)),
                  {}, {0x14}, {}},
        FixupCase{"SegmentBaseOfExternal",
                  fix(Location::Base, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kFarproc)),
                  {}, {0x02, 0x00}, {{0, 0x10}}},
        FixupCase{"SegmentBaseOfGroup",
                  fix(Location::Base, true, ref(FrameMethod::Target, 0, TargetMethod::Group, W.kDgroup)),
                  {}, {0x05, 0x00}, {{0, 0x10}}},
        FixupCase{"FarPointer",
                  fix(Location::Pointer32, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kFarproc)),
                  {}, {0x10, 0x00, 0x02, 0x00}, {{0, 0x12}}},
        FixupCase{"FarPointerWithDisplacement",
                  fix(Location::Pointer32, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kFarproc, -2)),
                  {}, {0x0E, 0x00, 0x02, 0x00}, {{0, 0x12}}},
        FixupCase{"NearCallBackwards",
                  fix(Location::Offset16, false, ref(FrameMethod::Location, 0, TargetMethod::Segment, W.kText)),
                  {}, {0xEE, 0xFF}, {}},
        FixupCase{"ShortJumpForward",
                  fix(Location::LowByte, false, ref(FrameMethod::Target, 0, TargetMethod::Segment, W.kText, 0x1F)),
                  {}, {0x0E}, {}},
        FixupCase{"AbsoluteFrameNoRelocation",
                  fix(Location::Pointer32, true, ref(FrameMethod::Target, 0, TargetMethod::FrameNumber, 0xB800, 0x10)),
                  {}, {0x10, 0x00, 0x00, 0xB8}, {}},
        FixupCase{"Offset32",
                  fix(Location::Offset32, true, ref(FrameMethod::Target, 0, TargetMethod::External, W.kFarproc)),
                  {}, {0x10, 0x00, 0x00, 0x00}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FixupTest, StackAndEntryFromSegments) {
    LinkResult r = World::link({});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.initialCs, 0);
    EXPECT_EQ(r.initialIp, 0);
    EXPECT_EQ(r.initialSs, 7);
    EXPECT_EQ(r.initialSp, 0x40);
}

}  // namespace
}  // namespace krvs::tlink::test
