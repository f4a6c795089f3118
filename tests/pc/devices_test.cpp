// The parts of the machine that stand alone: memory wrap, interrupt controller, timer, drive mapping.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
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
    HostDrive drive(root);
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
    HostDrive drive(root);
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

// Every file operation a program, krvscmd or DEBUG can ask for, with the DOS error it gets.
TEST_F(PcDrive, FileOperationsKeepInsideAndRefuseWhatDosRefuses) {
    namespace fs = std::filesystem;
    std::ofstream(root / "RO.TXT") << "keep";
    ::chmod((root / "RO.TXT").c_str(), 0444);
    HostDrive drive(root);
    std::unique_ptr<DriveFile> f;
    struct Case { const char* what; std::uint16_t got, want; };
    const Case cases[] = {
        {"open missing", drive.open("NONE.TXT", OpenMode::Read, f), doserr::kFileNotFound},
        {"open a directory", drive.open("SUB", OpenMode::Read, f), doserr::kAccessDenied},
        {"open a link", drive.open("LINK.TXT", OpenMode::Read, f), doserr::kAccessDenied},
        {"open outside", drive.open("..\\outside.txt", OpenMode::Read, f), doserr::kPathNotFound},
        {"write read-only", drive.open("ro.txt", OpenMode::Write, f), doserr::kAccessDenied},
        {"read read-only", drive.open("ro.txt", OpenMode::Read, f), 0},
        {"create over read-only", drive.create("RO.TXT", false, f), doserr::kAccessDenied},
        {"create new over existing", drive.create("top.asm", true, f), doserr::kFileExists},
        {"create in missing dir", drive.create("NOPE\\X.TXT", false, f), doserr::kPathNotFound},
        {"create a long name", drive.create(".git", false, f), doserr::kPathNotFound},
        {"replace read-only", drive.replace("RO.TXT", {'x'}), doserr::kAccessDenied},
        {"replace through a link", drive.replace("LINK.TXT", {'x'}), doserr::kAccessDenied},
        {"remove read-only", drive.remove("RO.TXT"), doserr::kAccessDenied},
        {"remove a directory", drive.remove("SUB"), doserr::kAccessDenied},
        {"remove missing", drive.remove("NONE.TXT"), doserr::kFileNotFound},
        {"rename onto existing", drive.rename("top.asm", "RO.TXT"), doserr::kAccessDenied},
        {"rename out of the drive", drive.rename("top.asm", "..\\top.asm"), doserr::kPathNotFound},
        {"remove the root", drive.removeDirectory("\\"), doserr::kAccessDenied},
        {"make existing dir", drive.makeDirectory("sub"), doserr::kAccessDenied},
        {"attributes of a directory", drive.setAttributes("SUB", attr::kReadOnly), doserr::kAccessDenied},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_EQ(std::ifstream(root / "RO.TXT").rdbuf() != nullptr, true);
    std::string kept;
    std::getline(std::ifstream(root / "RO.TXT"), kept);
    EXPECT_EQ(kept, "keep");
    std::string outside;
    std::getline(std::ifstream(m_dir.path() / "outside.txt"), outside);
    EXPECT_EQ(outside, "secret");
    EXPECT_TRUE(fs::exists(root / "top.asm"));
}

TEST_F(PcDrive, FilesAreWrittenReplacedRenamedAndDeletedInside) {
    namespace fs = std::filesystem;
    HostDrive drive(root);
    std::unique_ptr<DriveFile> f;
    ASSERT_EQ(drive.create("sub\\new.dat", false, f), 0);
    const std::uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(f->write(bytes, 4), 4u);
    EXPECT_EQ(f->seek(1, SeekFrom::Start), 1u);
    EXPECT_TRUE(f->truncate(3));
    EXPECT_EQ(f->size(), 3u);
    f.reset();
    Drive::Entry e;
    ASSERT_EQ(drive.lookup("SUB\\NEW.DAT", e), 0);
    EXPECT_EQ(e.name, "NEW.DAT");
    EXPECT_EQ(e.size, 3u);
    EXPECT_EQ(e.attributes, attr::kArchive);

    EXPECT_EQ(drive.replace("SUB\\NEW.DAT", {'x', 'y'}), 0);
    ASSERT_EQ(drive.lookup("sub\\new.dat", e), 0);
    EXPECT_EQ(e.size, 2u);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root / "Sub")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"File.Txt", "NEW.DAT"}));  // DOS names, and no temporary file left

    EXPECT_EQ(drive.setAttributes("sub\\new.dat", attr::kReadOnly), 0);
    ASSERT_EQ(drive.lookup("sub\\new.dat", e), 0);
    EXPECT_EQ(e.attributes, attr::kArchive | attr::kReadOnly);
    EXPECT_EQ(drive.setAttributes("sub\\new.dat", 0), 0);
    EXPECT_EQ(drive.rename("sub\\new.dat", "moved.dat"), 0);
    EXPECT_TRUE(fs::exists(root / "MOVED.DAT"));
    std::string full;
    EXPECT_EQ(drive.fullName("sub\\..\\moved.dat", full), 0);
    EXPECT_EQ(full, "C:\\MOVED.DAT");
    EXPECT_EQ(drive.remove("MOVED.DAT"), 0);
    EXPECT_EQ(drive.makeDirectory("NEWDIR"), 0);
    EXPECT_EQ(drive.removeDirectory("newdir"), 0);
    EXPECT_FALSE(fs::exists(root / "NEWDIR"));
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
