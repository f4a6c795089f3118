// The CPU's dispatch against the instruction table: per model, an opcode has a handler exactly when a
// form of it exists there, and a faulty registration is reported rather than silently kept.

#include "cpu_dispatch.h"
#include "cpu_test_machine.h"
#include "x86/decoder.h"
#include "x86/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

using namespace krvs::x86;
using namespace krvs::x86::testing_machine;
using interp::Binding;
using interp::DispatchSet;

bool formExists(CpuModel model, bool twoByte, unsigned byte) {
    for (const Form& f : instructionTable()) {
        if (!f.availableOn(model) || f.twoByteOpcode() != twoByte) continue;
        const OpcodeBytes bytes = opcodeBytes(f);
        if (std::find(bytes.byte, bytes.byte + bytes.count, byte) != bytes.byte + bytes.count) return true;
    }
    return false;
}

bool anyTwoByteForm(CpuModel model) {
    for (unsigned b = 0; b < 256; ++b)
        if (formExists(model, true, b)) return true;
    return false;
}

TEST(CpuDispatch, RegistrationIsSound) {
    DispatchSet set{};
    const std::vector<Binding> bindings = interp::allBindings();
    std::vector<std::string> problems = interp::buildDispatch(bindings, set);
    std::string all;
    for (const std::string& p : problems) all += p + "\n";
    EXPECT_TRUE(problems.empty()) << all;
}

class CpuDispatchModel : public testing::TestWithParam<CpuModel> {};

TEST_P(CpuDispatchModel, AnOpcodeHasAHandlerExactlyWhenTheModelHasAForm) {
    const CpuModel model = GetParam();
    const interp::Dispatch& d = interp::dispatchFor(model);
    for (unsigned b = 0; b < 256; ++b) {
        bool form = formExists(model, false, b) || (b == 0x0F && anyTwoByteForm(model));
        EXPECT_EQ(d.one[b] != interp::invalidOpcode, form) << std::hex << "opcode " << b;
        EXPECT_EQ(d.two[b] != interp::invalidOpcode, formExists(model, true, b)) << std::hex << "opcode 0F " << b;
    }
}

// What the chips leave undefined (the decisions document lists these): the 8086 runs every byte, the
// 80186 traps 0Fh and 63h-67h, the 80286 64h-67h. Each traps to INT 6 with IP on the opcode.
TEST_P(CpuDispatchModel, UndefinedOpcodesRaiseInvalidOpcode) {
    const CpuModel model = GetParam();
    std::set<unsigned> want;
    if (model == CpuModel::I80186) want = {0x0F, 0x63, 0x64, 0x65, 0x66, 0x67};
    if (model == CpuModel::I80286) want = {0x64, 0x65, 0x66, 0x67};
    const interp::Dispatch& d = interp::dispatchFor(model);
    std::set<unsigned> unbound;
    for (unsigned b = 0; b < 256; ++b)
        if (d.one[b] == interp::invalidOpcode) unbound.insert(b);
    EXPECT_EQ(unbound, want);
    for (unsigned b : want) {
        Machine m(model);
        m.setVector(6, 0x5000, 0x0010);
        m.poke(kCodeSeg, 0x20, {static_cast<std::uint8_t>(b), 0x00, 0x00, 0x00});
        m.r().ip = 0x20;
        m.cpu.step();
        EXPECT_EQ(m.r().seg[CS], 0x5000) << std::hex << b;
        EXPECT_EQ(m.r().ip, 0x0010) << std::hex << b;
        EXPECT_EQ(m.stackWord(0), 0x20) << std::hex << b;
    }
}

