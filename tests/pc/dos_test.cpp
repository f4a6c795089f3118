// DOS services as programs see them: registers after each call, files, memory, loading.

#include <fstream>
#include <functional>
#include <sstream>

#include "fixture.h"
#include "pc/loader.h"

namespace krvs::pc::test {
namespace {

constexpr std::uint16_t kCF = 0x0001, kZF = 0x0040;

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class PcDos : public MachineTest {
protected:
    std::uint8_t byteAt(std::uint16_t off) { return m_machine->memory().read8(m_machine->pspSegment(), off); }
    std::uint16_t wordAt(std::uint16_t off) { return m_machine->memory().read16(m_machine->pspSegment(), off); }
};

TEST_F(PcDos, CharacterOutputLeavesTheCharacterOrDollarInAl) {
    Code c;
    c.mov8(Code::kDL, 'A').dos(0x02);
    std::size_t s1 = c.here() + 1;
    c.raw({0xA2, 0, 0});  // mov [s1], al
    std::size_t msg = c.mov16(Code::kDX, 0);
    c.dos(0x09);
    c.raw({0xA2, 0, 0});
    std::size_t s2at = c.bytes().size() - 2;
    c.exitWith(0);
    c.patch16(msg, c.here());
    c.text("hi there$");
    std::uint16_t a = c.reserve(1), b = c.reserve(1);
    c.patch16(s1 - 0x100, a);
    c.patch16(s2at, b);
    RunResult r = run(c);
    EXPECT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.output, "Ahi there");
    EXPECT_EQ(byteAt(a), 'A');
    EXPECT_EQ(byteAt(b), '$');
}

TEST_F(PcDos, InputFunctionsReturnKeysFlagsAndEcho) {
    struct Case { std::uint8_t ah; bool directInput; const char* input; std::uint8_t al; const char* echo; int zf; };
    const Case cases[] = {
        {0x01, false, "x", 'x', "x", -1},
        {0x07, false, "y", 'y', "", -1},
        {0x08, false, "z", 'z', "", -1},
        {0x06, true, "q", 'q', "", 0},
        {0x06, true, "", 0, "", 1},
        {0x0B, false, "k", 0xFF, "", -1},
        {0x0B, false, "", 0x00, "", -1},
    };
    for (const auto& k : cases) {
        Code c;
        if (k.directInput) c.mov8(Code::kDL, 0xFF);
        c.dos(k.ah);
        std::size_t al = c.bytes().size() + 1;
        c.raw({0xA2, 0, 0, 0x9C, 0x58, 0xA3, 0, 0});  // mov [al], al; pushf; pop ax; mov [flags], ax
        std::size_t fl = c.bytes().size() - 2;
        c.exitWith(0);
        c.patch16(al, c.reserve(1));
        c.patch16(fl, c.reserve(2));
        RunResult r = run(c, k.input);
        SCOPED_TRACE(testing::Message() << "AH=" << int(k.ah) << " input '" << k.input << "'");
        ASSERT_EQ(r.outcome, RunOutcome::Exited);
        EXPECT_EQ(byteAt(m_machine->memory().read16(m_machine->pspSegment(), static_cast<std::uint16_t>(al + 0x100))), k.al);
        EXPECT_EQ(r.output, k.echo);
        std::uint16_t flags = wordAt(m_machine->memory().read16(m_machine->pspSegment(), static_cast<std::uint16_t>(fl + 0x100)));
        if (k.zf >= 0) {
            EXPECT_EQ((flags & kZF) != 0, k.zf == 1);
        }
    }
}

TEST_F(PcDos, BufferedInputEditsEchoesAndStopsAtTheLimit) {
    struct Case { std::uint8_t max; const char* input; const char* stored; const char* echo; };
    const Case cases[] = {
        {20, "abc\r", "abc", "abc\r"},
        {20, "ab\bc\r", "ac", "ab\b \bc\r"},
        {3, "abcd\r", "ab", "ab\x07\x07\r"},
        {20, "\r", "", "\r"},
    };
    for (const auto& k : cases) {
        Code c;
        std::size_t buf = c.mov16(Code::kDX, 0);
        c.dos(0x0A).exitWith(0);
        std::uint16_t at = c.here();
        c.patch16(buf, at);
        c.raw({k.max});
        c.reserve(k.max + 1);
        RunResult r = run(c, k.input);
        ASSERT_EQ(r.outcome, RunOutcome::Exited) << k.input;
        EXPECT_EQ(r.output, k.echo);
        std::string stored;
        for (int i = 0; i < byteAt(at + 1); ++i) stored.push_back(static_cast<char>(byteAt(static_cast<std::uint16_t>(at + 2 + i))));
        EXPECT_EQ(stored, k.stored);
        EXPECT_EQ(byteAt(static_cast<std::uint16_t>(at + 2 + stored.size())), 0x0D);
    }
}

// create NAME, write "hello", close, open, read, close; exit code = bytes read, or the DOS error.
Code fileRoundTrip(const std::string& name) {
    Code c;
    std::vector<std::size_t> fails;
    std::size_t n1 = c.mov16(Code::kDX, 0);
    c.mov16(Code::kCX, 0);
    c.dos(0x3C);
    fails.push_back(c.jump(0x72));
    c.raw({0x89, 0xC3});  // mov bx, ax
    std::size_t d = c.mov16(Code::kDX, 0);
    c.mov16(Code::kCX, 5);
    c.dos(0x40);
    fails.push_back(c.jump(0x72));
    c.dos(0x3E);
    std::size_t n2 = c.mov16(Code::kDX, 0);
    c.mov16(Code::kAX, 0x3D00);
    c.intr(0x21);
    fails.push_back(c.jump(0x72));
    c.raw({0x89, 0xC3});
    std::size_t b = c.mov16(Code::kDX, 0);
    c.mov16(Code::kCX, 16);
    c.dos(0x3F);
    fails.push_back(c.jump(0x72));
    c.raw({0x50});  // push ax
    c.dos(0x3E);
    c.raw({0x58});  // pop ax
    c.exitAl();
    for (auto f : fails) c.land(f);
    c.exitAl();
    std::uint16_t nameAt = c.here();
    c.text(name).raw({0});
    std::uint16_t dataAt = c.here();
    c.text("hello");
    c.patch16(n1, nameAt);
    c.patch16(n2, nameAt);
    c.patch16(d, dataAt);
    c.patch16(b, c.reserve(16));
    return c;
}

TEST_F(PcDos, FilesAreWrittenAndReadBackOnDriveC) {
    RunResult r = run(fileRoundTrip("data.txt"));
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(slurp(drive() / "DATA.TXT"), "hello");
}

// The ROM keeps its entry points: a program that overwrites F000h and calls INT 21h at once (in the same
// slice) still reaches the services, and a DOS read into the ROM changes nothing.
TEST_F(PcDos, TheRomAtF000IsReadOnly) {
    std::filesystem::create_directories(drive());
    std::ofstream(drive() / "Z.BIN", std::ios::binary) << std::string(64, '\0');
    Code c;
    // mov ax,0F000h / mov es,ax / xor di,di / mov cx,8000h / xor ax,ax / cld / rep stosw
    c.mov(Code::kAX, 0xF000).raw({0x8E, 0xC0, 0x31, 0xFF}).mov(Code::kCX, 0x8000).raw({0x31, 0xC0, 0xFC, 0xF3, 0xAB});
    std::size_t name = c.mov16(Code::kDX, 0);
    c.mov(Code::kAX, 0x3D00).intr(0x21).raw({0x89, 0xC3});  // open Z.BIN / mov bx,ax
    // push ds / mov dx,0F000h / mov ds,dx / mov dx,1100h / mov cx,64 / mov ah,3Fh / int 21h / pop ds
    c.raw({0x1E}).mov(Code::kDX, 0xF000).raw({0x8E, 0xDA}).mov(Code::kDX, 0x1100).mov(Code::kCX, 64).dos(0x3F).raw({0x1F});
    std::size_t text = c.mov16(Code::kDX, 0);
    c.dos(0x09).exitWith(0);
    c.patch16(text, c.here());
    c.text("ok$");
    c.patch16(name, c.here());
    c.text("Z.BIN").raw({0});
    RunResult r = run(c);
    EXPECT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.output, "ok");
    EXPECT_EQ(m_machine->memory().read8(0xF000, 0x1108), 0xFB);  // the INT 21h stub starts with STI
    EXPECT_EQ(m_machine->memory().read8(0xF000, 0x1109), 0xF1);
    ASSERT_EQ(m_machine->notes().size(), 1u);
    EXPECT_NE(m_machine->notes()[0].find("ROM"), std::string::npos);
}

