// INT 21h file and handle services called one at a time with registers set by the test, in one machine,
// so each call sees the state the previous ones left.

#include <cstring>
#include <fstream>
#include <iterator>

#include "fixture.h"

namespace krvs::pc::test {
namespace {

constexpr std::uint16_t kCF = 0x0001;
constexpr std::uint16_t kText = 0x200;  // where the test puts names for DS:DX

class PcDosCalls : public MachineTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(drive() / "Sub");
        std::ofstream(drive() / "a.txt") << "hello";
        std::ofstream(drive() / "B.TXT") << "bb";
        Code c;
        c.raw({0xCD, 0x21, 0xFA, 0xF4});  // int 21h; cli; hlt
        start(c);
        psp = m_machine->pspSegment();
    }
    struct Regs { std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0; };
    // Calls INT 21h with `in`; returns the registers and sets `carry`.
    Regs call(Regs in, const std::string& text = {}, const std::string& text2 = {}) {
        Memory& mem = m_machine->memory();
        mem.writeBlock(psp, kText, reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1);
        mem.writeBlock(psp, kText + 0x80, reinterpret_cast<const std::uint8_t*>(text2.c_str()), text2.size() + 1);
        auto& r = m_machine->regs();
        r.ip = 0x100;
        r.gp[x86::AX] = in.ax; r.gp[x86::BX] = in.bx; r.gp[x86::CX] = in.cx;
        r.gp[x86::DX] = in.dx; r.gp[x86::SI] = in.si; r.gp[x86::DI] = in.di;
        r.flags = 0xF202;
        EXPECT_EQ(m_machine->run({1000, 0}), RunOutcome::Halted);
        carry = r.flags & kCF;
        return {r.gp[x86::AX], r.gp[x86::BX], r.gp[x86::CX], r.gp[x86::DX], r.gp[x86::SI], r.gp[x86::DI]};
    }
    std::string dtaName() { return m_machine->memory().readString(psp, 0x80 + 0x1E, 13); }
    std::uint16_t psp = 0;
    bool carry = false;
};

TEST_F(PcDosCalls, HandlesDuplicateSeekAndReportDeviceInformation) {
    Regs r = call({.ax = 0x3D02, .dx = kText}, "A.TXT");
    ASSERT_FALSE(carry);
    EXPECT_EQ(r.ax, 5);  // 0-4 are the standard handles
    std::uint16_t h = r.ax;
    r = call({.ax = 0x4202, .bx = h});
    EXPECT_EQ(r.ax, 5);  // end of "hello"
    EXPECT_EQ(r.dx, 0);
    r = call({.ax = 0x4400, .bx = 1});
    EXPECT_EQ(r.dx, 0x80D3);
    r = call({.ax = 0x4400, .bx = h});
    EXPECT_EQ(r.dx & 0x80, 0);  // a file, not a device
    r = call({.ax = 0x4401, .bx = h, .dx = 0x20});
    EXPECT_TRUE(carry);
    r = call({.ax = 0x4500, .bx = h});
    ASSERT_FALSE(carry);
    std::uint16_t dup = r.ax;
    call({.ax = 0x3E00, .bx = h});
    r = call({.ax = 0x4200, .bx = dup, .dx = 1});  // the duplicate still works after the original closed
    EXPECT_FALSE(carry);
    EXPECT_EQ(r.ax, 1);
    call({.ax = 0x4600, .bx = dup, .cx = 9});
    EXPECT_FALSE(carry);
    r = call({.ax = 0x3F00, .bx = 9, .cx = 4, .dx = kText});
    EXPECT_EQ(r.ax, 4);
    EXPECT_EQ(m_machine->memory().readString(psp, kText, 4), "ello");
    r = call({.ax = 0x3E00, .bx = 17});
    EXPECT_TRUE(carry);
    EXPECT_EQ(r.ax, 6);
    r = call({.ax = 0x4400, .bx = 17});
    EXPECT_EQ(r.ax, 6);
}

