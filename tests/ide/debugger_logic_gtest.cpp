// The debugger's reading of the map, the listing, DEBUG's step and dump replies and the watch rules.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "debugger/debug_info.h"
#include "debugger/mem_dump.h"
#include "debugger/step_reply.h"

namespace krvs::ide {
namespace {

std::string dataFile(const std::string& name) {
  std::ifstream in(std::string(KRVS_TEST_DATA) + "/ide-debugger/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> mapWith(const std::vector<std::string>& sectionLines) {
  std::vector<std::string> lines = {"", " Start  Stop   Length Name               Class", "",
                                    "Line numbers for A.OBJ(A.ASM) segment CODE", ""};
  lines.insert(lines.end(), sectionLines.begin(), sectionLines.end());
  lines.push_back("Program entry point at 0001:0000");
  return lines;
}

TEST(MapReader, ReadsEntriesAndReplacesRepeatedLines) {
  LineTable t;
  std::string error;
  ASSERT_TRUE(readMapLineTable(mapWith({"     5 0001:0000     6 0001:0003", "    12 0001:0005    12 0001:0008"}), t,
                               &error))
      << error;
  EXPECT_EQ(t.offsetOf(5), "0000");
  EXPECT_EQ(t.offsetOf(6), "0003");
  EXPECT_EQ(t.offsetOf(12), "0008");
  EXPECT_FALSE(t.hasAddress(7));
  EXPECT_EQ(t.entrySegment, "0001");
}

TEST(MapReader, EntryCountFollowsLineLength) {
  struct Case {
    std::string line;
    bool secondRead;
  };
  // The next entry is read only when at least four characters follow the previous one.
  const Case cases[] = {{"     5 0001:0000", false},
                        {"     5 0001:0000   ", false},
                        {"     5 0001:0000     6 0001:0003", true}};
  for (const Case& c : cases) {
    LineTable t;
    ASSERT_TRUE(readMapLineTable(mapWith({c.line}), t, nullptr)) << c.line;
    EXPECT_EQ(t.hasAddress(6), c.secondRead) << c.line;
  }
}

TEST(MapReader, RefusesUnreadableEntriesAndMapsWithoutLines) {
  const std::vector<std::string> bad[] = {
      mapWith({" 32769 0001:0000"}),  // line number too large
      mapWith({"     5 0001:00G0"}),  // offset not hexadecimal
      mapWith({"     5 0001-0000"}),  // no colon
      mapWith({"     x 0001:0000"}),
      mapWith({"     5 0001:00"}),     // short entry
      {"", " Start  Stop   Length Name               Class", "Program entry point at 0001:0000"},
      mapWith({}),  // a section without entries
  };
  for (const auto& map : bad) {
    LineTable t;
    std::string error;
    EXPECT_FALSE(readMapLineTable(map, t, &error)) << (map.size() > 5 ? map[5] : "no section");
    EXPECT_FALSE(error.empty());
  }
}

TEST(MapReader, ReadsEverySectionAndKeepsSegmentsApart) {
  LineTable t;
  std::string error;
  ASSERT_TRUE(readMapLineTable(splitTextLines(dataFile("TWO.MAP")), t, &error)) << error;
  EXPECT_EQ(t.offsetOf(10), "000D");
  EXPECT_EQ(t.offsetOf(18), "0007");
  EXPECT_EQ(t.segmentOf(18), "0002");
  // 0005 is code in both segments: by segment each finds its own line.
  EXPECT_TRUE(t.ambiguous("0005"));
  EXPECT_FALSE(t.ambiguous("000D"));
  EXPECT_EQ(t.findLine("0001", "0005"), 8);
  EXPECT_EQ(t.findLine("0002", "0005"), 17);
  EXPECT_EQ(t.findLine("0003", "0005"), -1);
  EXPECT_EQ(t.findLine("0005"), 17);  // offset alone: the highest line
  EXPECT_EQ(t.findLine("0100"), -1);
}

TEST(MapReader, ComMapWithoutEntryPointLine) {
  // A tiny-model map from the classic linker ends its section with blank lines and no entry point.
  std::vector<std::string> map = {"Line numbers for H.OBJ(H.ASM) segment _TEXT", "", "     9 0000:0100    10 0000:0103",
                                  "", "", "Warning: Debug info switch ignored for COM files"};
  LineTable t;
  ASSERT_TRUE(readMapLineTable(map, t, nullptr));
  EXPECT_EQ(t.findLine("0103"), 10);
  EXPECT_TRUE(t.entrySegment.empty());
}

TEST(ListingReader, ReadsSymbolsWithCrossReferenceColumns) {
  std::vector<std::string> logged;
  TSymbleArray s = readListingSymbols(splitTextLines(dataFile("TWO_CREF.LST")),
                                      [&](const std::string& tag, const std::string& text, int) {
                                        EXPECT_EQ(tag, "Load Lst File");
                                        logged.push_back(text);
                                      });
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].Name, "MSG");
  EXPECT_EQ(s[0].Value, "0000");
  EXPECT_EQ(s[1].Name, "START");
  EXPECT_EQ(s[2].Name, "SUB2");
  EXPECT_EQ(s[2].Value, "000A");
  EXPECT_EQ(s[3].Name, "VALUE_ONE");  // on the table's second page
  EXPECT_EQ(s[3].Value, "0003");
  ASSERT_FALSE(logged.empty());
  EXPECT_NE(logged[0].find("COUNT"), std::string::npos);  // a number has no offset
}

TEST(ListingReader, PlainListingAndMissingTable) {
  std::vector<std::string> plain = {"Symbol Name\t\t\t  Type\t Value", "", "MSG\t\t\t\t  Byte\t DATA:0000",
                                    "START\t\t\t\t  Near\t CODE:0000", "", "Groups & Segments\t\t  Bit Size",
                                    "CODE\t\t\t\t  16  0011 Para"};
  TSymbleArray s = readListingSymbols(plain, {});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[1].Name, "START");
  EXPECT_TRUE(readListingSymbols({"      1 0000  B8 0000r   mov ax, data"}, {}).empty());
}

