// INT 21h 4Bh: a program loads and runs a child, or loads an overlay, and reads how the child ended.

#include <fstream>
#include <utility>
#include <vector>

#include "fixture.h"

namespace krvs::pc::test {
namespace {

// The child prints "hi" and ends with code 2Ah: mov dx,10Ch / mov ah,9 / int 21h / mov ax,4C2Ah / int 21h
const std::string kChild("\xBA\x0C\x01\xB4\x09\xCD\x21\xB8\x2A\x4C\xCD\x21hi$", 15);

struct ExecCase {
    const char* what;
    std::uint16_t ax;        // 4B00h or 4B03h
    bool shrink;             // the parent gives back memory first, as it must for 4B00h
    const char* file;
    int exitCode;            // the parent exits with 4Dh's AL after success, EEh+error on failure
    const char* output;
};

// The parent: [shrink to 1000h paragraphs] / fill the segments of the parameter block / EXEC / on carry exit
// with EEh+AL / after 4B00h exit with 4Dh's AL+AH; after 4B03h exit with the overlay's first byte.
Code parent(const ExecCase& k) {
    Code c;
    if (k.shrink) c.mov(Code::kBX, 0x1000).dos(0x4A);
    std::size_t name = c.mov16(Code::kDX, 0);
    std::size_t block = c.mov16(Code::kBX, 0);
    c.raw({0x8C, 0xC8});  // mov ax,cs
    std::vector<std::pair<std::size_t, int>> fields;  // where an address of the block goes, and its offset
    for (int at : {4, 8, 12}) {
        c.raw({0xA3, 0, 0});  // mov [params+at],ax
        fields.push_back({c.bytes().size() - 2, at});
    }
    if (k.ax == 0x4B03) {
        c.raw({0x05, 0x00, 0x20, 0xA3, 0, 0});  // add ax,2000h / mov [params],ax: the load segment
        fields.push_back({c.bytes().size() - 2, 0});
    }
    c.mov(Code::kAX, k.ax).intr(0x21);
    std::size_t ok = c.jump(0x73);  // jnc
    c.raw({0x04, 0xEE}).exitAl();   // add al,0EEh
    c.land(ok);
    if (k.ax == 0x4B00) {
        c.dos(0x4D).raw({0x00, 0xE0}).exitAl();  // add al,ah
    } else {
        c.raw({0x8E, 0x06, 0, 0});  // mov es,[params]
        fields.push_back({c.bytes().size() - 2, 0});
        c.raw({0x26, 0xA0, 0, 0}).exitAl();  // mov al,es:[0]
    }
    std::uint16_t tail = c.here();
    c.raw({4, ' ', 'a', 'b', 'c', 0x0D});
    std::uint16_t params = c.here();
    // environment 0 (the parent's), the tail, the two FCBs of the parent's PSP; segments filled at run time
    c.word(0).word(tail).word(0).word(0x5C).word(0).word(0x6C).word(0);
    c.patch16(block, params);
    for (auto [where, at] : fields) c.patch16(where, static_cast<std::uint16_t>(params + at));
    std::uint16_t file = c.here();
    c.text(k.file).raw({0});
    c.patch16(name, file);
    return c;
}

void PrintTo(const ExecCase& k, std::ostream* os) { *os << k.what; }

class PcExec : public MachineTest, public ::testing::WithParamInterface<ExecCase> {};

TEST_P(PcExec, RunsTheChildOrLoadsTheOverlayOrFailsWithADosError) {
    const ExecCase& k = GetParam();
    std::filesystem::create_directories(drive());
    std::ofstream(drive() / "child.com", std::ios::binary) << kChild;
    RunResult r = run(parent(k));
    EXPECT_EQ(r.outcome, RunOutcome::Exited) << k.what;
    EXPECT_EQ(r.exitCode, k.exitCode) << k.what;
    EXPECT_EQ(r.output, k.output) << k.what;
}

INSTANTIATE_TEST_SUITE_P(Pc, PcExec, ::testing::Values(
    ExecCase{"exec", 0x4B00, true, "CHILD.COM", 0x2A, "hi"},
    ExecCase{"exec without memory", 0x4B00, false, "CHILD.COM", 0xEE + 8, ""},
    ExecCase{"missing program", 0x4B00, true, "NONE.COM", 0xEE + 2, ""},
    ExecCase{"outside the drive", 0x4B00, true, "..\\CHILD.COM", 0xEE + 3, ""},
    ExecCase{"overlay", 0x4B03, true, "child.com", 0xBA, ""},
    ExecCase{"bad subfunction", 0x4B07, true, "CHILD.COM", 0xEE + 1, ""}));

// The child inherits the parent's handles and environment and gets its own PSP with the tail it was given.
TEST_F(PcExec, TheChildSeesItsParentTailAndHandles) {
    std::filesystem::create_directories(drive());
    // The child writes its command tail to the handle 1 it inherited: mov ah,40h / mov bx,1 / mov cl,[80h] /
    // mov ch,0 / mov dx,81h / int 21h / mov ax,4C00h / int 21h
    const std::string child("\xB4\x40\xBB\x01\x00\x8A\x0E\x80\x00\xB5\x00\xBA\x81\x00\xCD\x21\xB8\x00\x4C\xCD\x21", 21);
    std::ofstream(drive() / "CHILD.COM", std::ios::binary) << child;
    RunResult r = run(parent({"tail", 0x4B00, true, "CHILD.COM", 0, ""}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, " abc");
}

}  // namespace
}  // namespace krvs::pc::test