TEST_F(PcDosCalls, FindRenameDeleteAndDirectories) {
    call({.ax = 0x4E00, .cx = 0, .dx = kText}, "*.TXT");
    ASSERT_FALSE(carry);
    EXPECT_EQ(dtaName(), "A.TXT");
    EXPECT_EQ(m_machine->memory().read16(psp, 0x80 + 0x1A), 5);
    call({.ax = 0x4F00});
    EXPECT_EQ(dtaName(), "B.TXT");
    Regs r = call({.ax = 0x4F00});
    EXPECT_TRUE(carry);
    EXPECT_EQ(r.ax, 18);
    r = call({.ax = 0x4E00, .cx = 0, .dx = kText}, "*.ZZZ");
    EXPECT_EQ(r.ax, 2);

    m_machine->regs().seg[x86::ES] = psp;
    call({.ax = 0x5600, .dx = kText, .di = kText + 0x80}, "b.txt", "SUB\\C.TXT");
    EXPECT_FALSE(carry);
    EXPECT_TRUE(std::filesystem::exists(drive() / "Sub" / "C.TXT"));
    r = call({.ax = 0x5600, .dx = kText, .di = kText + 0x80}, "A.TXT", "SUB\\C.TXT");
    EXPECT_EQ(r.ax, 5);  // the target exists

    call({.ax = 0x3B00, .dx = kText}, "sub");
    EXPECT_FALSE(carry);
    call({.ax = 0x4700, .dx = 0, .si = kText});
    EXPECT_EQ(m_machine->memory().readString(psp, kText), "SUB");
    call({.ax = 0x4100, .dx = kText}, "c.txt");
    EXPECT_FALSE(carry);
    EXPECT_FALSE(std::filesystem::exists(drive() / "Sub" / "C.TXT"));
    r = call({.ax = 0x4100, .dx = kText}, "c.txt");
    EXPECT_EQ(r.ax, 2);
    call({.ax = 0x3900, .dx = kText}, "\\NEWDIR");
    EXPECT_TRUE(std::filesystem::is_directory(drive() / "NEWDIR"));
    r = call({.ax = 0x3B00, .dx = kText}, "..\\..");
    EXPECT_EQ(r.ax, 3);
    r = call({.ax = 0x4300, .dx = kText}, "\\A.TXT");
    EXPECT_EQ(r.cx, 0x20);
    r = call({.ax = 0x5B00, .dx = kText}, "\\A.TXT");
    EXPECT_EQ(r.ax, 80);  // create-new refuses an existing file
    r = call({.ax = 0x5B00, .dx = kText}, "\\FRESH.TXT");
    EXPECT_FALSE(carry);
    EXPECT_TRUE(std::filesystem::exists(drive() / "FRESH.TXT"));
}

// DOS keeps a read-only file as it is, also where the host would let root change it.
TEST_F(PcDosCalls, AReadOnlyFileIsNeitherDeletedNorTruncatedNorOpenedForWriting) {
    call({.ax = 0x4301, .cx = 0x01, .dx = kText}, "A.TXT");
    ASSERT_FALSE(carry);
    EXPECT_EQ(call({.ax = 0x4300, .dx = kText}, "A.TXT").cx, 0x21);
    const Regs attempts[] = {{.ax = 0x4100, .dx = kText}, {.ax = 0x3C00, .dx = kText}, {.ax = 0x3D01, .dx = kText},
                             {.ax = 0x3D02, .dx = kText}};
    for (const Regs& a : attempts) {
        Regs r = call(a, "a.txt");
        EXPECT_TRUE(carry) << std::hex << a.ax;
        EXPECT_EQ(r.ax, 5) << std::hex << a.ax;
    }
    EXPECT_EQ(std::filesystem::file_size(drive() / "a.txt"), 5u);
    call({.ax = 0x3D00, .dx = kText}, "a.txt");
    EXPECT_FALSE(carry);  // reading is allowed
    call({.ax = 0x4301, .cx = 0x20, .dx = kText}, "A.TXT");
    call({.ax = 0x4100, .dx = kText}, "a.txt");
    EXPECT_FALSE(carry);
    EXPECT_FALSE(std::filesystem::exists(drive() / "a.txt"));
}

