// Encoder and decoder agree: every form of the table, encoded from sample operands, decodes back to
// the same instruction (same opcode, same operands, same length).

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "x86/decoder.h"
#include "x86/disasm.h"
#include "x86/encoder.h"

namespace krvs::x86 {
namespace {

using enum OpClass;

constexpr std::uint16_t kOrigin = 0x0200;

// Operands chosen so that the form under test is the shortest that fits: memory for r/m (no
// accumulator or +r short cuts), values that do not fit a smaller immediate, far jump targets.
Operand memorySample(OpClass c) {
    switch (c) {
    case Al: return Operand::reg8(r8::AL);
    case Cl: return Operand::reg8(r8::CL);
    case Ax: return Operand::reg16(AX);
    case Dx: return Operand::reg16(DX);
    case Cs: return Operand::seg(CS);
    case R8: return Operand::reg8(r8::DH);
    case R16: return Operand::reg16(SI);
    case Sreg: return Operand::seg(DS);
    case SregW: return Operand::seg(ES);
    case Rm8: return Operand::memory(BP, DI, -4, OpSize::Byte);
    case Rm16: return Operand::memory(BX, kNoReg, 0x1234, OpSize::Word);
    case Mem: return Operand::memory(BX, SI, 0x1234);
    case M32: case MFar: return Operand::memory(BP, kNoReg, 0x10, OpSize::Dword);
    case Moffs8: return Operand::direct(0x1234, OpSize::Byte);
    case Moffs16: return Operand::direct(0x4321, OpSize::Word);
    case Imm8: return Operand::imm(0x85);
    case Imm16: return Operand::imm(0x1234);
    case Imm8s: return Operand::imm(-3);
    case One: return Operand::imm(1);
    case Three: return Operand::imm(3);
    case Rel8: return Operand::rel(kOrigin + 0x20);
    case Rel16: return Operand::rel(kOrigin + 0x1000);
    case FarPtr: return Operand::farPtr(0x1234, 0x5678);
    case EscCode: return Operand::imm(0x2B);
    case RmAny: return Operand::memory(BX, DI, 0x20);
    case StrSrc8: return Operand::memory(kNoReg, SI, 0, OpSize::Byte, ES);
    case StrSrc16: return Operand::memory(kNoReg, SI, 0, OpSize::Word);
    case StrDst8: return Operand::memory(kNoReg, DI, 0, OpSize::Byte, ES);
    case StrDst16: return Operand::memory(kNoReg, DI, 0, OpSize::Word);
    case XlatTable: return Operand::direct(0x40, OpSize::Byte, CS);
    default: return {};
    }
}

// The same with registers in the r/m slots (ModR/M mod 11).
Operand registerSample(OpClass c) {
    if (c == Rm8) return Operand::reg8(r8::BL);
    if (c == Rm16) return Operand::reg16(DI);
    return memorySample(c);
}

bool sameOperand(const Operand& want, const Operand& got) {
    if (want.kind != got.kind) return false;
    switch (want.kind) {
    case OperandKind::Reg8: case OperandKind::Reg16: case OperandKind::Seg: return want.reg == got.reg;
    case OperandKind::Mem:
        return want.mem.base == got.mem.base && want.mem.index == got.mem.index &&
               (want.mem.disp & 0xFFFF) == (got.mem.disp & 0xFFFF) &&
               (want.size == OpSize::None || want.size == got.size);
    case OperandKind::Imm: return (want.value & 0xFFFF) == (got.value & 0xFFFF);
    case OperandKind::Rel: return want.value == got.value;
    case OperandKind::Far: return want.value == got.value && want.segment == got.segment;
    case OperandKind::None: return true;
    }
    return false;
}

bool sameOperands(const std::array<Operand, 3>& want, const Instruction& got, int count) {
    bool straight = true;
    for (int i = 0; i < count; ++i) straight &= sameOperand(want[i], got.ops[i]);
    // TEST and XCHG decode register-field first whichever order they were written in.
    bool swapped = count == 2 && sameOperand(want[0], got.ops[1]) && sameOperand(want[1], got.ops[0]);
    return straight || swapped;
}

std::string describe(const Form& f) {
    std::ostringstream s;
    s << f.mnemonic << " opcode " << std::hex << f.opcode << " /" << int(f.digit);
    return s.str();
}

std::string text(const Instruction& insn) {
    DebugWriter w;
    disassemble(insn, w);
    return w.mnemonic() + " " + w.operands();
}

// Decodes `code` as prefixes plus one instruction.
std::vector<Instruction> decodeAll(std::span<const std::uint8_t> code, CpuModel cpu) {
    std::vector<Instruction> pieces;
    std::size_t pos = 0;
    do {
        pieces.push_back(decode(code.subspan(pos), static_cast<std::uint16_t>(kOrigin + pos), cpu));
        pos += pieces.back().length;
    } while (pieces.back().kind == DecodeKind::Prefix && pos < code.size());
    return pieces;
}

// Encodes what the decoder saw, piece by piece; the bytes must come out the same.
void reencode(const std::vector<Instruction>& pieces, std::span<const std::uint8_t> code, CpuModel cpu,
              const std::string& what) {
    std::size_t pos = 0;
    for (const Instruction& insn : pieces) {
        if (!insn.form) return;
        EncodeOptions opt;
        opt.cpu = cpu;
        opt.origin = static_cast<std::uint16_t>(kOrigin + pos);
        EncodeResult r = encode(insn.form->mnemonic, std::span(insn.ops.data(), insn.operandCount()), opt);
        ASSERT_TRUE(r.ok()) << what << ": " << text(insn) << ": " << encodeErrorText(r.error);
        std::vector<std::uint8_t> want(code.begin() + pos, code.begin() + pos + insn.length);
        EXPECT_EQ(std::vector<std::uint8_t>(r.code().begin(), r.code().end()), want) << what << ": " << text(insn);
        pos += insn.length;
    }
}

// Encodes `form` with operands from `sample`, decodes the bytes, compares, and encodes the decoded
// instruction again. Returns the form the encoder chose.
const Form* roundTrip(const Form& form, Operand (*sample)(OpClass)) {
    std::array<Operand, 3> ops{};
    for (int i = 0; i < form.operandCount(); ++i) ops[i] = sample(form.ops[i]);
    EncodeOptions opt;
    opt.cpu = form.cpu;
    opt.origin = kOrigin;
    EncodeResult r = encode(form.mnemonic, std::span<const Operand>(ops.data(), form.operandCount()), opt);
    EXPECT_TRUE(r.ok()) << describe(form) << ": " << encodeErrorText(r.error);
    if (!r.ok()) return nullptr;

    std::vector<Instruction> pieces = decodeAll(r.code(), form.cpu);
    const Instruction& insn = pieces.back();
    std::size_t total = 0;
    for (const Instruction& piece : pieces) total += piece.length;
    EXPECT_EQ(total, r.length) << describe(form);
    EXPECT_TRUE(insn.kind == DecodeKind::Instruction || insn.kind == DecodeKind::Prefix) << describe(form);
    if (!insn.form) return r.form;
    EXPECT_EQ(insn.form->opcode, r.form->opcode) << describe(form) << " came back as " << text(insn);
    if (!r.form->has(formflag::kAlias)) {
        EXPECT_EQ(insn.form->mnemonic, r.form->mnemonic) << describe(form);
    }
    // Spellings with fewer or more operands (MOVS ES:[DI],[SI] -> MOVSB; IMUL AX,10 -> IMUL AX,AX,10)
    // are checked by encoding the decoded instruction again.
    if (insn.operandCount() == form.operandCount()) {
        EXPECT_TRUE(sameOperands(ops, insn, form.operandCount())) << describe(form) << " came back as " << text(insn);
    }
    reencode(pieces, r.code(), form.cpu, describe(form));
    return r.form;
}

TEST(TableRoundTrip, EveryFormEncodesAndDecodesBack) {
    int tried = 0;
    for (const Form& form : instructionTable()) {
        if (form.has(formflag::kDecodeOnly) || form.has(formflag::kHidden)) continue;
        const Form* chosen = roundTrip(form, memorySample);
        EXPECT_EQ(chosen, &form) << describe(form) << ": the samples picked another form";
        ++tried;
    }
    EXPECT_GT(tried, 250);
}

TEST(TableRoundTrip, FormsPerMnemonicStayWithinTheEncodersLimit) {
    for (const Form& form : instructionTable()) EXPECT_LE(formsFor(form.mnemonic).size(), kMaxFormsPerMnemonic) << form.mnemonic;
}

TEST(TableRoundTrip, RegisterOperandsDecodeBack) {
    for (const Form& form : instructionTable())
        if (!form.has(formflag::kDecodeOnly) && !form.has(formflag::kHidden)) roundTrip(form, registerSample);
}

// The other direction: whatever the decoder accepts, the encoder can write back with the same meaning
// (possibly shorter: 8B 47 00 comes back as 8B 07, E9 to a near target as EB).
bool writesCs(const Instruction& insn) {
    return insn.operandCount() > 0 && insn.ops[0].kind == OperandKind::Seg && insn.ops[0].reg == CS;
}

void assembleBack(std::span<const std::uint8_t> bytes, CpuModel cpu, int& checked) {
    Instruction insn = decode(bytes, kOrigin, cpu);
    if (insn.kind != DecodeKind::Instruction) return;
    EncodeOptions opt;
    opt.cpu = cpu;
    opt.origin = kOrigin;
    EncodeResult r = encode(insn.form->mnemonic, std::span(insn.ops.data(), insn.operandCount()), opt);
    if (!r.ok() && writesCs(insn)) return;  // MOV CS / POP CS: shown, but not assembled
    ASSERT_TRUE(r.ok()) << text(insn) << ": " << encodeErrorText(r.error);
    std::vector<Instruction> again = decodeAll(r.code(), cpu);
    ASSERT_TRUE(again.back().form) << text(insn);
    if (again.back().form->mnemonic == "NOP") return;  // XCHG AX,AX written as 90
    EXPECT_EQ(again.back().form->mnemonic, insn.form->mnemonic) << text(insn);
    EXPECT_TRUE(sameOperands(insn.ops, again.back(), insn.operandCount()))
        << text(insn) << " came back as " << text(again.back());
    ++checked;
}

TEST(TableRoundTrip, EveryDecodedInstructionAssemblesBack) {
    int checked = 0;
    for (CpuModel cpu : {CpuModel::I8086, CpuModel::I80186, CpuModel::I80286}) {
        for (int op = 0; op < 256; ++op) {
            for (int modrm = 0; modrm < 256; ++modrm) {
                std::array<std::uint8_t, 8> bytes{static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(modrm),
                                                  0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
                assembleBack(bytes, cpu, checked);
                bytes = {0x0F, static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(modrm), 0x12, 0x34, 0x56};
                if (cpu == CpuModel::I80286 && op < 8) assembleBack(bytes, cpu, checked);
            }
        }
    }
    EXPECT_GT(checked, 100000);
}

TEST(TableRoundTrip, EveryAddressingModeAndDisplacementWidth) {
    const std::int8_t regs[][2] = {{BX, SI}, {BX, DI}, {BP, SI}, {BP, DI}, {kNoReg, SI},
                                   {kNoReg, DI}, {BP, kNoReg}, {BX, kNoReg}};
    for (const auto& rr : regs) {
        for (std::int32_t disp : {0, 5, -5, 127, -128, 128, 0x1234, 0xFFFF}) {
            std::array<Operand, 3> ops{Operand::reg16(DX), Operand::memory(rr[0], rr[1], disp)};
            EncodeResult r = encode("mov", std::span<const Operand>(ops.data(), 2), {});
            ASSERT_TRUE(r.ok());
            Instruction insn = decode(r.code(), 0, CpuModel::I8086);
            EXPECT_EQ(insn.length, r.length);
            EXPECT_TRUE(sameOperands(ops, insn, 2)) << text(insn) << " from disp " << disp;
        }
    }
}

TEST(TableRoundTrip, UnknownDisplacementKeepsSixteenBits) {
    Operand m = Operand::memory(BX, kNoReg, 0);
    m.mem.dispKnown = false;
    std::array<Operand, 2> ops{Operand::reg16(AX), m};
    EncodeResult r = encode("mov", ops, {});
    ASSERT_TRUE(r.ok());
    Instruction insn = decode(r.code(), 0, CpuModel::I8086);
    EXPECT_EQ(insn.ops[1].mem.dispWidth, 2);
}

}  // namespace
}  // namespace krvs::x86
