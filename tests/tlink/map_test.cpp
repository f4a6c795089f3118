// The map text: the classic default layout byte for byte, publics, the detailed map, and line numbers as
// the debugger reads them.
#include <gtest/gtest.h>

#include "helpers.h"

namespace krvs::tlink::test {
namespace {

TEST(MapTest, DefaultLayoutIsExact) {
    LinkResult r = World::link({});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.map,
              "\r\n"
              " Start  Stop   Length Name               Class\r\n"
              "\r\n"
              " 00000H 0001FH 00020H _TEXT              CODE\r\n"
              " 00020H 0004FH 00030H FARSEG             CODE\r\n"
              " 00050H 00067H 00018H _DATA              DATA\r\n"
              " 00070H 000AFH 00040H STACK              STACK\r\n"
              "\r\n"
              "Program entry point at 0000:0000\r\n"
              "\r\n");
}

TEST(MapTest, SegmentWithoutClassAndEmptySegment) {
    omf::ObjectWriter w("e.asm");
    auto code = w.addSegment({"CODE", "", "", omf::Align::Para, omf::Combine::Private, 2});
    w.addSegment({"EMPTY", "", "", omf::Align::Byte, omf::Combine::Public, 0});
    Bytes two = {0xCD, 0x20};
    w.addData(code, 0, two);
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    LinkResult r = link({input("e.obj", w)}, {});
    EXPECT_NE(r.map.find(" 00000H 00001H 00002H CODE               \r\n"
                         " 00002H 00002H 00000H EMPTY              \r\n"),
              std::string::npos)
        << r.map;
    // No stack: the warning goes to the messages and the end of the map.
    EXPECT_EQ(texts(r), std::vector<std::string>{"Warning: No stack"});
    EXPECT_NE(r.map.find("Program entry point at 0000:0000\r\nWarning: No stack\r\n\r\n"), std::string::npos);
}

TEST(MapTest, PublicsByNameAndByValueWithFlags) {
    omf::ObjectWriter a("a.asm");
    auto code = a.addSegment({"_TEXT", "CODE", "", omf::Align::Para, omf::Combine::Public, 0x20});
    a.addSegment({"STACK", "STACK", "", omf::Align::Para, omf::Combine::Stack, 0x10});
    a.addPublic("ZETA", code, 0x02);
    a.addPublic("alpha", code, 0x10);
    a.addAbsolutePublic("VIDEO", 0xB800, 0);
    auto ext = a.addExternal("ZETA");
    Bytes bytes(0x20, 0);
    a.addData(code, 0, bytes, {{0, omf::Location::Offset16, true, ref(omf::FrameMethod::Target, 0, omf::TargetMethod::External, ext)}});
    a.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    LinkOptions options;
    options.detailed = true;
    options.publics = true;
    LinkResult r = link({input("a.obj", a)}, options);
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_NE(r.map.find("  Address         Publics by Name\r\n\r\n"
                         " 0000:0010 idle  alpha\r\n"
                         " B800:0000  Abs  VIDEO\r\n"
                         " 0000:0002       ZETA\r\n\r\n"
                         "  Address         Publics by Value\r\n\r\n"
                         " 0000:0002       ZETA\r\n"
                         " 0000:0010 idle  alpha\r\n"
                         " B800:0000  Abs  VIDEO\r\n\r\n"),
              std::string::npos)
        << r.map;
    EXPECT_NE(r.map.find("Detailed map of segments\r\n\r\n"
                         " 0000:0000 0020 C=CODE     S=_TEXT    G=(none)   M=a.asm        ACBP=68\r\n"),
              std::string::npos)
        << r.map;
}

TEST(MapTest, LineNumbersFourPerRowAndReadableByTheDebugger) {
    omf::ObjectWriter w("hello.asm");
    auto data = w.addSegment({"DATA", "", "", omf::Align::Para, omf::Combine::Private, 0x10});
    auto code = w.addSegment({"CODE", "", "", omf::Align::Para, omf::Combine::Private, 0x20});
    w.addSegment({"STACK", "", "", omf::Align::Para, omf::Combine::Stack, 0x40});
    Bytes bytes(0x20, 0x90);
    w.addData(code, 0, bytes);
    const std::vector<std::pair<int, int>> lines = {{5, 0}, {6, 3}, {7, 5}, {8, 7}, {12, 0x0A}, {1000, 0x1F}};
    for (auto [line, offset] : lines) w.addLine(code, static_cast<std::uint16_t>(line), static_cast<std::uint32_t>(offset));
    w.addLine(data, 3, 0);  // a data definition: not listed, the debugger would take it for code
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    LinkOptions options;
    options.lineNumbers = true;
    LinkResult r = link({input("hello.obj", w)}, options);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.map.find("segment DATA"), std::string::npos);
    EXPECT_NE(r.map.find("Line numbers for hello.obj(hello.asm) segment CODE\r\n\r\n"
                         "     5 0001:0000     6 0001:0003     7 0001:0005     8 0001:0007\r\n"
                         "    12 0001:000A  1000 0001:001F\r\n"
                         "Program entry point at 0001:0000\r\n"),
              std::string::npos)
        << r.map;
    auto table = debuggerLineTable(r.map);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (std::map<int, std::string>{{5, "0000"}, {6, "0003"}, {7, "0005"}, {8, "0007"}, {12, "000A"}, {1000, "001F"}}));
}

TEST(MapTest, ComMapWithLineNumbersEndsWithEntryPoint) {
    omf::ObjectWriter w("c.asm");
    auto code = w.addSegment({"CODE", "", "", omf::Align::Para, omf::Combine::Private, 0x104});
    Bytes bytes(4, 0x90);
    w.addData(code, 0x100, bytes);
    w.addLine(code, 9, 0x100);
    w.addLine(code, 10, 0x102);
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code, 0x100));
    LinkOptions options;
    options.com = true;
    options.lineNumbers = true;
    LinkResult r = link({input("c.obj", w)}, options);
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    auto table = debuggerLineTable(r.map);
    ASSERT_TRUE(table.has_value()) << r.map;
    EXPECT_EQ(*table, (std::map<int, std::string>{{9, "0100"}, {10, "0102"}}));
}

TEST(MapTest, ErrorsAreAppendedToTheMap) {
    omf::ObjectWriter w("u.asm");
    auto code = w.addSegment({"CODE", "", "", omf::Align::Para, omf::Combine::Private, 2});
    w.addSegment({"STACK", "", "", omf::Align::Para, omf::Combine::Stack, 0x10});
    auto ext = w.addExternal("MISSING");
    Bytes two(2, 0);
    w.addData(code, 0, two, {{0, omf::Location::Offset16, true, ref(omf::FrameMethod::Target, 0, omf::TargetMethod::External, ext)}});
    w.setStart(ref(omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code));
    LinkResult r = link({input("u.obj", w)}, {});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.map.find("Error: Undefined symbol MISSING in module u.asm\r\n"), std::string::npos) << r.map;
}

}  // namespace
}  // namespace krvs::tlink::test
