// Instruction boundaries: host traps, interrupts and IRET, the trap flag, interrupt inhibition,
// HLT, instruction limits and stop requests.

#include "cpu_test_machine.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace krvs::x86;
using namespace krvs::x86::testing_machine;

constexpr std::uint16_t kHandlerSeg = 0x5000;
constexpr std::uint8_t kNop = 0x90, kIncAx = 0x40, kIret = 0xCF;

TEST(CpuHostTrap, RomTrapCallsTheHostWithItsNumber) {
    Machine m;
    m.r().seg[CS] = 0xF000;
    m.r().ip = 0x0100;
    m.poke(0xF000, 0x0100, {0xF1, 0x21, kNop});
    EXPECT_EQ(m.cpu.run(1), StopReason::InstructionLimit);
    EXPECT_EQ(m.bus.traps, std::vector<std::uint8_t>{0x21});
    EXPECT_EQ(m.r().gp[AX], 0x1121);
    EXPECT_EQ(m.r().ip, 0x0102);
}

TEST(CpuHostTrap, HostCanStopTheRun) {
    Machine m;
    m.bus.trapContinues = false;
    m.poke(0xF000, 0x0000, {0xF1, 0x16, kNop});
    m.r().seg[CS] = 0xF000;
    m.r().ip = 0;
    EXPECT_EQ(m.cpu.run(100), StopReason::HostRequest);
    EXPECT_EQ(m.r().ip, 2);
    EXPECT_EQ(m.cpu.instructionCount(), 1u);
}

TEST(CpuHostTrap, OutsideTheRomF1IsALockPrefix) {
    Machine m;
    m.code({0xF1, kIncAx});
    EXPECT_EQ(m.cpu.run(1), StopReason::InstructionLimit);
    EXPECT_TRUE(m.bus.traps.empty());
    EXPECT_EQ(m.r().gp[AX], 1);
    EXPECT_EQ(m.r().ip, 2);
}

TEST(CpuInterrupts, EntryPushesFlagsCsIpAndIretReturns) {
    Machine m;
    m.code({kNop});
    m.setVector(0x21, kHandlerSeg, 0x0040);
    m.poke(kHandlerSeg, 0x0040, {kIret});
    m.r().ip = 0x0000;
    m.r().flags |= flag::IF | flag::TF | flag::CF;
    std::uint16_t flagsBefore = m.r().flags;
    m.cpu.interrupt(0x21);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.r().ip, 0x0040);
    EXPECT_EQ(m.r().flags & (flag::IF | flag::TF), 0);
    EXPECT_EQ(m.stackWord(0), 0x0000);
    EXPECT_EQ(m.stackWord(1), kCodeSeg);
    EXPECT_EQ(m.stackWord(2), flagsBefore);
    EXPECT_EQ(m.cpu.run(1), StopReason::InstructionLimit);
    EXPECT_EQ(m.r().seg[CS], kCodeSeg);
    EXPECT_EQ(m.r().ip, 0x0000);
    EXPECT_EQ(m.r().flags, flagsBefore);
    EXPECT_EQ(m.r().gp[SP], kStackTop);
}

TEST(CpuInterrupts, IntrIsTakenOnlyWhenIfIsSet) {
    Machine m;
    m.code({kNop, kNop, kNop});
    m.setVector(8, kHandlerSeg, 0);
    m.poke(kHandlerSeg, 0, {kNop});
    m.bus.pendingVector = 8;
    m.cpu.setIntr(true);
    m.cpu.run(1);
    EXPECT_EQ(m.bus.acknowledged, 0);
    EXPECT_EQ(m.r().ip, 1);

    m.r().flags |= flag::IF;
    m.cpu.run(1);  // the interrupt enters first, then the handler's first instruction runs
    EXPECT_EQ(m.bus.acknowledged, 1);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.r().ip, 1);
    EXPECT_EQ(m.stackWord(0), 1);
    EXPECT_EQ(m.cpu.instructionCount(), 2u);
}

// MOV SS, POP SS and STI each let one more instruction run before a pending interrupt.
struct InhibitCase {
    const char* name;
    std::vector<std::uint8_t> code;
    bool ifAtStart;
};