// The FCB functions on drive C:, in one sequence: create and write, open and read sequentially and at
// random, block transfers, size, search, rename and delete.
TEST_F(PcDosCalls, FileControlBlocksCreateReadWriteFindRenameAndDelete) {
    constexpr std::uint16_t kFcb = 0x300;
    Memory& mem = m_machine->memory();
    auto fcb = [&](const char* name11, std::uint8_t drive = 0) {
        std::uint8_t bytes[37] = {drive};
        std::memcpy(bytes + 1, name11, 11);
        mem.writeBlock(psp, kFcb, bytes, sizeof bytes);
    };
    auto al = [&](std::uint8_t ah, std::uint16_t cx = 0) { return call({.ax = static_cast<std::uint16_t>(ah << 8), .cx = cx, .dx = kFcb}).ax & 0xFF; };
    auto setWord = [&](int at, std::uint16_t v) { mem.write16(psp, static_cast<std::uint16_t>(kFcb + at), v); };
    auto dta = [&](int n) { std::string s(static_cast<std::size_t>(n), '\0'); mem.readBlock(psp, 0x80, reinterpret_cast<std::uint8_t*>(s.data()), s.size()); return s; };
    auto putDta = [&](const char* text) { mem.writeBlock(psp, 0x80, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)); };
    auto host = [&](const char* name) { std::ifstream in(drive() / name, std::ios::binary); return std::string(std::istreambuf_iterator<char>(in), {}); };

    fcb("NEW     DAT");
    ASSERT_EQ(al(0x16), 0x00);
    EXPECT_EQ(mem.read8(psp, kFcb), 3);               // the default drive became C:
    EXPECT_EQ(mem.read16(psp, kFcb + 0x0E), 128);     // record size
    setWord(0x0E, 4);
    putDta("abcd");
    EXPECT_EQ(al(0x15), 0x00);
    putDta("efgh");
    EXPECT_EQ(al(0x15), 0x00);
    EXPECT_EQ(mem.read16(psp, kFcb + 0x10), 8);       // file size
    EXPECT_EQ(al(0x10), 0x00);
    EXPECT_EQ(host("NEW.DAT"), "abcdefgh");

    fcb("new     dat");
    ASSERT_EQ(al(0x0F), 0x00);
    setWord(0x0E, 4);
    EXPECT_EQ(al(0x14), 0x00);
    EXPECT_EQ(dta(4), "abcd");
    EXPECT_EQ(al(0x14), 0x00);
    EXPECT_EQ(dta(4), "efgh");
    EXPECT_EQ(al(0x14), 0x01);                        // end of file
    setWord(0x21, 1);
    EXPECT_EQ(al(0x21), 0x00);
    EXPECT_EQ(dta(4), "efgh");
    setWord(0x0E, 3);
    EXPECT_EQ(al(0x23), 0x00);
    EXPECT_EQ(mem.read16(psp, kFcb + 0x21), 3);       // 8 bytes are three records of 3
    setWord(0x0E, 4);
    setWord(0x21, 0);
    putDta("........");
    Regs r = call({.ax = 0x2700, .cx = 5, .dx = kFcb});
    EXPECT_EQ(r.ax & 0xFF, 0x01);
    EXPECT_EQ(r.cx, 2);
    EXPECT_EQ(dta(8), "abcdefgh");
    setWord(0x21, 1);
    EXPECT_EQ(al(0x28, 0), 0x00);                     // CX=0: the file is cut to one record
    EXPECT_EQ(host("NEW.DAT"), "abcd");
    setWord(0x21, 2);
    putDta("wxyz");
    EXPECT_EQ(al(0x22), 0x00);
    EXPECT_EQ(host("NEW.DAT"), std::string("abcd\0\0\0\0wxyz", 12));

    fcb("????????DAT");
    EXPECT_EQ(al(0x11), 0x00);
    EXPECT_EQ(dta(12), std::string("\x03NEW     DAT", 12));
    EXPECT_EQ(al(0x12), 0xFF);
    fcb("NEW     DAT");
    mem.writeBlock(psp, kFcb + 0x11, reinterpret_cast<const std::uint8_t*>("OLD     ???"), 11);
    EXPECT_EQ(al(0x17), 0x00);
    EXPECT_TRUE(std::filesystem::exists(drive() / "OLD.DAT"));
    fcb("OLD     DAT", 1);                             // drive A: does not exist
    EXPECT_EQ(al(0x13), 0xFF);
    fcb("OLD     DAT");
    EXPECT_EQ(al(0x13), 0x00);
    EXPECT_FALSE(std::filesystem::exists(drive() / "OLD.DAT"));
    EXPECT_EQ(al(0x13), 0xFF);

    call({.ax = 0x4301, .cx = 0x01, .dx = kText}, "A.TXT");
    fcb("A       TXT");
    EXPECT_EQ(al(0x13), 0xFF);                        // read-only: not deleted
    EXPECT_EQ(al(0x16), 0xFF);                        // nor truncated
    EXPECT_EQ(host("a.txt"), "hello");
}