const char kRegs1[] = "AX=011E  BX=0000  CX=FED1  DX=0000  SP=0080  BP=0000  SI=0000  DI=0000  ";
const char kRegs2[] = "DS=0106  ES=0106  SS=0116  CS=011F  IP=0003   NV UP EI PL NZ NA PO NC ";

std::string stepReply(const std::string& output, const std::string& instructionLines) {
  return std::string("p\r\r\n") + output + "\r\n" + kRegs1 + "\r\n" + kRegs2 + "\r\n" + instructionLines + "\r\n-";
}

TEST(StepReply, ReadsRegistersInstructionAndOutput) {
  struct Case {
    std::string output;
    std::string lines;
    std::string bincode;
    std::string instruction;
  };
  const Case cases[] = {
      {"", "011F:0003 8ED8          MOV\tDS,AX                              ", "8ED8", "MOV     DS,AX"},
      {"Hello, World!\r\n", "011F:000A CD21          INT\t21", "CD21", "INT     21"},
      // A prefix stands on its own line before the instruction.
      {"", "011F:0003 26            ES:\t                                   \r\n011F:0004 8B07          MOV\tAX,[BX]      "
           "                      ES:0000=20CD",
       "268B07", "ES: MOV     AX,[BX]                      "},
      {"", "011F:0003 F3            REPZ\t\r\n011F:0004 A4            MOVSB\t", "F3A4", "REPZ MOVSB"},
      // Output that itself looks like registers comes before the real display.
      {std::string(kRegs1) + "\r\n" + kRegs2 + "\r\nx", "011F:0003 E80500        CALL\t000B", "E80500",
       "CALL    000B"},
  };
  for (const Case& c : cases) {
    StepReply r = parseStepReply(stepReply(c.output, c.lines), true);
    ASSERT_EQ(r.result, 0) << c.lines;
    EXPECT_EQ(r.registers[0], "011E");
    EXPECT_EQ(r.registers[int(TTraceInfo::CS)], "011F");
    EXPECT_EQ(r.registers[int(TTraceInfo::IP)], "0003");
    EXPECT_EQ(r.flags, "NV UP EI PL NZ NA PO NC");
    EXPECT_EQ(r.bincode, c.bincode);
    EXPECT_EQ(r.instruction, c.instruction.substr(0, 39));
    EXPECT_EQ(r.output, c.output);
  }
}

TEST(StepReply, RegisterDisplayWithoutBlankLine) {
  StepReply r = parseStepReply(std::string("r\r\r\n") + kRegs1 + "\r\n" + kRegs2 + "\r\n011F:0000 B81E01  MOV\tAX,011E\r\n-", true);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.output, "");
}

TEST(StepReply, IncompleteReplies) {
  EXPECT_EQ(parseStepReply("-", true).result, 4);
  EXPECT_EQ(parseStepReply("p\r\r\n", true).result, 3);
  EXPECT_EQ(parseStepReply("p\r\r\n\r\nProgram terminated normally\r\n-", true).result, 1);
  EXPECT_EQ(parseStepReply(std::string("p\r\r\n\r\n") + kRegs1 + "\r\n", true).result, 1);
}

