#include "x86/decoder.h"

#include <memory>

#include "modrm.h"

namespace krvs::x86 {
namespace {

using enum OpClass;

constexpr int kLevels = 3;

int levelOf(CpuModel cpu) { return static_cast<int>(cpu); }

// For each CPU level and opcode (one byte, or the byte after 0F): the form per reg field, and
// whether the opcode takes a ModR/M byte at all.
struct OpcodeSlot {
    const Form* byDigit[8] = {};
    bool modRm = false;
    bool used = false;
};

struct DecodeIndex {
    OpcodeSlot one[kLevels][256];
    OpcodeSlot two[kLevels][256];

    DecodeIndex() {
        for (int level = 0; level < kLevels; ++level)
            for (const Form& f : instructionTable())
                if (!f.has(formflag::kAlias) && !f.has(formflag::kHidden) && f.availableOn(static_cast<CpuModel>(level)))
                    add(level, f);
    }

    void put(OpcodeSlot& slot, int digit, const Form& f) {
        slot.used = true;
        slot.modRm |= f.enc == Enc::ModRm || f.enc == Enc::Digit || f.enc == Enc::Esc;
        if (!slot.byDigit[digit]) slot.byDigit[digit] = &f;
    }

    void add(int level, const Form& f) {
        OpcodeSlot* table = f.twoByteOpcode() ? two[level] : one[level];
        const bool oneDigit = f.enc == Enc::Digit && !(f.has(formflag::kAnyReg8086) && level == levelOf(CpuModel::I8086));
        const OpcodeBytes bytes = opcodeBytes(f);
        for (int i = 0; i < bytes.count; ++i) {
            OpcodeSlot& slot = table[bytes.byte[i]];
            if (oneDigit) {
                put(slot, f.digit, f);
            } else {
                for (int d = 0; d < 8; ++d) put(slot, d, f);
            }
        }
    }
};

const DecodeIndex& decodeIndex() {
    static const auto index = std::make_unique<DecodeIndex>();
    return *index;
}


// Reads bytes one after another and notes when the input runs out.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint8_t byte() {
        if (m_pos >= m_bytes.size()) {
            m_short = true;
            ++m_pos;
            return 0;
        }
        return m_bytes[m_pos++];
    }
    std::uint16_t word() {
        std::uint8_t lo = byte();
        return static_cast<std::uint16_t>(lo | byte() << 8);
    }
    std::size_t pos() const { return m_pos; }
    bool truncated() const { return m_short; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    bool m_short = false;
};

struct ModRmFields {
    std::uint8_t mod = 0, reg = 0, rm = 0;
};

Operand memoryOperand(const ModRmFields& m, Reader& in, OpSize size) {
    Operand o;
    o.kind = OperandKind::Mem;
    o.size = size;
    if (m.mod == 0 && m.rm == 6) {
        o.mem.disp = in.word();
        o.mem.dispWidth = 2;
        return o;
    }
    o.mem.base = kAddressRegs[m.rm].base;
    o.mem.index = kAddressRegs[m.rm].index;
    if (m.mod == 1) {
        o.mem.disp = static_cast<std::int8_t>(in.byte());
        o.mem.dispWidth = 1;
    } else if (m.mod == 2) {
        o.mem.disp = in.word();
        o.mem.dispWidth = 2;
    }
    return o;
}

Operand registerOperand(OperandKind kind, std::uint8_t reg) {
    Operand o;
    o.kind = kind;
    o.reg = reg;
    return o;
}

Operand immediate(std::int32_t v, OpSize size) {
    Operand o = Operand::imm(v);
    o.size = size;
    return o;
}

// Decodes one operand slot; returns false when the ModR/M byte does not allow the class.
bool decodeOperand(OpClass c, const ModRmFields& m, std::uint8_t opcode, CpuModel cpu, Reader& in, Operand& out) {
    bool reg = m.mod == 3;
    switch (c) {
    case None: return true;
    case Al: out = registerOperand(OperandKind::Reg8, r8::AL); return true;
    case Cl: out = registerOperand(OperandKind::Reg8, r8::CL); return true;
    case Ax: out = registerOperand(OperandKind::Reg16, AX); return true;
    case Dx: out = registerOperand(OperandKind::Reg16, DX); return true;
    case Cs: out = registerOperand(OperandKind::Seg, CS); return true;
    case R8: out = registerOperand(OperandKind::Reg8, m.reg); return true;
    case R16: out = registerOperand(OperandKind::Reg16, m.reg); return true;
    case Sreg: case SregW:
        // The 8086 ignores the top bit of the segment register number; later CPUs refuse it.
        out = registerOperand(OperandKind::Seg, m.reg & 3);
        return m.reg < 4 || cpu == CpuModel::I8086;
    case Rm8: out = reg ? registerOperand(OperandKind::Reg8, m.rm) : memoryOperand(m, in, OpSize::Byte); return true;
    case Rm16: case RmAny:
        out = reg ? registerOperand(OperandKind::Reg16, m.rm) : memoryOperand(m, in, OpSize::Word);
        return true;
    case Mem: out = memoryOperand(m, in, OpSize::None); return !reg;
    case M32: case MFar: out = memoryOperand(m, in, OpSize::Dword); return !reg;
    case Moffs8: case Moffs16:
        out = Operand::direct(in.word(), c == Moffs8 ? OpSize::Byte : OpSize::Word);
        out.mem.dispWidth = 2;
        return true;
    case Imm8: out = immediate(in.byte(), OpSize::Byte); return true;
    case Imm8s: out = immediate(static_cast<std::int8_t>(in.byte()), OpSize::Byte); return true;
    case Imm16: out = immediate(in.word(), OpSize::Word); return true;
    case One: out = immediate(1, OpSize::Byte); return true;
    case Three: out = immediate(3, OpSize::Byte); return true;
    case StrSrc8: case StrSrc16: case StrDst8: case StrDst16: case XlatTable: return false;  // encoder-only spellings
    case EscCode: out = immediate((opcode & 7) << 3 | m.reg, OpSize::Byte); return true;
    case Rel8: out = Operand::rel(static_cast<std::int8_t>(in.byte())); return true;
    case Rel16: out = Operand::rel(static_cast<std::int16_t>(in.word())); return true;
    case FarPtr: {
        std::uint16_t off = in.word();
        out = Operand::farPtr(in.word(), off);
        return true;
    }
    }
    return false;
}

void fixRegisterFromOpcode(const Form& f, std::uint8_t opcode, Instruction& insn) {
    for (int i = 0; i < f.operandCount(); ++i) {
        if (f.enc == Enc::PlusReg && (f.ops[i] == R8 || f.ops[i] == R16)) insn.ops[i].reg = opcode & 7;
        if (f.enc == Enc::SregIn && (f.ops[i] == Sreg || f.ops[i] == SregW)) insn.ops[i].reg = (opcode >> 3) & 3;
    }
}

Instruction finish(Instruction insn, const Reader& in, std::uint16_t ip) {
    insn.length = static_cast<std::uint8_t>(in.pos());
    if (in.truncated()) {
        insn.kind = DecodeKind::Truncated;
        return insn;
    }
    // Relative targets count from the end of the instruction, in the same 64K segment.
    for (Operand& o : insn.ops)
        if (o.kind == OperandKind::Rel) o.value = static_cast<std::uint16_t>(ip + insn.length + o.value);
    return insn;
}

}  // namespace

