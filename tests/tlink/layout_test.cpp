// Segment combination and order, the MZ header and the .COM form.
#include <gtest/gtest.h>

#include "helpers.h"

namespace krvs::tlink::test {
namespace {

using omf::Align;
using omf::Combine;

struct Seg {
    std::string name, cls;
    Align align = Align::Para;
    Combine combine = Combine::Public;
    std::uint32_t length = 0;
    std::uint8_t fill = 0;  // 0: no data record
};

// A module of the given segments; each public SEGNAME_module marks its contribution's start, and the
// first segment holds the start address unless `start` is false.
omf::ObjectWriter module(const std::string& name, const std::vector<Seg>& segs, bool start = true) {
    omf::ObjectWriter w(name);
    for (const auto& s : segs) {
        auto index = w.addSegment({s.name, s.cls, "", s.align, s.combine, s.length});
        w.addPublic(s.name + "_" + name, index, 0);
        if (s.fill) {
            Bytes bytes(s.length, s.fill);
            w.addData(index, 0, bytes);
        }
    }
    if (start) w.setStart(ref(omf::FrameMethod::Segment, 1, omf::TargetMethod::Segment, 1));
    return w;
}

// "NAME start length" for every segment line of the map, in order.
std::vector<std::string> segmentList(const std::string& map) {
    std::vector<std::string> out;
    std::size_t pos = map.find("Class\r\n\r\n");
    if (pos == std::string::npos) return out;
    pos += 9;
    while (true) {
        std::size_t end = map.find("\r\n", pos);
        std::string line = map.substr(pos, end - pos);
        if (line.empty()) break;
        std::string name = line.substr(22, line.find(' ', 22) - 22);
        out.push_back(name + " " + line.substr(1, 5) + " " + line.substr(15, 5));
        pos = end + 2;
    }
    return out;
}

struct LayoutCase {
    const char* name;
    std::vector<std::vector<Seg>> modules;
    std::vector<std::string> expected;
    bool dosseg = false;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) { return os << c.name; }

class SegmentLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SegmentLayout, MapListsSegmentsInOrder) {
    std::vector<LinkInput> inputs;
    int n = 0;
    for (const auto& segs : GetParam().modules) {
        auto w = module(std::string("m").append(std::to_string(n)), segs, n == 0);
        if (GetParam().dosseg && n == 0) w.addComment(0x9E, {});
        inputs.push_back(input(std::string("m").append(std::to_string(n++)).append(".obj"), w));
    }
    LinkResult r = link(inputs, {});
    EXPECT_EQ(segmentList(r.map), GetParam().expected) << r.map;
}

const Seg kStack{"STACK", "", Align::Para, Combine::Stack, 0x40};

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentLayout,
    ::testing::Values(
        LayoutCase{"PublicConcatenatesWithAlignment",
                   {{{"_TEXT", "CODE", Align::Byte, Combine::Public, 3, 1}, kStack},
                    {{"_TEXT", "CODE", Align::Word, Combine::Public, 5, 2}}},
                   {"_TEXT 00000 00009", "STACK 00010 00040"}},
        LayoutCase{"PrivateSegmentsStaySeparate",
                   {{{"X", "", Align::Byte, Combine::Private, 3, 1}, kStack},
                    {{"X", "", Align::Byte, Combine::Private, 5, 2}}},
                   {"X 00000 00003", "X 00003 00005", "STACK 00010 00040"}},
        LayoutCase{"SameNameOtherClassStaysSeparate",
                   {{{"X", "A", Align::Byte, Combine::Public, 3, 1}, kStack},
                    {{"X", "B", Align::Byte, Combine::Public, 5, 2}}},
                   {"X 00000 00003", "STACK 00010 00040", "X 00050 00005"}},
        LayoutCase{"CommonOverlaps",
                   {{{"C", "", Align::Para, Combine::Common, 6, 1}, kStack},
                    {{"C", "", Align::Para, Combine::Common, 0x12, 2}}},
                   {"C 00000 00012", "STACK 00020 00040"}},
        LayoutCase{"StackSegmentsCombine",
                   {{{"_TEXT", "CODE", Align::Byte, Combine::Public, 2, 1}, kStack},
                    {kStack}},
                   {"_TEXT 00000 00002", "STACK 00010 00080"}},
        LayoutCase{"ClassesGatherInOrderOfFirstAppearance",
                   {{{"C1", "CODE", Align::Para, Combine::Public, 0x10, 1}, {"D1", "DATA", Align::Para, Combine::Public, 0x10, 1}},
                    {{"C2", "CODE", Align::Para, Combine::Public, 0x10, 2}, kStack}},
                   {"C1 00000 00010", "C2 00010 00010", "D1 00020 00010", "STACK 00030 00040"}},
        LayoutCase{"UnclassedStackDefinedFirstStaysFirst",
                   {{{"CODE", "", Align::Para, Combine::Private, 0x10, 1}}, {kStack, {"DATA", "", Align::Para, Combine::Private, 0x10, 1}}},
                   {"CODE 00000 00010", "DATA 00010 00010", "STACK 00020 00040"}},
        LayoutCase{"UnclassedStackBetweenDataAndCodeGoesLast",
                   {{{"DATA", "", Align::Para, Combine::Private, 0x10, 1}, kStack, {"CODE", "", Align::Para, Combine::Private, 0x10, 1}}},
                   {"DATA 00000 00010", "CODE 00010 00010", "STACK 00020 00040"}},
        LayoutCase{"UnclassedStackFirstKeepsItsPlace",
                   {{kStack, {"DATA", "", Align::Para, Combine::Private, 0x10, 1}, {"CODE", "", Align::Para, Combine::Private, 0x10, 1}}},
                   {"STACK 00000 00040", "DATA 00040 00010", "CODE 00050 00010"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentLayoutTest, DossegPutsCodeFirstAndBssStackLastInDgroup) {
    omf::ObjectWriter w("m.asm");
    auto data = w.addSegment({"_DATA", "DATA", "", Align::Word, Combine::Public, 4});
    auto bss = w.addSegment({"_BSS", "BSS", "", Align::Word, Combine::Public, 4});
    auto stack = w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x20});
    auto far = w.addSegment({"FAR_DATA", "FAR_DATA", "", Align::Para, Combine::Private, 4});
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Word, Combine::Public, 4});
    w.addGroup("DGROUP", {data, bss, stack});
    w.addComment(0x9E, {});
    Bytes four(4, 0x90);
    w.addData(code, 0, four);
    w.addData(data, 0, four);
    w.addData(far, 0, four);
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    (void)bss;
    LinkResult r = link({input("m.obj", w)}, {});
    EXPECT_EQ(segmentList(r.map), (std::vector<std::string>{"_TEXT 00000 00004", "FAR_DATA 00010 00004",
                                                             "_DATA 00014 00004", "_BSS 00018 00004",
                                                             "STACK 00020 00020"}));
}