std::ostream& operator<<(std::ostream& os, const InhibitCase& c) { return os << c.name; }

class CpuInhibit : public testing::TestWithParam<InhibitCase> {};

TEST_P(CpuInhibit, NextInstructionRunsFirst) {
    const InhibitCase& c = GetParam();
    Machine m(CpuModel::I8086);
    for (std::size_t i = 0; i < c.code.size(); ++i)
        m.mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(i))] = c.code[i];
    m.r().gp[AX] = kStackSeg;
    m.pokeWord(kStackSeg, kStackTop, kStackSeg);
    if (c.ifAtStart) m.r().flags |= flag::IF;
    m.setVector(8, kHandlerSeg, 0);
    m.cpu.run(1);
    EXPECT_EQ(m.bus.acknowledged, 0);
    std::uint16_t afterFirst = m.r().ip;
    m.bus.pendingVector = 8;
    m.cpu.setIntr(true);
    m.cpu.run(1);
    EXPECT_EQ(m.bus.acknowledged, 1);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), afterFirst + 1) << "the NOP after the instruction ran before the interrupt";
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuInhibit,
                         testing::Values(InhibitCase{"MovSs", {0x8E, 0xD0, kNop, kNop}, true},
                                         InhibitCase{"PopSs", {0x17, kNop, kNop}, true},
                                         InhibitCase{"Sti", {0xFB, kNop, kNop}, false}),
                         [](const testing::TestParamInfo<InhibitCase>& p) { return std::string(p.param.name); });

TEST(CpuTrapFlag, TrapsAfterEachInstructionExecutedWithTf) {
    Machine m;
    m.code({kIncAx, kIncAx});
    m.setVector(1, kHandlerSeg, 0);
    m.poke(kHandlerSeg, 0, {kIret});
    m.r().flags |= flag::TF;
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[AX], 1);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), 1);
    EXPECT_TRUE(m.stackWord(2) & flag::TF);
    EXPECT_FALSE(m.r().flags & flag::TF);
    m.cpu.run(1);  // IRET restores TF; the instruction after it traps again
    EXPECT_EQ(m.r().seg[CS], kCodeSeg);
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[AX], 2);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), 2);
}

TEST(CpuTrapFlag, PopfThatSetsTfTrapsAfterTheNextInstruction) {
    Machine m;
    m.code({0x9D, kIncAx, kIncAx});
    m.pokeWord(kStackSeg, kStackTop, 0xF002 | flag::TF);
    m.setVector(1, kHandlerSeg, 0);
    m.cpu.run(1);
    EXPECT_EQ(m.r().seg[CS], kCodeSeg);
    EXPECT_EQ(m.r().ip, 1);
    m.cpu.run(1);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), 2);
}

// A repeated string instruction under TF stops after one element and resumes through its prefix.
struct RepTrapCase {
    const char* name;
    CpuModel model;
    std::uint16_t resumeIp;
};

std::ostream& operator<<(std::ostream& os, const RepTrapCase& c) { return os << c.name; }

class CpuRepTrap : public testing::TestWithParam<RepTrapCase> {};

TEST_P(CpuRepTrap, OneElementPerStep) {
    const RepTrapCase& c = GetParam();
    Machine m(c.model);
    m.code({0x26, 0xF3, 0xA4, kNop});  // ES: REP MOVSB
    m.setVector(1, kHandlerSeg, 0);
    m.poke(kHandlerSeg, 0, {kIret});
    m.poke(kDataSeg, 0, {1, 2, 3});
    m.r().gp[CX] = 3;
    m.r().gp[DI] = 0x10;
    m.r().flags |= flag::TF;
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[CX], 2);
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), c.resumeIp);
    m.cpu.run(1);  // back from the handler, at the resume point
    EXPECT_EQ(m.r().ip, c.resumeIp);
    m.r().flags &= static_cast<std::uint16_t>(~flag::TF);
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[CX], 0);
    EXPECT_EQ(m.r().ip, 3);
    EXPECT_EQ(m.mem[Machine::linear(kDataSeg, 0x12)], 3);
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuRepTrap,
                         testing::Values(RepTrapCase{"I8086LastPrefix", CpuModel::I8086, 1},
                                         RepTrapCase{"I80286FirstPrefix", CpuModel::I80286, 0}),
                         [](const testing::TestParamInfo<RepTrapCase>& p) { return std::string(p.param.name); });

