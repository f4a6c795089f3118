// The parts of the machine that stand alone: memory wrap, interrupt controller, timer, drive mapping.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "fixture.h"
#include "pc/devices.h"
#include "pc/drive.h"
#include "pc/memory.h"

namespace krvs::pc {
namespace {

TEST(PcMemory, AddressesWrapAtOneMegabyteAndWordsWrapInTheirSegment) {
    Memory m;
    m.write8(0xFFFF, 0x0010, 0xAB);
    EXPECT_EQ(m.read8(0, 0), 0xAB);
    m.write16(0x1000, 0xFFFF, 0x1234);
    EXPECT_EQ(m.read8(0x1000, 0xFFFF), 0x34);
    EXPECT_EQ(m.read8(0x1000, 0x0000), 0x12);  // not 0x1000:0x10000
    m.write16(0xFFFFF, 0xBEEF);                // linear: the high byte lands at 0
    EXPECT_EQ(m.read8(0u), 0xBE);
}

TEST(PcPic, DeliversByPriorityMaskAndEndOfInterrupt) {
    Pic pic;
    pic.raise(3);
    pic.raise(1);
    EXPECT_EQ(pic.acknowledge(), 9);   // IRQ1 before IRQ3
    EXPECT_FALSE(pic.pending());       // IRQ3 waits while IRQ1 is in service
    pic.raise(0);
    EXPECT_EQ(pic.acknowledge(), 8);   // a higher priority interrupts the service
    pic.write(0x20, 0x20);             // EOI ends IRQ0
    EXPECT_EQ(pic.inService(), 0x02);
    pic.write(0x20, 0x20);
    pic.write(0x21, 0x08);             // mask IRQ3
    EXPECT_FALSE(pic.pending());
    pic.write(0x21, 0x00);
    EXPECT_EQ(pic.acknowledge(), 11);
    pic.write(0x20, 0x63);             // specific EOI for IRQ3
    EXPECT_EQ(pic.inService(), 0);
    // Reinitialisation moves the vector base.
    pic.write(0x20, 0x11);
    pic.write(0x21, 0x50);
    pic.write(0x21, 0x04);
    pic.write(0x21, 0x01);
    pic.raise(2);
    EXPECT_EQ(pic.acknowledge(), 0x52);
}

TEST(PcPit, CountsDownAndReloadsAtTheProgrammedPeriod) {
    Pit pit;
    EXPECT_EQ(pit.advance(65535), 0u);
    EXPECT_EQ(pit.advance(1), 1u);
    EXPECT_EQ(pit.advance(3 * 65536 + 5), 3u);
    pit.write(0x43, 0x36);  // channel 0, low then high, mode 3
    pit.write(0x40, 0x00);
    pit.write(0x40, 0x10);  // 4096
    EXPECT_EQ(pit.clocksToNextIrq(), 4096u);
    pit.advance(100);
    pit.write(0x43, 0x00);  // latch
    std::uint16_t count = static_cast<std::uint16_t>(pit.read(0x40) | pit.read(0x40) << 8);
    EXPECT_EQ(count, 4096 - 100);
}

TEST(PcKeyboard, BytesBecomeKeysOfTheUsLayout) {
    struct Case { char byte; std::uint8_t scan; };
    for (Case c : {Case{'a', 0x1E}, Case{'A', 0x1E}, Case{'1', 0x02}, Case{'\r', 0x1C}, Case{' ', 0x39},
                   Case{'\x1b', 0x01}, Case{'?', 0x35}}) {
        KeyStroke k = keyForByte(static_cast<std::uint8_t>(c.byte));
        EXPECT_EQ(k.scan, c.scan) << c.byte;
        EXPECT_EQ(k.ascii, static_cast<std::uint8_t>(c.byte));
    }
}

class PcDrive : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        root = m_dir.path() / "root";
        fs::create_directories(root / "Sub");
        std::ofstream(root / "Sub" / "File.Txt") << "x";
        std::ofstream(root / "top.asm") << "y";
        std::ofstream(m_dir.path() / "outside.txt") << "secret";
        fs::create_symlink(m_dir.path() / "outside.txt", root / "LINK.TXT");
        fs::create_directory_symlink(m_dir.path(), root / "UP");
        // Host names that are no DOS names: they do not exist on drive C:.
        fs::create_directories(root / ".git");
        std::ofstream(root / ".git" / "config") << "[core]";
        std::ofstream(root / "x.tar.gz") << "z";
        std::ofstream(root / "Long file.txt") << "l";
        std::ofstream(root / "LongerName.txt") << "l";
        ::mkfifo((root / "PIPE").c_str(), 0644);
    }
    test::TempDir m_dir;
    std::filesystem::path root;
};