TEST(ExeHeaderTest, FieldsMatchLayout) {
    // _TEXT 20h initialised bytes with one segment fixup, _DATA 10h, then a stack that is not written.
    LinkResult r = World::link({omf::Fixup{1, omf::Location::Base, true,
                                           ref(omf::FrameMethod::Target, 0, omf::TargetMethod::Group, World::kDgroup)}});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.image.size(), 0x68u);  // up to the end of B's _DATA; the stack is uninitialised
    const Bytes& p = r.program;
    Bytes expected = {'M', 'Z', 0x98, 0x00, 0x01, 0x00, 0x01, 0x00, 0x03, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x07, 0x00,
                      0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00,
                      0x01, 0x00, 0x00, 0x00};
    ASSERT_EQ(p.size(), 0x30u + 0x68u);
    EXPECT_EQ(Bytes(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_EQ(Bytes(p.begin() + 0x30, p.end()), r.image);
    EXPECT_EQ(r.image[1], 0x05);  // DGROUP frame
}

TEST(ExeHeaderTest, InitAllWritesTrailingSegmentsAndLargeFilesCountPages) {
    LinkOptions options;
    options.initAll = true;
    LinkResult r = World::link({}, options);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.image.size(), 0xB0u);
    EXPECT_EQ(r.minAlloc, 0);

    omf::ObjectWriter w("big.asm");
    auto seg = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, 1000});
    w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x100});
    Bytes code(1000, 0x90);
    w.addData(seg, 0, code);
    w.setStart(ref(omf::FrameMethod::Segment, seg, omf::TargetMethod::Segment, seg));
    LinkResult big = link({input("big.obj", w)}, {});
    ASSERT_TRUE(big.ok);
    std::size_t size = 0x20 + 1000;  // header of two paragraphs
    EXPECT_EQ(big.program.size(), size);
    EXPECT_EQ(big.program[2] | big.program[3] << 8, size % 512);
    EXPECT_EQ(big.program[4] | big.program[5] << 8, (size + 511) / 512);
    EXPECT_EQ(big.minAlloc, (0x3F0 + 0x100 - 1000 + 15) / 16);
}

// A .COM program: one segment, ORG 100h, entry at 100h.
// `length` above 64K adds a second segment with the rest.
omf::ObjectWriter comModule(bool withStack, bool withSegFixup, std::uint32_t entry, std::uint32_t dataStart,
                            std::uint32_t length) {
    omf::ObjectWriter w("hello.asm");
    std::uint32_t rest = length > 0x10000 ? length - 0x10000 : 0;
    length -= rest;
    auto seg = w.addSegment({"CODE", "", "", Align::Para, Combine::Private, length});
    if (rest) {
        auto more = w.addSegment({"MORE", "", "", Align::Para, Combine::Private, rest});
        Bytes bytes(rest, 1);
        w.addData(more, 0, bytes);
    }
    if (withStack) w.addSegment({"STACK", "", "", Align::Para, Combine::Stack, 0x40});
    Bytes code(length - dataStart, 0x90);
    std::vector<omf::Fixup> fixups;
    if (withSegFixup)
        fixups.push_back({1, omf::Location::Base, true, ref(omf::FrameMethod::Target, 0, omf::TargetMethod::Segment, seg)});
    w.addData(seg, dataStart, code, fixups);
    w.setStart(ref(omf::FrameMethod::Segment, seg, omf::TargetMethod::Segment, seg, static_cast<std::int32_t>(entry)));
    return w;
}