// With the INTR line raised and IF set, a repeated string instruction yields after each element even
// when the interrupt controller then has nothing to deliver.
TEST(CpuInterrupts, PendingInterruptBreaksARepeatedStringInstruction) {
    Machine m;
    m.code({0xF3, 0xAA, kNop});  // REP STOSB
    m.r().gp[CX] = 5;
    m.r().flags |= flag::IF;
    m.cpu.setIntr(true);
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[CX], 4);
    EXPECT_EQ(m.r().ip, 0);
    EXPECT_EQ(m.r().gp[DI], 1);
    m.cpu.setIntr(false);
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[CX], 0);
    EXPECT_EQ(m.r().ip, 2);
}

TEST(CpuRun, StopsAtTheInstructionLimit) {
    Machine m;
    m.code({kIncAx, kIncAx, kIncAx, kIncAx, kIncAx});
    EXPECT_EQ(m.cpu.run(3), StopReason::InstructionLimit);
    EXPECT_EQ(m.r().gp[AX], 3);
    EXPECT_EQ(m.cpu.instructionCount(), 3u);
    EXPECT_EQ(m.cpu.step(), StopReason::InstructionLimit);
    EXPECT_EQ(m.r().gp[AX], 4);
}

TEST(CpuRun, HltStopsUntilAnInterruptWakesIt) {
    Machine m;
    m.code({0xF4, kNop});
    m.setVector(8, kHandlerSeg, 0);
    m.poke(kHandlerSeg, 0, {kNop});
    EXPECT_EQ(m.cpu.run(100), StopReason::Halted);
    EXPECT_TRUE(m.cpu.halted());
    EXPECT_EQ(m.r().ip, 1);
    EXPECT_EQ(m.cpu.run(100), StopReason::Halted);
    EXPECT_EQ(m.cpu.instructionCount(), 1u);

    m.r().flags |= flag::IF;
    m.bus.pendingVector = 8;
    m.cpu.setIntr(true);
    EXPECT_EQ(m.cpu.run(1), StopReason::InstructionLimit);
    EXPECT_FALSE(m.cpu.halted());
    EXPECT_EQ(m.r().seg[CS], kHandlerSeg);
    EXPECT_EQ(m.stackWord(0), 1);
}

TEST(CpuRun, StopRequestFromAnotherThreadEndsTheRun) {
    Machine m;
    m.code({0xEB, 0xFE});  // JMP $
    StopReason reason = StopReason::InstructionLimit;
    std::thread runner([&] { reason = m.cpu.run(std::numeric_limits<std::uint64_t>::max()); });
    m.cpu.requestStop();
    runner.join();
    EXPECT_EQ(reason, StopReason::StopRequested);
    EXPECT_EQ(m.r().ip, 0);
    // The request is used up: the next run goes on to its limit.
    EXPECT_EQ(m.cpu.run(10), StopReason::InstructionLimit);
}

TEST(CpuRun, ACancelledStopLeavesAPendingInterruptPending) {
    // The machine takes its stop back both when the CPU still holds the request and when a run used it
    // up before the machine saw its own: neither may enter the timer tick pending meanwhile.
    for (bool requested : {true, false}) {
        Machine m;
        m.code({0xEB, 0xFE});  // JMP $
        m.setVector(8, kHandlerSeg, 0);
        m.poke(kHandlerSeg, 0, {kNop});
        m.r().flags |= flag::IF;
        m.bus.pendingVector = 8;
        m.cpu.setIntr(true);
        if (requested) m.cpu.requestStop();
        m.cpu.cancelStop();
        EXPECT_EQ(m.r().seg[CS], kCodeSeg) << requested;
        EXPECT_EQ(m.r().ip, 0) << requested;
        EXPECT_EQ(m.bus.acknowledged, 0) << requested;
        // The next run is not ended by a withdrawn request and takes the interrupt first.
        EXPECT_EQ(m.cpu.run(1), StopReason::InstructionLimit) << requested;
        EXPECT_EQ(m.r().seg[CS], kHandlerSeg) << requested;
    }
}