TEST_F(PcDrive, MapsNamesWithoutCaseAndNeverLeavesItsRoot) {
    struct Case { const char* dos; std::uint16_t error; bool exists; };
    const Case cases[] = {
        {"TOP.ASM", 0, true},
        {"c:\\sub\\file.txt", 0, true},
        {"SUB/FILE.TXT", 0, true},
        {"sub\\..\\top.asm", 0, true},
        {"NEW.TXT", 0, false},
        {"..\\outside.txt", doserr::kPathNotFound, false},
        {"\\..\\outside.txt", doserr::kPathNotFound, false},
        {"sub\\..\\..\\outside.txt", doserr::kPathNotFound, false},
        {"/etc/passwd", doserr::kPathNotFound, false},
        {"D:\\X.TXT", doserr::kPathNotFound, false},
        {"LINK.TXT", doserr::kAccessDenied, false},
        {"UP\\outside.txt", doserr::kAccessDenied, false},
        {"NOPE\\X.TXT", doserr::kPathNotFound, false},
        {".git\\config", doserr::kPathNotFound, false},
        {".GIT", doserr::kFileNotFound, false},
        {"x.tar.gz", doserr::kFileNotFound, false},
        {"Long file.txt", doserr::kFileNotFound, false},
        {"LONGERNAME.TXT", 0, false},  // DOS cuts it to LONGERNA.TXT, which is not there
        {"PIPE", doserr::kAccessDenied, false},
        {"longfilename.text", 0, false},
    };
    Drive drive(root);
    for (const auto& c : cases) {
        HostPath p = drive.resolve(c.dos);
        EXPECT_EQ(p.error, c.error) << c.dos;
        EXPECT_EQ(p.exists, c.exists) << c.dos;
        if (!p.error) {
            EXPECT_EQ(p.path.string().rfind(drive.root().string(), 0), 0u) << c.dos;
        }
    }
    EXPECT_EQ(drive.resolve("longfilename.text").path.filename(), "LONGFILE.TEX");
}

TEST_F(PcDrive, ChangesDirectoryAndFindsByWildcard) {
    Drive drive(root);
    EXPECT_EQ(drive.changeDirectory("sub"), 0);
    EXPECT_EQ(drive.currentDirectory(), "SUB");
    EXPECT_TRUE(drive.resolve("file.txt").exists);
    EXPECT_EQ(drive.changeDirectory(".."), 0);
    EXPECT_EQ(drive.changeDirectory(".."), doserr::kPathNotFound);
    std::vector<Drive::Entry> found;
    EXPECT_EQ(drive.find("*.ASM", 0, found), 0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "TOP.ASM");
    EXPECT_EQ(found[0].size, 1u);
    found.clear();
    EXPECT_EQ(drive.find("*.*", 0x10, found), 0);  // neither the link, the pipe nor the long names are listed
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "SUB");
}

TEST(PcDrivePattern, MatchesAsDosDoes) {
    struct Case { const char* name; const char* pattern; bool match; };
    const Case cases[] = {
        {"TOP.ASM", "*.ASM", true}, {"top.asm", "*.asm", true}, {"TOP.ASM", "*.*", true},
        {"TOP.ASM", "T?P.*", true}, {"TOP.ASM", "*.OBJ", false}, {"TOP", "*.*", true},
        {"TOP", "TOP", true},       {"TOP.ASM", "TOP", false},  {"AB.C", "A*.C", true},
        {"TOPS.ASM", "TOP?.ASM", true}, {"TOP.ASM", "TOP?.ASM", true}, {"TOPSS.ASM", "TOP?.ASM", false},
    };
    for (const auto& c : cases) EXPECT_EQ(matchesDosPattern(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
}

}  // namespace
}  // namespace krvs::pc
