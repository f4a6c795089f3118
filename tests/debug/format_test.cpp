// The text layouts, checked against the classic DEBUG's columns.

#include <gtest/gtest.h>

#include <cstring>

#include "debug/format.h"

namespace krvs::debug {
namespace {

constexpr std::uint16_t kSeg = 0x0B3E;

class DebugFormat : public ::testing::Test {
protected:
    void put(std::uint16_t offset, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) mem.write8(kSeg, offset++, b);
    }
    void putText(std::uint16_t offset, const char* text) {
        mem.writeBlock(kSeg, offset, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
    }
    x86::Registers freshRegs() {
        x86::Registers r;
        for (auto& s : r.seg) s = kSeg;
        r.ip = 0x100;
        r.gp[x86::SP] = 0xFFEE;
        r.flags = 0xF202;
        return r;
    }
    pc::Memory mem;
};

TEST_F(DebugFormat, DumpRowsKeepColumnsForFullAndPartialRows) {
    put(0x100, {0xB4, 0x09, 0xBA, 0x09, 0x01, 0xCD, 0x21, 0xC3});
    putText(0x108, "Hello, world!$ !\"#$%&'()");
    struct Case {
        std::uint16_t offset;
        std::uint32_t length;
        const char* text;
    };
    const Case cases[] = {
        {0x100, 0x20,
         "0B3E:0100  B4 09 BA 09 01 CD 21 C3-48 65 6C 6C 6F 2C 20 77   ......!.Hello, w\r\n"
         "0B3E:0110  6F 72 6C 64 21 24 20 21-22 23 24 25 26 27 28 29   orld!$ !\"#$%&'()\r\n"},
        {0x105, 0x14,
         "0B3E:0100                 CD 21 C3-48 65 6C 6C 6F 2C 20 77        .!.Hello, w\r\n"
         "0B3E:0110  6F 72 6C 64 21 24 20 21-22                        orld!$ !\"\r\n"},
        // The first row begins at byte 8: no dash, since byte 7 is not on that line.
        {0x108, 0x10,
         "0B3E:0100                          48 65 6C 6C 6F 2C 20 77           Hello, w\r\n"
         "0B3E:0110  6F 72 6C 64 21 24 20 21                           orld!$ !\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(dumpRows(mem, kSeg, c.offset, c.length), c.text) << std::hex << c.offset;
}

TEST_F(DebugFormat, DumpShowsControlAndHighBytesAsDots) {
    put(0xFFF0, {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xC1, 0xFF});
    EXPECT_EQ(dumpRows(mem, kSeg, 0xFFF0, 8), "0B3E:FFF0  00 1F 20 7E 7F 80 C1 FF                           .. ~....\r\n");
}

TEST_F(DebugFormat, FlagsFieldNamesEveryFlagInOrder) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0xF202, "NV UP EI PL NZ NA PO NC"},
        {0xF000, "NV UP DI PL NZ NA PO NC"},
        {0xFFFF, "OV DN EI NG ZR AC PE CY"},
        {x86::flag::ZF | x86::flag::CF, "NV UP DI PL ZR NA PO CY"},
        {x86::flag::OF | x86::flag::SF | x86::flag::PF, "OV UP DI NG NZ NA PE NC"},
        {x86::flag::DF | x86::flag::AF | x86::flag::TF, "NV DN DI PL NZ AC PO NC"},
    };
    for (const auto& [flags, text] : cases) EXPECT_EQ(flagsText(flags), text) << std::hex << flags;
}

TEST_F(DebugFormat, RegisterDisplayOfAFreshSession) {
    put(0x100, {0xB4, 0x09});
    EXPECT_EQ(registerDisplay(freshRegs(), mem),
              "AX=0000  BX=0000  CX=0000  DX=0000  SP=FFEE  BP=0000  SI=0000  DI=0000  \r\n"
              "DS=0B3E  ES=0B3E  SS=0B3E  CS=0B3E  IP=0100   NV UP EI PL NZ NA PO NC \r\n"
              "0B3E:0100 B409          MOV\tAH,09" + std::string(30, ' ') + "\r\n");
}

TEST_F(DebugFormat, RegisterDisplayAddsTheMemoryOperandField) {
    put(0x100, {0xA1, 0x00, 0x00});
    put(0x0000, {0xCD, 0x20});
    const std::string text = registerDisplay(freshRegs(), mem);
    const std::string line3 = text.substr(text.rfind("\r\n", text.size() - 3) + 2);
    EXPECT_EQ(line3, "0B3E:0100 A10000        MOV\tAX,[0000]" + std::string(26, ' ') + "DS:0000=20CD\r\n");
}

TEST_F(DebugFormat, PrefixAtCsIpGetsItsOwnLineAndItsSegmentInTheField) {
    put(0x100, {0x26, 0x8B, 0x07});
    put(0x0000, {0xCD, 0x20});
    auto regs = freshRegs();
    regs.seg[x86::ES] = kSeg;
    const std::string text = registerDisplay(regs, mem);
    const auto third = text.find("0B3E:0100");
    ASSERT_NE(third, std::string::npos);
    EXPECT_EQ(text.substr(third),
              "0B3E:0100 26            ES:\t" + std::string(35, ' ') + "\r\n"
              "0B3E:0101 8B07          MOV\tAX,[BX]" + std::string(28, ' ') + "ES:0000=20CD\r\n");
}

// The positions a front end reads from the three joined register lines: "IP=" at p, the flags at p+10
// (23 characters), the instruction's bytes from p+44 (all counted from 1).
TEST_F(DebugFormat, JoinedRegisterLinesHoldTheFieldsAtFixedPositions) {
    put(0x100, {0xBA, 0x09, 0x01});
    auto regs = freshRegs();
    regs.flags = 0xFAD5;
    std::string text = registerDisplay(regs, mem), joined;
    for (std::size_t at = 0, e; (e = text.find("\r\n", at)) != std::string::npos; at = e + 2) joined += text.substr(at, e - at);
    const std::size_t p = joined.find("IP=") + 1;
    EXPECT_EQ(joined.substr(p - 1 + 3, 4), "0100");
    EXPECT_EQ(joined.substr(p - 1 + 10, 23), flagsText(0xFAD5));
    EXPECT_EQ(joined.substr(p - 1 + 44, 6), "BA0901");
    EXPECT_EQ(joined[p - 1 + 33], ' ');  // the flags field ends with one blank
}

}  // namespace
}  // namespace krvs::debug