// Programs that store into their own next instructions through a word MOV with a segment override and
// a repeated string store (a byte MOV is in cpu_write_limit_test.cpp): the CPU must run the bytes as
// they are after the store, whether the run goes in one call or one instruction per call (DEBUG's T).
struct SelfModifyingCase {
    const char* name;
    std::vector<std::uint8_t> code;
    std::vector<std::pair<unsigned, std::uint16_t>> registers;  // expected after the program halts
};

std::ostream& operator<<(std::ostream& os, const SelfModifyingCase& c) { return os << c.name; }

const SelfModifyingCase kSelfModifying[] = {
    // MOV CS:[8],AX turns INC BX / INC BX into INC CX / NOP.
    {"OpcodeOfTheNextInstruction",
     {0xB8, 0x41, 0x90, 0x2E, 0x89, 0x06, 0x08, 0x00, 0x43, 0x43, 0xF4},
     {{BX, 0}, {CX, 1}}},
    // ES = CS; REP STOSB writes three INC AX over three of the HLTs that follow it.
    {"RepeatedStoreOverTheFollowingCode",
     {0x0E, 0x07, 0xB0, 0x40, 0xB9, 0x03, 0x00, 0xBF, 0x0C, 0x00, 0xF3, 0xAA, 0xF4, 0xF4, 0xF4, 0xF4},
     {{AX, 0x0043}, {CX, 0}}},
};

class CpuSelfModifying : public ::testing::TestWithParam<std::tuple<SelfModifyingCase, bool>> {};

TEST_P(CpuSelfModifying, RunsThePatchedBytes) {
    const auto& [c, stepping] = GetParam();
    Machine m;
    for (std::size_t i = 0; i < c.code.size(); ++i) m.mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(i))] = c.code[i];
    StopReason reason = StopReason::InstructionLimit;
    for (int i = 0; i < 100 && reason != StopReason::Halted; ++i) reason = m.cpu.run(stepping ? 1 : 1000);
    ASSERT_EQ(reason, StopReason::Halted);
    EXPECT_EQ(m.r().ip, c.code.size()) << "halted on the last byte";
    for (const auto& [reg, value] : c.registers) EXPECT_EQ(m.r().gp[reg], value) << "register " << reg;
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuSelfModifying, ::testing::Combine(::testing::ValuesIn(kSelfModifying), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Stepping" : "InOneGo");
                         });

// The run loop keeps instructions decoded once they ran. Each case runs an instruction, changes its bytes
// (or puts other bytes where its entry would serve them) and runs that address again: the new bytes run.
struct DecodedCase {
    const char* name;
    std::uint16_t ip;                                                         // where the program starts
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> code;    // offset in the code segment, bytes
    std::vector<std::pair<unsigned, std::uint16_t>> registers;                // expected when it halts
};

std::ostream& operator<<(std::ostream& os, const DecodedCase& c) { return os << c.name; }