// The run loop keeps instructions decoded in blocks: it chains the entries of those the dispatch says
// always go on at the next instruction, and counts a whole block at once. So each of them must end right
// after its own bytes, whatever its operands and the state: eight copies in a row (one block) run in one
// go end as eight single steps do, and each step ends where the decoder says the instruction ends.
TEST_P(CpuDispatchModel, InstructionsKeptInBlocksGoOnAtTheNext) {
    const CpuModel model = GetParam();
    const interp::Dispatch& d = interp::dispatchFor(model);
    std::mt19937 rng(7);
    Machine whole(model);
    Machine stepped(model);
    int checked = 0;
    for (unsigned op = 0; op < 256; ++op) {
        if (!d.continues[op]) continue;
        for (unsigned modrm = 0; modrm < 256; ++modrm) {
            std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(modrm)};
            for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(rng()));
            const Instruction in = decode(bytes, 0x100, model);
            if (in.kind != DecodeKind::Instruction) continue;  // a reg field the form does not allow
            for (Machine* m : {&whole, &stepped}) {
                for (unsigned copy = 0; copy < 8; ++copy) {
                    for (unsigned i = 0; i < in.length; ++i) {
                        m->mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(0x100 + copy * in.length + i))] = bytes[i];
                    }
                }
                m->mem[Machine::linear(kCodeSeg, static_cast<std::uint16_t>(0x100 + 8 * in.length))] = 0xF4;  // HLT
            }
            std::mt19937 state(rng());
            for (std::uint16_t& g : whole.r().gp) g = static_cast<std::uint16_t>(state());
            whole.r().flags = static_cast<std::uint16_t>((state() & 0x0CD5) | 0xF002);  // TF clear
            whole.r().ip = 0x100;
            stepped.r() = whole.r();
            const std::uint64_t before = whole.cpu.instructionCount();
            whole.cpu.run(8);
            for (unsigned i = 1; i <= 8; ++i) {
                stepped.cpu.run(1);
                ASSERT_EQ(stepped.r().ip, 0x100 + i * in.length) << std::hex << "opcode " << op << " modrm " << modrm;
            }
            ASSERT_EQ(whole.cpu.instructionCount() - before, 8u) << std::hex << "opcode " << op << " modrm " << modrm;
            ASSERT_EQ(whole.r().ip, stepped.r().ip) << std::hex << "opcode " << op << " modrm " << modrm;
            for (int i = 0; i < 8; ++i) ASSERT_EQ(whole.r().gp[i], stepped.r().gp[i]) << std::hex << "opcode " << op;
            ASSERT_EQ(whole.r().flags, stepped.r().flags) << std::hex << "opcode " << op << " modrm " << modrm;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Cpu, CpuDispatchModel, testing::Values(CpuModel::I8086, CpuModel::I80186, CpuModel::I80286),
                         [](const testing::TestParamInfo<CpuModel>& p) { return std::string(modelName(p.param)); });

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
    return std::any_of(problems.begin(), problems.end(), [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

// The registration faults the builder exists to catch: a second handler for an opcode, a form left
// without one, a handler that names no form.
TEST(CpuDispatch, ReportsFaultyRegistrations) {
    const std::vector<Binding> good = interp::allBindings();
    auto withoutOpcode = [&](std::uint16_t opcode) {
        std::vector<Binding> v;
        for (const Binding& b : good)
            if (b.opcode != opcode) v.push_back(b);
        return v;
    };
    DispatchSet set{};

    std::vector<Binding> twice = good;
    twice.push_back({0x90, "NOP", interp::invalidOpcode});
    EXPECT_TRUE(mentions(interp::buildDispatch(twice, set), "opcode 90h bound twice")) << "XCHG and NOP share 90h";

    EXPECT_TRUE(mentions(interp::buildDispatch(withoutOpcode(0x62), set), "no handler for opcode 62h (BOUND) on the 80186"));
    EXPECT_TRUE(mentions(interp::buildDispatch(withoutOpcode(0x62), set), "no handler for opcode 62h (JB) on the 8086"));
    EXPECT_TRUE(mentions(interp::buildDispatch(withoutOpcode(0x0F01), set), "no handler for opcode 0F01h"));

    std::vector<Binding> stray = good;
    stray.push_back({0x64, "PUSHA", interp::invalidOpcode});
    EXPECT_TRUE(mentions(interp::buildDispatch(stray, set), "64h PUSHA runs no form"));

    // A fast handler is a second way to run an opcode, never the only one, and one-byte opcodes only.
    const interp::FastHandler fast = [](interp::Exec&, std::uint16_t ip) { return ip; };
    std::vector<Binding> onlyFast = withoutOpcode(0x40);
    onlyFast.push_back({0x40, "INC", nullptr, fast});
    EXPECT_TRUE(mentions(interp::buildDispatch(onlyFast, set), "no handler for opcode 40h (INC)"));
    std::vector<Binding> fastTwice = good;
    fastTwice.push_back({0x40, "INC", nullptr, fast});
    EXPECT_TRUE(mentions(interp::buildDispatch(fastTwice, set), "opcode 40h bound twice"));
    std::vector<Binding> fastTwoByte = good;
    fastTwoByte.push_back({0x0F01, "SMSW", nullptr, fast});
    EXPECT_TRUE(mentions(interp::buildDispatch(fastTwoByte, set), "a fast handler for 0F01h"));
}

}  // namespace