TEST_F(PcDosCalls, ConsoleReadsThroughAHandleTakeEditedLinesInPieces) {
    Code c;
    c.raw({0xCD, 0x21, 0xFA, 0xF4});
    start(c, "ab\bc\rxy\r");
    psp = m_machine->pspSegment();
    Regs r = call({.ax = 0x3F00, .bx = 0, .cx = 3, .dx = kText});
    EXPECT_EQ(r.ax, 3);
    EXPECT_EQ(m_machine->memory().readString(psp, kText, 3), "ac\r");
    r = call({.ax = 0x3F00, .bx = 0, .cx = 10, .dx = kText});
    EXPECT_EQ(r.ax, 1);  // the LF that was left over
    r = call({.ax = 0x3F00, .bx = 0, .cx = 10, .dx = kText});
    EXPECT_EQ(r.ax, 4);
    EXPECT_EQ(m_machine->memory().readString(psp, kText, 4), "xy\r\n");
    EXPECT_EQ(m_sink.text(), "ab\b \bc\r\nxy\r\n");
}

TEST_F(PcDosCalls, DateTimeAndVectors) {
    Regs r = call({.ax = 0x2A00});
    std::tm t{};
    std::time_t start = kClockStart;
    ::localtime_r(&start, &t);
    EXPECT_EQ(r.cx, t.tm_year + 1900);
    EXPECT_EQ(r.dx, (t.tm_mon + 1) << 8 | t.tm_mday);
    r = call({.ax = 0x2B00, .cx = 2024, .dx = 0x021D});  // 29 Feb 2024
    EXPECT_EQ(r.ax & 0xFF, 0);
    r = call({.ax = 0x2A00});
    EXPECT_EQ(r.cx, 2024);
    EXPECT_EQ(r.dx, 0x021D);
    r = call({.ax = 0x2B00, .cx = 2023, .dx = 0x021D});
    EXPECT_EQ(r.ax & 0xFF, 0xFF);
    r = call({.ax = 0x2D00, .cx = 0x0102, .dx = 0x0300});
    r = call({.ax = 0x2C00});
    EXPECT_EQ(r.cx, 0x0102);
    EXPECT_EQ(r.dx >> 8, 3);
    m_machine->regs().seg[x86::DS] = 0x1234;
    call({.ax = 0x2560, .dx = 0x5678});
    m_machine->regs().seg[x86::DS] = psp;
    r = call({.ax = 0x3560});
    EXPECT_EQ(r.bx, 0x5678);
    EXPECT_EQ(m_machine->regs().seg[x86::ES], 0x1234);
    r = call({.ax = 0x3000});
    EXPECT_EQ(r.ax, 0x0005);
    r = call({.ax = 0x6200});
    EXPECT_EQ(r.bx, psp);
}

}  // namespace
}  // namespace krvs::pc::test