const DecodedCase kDecoded[] = {
    // MOV AX,1 runs three times; INC BYTE CS:[4] raises its immediate after each: BX = 1 + 2 + 3.
    {"ImmediateChangedAfterItRan",
     0,
     {{0, {0xB9, 0x03, 0x00, 0xB8, 0x01, 0x00, 0x01, 0xC3, 0x2E, 0xFE, 0x06, 0x04, 0x00, 0x49, 0x75, 0xF3, 0xF4}}},
     {{BX, 6}, {AX, 3}}},
    // ADD BX,AX runs once, then MOV BYTE CS:[7],0CBh makes it ADD BX,CX: BX = 5 + 2 + 1.
    {"RegisterOperandChangedAfterItRan",
     0,
     {{0, {0xB9, 0x03, 0x00, 0xB8, 0x05, 0x00, 0x01, 0xC3, 0x2E, 0xC6, 0x06, 0x07, 0x00, 0xCB, 0x49, 0x75, 0xF5, 0xF4}}},
     {{BX, 8}}},
    // MOV AX,[BX+20h] runs once, then its displacement becomes 22h: DX = [20h] + [22h] = 1111h + 2222h.
    {"DisplacementChangedAfterItRan",
     0,
     {{0, {0xB9, 0x02, 0x00, 0x8B, 0x47, 0x20, 0x01, 0xC2, 0x2E, 0xC6, 0x06, 0x05, 0x00, 0x22, 0x49, 0x75, 0xF2, 0xF4}}},
     {{DX, 0x3333}}},
    // INC AX at 3 and INC BX at 403h share a slot of the cache and take turns, three times each.
    {"TwoInstructionsInOneSlot",
     0,
     {{0, {0xB9, 0x03, 0x00, 0x40, 0xE9, 0xFC, 0x03}}, {0x403, {0x43, 0x49, 0x74, 0x03, 0xE9, 0xF9, 0xFB, 0xF4}}},
     {{AX, 3}, {BX, 3}, {CX, 0}}},
    // One straight run, kept as one block: MOV [BX],CL writes CX into the immediate of the MOV AX after
    // it, which must run with the byte just written, each time round: DX = 3 + 2 + 1.
    {"LaterInstructionOfTheSameRunChanged",
     0,
     {{0, {0xB9, 0x03, 0x00, 0x0E, 0x1F, 0xBB, 0x0B, 0x00, 0x88, 0x0F, 0xB8, 0x00, 0x00, 0x01, 0xC2, 0x49, 0x75, 0xF6,
           0xF4}}},
     {{DX, 6}, {AX, 1}}},
    // MOV AX,1234h runs at FBFEh; the same first bytes at FFFEh (the slot of FBFEh) take their last byte
    // from offset 0 of the segment, not from the byte after FFFFh.
    {"InstructionWrappingAtTheEndOfTheSegment",
     0xFBFE,
     {{0xFBFE, {0xB8, 0x34, 0x12, 0xE9, 0xFA, 0x03}}, {0xFFFE, {0xB8, 0x34}}, {0, {0x56, 0xF4}}},
     {{AX, 0x5634}}},
};

class CpuDecoded : public ::testing::TestWithParam<std::tuple<DecodedCase, bool>> {};

TEST_P(CpuDecoded, RunsTheBytesInMemoryNow) {
    const auto& [c, stepping] = GetParam();
    Machine m;
    for (const auto& [offset, bytes] : c.code) {
        for (std::size_t i = 0; i < bytes.size(); ++i) m.mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(offset + i))] = bytes[i];
    }
    // The byte after offset FFFFh in memory (not in the segment) as the wrapping case's stale copy has it.
    m.mem[Machine::linear(kCodeSeg, 0xFFFF) + 1] = 0x12;
    m.pokeWord(kDataSeg, 0x20, 0x1111);
    m.pokeWord(kDataSeg, 0x22, 0x2222);
    m.r().ip = c.ip;
    StopReason reason = StopReason::InstructionLimit;
    for (int i = 0; i < 100 && reason != StopReason::Halted; ++i) reason = m.cpu.run(stepping ? 1 : 1000);
    ASSERT_EQ(reason, StopReason::Halted);
    for (const auto& [reg, value] : c.registers) EXPECT_EQ(m.r().gp[reg], value) << "register " << reg;
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuDecoded, ::testing::Combine(::testing::ValuesIn(kDecoded), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Stepping" : "InOneGo");
                         });

// Memory changed from outside the CPU between runs (a loader, DOS reading a file, DEBUG's E) is run as
// it is now, also where the old bytes had run and were kept decoded.
TEST(CpuDecodedOutside, BytesWrittenBetweenRunsAreRun) {
    Machine m;
    m.code({kIncAx, 0xEB, 0xFD});  // INC AX / JMP back
    m.cpu.run(100);
    EXPECT_EQ(m.r().gp[AX], 50);
    m.code({0x43});  // INC BX
    m.cpu.run(100);
    EXPECT_EQ(m.r().gp[AX], 50);
    EXPECT_EQ(m.r().gp[BX], 50);
}