TEST(StepReply, CompleteOnlyAtThePromptAfterAWholeReply) {
  std::string whole = stepReply(std::string(1500, 'x'), "011F:000A CD21          INT\t21");
  struct Case {
    std::string text;
    bool complete;
  };
  const Case cases[] = {
      {whole, true},
      {whole.substr(0, 1024), false},  // the first read of a long reply
      {"p\r\r\nsome output\r\n-", false},  // a "-" the program printed at a chunk's end
      {"p\r\r\n\r\nProgram terminated normally\r\n-", true},
      {"@#%$@$%#%@#$%@\r\r\n ^ Error\r\n-", true},
      {"-", true},
      {whole + "\r\n", false},
  };
  for (const Case& c : cases) EXPECT_EQ(replyComplete(c.text), c.complete) << c.text.substr(0, 60);
}

const char kDump[] =
    "d DS:0000 0012\r\r\n"
    "011E:0000  48 65 6C 6C 6F 2C 20 57-6F 72 6C 64 21 0D 0A 24   Hello, World!..$\r\n"
    "011E:0010  B8 1E 01                                          ...\r\n-";

TEST(MemDump, LinesAndBytes) {
  std::string joined = kDump;
  EXPECT_FALSE(dumpReplyComplete(joined.substr(0, 40)));
  ASSERT_TRUE(dumpReplyComplete(joined));
  std::vector<std::string> lines = dumpLinesOf(joined);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(0, 10), "0010  B8 1");
  EXPECT_EQ(GetStartAddr(lines, {}), 0);
  EXPECT_EQ(GetMemByte(lines, 0x0F, {}), 0x24);
  EXPECT_EQ(GetMemByte(lines, 0x11, {}), 0x1E);
  EXPECT_EQ(GetMemByte(lines, 0x13, {}), -2);   // blank: not in the dump
  EXPECT_EQ(GetMemByte(lines, 0x40, {}), -2);   // beyond the last line
  EXPECT_EQ(GetMemByte({}, 0, {}), -1);
  // The watches at 0x0000/4 and 0x0010/2, and one spanning the two lines.
  EXPECT_EQ(GetMemRange(lines, "0x0000", "0x0004", {}), "48 65 6C 6C ");
  EXPECT_EQ(GetMemRange(lines, "0x0010", "0x0002", {}), "B8 1E ");
  EXPECT_EQ(GetMemRange(lines, "0x000E", "4", {}), "0A 24 B8 1E ");
  int logged = 0;
  EXPECT_EQ(GetMemRange(lines, "0x0011", "4", [&](auto&&...) { ++logged; }), "1E 01 ");
  EXPECT_EQ(logged, 2);
}

TEST(MemWatch, AddressAndLengthRules) {
  struct Case {
    const char* address;
    const char* length;
    WatchError error;
    const char* lengthText;
  };
  const Case cases[] = {
      {"0x000f", "4", WatchError::None, "0x0004"},
      {"0X000F", "4", WatchError::Address, ""},
      {"000F", "4", WatchError::Address, ""},
      {"0x", "4", WatchError::Address, ""},
      {"0x1000G", "4", WatchError::Address, ""},
      {"0x10000", "1", WatchError::Address, ""},
      {"0x0000", "11", WatchError::None, "0x000B"},
      {"0x0000", "0x11", WatchError::None, "0x0011"},
      {"0x0000", "$20", WatchError::None, "0x0020"},
      {"0x0000", "-1", WatchError::Length, ""},
      {"0x0000", "abc", WatchError::Length, ""},
      {"0x0000", "", WatchError::Length, ""},
      {"0xFFFE", "3", WatchError::Length, ""},  // would run past the segment
      {"0xFFFE", "2", WatchError::None, "0x0002"},
  };
  for (const Case& c : cases) {
    WatchCheck w = checkWatch(c.address, c.length);
    EXPECT_EQ(w.error, c.error) << c.address << " " << c.length;
    if (c.error == WatchError::None) {
      EXPECT_EQ(w.lengthText, c.lengthText);
    }
  }
  EXPECT_EQ(dumpRangeEnd({{0, 4}, {0x10, 2}}), "0012");
  EXPECT_EQ(dumpRangeEnd({}), "0000");
  EXPECT_EQ(dumpRangeEnd({{0xFFFE, 2}}), "FFFF");
}

}  // namespace
}  // namespace krvs::ide
