// Course programs: hooked keyboard and timer interrupts, the CMOS clock, a divide overflow handler, a
// handler copied to 0000:0200, direct video memory, BIOS video; and stopping programs from outside.

#include <chrono>
#include <thread>

#include "fixture.h"

namespace krvs::pc::test {
namespace {

class PcScenario : public MachineTest {
protected:
    std::uint8_t byteAt(std::uint16_t off) { return m_machine->memory().read8(m_machine->pspSegment(), off); }
    std::uint16_t wordAt(std::uint16_t off) { return m_machine->memory().read16(m_machine->pspSegment(), off); }
};

// Saves vector `v` at [old], installs `handler`; the caller patches both addresses.
void hook(Code& c, std::uint8_t v, std::size_t& oldRefs1, std::size_t& oldRefs2, std::size_t& handlerRef) {
    c.mov16(Code::kAX, static_cast<std::uint16_t>(0x3500 | v));
    c.intr(0x21);
    c.raw({0x89, 0x1E, 0, 0});  // mov [old], bx
    oldRefs1 = c.bytes().size() - 2;
    c.raw({0x8C, 0x06, 0, 0});  // mov [old+2], es
    oldRefs2 = c.bytes().size() - 2;
    handlerRef = c.mov16(Code::kDX, 0);
    c.mov16(Code::kAX, static_cast<std::uint16_t>(0x2500 | v));
    c.intr(0x21);
}

void unhook(Code& c, std::uint8_t v, std::size_t& oldRef) {
    c.raw({0x1E, 0xC5, 0x16, 0, 0});  // push ds; lds dx, [old]
    oldRef = c.bytes().size() - 2;
    c.mov16(Code::kAX, static_cast<std::uint16_t>(0x2500 | v));
    c.intr(0x21);
    c.raw({0x1F});  // pop ds
}

TEST_F(PcScenario, KeyboardHookReadsPort60AndChainsToTheBios) {
    Code c;
    std::size_t o1, o2, h, o3;
    hook(c, 0x09, o1, o2, h);
    c.mov8(Code::kAH, 0).intr(0x16);
    c.raw({0xA3, 0, 0});  // mov [key], ax
    std::size_t keyRef = c.bytes().size() - 2;
    unhook(c, 0x09, o3);
    c.raw({0xA0, 0, 0});  // mov al, [count]
    std::size_t countRef1 = c.bytes().size() - 2;
    c.exitAl();
    std::uint16_t handler = c.here();
    c.raw({0x50, 0xE4, 0x60, 0x2E, 0xA2, 0, 0});  // push ax; in al, 60h; mov [cs:last], al
    std::size_t lastRef = c.bytes().size() - 2;
    c.raw({0x2E, 0xFE, 0x06, 0, 0});  // inc byte [cs:count]
    std::size_t countRef2 = c.bytes().size() - 2;
    c.raw({0x58, 0x2E, 0xFF, 0x2E, 0, 0});  // pop ax; jmp far [cs:old]
    std::size_t o4 = c.bytes().size() - 2;
    std::uint16_t old = c.reserve(4), key = c.reserve(2), last = c.reserve(1), count = c.reserve(1);
    for (auto r : {o1, o3, o4}) c.patch16(r, old);
    c.patch16(o2, static_cast<std::uint16_t>(old + 2));
    c.patch16(h, handler);
    c.patch16(keyRef, key);
    c.patch16(lastRef, last);
    c.patch16(countRef1, count);
    c.patch16(countRef2, count);

    RunResult r = run(c, "a");
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(wordAt(key), 0x1E61);  // the BIOS got the key the hook passed on
    EXPECT_EQ(r.exitCode, 2);        // make and break code
    EXPECT_EQ(byteAt(last), 0x9E);
    EXPECT_EQ(m_machine->memory().read16(0, 9 * 4 + 2), 0xF000);  // the old vector is back
}

TEST_F(PcScenario, OwnKeyboardHandlerGetsStreamKeysWithoutCallingTheBios) {
    Code c;
    std::size_t o1, o2, h, o3;
    hook(c, 0x09, o1, o2, h);
    std::size_t loop = c.bytes().size();
    c.raw({0xA0, 0, 0});  // mov al, [scan]
    std::size_t scanRef1 = c.bytes().size() - 2;
    c.raw({0x3C, 0x00, 0x74, static_cast<int>(static_cast<std::uint8_t>(loop - (c.bytes().size() + 4)))});  // cmp al,0; je loop
    unhook(c, 0x09, o3);
    c.raw({0xA0, 0, 0});
    std::size_t scanRef2 = c.bytes().size() - 2;
    c.exitAl();
    std::uint16_t handler = c.here();
    c.raw({0x50, 0xE4, 0x60, 0x2E, 0xA2, 0, 0});  // push ax; in al, 60h; mov [cs:scan], al
    std::size_t scanRef3 = c.bytes().size() - 2;
    c.raw({0xB0, 0x20, 0xE6, 0x20, 0x58, 0xCF});  // mov al, 20h; out 20h, al; pop ax; iret
    std::uint16_t old = c.reserve(4), scan = c.reserve(1);
    c.patch16(o1, old);
    c.patch16(o3, old);
    c.patch16(o2, static_cast<std::uint16_t>(old + 2));
    c.patch16(h, handler);
    for (auto r : {scanRef1, scanRef2, scanRef3}) c.patch16(r, scan);
    RunResult r = run(c, "a");
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.exitCode, 0x9E);  // the make code came, then the break code right after the handler's EOI
}

TEST_F(PcScenario, TimerHookCountsTicksAtEighteenPerSecond) {
    Code c;
    std::size_t o1, o2, h, o3;
    hook(c, 0x08, o1, o2, h);
    std::size_t loop = c.bytes().size();
    c.raw({0x80, 0x3E, 0, 0, 5});  // cmp byte [count], 5
    std::size_t countRef1 = c.bytes().size() - 3;
    c.raw({0x72, static_cast<int>(static_cast<std::uint8_t>(loop - (c.bytes().size() + 2)))});  // jb loop
    unhook(c, 0x08, o3);
    c.raw({0xA0, 0, 0});
    std::size_t countRef2 = c.bytes().size() - 2;
    c.exitAl();
    std::uint16_t handler = c.here();
    c.raw({0x2E, 0xFE, 0x06, 0, 0});
    std::size_t countRef3 = c.bytes().size() - 2;
    c.raw({0x2E, 0xFF, 0x2E, 0, 0});
    std::size_t o4 = c.bytes().size() - 2;
    std::uint16_t old = c.reserve(4), count = c.reserve(1);
    for (auto r : {o1, o3, o4}) c.patch16(r, old);
    c.patch16(o2, static_cast<std::uint16_t>(old + 2));
    c.patch16(h, handler);
    for (auto r : {countRef1, countRef2, countRef3}) c.patch16(r, count);

    Machine& m = start(c);
    std::uint32_t before = m.memory().read16(0x40, 0x6C) | m.memory().read16(0x40, 0x6E) << 16;
    ASSERT_EQ(m.run({10'000'000, 10'000}), RunOutcome::Exited);
    EXPECT_EQ(m.exitCode(), 5);
    std::uint32_t after = m.memory().read16(0x40, 0x6C) | m.memory().read16(0x40, 0x6E) << 16;
    EXPECT_EQ(after - before, 5u);  // the chained BIOS handler counted every tick too
    // Five periods of 65536 timer clocks, one clock per instruction.
    EXPECT_GE(m.instructions(), 4u * 65536);
    EXPECT_LE(m.instructions(), 5u * 65536 + 100);
}

TEST_F(PcScenario, CmosClockAndBiosTimeShowTheMachineClockInBcd) {
    Code c;
    std::vector<std::size_t> refs;
    for (std::uint8_t reg : {0x04, 0x02, 0x09, 0x32}) {
        c.mov8(Code::kAL, reg).raw({0xE6, 0x70, 0xE4, 0x71, 0xA2, 0, 0});  // out 70h, al; in al, 71h; mov [x], al
        refs.push_back(c.bytes().size() - 2);
    }
    c.mov8(Code::kAH, 0x02).intr(0x1A).raw({0x89, 0x0E, 0, 0});  // mov [t], cx
    refs.push_back(c.bytes().size() - 2);
    c.exitWith(0);
    std::uint16_t data = c.reserve(6);
    for (std::size_t i = 0; i < 4; ++i) c.patch16(refs[i], static_cast<std::uint16_t>(data + i));
    c.patch16(refs[4], static_cast<std::uint16_t>(data + 4));
    ASSERT_EQ(run(c).outcome, RunOutcome::Exited);
    std::tm t{};
    std::time_t start = kClockStart;
    ::localtime_r(&start, &t);
    EXPECT_EQ(byteAt(data), toBcd(t.tm_hour));
    EXPECT_EQ(byteAt(data + 1), toBcd(t.tm_min));
    EXPECT_EQ(byteAt(data + 2), toBcd(t.tm_year % 100));
    EXPECT_EQ(byteAt(data + 3), 0x20);
    EXPECT_EQ(wordAt(data + 4), toBcd(t.tm_hour) << 8 | toBcd(t.tm_min));
}

TEST_F(PcScenario, DivideOverflowReachesTheProgramsInt0Handler) {
    Code c;
    std::size_t h = c.mov16(Code::kDX, 0);
    c.mov16(Code::kAX, 0x2500);
    c.intr(0x21);
    c.mov16(Code::kAX, 0x1000);
    c.mov8(Code::kBL, 1).raw({0xF6, 0xF3});  // div bl: 4096 / 1 does not fit in AL
    c.raw({0xA0, 0, 0});
    std::size_t flagRef1 = c.bytes().size() - 2;
    c.exitAl();
    std::uint16_t handler = c.here();
    c.raw({0x2E, 0xC6, 0x06, 0, 0, 7});  // mov byte [cs:flag], 7
    std::size_t flagRef2 = c.bytes().size() - 3;
    c.raw({0x55, 0x89, 0xE5, 0x83, 0x46, 0x02, 0x02, 0x5D, 0xCF});  // skip the DIV: add word [bp+2], 2; iret
    std::uint16_t flag = c.reserve(1);
    c.patch16(h, handler);
    c.patch16(flagRef1, flag);
    c.patch16(flagRef2, flag);
    RunResult r = run(c);
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.exitCode, 7);
}

TEST_F(PcScenario, DivideOverflowWithoutAHandlerEndsTheProgram) {
    Code c;
    c.mov16(Code::kAX, 0x1000);
    c.mov8(Code::kBL, 0).raw({0xF6, 0xF3});
    c.exitWith(9);
    RunResult r = run(c);
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.output, "\r\nDivide overflow\r\n");
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(PcScenario, HandlerCopiedTo0000_0200ServesInt7C) {
    Code c;
    c.raw({0x31, 0xC0, 0x8E, 0xC0});  // xor ax, ax; mov es, ax
    c.mov16(Code::kDI, 0x200);
    std::size_t src = c.mov16(Code::kSI, 0);
    c.mov16(Code::kCX, 3);
    c.raw({0xFC, 0xF3, 0xA4});                          // cld; rep movsb
    c.raw({0x26, 0xC7, 0x06, 0xF0, 0x01, 0x00, 0x02});  // mov word [es:1F0h], 200h
    c.raw({0x26, 0xC7, 0x06, 0xF2, 0x01, 0x00, 0x00});  // mov word [es:1F2h], 0
    c.mov16(Code::kAX, 5);
    c.intr(0x7C);
    c.exitAl();
    c.patch16(src, c.here());
    c.raw({0x04, 0x30, 0xCF});  // add al, 30h; iret
    RunResult r = run(c);
    ASSERT_EQ(r.outcome, RunOutcome::Exited);
    EXPECT_EQ(r.exitCode, 0x35);
    EXPECT_EQ(m_machine->memory().read8(0, 0x200), 0x04);
}

TEST_F(PcScenario, ColouredTextWrittenIntoB800ShowsOnTheScreen) {
    Code c;
    c.mov16(Code::kAX, 0xB800);
    c.raw({0x8E, 0xC0});
    c.mov16(Code::kDI, (12 * 80 + 40) * 2);
    c.mov16(Code::kAX, 0x1E48);
    c.raw({0xAB});  // stosw
    c.mov16(Code::kAX, 0x2C69);
    c.raw({0xAB});
    c.exitWith(0);
    ASSERT_EQ(run(c).outcome, RunOutcome::Exited);
    TextScreen s = m_machine->screen();
    EXPECT_EQ(s.charAt(12, 40), 'H');
    EXPECT_EQ(s.attributeAt(12, 40), 0x1E);
    EXPECT_EQ(s.charAt(12, 41), 'i');
    EXPECT_EQ(s.attributeAt(12, 41), 0x2C);
    std::string lines = s.text();
    EXPECT_EQ(lines.substr(lines.find("Hi") - 40, 43), std::string(40, ' ') + "Hi\n");
}

TEST_F(PcScenario, BiosVideoScrollsWritesAndReadsBack) {
    Code c;
    c.mov8(Code::kAH, 2).mov8(Code::kBH, 0);
    c.mov16(Code::kDX, 0x1800);  // row 24, column 0
    c.intr(0x10);
    c.mov(Code::kAX, 0x0E41).intr(0x10);  // teletype 'A'
    c.mov(Code::kAX, 0x0E0A).intr(0x10);  // LF scrolls the screen
    c.mov(Code::kAX, 0x095A).mov(Code::kBX, 0x004F);
    c.mov16(Code::kCX, 3);
    c.intr(0x10);  // three 'Z' white on red at the cursor, which stays
    c.mov8(Code::kAH, 8).mov8(Code::kBH, 0).intr(0x10);
    c.raw({0xA3, 0, 0});
    std::size_t readRef = c.bytes().size() - 2;
    c.raw({0x0E, 0x07});  // push cs; pop es
    std::size_t str = c.mov16(Code::kBP, 0);
    c.mov(Code::kAX, 0x1301).mov(Code::kBX, 0x001E);
    c.mov16(Code::kCX, 2);
    c.mov16(Code::kDX, 0x0000);
    c.intr(0x10);  // "Hi" at 0,0, cursor moves
    c.mov(Code::kAX, 0x0600).mov(Code::kBX, 0x7000);
    c.mov16(Code::kCX, 0x0505);
    c.mov16(Code::kDX, 0x060A);
    c.intr(0x10);  // clear a window in black on white
    c.mov8(Code::kAH, 3).mov8(Code::kBH, 0).intr(0x10);
    c.raw({0x89, 0x16, 0, 0});  // mov [pos], dx
    std::size_t posRef = c.bytes().size() - 2;
    c.exitWith(0);
    c.patch16(str, c.here());
    c.text("Hi");
    std::uint16_t read = c.reserve(2), pos = c.reserve(2);
    c.patch16(readRef, read);
    c.patch16(posRef, pos);
    ASSERT_EQ(run(c).outcome, RunOutcome::Exited);
    TextScreen s = m_machine->screen();
    EXPECT_EQ(s.charAt(23, 0), 'A');
    EXPECT_EQ(s.charAt(24, 0), ' ');
    EXPECT_EQ(s.charAt(24, 3), 'Z');
    EXPECT_EQ(s.attributeAt(24, 3), 0x4F);
    EXPECT_EQ(s.charAt(24, 4), ' ');
    EXPECT_EQ(wordAt(read), 0x4F5A);
    EXPECT_EQ(s.charAt(0, 0), 'H');
    EXPECT_EQ(s.attributeAt(0, 1), 0x1E);
    EXPECT_EQ(wordAt(pos), 0x0002);
    EXPECT_EQ(s.attributeAt(5, 5), 0x70);
    EXPECT_EQ(s.attributeAt(6, 10), 0x70);
    EXPECT_EQ(s.attributeAt(6, 11), 0x07);
    EXPECT_EQ(s.cursorRow, 0);
    EXPECT_EQ(s.cursorColumn, 2);
}

TEST(PcScreenConsole, DosOutputGoesOntoTheTextScreen) {
    Code c;
    std::size_t msg = c.mov16(Code::kDX, 0);
    c.dos(0x09).exitWith(0);
    c.patch16(msg, c.here());
    c.text("hi\r\nyo\tZ$");
    MachineConfig config;  // no streams: the text-screen front end
    Machine m(config);
    ASSERT_TRUE(m.loadImage(c.bytes(), "T.COM", "").ok);
    ASSERT_EQ(m.run({10000, 0}), RunOutcome::Exited);
    TextScreen s = m.screen();
    EXPECT_EQ(s.text().substr(0, 14), std::string("hi\nyo") + std::string(6, ' ') + "Z\n\n");
    EXPECT_EQ(s.cursorRow, 1);
    EXPECT_EQ(s.cursorColumn, 9);
    EXPECT_EQ(s.attributeAt(0, 0), 0x07);
}

// A stream that never has a byte, like a pipe nobody writes to.
class SilentSource : public ByteSource {
public:
    ReadStatus readByte(std::uint8_t&, int timeoutMs) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 5)));
        return ReadStatus::Timeout;
    }
};