// A file read over code that has already run: the CPU runs the bytes DOS wrote, not the instructions it
// had decoded there before. The procedure at `patch` prints "A", then the read makes it print "B".
TEST_F(PcDos, CodeReadFromAFileOverCodeThatRanIsRunAsRead) {
    std::filesystem::create_directories(drive());
    std::ofstream(drive() / "P.BIN", std::ios::binary) << std::string("\xB0\x42\xC3", 3);  // mov al,'B' / ret
    Code c;
    c.mov(Code::kSI, 2);
    const std::uint16_t again = c.here();
    c.raw({0xE8});  // call patch
    const std::size_t call = c.bytes().size();
    c.word(0);
    c.raw({0x88, 0xC2}).dos(0x02);  // mov dl, al / print it
    c.mov(Code::kAX, 0x3D00);
    const std::size_t name = c.mov16(Code::kDX, 0);
    c.intr(0x21);
    c.raw({0x89, 0xC3});  // mov bx, ax
    const std::size_t buffer = c.mov16(Code::kDX, 0);
    c.mov(Code::kCX, 3).dos(0x3F).dos(0x3E);
    c.raw({0x4E, 0x75, static_cast<std::uint8_t>(again - (c.here() + 3))});  // dec si / jnz again
    c.exitWith(0);
    const std::uint16_t patch = c.here();
    c.raw({0xB0, 'A', 0xC3});  // mov al,'A' / ret
    c.patch16(call, static_cast<std::uint16_t>(patch - (0x100 + call + 2)));
    c.patch16(buffer, patch);
    c.patch16(name, c.here());
    c.text("P.BIN").raw({0});
    RunResult r = run(c);
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.output, "AB");
}

