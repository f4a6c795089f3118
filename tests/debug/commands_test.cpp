// Command replies on a session without a program: errors, memory commands, registers and the console.

#include <gtest/gtest.h>

#include "session_runner.h"

namespace krvs::debug::test {
namespace {

// The reply to `command` alone: what lies between its echo and the next prompt.
std::string replyTo(const std::string& setup, const std::string& command, const std::string& typed) {
    const Transcript t = runSession(setup + command + "\n" + typed + "q\n");
    const std::string echo = "-" + command + "\r\r\n";
    const auto at = t.output.rfind(echo);
    if (at == std::string::npos) return "<no echo>";
    const auto begin = at + echo.size();
    const auto end = t.output.find("\r\n-", begin - 2);
    return t.output.substr(begin, end == std::string::npos ? std::string::npos : end + 2 - begin);
}

struct ReplyCase {
    const char* setup;
    const char* command;
    const char* reply;
    const char* typed = "";  // lines typed after the command, for the commands that ask
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << '"' << c.command << '"'; }

class DebugReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DebugReply, MatchesTheClassicText) {
    EXPECT_EQ(replyTo(GetParam().setup, GetParam().command, GetParam().typed), GetParam().reply);
}

const ReplyCase kErrors[] = {
    {"", "xyz", " ^ Error\r\n"},
    {"", "  j", "   ^ Error\r\n"},
    {"", "d 100 zz", "       ^ Error\r\n"},
    {"", "d 12345", "       ^ Error\r\n"},       // a fifth digit
    {"", "d 200 100", "       ^ Error\r\n"},     // end before start
    {"", "d 100 L", "        ^ Error\r\n"},      // length missing
    {"", "d ff00 L 200", "          ^ Error\r\n"},  // past the end of the segment
    {"", "e 100 123", "         ^ Error\r\n"},  // bytes have two digits
    {"", "e 100 'abc", "       ^ Error\r\n"},     // open quote
    {"", "f 100 L 4", "          ^ Error\r\n"},  // no list
    {"", "h 1", "    ^ Error\r\n"},
    {"", "t 0", "   ^ Error\r\n"},
    {"", "u 100 110 x", "           ^ Error\r\n"},
    {"", "r ax bx", "      ^ Error\r\n"},
    {"", "r zz", "br Error\r\n"},
    {"", "r f", "NV UP EI PL NZ NA PO NC  -zz\r\r\nbf Error\r\n", "zz\n"},
    {"", "r f", "NV UP EI PL NZ NA PO NC  -zr nz\r\r\ndf Error\r\n", "zr nz\n"},
    {"", "r ax", "AX 0000\r\n:12x\r\r\n   ^ Error\r\n", "12x\n"},
    {"", "g 1 2 3 4 5 6 7 8 9 a b", "bp Error\r\n"},
    {"", "l", "File not found\r\n"},
    {"n nosuch.com\n", "l", "File not found\r\n"},
    {"", "w", "(W)rite error, no destination defined\r\n"},
    {"n prog.exe\n", "w", "EXE and HEX files cannot be written\r\n"},
    {"n big.bin\nr bx\n11\n", "w", "Insufficient memory\r\n"},
    {"", "l 100 0 0 1", "Disk error reading drive A\r\n"},
    {"", "w 100 1 0 1", "Disk error writing drive B\r\n"},
};
INSTANTIATE_TEST_SUITE_P(Errors, DebugReply, ::testing::ValuesIn(kErrors));

const ReplyCase kMemory[] = {
    {"e 100 41 'B' \"C\" 'it''s'\n", "d 100 L 8", "0105:0100  41 42 43 69 74 27 73 00                           ABCit's.\r\n"},
    {"f 100 L 7 1 2 3\n", "d 100 L 8", "0105:0100  01 02 03 01 02 03 01 00                           ........\r\n"},
    {"f 100 107 aa\nm 100 L 6 102\n", "d 100 L 8", "0105:0100  AA AA AA AA AA AA AA AA                           ........\r\n"},
    {"e 100 1 2 3 4 5\nm 100 L 4 101\n", "d 100 L 6", "0105:0100  01 01 02 03 04 00                                 ......\r\n"},
    {"e 100 1 2 3\ne 200 1 9 3\n", "c 100 L 3 200", "0105:0101  02  09  0105:0201\r\n"},
    {"e 100 'abcab'\n", "s 100 L 5 'ab'", "0105:0100 \r\n0105:0103 \r\n"},
    {"", "h ffff 2", "0001  FFFD\r\n"},
    // The memory watch's command, with its segment register and end offset.
    {"e ds:10 1 2 3\n", "d DS:0010 0012", "0105:0010  01 02 03                                          ...\r\n"},
    {"e 100 B4 09\n", "u 100 L 1", "0105:0100 B409          MOV\tAH,09                              \r\n"},
    {"", "r pc", "IP 0100\r\n:\r\r\n", "\n"},
    {"r cx\n1a2b\n", "r cx", "CX 1A2B\r\n:\r\r\n", "\n"},
    {"r f\nov dn ngcy\n", "r f", "OV DN EI NG NZ NA PO CY  -\r\r\n", "\n"},
    {"e 100\n12 34-56\n", "d 100 L 2", "0105:0100  56 34                                             V4\r\n"},
};
INSTANTIATE_TEST_SUITE_P(Memory, DebugReply, ::testing::ValuesIn(kMemory));

TEST(DebugConsole, EchoesLinesAsDosReadsThem) {
    // CR LF script lines, control characters as ^X, backspace, and a LF in the middle of a line.
    const Transcript t = runSession("r\x01\x08\x08\r\nh 1\n 2\rq\r", "", "", false);
    EXPECT_NE(t.output.find("-r^A\b \b\b \b\r\r\n"), std::string::npos);
    EXPECT_NE(t.output.find("-h 1\r\n 2\r\r\n0003  FFFF\r\n"), std::string::npos);
}

TEST(DebugConsole, RefusesCharactersBeyondTheLineBuffer) {
    const Transcript t = runSession("h 1 1" + std::string(80, ' ') + "\nq\n");
    EXPECT_NE(t.output.find(std::string(74, ' ') + std::string(6, '\a') + "\r\r\n0002  0000\r\n"), std::string::npos);
}

TEST(DebugConsole, EndOfInputEndsTheSessionCleanly) {
    const Transcript t = runSession("r cx\n");
    EXPECT_EQ(t.output.substr(t.output.size() - 10), "CX 0000\r\n:");
}

TEST(DebugConsole, EveryReplyLeavesInOneWrite) {
    const Transcript t = runSession("d 100 L 4\nxyz\nr\nq\n");
    ASSERT_EQ(t.chunks.size(), 5u);
    EXPECT_EQ(t.chunks[0], "-");
    EXPECT_EQ(t.chunks[1].substr(0, 12), "d 100 L 4\r\r\n");
    EXPECT_EQ(t.chunks[2], "xyz\r\r\n ^ Error\r\n-");
    EXPECT_EQ(t.chunks[3].back(), '-');
    EXPECT_EQ(t.chunks[4], "q\r\r\n");
}

TEST(DebugAssemble, LinesThenUnassembleShowTheSameInstructions) {
    const Transcript t = runSession(
        "a 100\nmov ax,1234\nes:\nmov [bx+si+10],al\nrep movsb\ndb 41,'BC'\nint 21\njmp 100\n\nu 100 L 10\nq\n");
    EXPECT_NE(t.output.find("0105:0100 B83412        MOV\tAX,1234"), std::string::npos) << t.output;
    EXPECT_NE(t.output.find("0105:0103 26            ES:\t"), std::string::npos);
    EXPECT_NE(t.output.find("0105:0104 884010        MOV\t[BX+SI+10],AL"), std::string::npos);
    EXPECT_NE(t.output.find("0105:0107 F3            REPZ\t"), std::string::npos);
    EXPECT_NE(t.output.find("0105:0108 A4            MOVSB\t"), std::string::npos);
    EXPECT_NE(t.output.find("0105:0109 41            INC\tCX"), std::string::npos);
    EXPECT_NE(t.output.find("0105:010C CD21          INT\t21"), std::string::npos);
    EXPECT_NE(t.output.find("0105:010E EBF0          JMP\t0100"), std::string::npos);
}

TEST(DebugAssemble, ErrorMarksTheColumnAfterTheAddressPromptAndStaysInPlace) {
    const Transcript t = runSession("a 200\nmov ax,zz\nnop\n\nq\n");
    EXPECT_NE(t.output.find("0105:0200 mov ax,zz\r\r\n" + std::string(17, ' ') + "^ Error\r\n0105:0200 nop\r\r\n0105:0201 \r\r\n"),
              std::string::npos)
        << t.output;
}

TEST(DebugAssemble, OrgMovesTheAddress) {
    const Transcript t = runSession("a 100\norg 180\nnop\n\nq\n");
    EXPECT_NE(t.output.find("0105:0100 org 180\r\r\n0105:0180 nop\r\r\n0105:0181 "), std::string::npos);
}

}  // namespace
}  // namespace krvs::debug::test

namespace krvs::debug::test {
namespace {

TEST(DebugTrace, PushfTracedDoesNotHandTheTrapFlagToTheProgram) {
    // PUSHF, POPF, then a G that must run to the INT 3 instead of stopping after one instruction.
    const Transcript t = runSession("e 100 9c 9d 90 90 cc\nt\nd ss:ffec L 2\nt\ng\nq\n");
    EXPECT_NE(t.output.find("02 F2"), std::string::npos) << t.output;
    EXPECT_NE(t.output.find("IP=0104"), std::string::npos) << t.output;
}

TEST(DebugTrace, GoStopsAtEachBreakpointAndRemovesThemAll) {
    const Transcript t = runSession("e 100 90 90 90 90 cd 20\ng 102 103\nu 102 L 2\ng\nq\n");
    EXPECT_NE(t.output.find("IP=0102"), std::string::npos) << t.output;
    EXPECT_NE(t.output.find("0105:0102 90            NOP\t"), std::string::npos);
    EXPECT_NE(t.output.find("0105:0103 90            NOP\t"), std::string::npos);
    EXPECT_NE(t.output.find("-g\r\r\n\r\nProgram terminated normally\r\n"), std::string::npos);
}

}  // namespace
}  // namespace krvs::debug::test