int Instruction::memoryOperand() const {
    for (int i = 0; i < operandCount(); ++i)
        if (ops[i].kind == OperandKind::Mem) return i;
    return -1;
}

Instruction decode(std::span<const std::uint8_t> bytes, std::uint16_t ip, CpuModel cpu) {
    const DecodeIndex& index = decodeIndex();
    Reader in(bytes);
    Instruction insn;
    insn.opcode = in.byte();
    const OpcodeSlot* slot = &index.one[levelOf(cpu)][insn.opcode];
    // 0F starts a two-byte opcode on the 80286; on the 8086 it is POP CS (a one-byte form).
    if (insn.opcode == 0x0F && !slot->used) {
        Reader peek(bytes.subspan(1));
        const OpcodeSlot& second = index.two[levelOf(cpu)][peek.byte()];
        if (second.used && !peek.truncated()) {
            slot = &second;
            in.byte();
        }
    }
    if (in.truncated()) return finish(insn, in, ip);
    if (!slot->used) {
        insn.kind = DecodeKind::Undefined;
        insn.length = 1;
        return insn;
    }
    ModRmFields m;
    if (slot->modRm) {
        std::uint8_t b = in.byte();
        m = {static_cast<std::uint8_t>(b >> 6), static_cast<std::uint8_t>((b >> 3) & 7), static_cast<std::uint8_t>(b & 7)};
    }
    const std::size_t afterModRm = in.pos();
    const Form* f = slot->byDigit[m.reg];
    bool valid = f != nullptr;
    if (f) {
        insn.form = f;
        insn.kind = f->has(formflag::kPrefix) ? DecodeKind::Prefix : DecodeKind::Instruction;
        for (int i = 0; i < f->operandCount(); ++i)
            valid &= decodeOperand(f->ops[i], m, insn.opcode, cpu, in, insn.ops[i]);
        if (f->enc == Enc::Suffix) in.byte();
        fixRegisterFromOpcode(*f, insn.opcode, insn);
    }
    if (!valid) {
        // The length still covers the addressing bytes, so that the next instruction starts right.
        Reader skip(bytes);
        for (std::size_t i = 0; i < afterModRm; ++i) skip.byte();
        if (m.mod != 3) memoryOperand(m, skip, OpSize::None);
        Instruction bad;
        bad.kind = DecodeKind::Invalid;
        bad.opcode = insn.opcode;
        return finish(bad, skip, ip);
    }
    return finish(insn, in, ip);
}

}  // namespace krvs::x86