TEST_F(PcDos, NoPathReachesOutsideTheProgramsDirectory) {
    std::ofstream(m_dir.path() / "OUT.TXT") << "keep";
    std::filesystem::create_directories(drive());
    std::filesystem::create_symlink(m_dir.path() / "OUT.TXT", drive() / "LINK.TXT");
    struct Case { std::uint8_t ah; const char* name; int error; };
    const Case cases[] = {
        {0x3D, "..\\OUT.TXT", 3}, {0x3D, "/etc/passwd", 3}, {0x3D, "C:\\..\\OUT.TXT", 3},
        {0x3C, "..\\NEW.TXT", 3}, {0x41, "..\\OUT.TXT", 3}, {0x3D, "LINK.TXT", 5},
        {0x3C, "LINK.TXT", 5},    {0x41, "LINK.TXT", 5},    {0x3D, "MISSING.TXT", 2},
    };
    for (const auto& k : cases) {
        Code c;
        std::size_t n = c.mov16(Code::kDX, 0);
        c.mov16(Code::kAX, static_cast<std::uint16_t>(k.ah << 8));
        c.mov16(Code::kCX, 0);
        c.intr(0x21);
        std::size_t err = c.jump(0x72);
        c.exitWith(0);
        c.land(err);
        c.exitAl();
        c.patch16(n, c.here());
        c.text(k.name).raw({0});
        RunResult r = run(c);
        EXPECT_EQ(r.exitCode, k.error) << int(k.ah) << " " << k.name;
    }
    EXPECT_EQ(slurp(m_dir.path() / "OUT.TXT"), "keep");
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "NEW.TXT"));
    EXPECT_TRUE(std::filesystem::is_symlink(drive() / "LINK.TXT"));
}