// More blocks than the decoded pool holds, run three times over: the loop drops them all when the pool
// runs out and goes on, and the run counts and ends exactly as single steps do.
TEST(CpuDecodedOutside, MoreBlocksThanThePoolHolds) {
    constexpr int kBlocks = 1500;  // INC AX / JMP SHORT $+2: a block of two entries and its end marker
    std::vector<std::uint8_t> code = {0xB9, 0x03, 0x00};  // MOV CX,3
    for (int i = 0; i < kBlocks; ++i) code.insert(code.end(), {0x40, 0xEB, 0x00});
    const auto back = static_cast<std::uint16_t>(3 - (code.size() + 6));
    // DEC CX / JZ +3 / JMP NEAR 3 / HLT
    code.insert(code.end(), {0x49, 0x74, 0x03, 0xE9, static_cast<std::uint8_t>(back), static_cast<std::uint8_t>(back >> 8), 0xF4});
    Machine whole;
    Machine stepped;
    for (Machine* m : {&whole, &stepped}) {
        for (std::size_t i = 0; i < code.size(); ++i) m->mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(i))] = code[i];
    }
    EXPECT_EQ(whole.cpu.run(100'000), StopReason::Halted);
    while (stepped.cpu.run(1) != StopReason::Halted) ASSERT_LT(stepped.cpu.instructionCount(), 100'000u);
    EXPECT_EQ(whole.r().gp[AX], 3 * kBlocks);
    EXPECT_EQ(whole.r().gp[CX], 0);
    EXPECT_EQ(whole.cpu.instructionCount(), stepped.cpu.instructionCount());
    EXPECT_EQ(whole.r().ip, stepped.r().ip);
}

// The same at the top of memory: an instruction at FFFFEh takes its last byte from 00000h, not from
// the guard bytes after the buffer, though the same bytes ran (and were kept) at the same IP elsewhere.
TEST(CpuDecodedOutside, InstructionWrappingAtOneMegabyte) {
    Machine m;
    m.poke(kCodeSeg, 0x0E, {0xB8, 0x34, 0x12});  // MOV AX,1234h
    m.r().ip = 0x0E;
    m.cpu.run(1);
    ASSERT_EQ(m.r().gp[AX], 0x1234);
    m.mem[kMemorySize] = 0x12;  // a guard byte: what a read past the end would see
    m.mem[0xFFFFE] = 0xB8;
    m.mem[0xFFFFF] = 0x34;
    m.mem[0x00000] = 0x56;
    m.r().seg[CS] = 0xFFFF;
    m.r().ip = 0x000E;
    m.cpu.run(1);
    EXPECT_EQ(m.r().gp[AX], 0x5634);
    EXPECT_EQ(m.r().ip, 0x0011);
}

// The host sets CF (as DOS does for an error) and the next instructions read it at once, in the same
// run, also the second time round, when they are kept decoded.
TEST(CpuDecodedOutside, CarryFlagSetByTheHostIsReadByTheNextInstructions) {
    struct CarryBus : TestBus {
        bool hostTrap(Cpu& cpu, std::uint8_t) override {
            cpu.regs().flags |= flag::CF;
            return true;
        }
    };
    Machine m;
    CarryBus bus;
    Cpu cpu(m.mem.data(), bus, CpuModel::I80186);
    cpu.regs().seg[CS] = 0xF000;
    // CMP AX,AX (CF clear) / host trap (CF set) / JC +1 / INC DX / ADC BX,0 / INC CX / JMP back
    m.poke(0xF000, 0, {0x39, 0xC0, 0xF1, 0x21, 0x72, 0x01, 0x42, 0x83, 0xD3, 0x00, 0x41, 0xEB, 0xF3});
    cpu.run(12);
    EXPECT_EQ(cpu.regs().gp[BX], 2) << "ADC saw CF";
    EXPECT_EQ(cpu.regs().gp[CX], 2);
    EXPECT_EQ(cpu.regs().gp[DX], 0) << "JC saw CF";
}

}  // namespace