// A stop that never takes effect leaves join() waiting, and the test runner's timeout reports it.
RunOutcome runAndStop(Machine& m) {
    RunOutcome outcome{};
    std::thread t([&] { outcome = m.run(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m.requestStop();
    t.join();
    return outcome;
}

TEST(PcStop, LoopsAndKeyWaitsStopFromOutside) {
    struct Case { const char* what; std::vector<std::uint8_t> code; bool silentStream; };
    const Case cases[] = {
        {"endless loop", {0xEB, 0xFE}, false},
        {"key wait, screen front end", {0xB4, 0x00, 0xCD, 0x16, 0xEB, 0xFE}, false},
        {"key wait, silent stream", {0xB4, 0x01, 0xCD, 0x21, 0xEB, 0xFE}, true},
        {"halt with interrupts on", {0xFB, 0xF4, 0xEB, 0xFD}, false},
    };
    for (const auto& k : cases) {
        SilentSource silent;
        MachineConfig config;
        config.input = k.silentStream ? &silent : nullptr;
        Machine m(config);
        ASSERT_TRUE(m.loadImage(k.code, "LOOP.COM", "").ok);
        EXPECT_EQ(runAndStop(m), RunOutcome::Stopped) << k.what;
        EXPECT_FALSE(m.exited()) << k.what;
        // Stopping leaves the machine able to go on: a limited run executes again.
        EXPECT_NE(m.run({1000, 200}), RunOutcome::Stopped) << k.what;
    }
}

TEST(PcStop, PushedKeyWakesAProgramWaitingOnTheScreenFrontEnd) {
    MachineConfig config;
    Machine m(config);
    ASSERT_TRUE(m.loadImage({0xB4, 0x00, 0xCD, 0x16, 0xB4, 0x4C, 0xCD, 0x21}, "KEY.COM", "").ok);
    RunOutcome outcome{};
    std::thread t([&] { outcome = m.run({0, 5000}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m.pushKey(0x2D, 'x');
    t.join();
    EXPECT_EQ(outcome, RunOutcome::Exited);
    EXPECT_EQ(m.exitCode(), 'x');
}

TEST(PcStop, RunsEndByLimitInputEndOrHalt) {
    struct Case { const char* what; std::vector<std::uint8_t> code; RunLimits limits; RunOutcome outcome; };
    const Case cases[] = {
        {"instruction limit", {0xEB, 0xFE}, {1000, 0}, RunOutcome::InstructionLimit},
        {"time limit", {0xEB, 0xFE}, {0, 50}, RunOutcome::TimeLimit},
        {"input ended", {0xB4, 0x00, 0xCD, 0x16, 0xEB, 0xFE}, {0, 5000}, RunOutcome::InputEnded},
        {"halt, interrupts off", {0xFA, 0xF4}, {0, 5000}, RunOutcome::Halted},
    };
    for (const auto& k : cases) {
        StringSource empty("");
        MachineConfig config;
        config.input = &empty;
        Machine m(config);
        ASSERT_TRUE(m.loadImage(k.code, "T.COM", "").ok);
        std::uint64_t before = m.instructions();
        EXPECT_EQ(m.run(k.limits), k.outcome) << k.what;
        if (k.outcome == RunOutcome::InstructionLimit) {
            EXPECT_EQ(m.instructions() - before, 1000u);
        }
    }
}

TEST(PcStep, StepsOneInstructionAtATime) {
    MachineConfig config;
    Machine m(config);
    ASSERT_TRUE(m.loadImage({0xB8, 0x34, 0x12, 0x40, 0xCD, 0x20}, "S.COM", "").ok);
    EXPECT_EQ(m.step(), RunOutcome::InstructionLimit);
    EXPECT_EQ(m.regs().gp[x86::AX], 0x1234);
    EXPECT_EQ(m.regs().ip, 0x103);
    m.memory().write8(m.pspSegment(), 0x103, 0x4B);  // dec bx instead of inc ax
    m.regs().gp[x86::BX] = 10;
    m.step();
    EXPECT_EQ(m.regs().gp[x86::BX], 9);
    EXPECT_EQ(m.run({100, 0}), RunOutcome::Exited);
}

}  // namespace
}  // namespace krvs::pc::test