// A function that does not exist here must not look like a success: AL=FFh for the old ones, error 1 for
// the handle-era ones, the carry flag for both. The exit code is AL plus the carry.
TEST_F(PcDos, UnknownFunctionsFailVisiblyAndAreNotedOnce) {
    struct Case { std::uint16_t ax; int exitCode; const char* note; };
    for (const Case& k : {Case{0xF0FF, 2, "F0h"}, Case{0x1F00, 0, "1Fh"}}) {
        Code c;
        c.mov16(Code::kCX, 1000);
        std::size_t loop = c.bytes().size();
        c.mov16(Code::kAX, k.ax);
        c.intr(0x21);
        c.raw({0xE2, static_cast<int>(static_cast<std::uint8_t>(loop - (c.bytes().size() + 2)))});  // loop
        c.mov16(Code::kAX, k.ax);
        c.intr(0x21);
        c.raw({0x14, 0x00});  // adc al,0
        c.exitAl();
        RunResult r = run(c);
        EXPECT_EQ(r.outcome, RunOutcome::Exited);
        EXPECT_EQ(r.exitCode, k.exitCode) << k.note;
        ASSERT_EQ(m_machine->notes().size(), 1u);
        EXPECT_NE(m_machine->notes()[0].find(k.note), std::string::npos);
    }
}

TEST_F(PcDos, MemoryBlocksAreAllocatedResizedAndFreed) {
    Code c;
    c.mov16(Code::kBX, 0x1000);
    c.dos(0x4A);  // shrink the program's block (ES = PSP) to 64 KB
    c.raw({0x9C, 0x58, 0xA3, 0, 0});
    std::size_t f1 = c.bytes().size() - 2;
    c.mov16(Code::kBX, 0x1000);
    c.dos(0x48);
    c.raw({0xA3, 0, 0});
    std::size_t seg = c.bytes().size() - 2;
    c.mov16(Code::kBX, 0xFFFF);
    c.dos(0x48);
    c.raw({0xA3, 0, 0, 0x89, 0x1E, 0, 0});  // mov [err], ax; mov [largest], bx
    std::size_t err = c.bytes().size() - 6, largest = c.bytes().size() - 2;
    c.raw({0x8E, 0x06, 0, 0});  // mov es, [seg]
    std::size_t seg2 = c.bytes().size() - 2;
    c.dos(0x49);
    c.raw({0x9C, 0x58, 0xA3, 0, 0});
    std::size_t f2 = c.bytes().size() - 2;
    c.exitWith(0);
    std::uint16_t vf1 = c.reserve(2), vseg = c.reserve(2), verr = c.reserve(2), vl = c.reserve(2), vf2 = c.reserve(2);
    c.patch16(f1, vf1);
    c.patch16(seg, vseg);
    c.patch16(seg2, vseg);
    c.patch16(err, verr);
    c.patch16(largest, vl);
    c.patch16(f2, vf2);
    RunResult r = run(c);
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    std::uint16_t psp = m_machine->pspSegment();
    EXPECT_EQ(wordAt(vf1) & kCF, 0);
    EXPECT_EQ(wordAt(vseg), psp + 0x1001);
    EXPECT_EQ(wordAt(verr), 8);
    EXPECT_EQ(wordAt(vl), 0xA000 - (psp + 0x1001 + 0x1000) - 1);
    EXPECT_EQ(wordAt(vf2) & kCF, 0);
}

TEST_F(PcDos, ComProgramGetsPspTailFcbsEnvironmentAndStack) {
    Code c;
    c.raw({0xC3});  // RET reaches INT 20h at PSP:0000
    Machine& m = start(c, {}, "foo.txt  bar  ");
    std::uint16_t psp = m.pspSegment();
    const Memory& mem = m.memory();
    auto& r = m.regs();
    EXPECT_EQ(r.seg[x86::CS], psp);
    EXPECT_EQ(r.ip, 0x100);
    EXPECT_EQ(r.gp[x86::SP], 0xFFFE);
    EXPECT_EQ(mem.read16(psp, 0xFFFE), 0);
    EXPECT_EQ(mem.read16(psp, 0), 0x20CD);
    EXPECT_EQ(mem.read8(psp, 0x80), 13);
    std::string tail;
    for (int i = 0; i < 14; ++i) tail.push_back(static_cast<char>(mem.read8(psp, static_cast<std::uint16_t>(0x81 + i))));
    EXPECT_EQ(tail, " foo.txt  bar\r");
    std::string fcb1, fcb2;
    for (int i = 1; i < 12; ++i) {
        fcb1.push_back(static_cast<char>(mem.read8(psp, static_cast<std::uint16_t>(0x5C + i))));
        fcb2.push_back(static_cast<char>(mem.read8(psp, static_cast<std::uint16_t>(0x6C + i))));
    }
    EXPECT_EQ(fcb1, "FOO     TXT");
    EXPECT_EQ(fcb2, "BAR        ");
    std::uint16_t env = mem.read16(psp, 0x2C);
    std::string envText(reinterpret_cast<const char*>(mem.data() + linear(env, 0)), 64);
    EXPECT_EQ(envText.rfind("COMSPEC=", 0), 0u);
    EXPECT_NE(envText.find(std::string("\0\0\x01\0C:\\TEST.COM\0", 16)), std::string::npos);
    EXPECT_EQ(m.run({1000, 0}), RunOutcome::Exited);
    EXPECT_EQ(m.exitCode(), 0);
}