TEST(ComTest, ImageStartsAt100h) {
    LinkOptions options;
    options.com = true;
    LinkResult r = link({input("hello.obj", comModule(false, false, 0x100, 0x100, 0x120))}, options);
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_EQ(r.program, Bytes(0x20, 0x90));
    EXPECT_EQ(r.map.find("Program entry point"), std::string::npos);
    EXPECT_TRUE(r.messages.empty());
}

struct ComCase {
    const char* name;
    bool stack, segFixup;
    std::uint32_t entry, dataStart, length;
    const char* message;
};

std::ostream& operator<<(std::ostream& os, const ComCase& c) { return os << c.name; }

class ComRefused : public ::testing::TestWithParam<ComCase> {};

TEST_P(ComRefused, WithClassicMessage) {
    const ComCase& c = GetParam();
    LinkOptions options;
    options.com = true;
    LinkResult r = link({input("hello.obj", comModule(c.stack, c.segFixup, c.entry, c.dataStart, c.length))}, options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.program.empty());
    EXPECT_EQ(texts(r), std::vector<std::string>{std::string("Fatal: Cannot generate COM file : ") + c.message});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComRefused,
    ::testing::Values(ComCase{"Stack", true, false, 0x100, 0x100, 0x120, "stack segment present"},
                      ComCase{"SegmentFixup", false, true, 0x100, 0x100, 0x120, "segment-relocatable items present"},
                      ComCase{"EntryNot100h", false, false, 0x104, 0x100, 0x120, "invalid initial entry point address"},
                      ComCase{"DataBelowEntry", false, false, 0x100, 0xF0, 0x120, "data below initial CS:IP defined"},
                      ComCase{"Over64K", false, false, 0x100, 0x100, 0x10010, "program exceeds 64K"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComTest, DebugSwitchWarns) {
    LinkOptions options;
    options.com = true;
    options.debugInfo = true;
    LinkResult r = link({input("hello.obj", comModule(false, false, 0x100, 0x100, 0x120))}, options);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(texts(r), std::vector<std::string>{"Warning: Debug info switch ignored for COM files"});
}

}  // namespace
}  // namespace krvs::tlink::test

namespace krvs::tlink::test {
namespace {

TEST(ModuleContentTest, IteratedDataLandsInImage) {
    omf::ObjectWriter w("dup.asm");
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, 0x12});
    w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x10});
    // 2 DUP (3 DUP (1,2), 9) at offset 4
    w.addIteratedData(code, 4, omf::IteratedBlock{2, {omf::IteratedBlock{3, {}, {1, 2}}, omf::IteratedBlock{1, {}, {9}}}, {}});
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    LinkResult r = link({input("dup.obj", w)}, {});
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_EQ(r.image, (Bytes{0, 0, 0, 0, 1, 2, 1, 2, 1, 2, 9, 1, 2, 1, 2, 1, 2, 9}));
}

// LPUBDEF/LEXTDEF pairs resolve inside their module only; two modules may use the same local name.
TEST(ModuleContentTest, LocalSymbolsStayInTheirModule) {
    auto localModule = [](const std::string& name, std::uint8_t value) {
        // Hand-made records: the writer has no local symbols. SEGDEF _TEXT (byte, public, 4 bytes),
        // LPUBDEF HERE = _TEXT:value, LEXTDEF HERE, data with an offset fixup to it.
        Bytes b;
        omf::RecordBuilder(omf::kTheadr).name(name).appendTo(b);
        omf::RecordBuilder(omf::kLnames).name("").name("_TEXT").name("CODE").appendTo(b);
        omf::RecordBuilder(omf::kSegdef).byte(0x28).word(4).index(2).index(3).index(1).appendTo(b);
        omf::RecordBuilder(omf::kLpubdef).index(0).index(1).name("HERE").word(value).index(0).appendTo(b);
        omf::RecordBuilder(omf::kLextdef).name("HERE").index(0).appendTo(b);
        omf::RecordBuilder(omf::kLedata).index(1).word(0).word(0).word(0).appendTo(b);
        omf::RecordBuilder fix(omf::kFixupp);
        omf::appendFixup(fix, omf::Fixup{0, omf::Location::Offset16, true, ref(omf::FrameMethod::Target, 0, omf::TargetMethod::External, 1)}, false);
        fix.appendTo(b);
        omf::RecordBuilder(omf::kModend).byte(0).appendTo(b);
        return LinkInput{name, b};
    };
    LinkResult r = link({localModule("a.asm", 1), localModule("b.asm", 3)}, {});
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_EQ(r.image, (Bytes{0x01, 0x00, 0, 0, 0x07, 0x00, 0, 0}));  // b's _TEXT part starts at 4
}

}  // namespace
}  // namespace krvs::tlink::test