std::vector<std::uint8_t> mzProgram() {
    std::vector<std::uint8_t> image = {
        0xB8, 0x02, 0x00,  // mov ax, seg message (para 2 of the image, relocated)
        0x8E, 0xD8,        // mov ds, ax
        0xBA, 0x00, 0x00,  // mov dx, 0
        0xB4, 0x09, 0xCD, 0x21,
        0xB8, 0x2A, 0x4C, 0xCD, 0x21};  // exit 42
    image.resize(32, 0x90);
    for (char ch : std::string("MZ ok$")) image.push_back(static_cast<std::uint8_t>(ch));
    std::uint32_t total = 32 + static_cast<std::uint32_t>(image.size());
    std::vector<std::uint8_t> h(total, 0);
    auto put = [&h](int at, std::uint16_t v) { h[at] = v & 0xFF; h[at + 1] = v >> 8; };
    put(0, 0x5A4D);
    put(2, total % 512);
    put(4, static_cast<std::uint16_t>((total + 511) / 512));
    put(6, 1);        // one relocation
    put(8, 2);        // header paragraphs
    put(0x0A, 0x10);  // min alloc
    put(0x0C, 0xFFFF);
    put(0x0E, 3);     // SS
    put(0x10, 0x100); // SP
    put(0x18, 0x1C);  // relocation table
    put(0x1C, 1);     // fixup at 0000:0001
    put(0x1E, 0);
    std::copy(image.begin(), image.end(), h.begin() + 32);
    return h;
}

TEST_F(PcDos, MzProgramIsRelocatedAndStartsAtItsEntry) {
    MachineConfig config;
    config.driveRoot = m_dir.path();
    config.output = &m_sink;
    Machine mz(config);
    LoadResult r = mz.loadImage(mzProgram(), "MZ.EXE", "");
    ASSERT_TRUE(r.ok) << r.error;
    std::uint16_t load = static_cast<std::uint16_t>(mz.pspSegment() + 0x10);
    EXPECT_EQ(mz.regs().seg[x86::CS], load);
    EXPECT_EQ(mz.regs().seg[x86::SS], load + 3);
    EXPECT_EQ(mz.regs().seg[x86::DS], mz.pspSegment());
    EXPECT_EQ(mz.memory().read16(load, 1), load + 2);
    EXPECT_EQ(mz.run({10000, 0}), RunOutcome::Exited);
    EXPECT_EQ(m_sink.text(), "MZ ok");
    EXPECT_EQ(mz.exitCode(), 42);
}

TEST(PcLoader, RejectsBrokenHeadersWithAMessage) {
    auto good = mzProgram();
    struct Case { const char* what; std::function<void(std::vector<std::uint8_t>&)> damage; };
    const Case cases[] = {
        {"cut short", [](auto& f) { f.resize(20); }},
        {"header longer than file", [](auto& f) { f[8] = 0xFF; }},
        {"relocations outside", [](auto& f) { f[6] = 0xFF; f[7] = 0x7F; }},
        {"no pages", [](auto& f) { f[4] = 0; f[5] = 0; }},
    };
    for (const auto& c : cases) {
        auto f = good;
        c.damage(f);
        MzImage img;
        EXPECT_FALSE(parseMz(f, img).empty()) << c.what;
        MachineConfig config;
        Machine m(config);
        EXPECT_FALSE(m.loadImage(f, "X.EXE", "").ok) << c.what;
    }
}

}  // namespace
}  // namespace krvs::pc::test
