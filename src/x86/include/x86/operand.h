#pragma once
// Operands as the assembler's parser hands them to the encoder and as the decoder gives them back.
// One type serves both directions so that "encode, then decode" can be compared field by field.

#include <cstdint>

#include "x86/cpu.h"  // CpuModel, Reg16, SegReg

namespace krvs::x86 {

// Byte registers in ModR/M order (AL=0 ... BH=7). Word registers use Reg16, segment registers SegReg.
namespace r8 {
enum : std::uint8_t { AL, CL, DL, BL, AH, CH, DH, BH };
}

enum class OpSize : std::uint8_t {
    None,   // not given: taken from the other operand, or the instruction has only one size
    Byte,   // BYTE PTR, DB variable
    Word,   // WORD PTR, DW variable, NEAR PTR
    Dword,  // DWORD PTR, DD variable, FAR PTR on a memory operand
};

enum class OperandKind : std::uint8_t {
    None,
    Reg8,   // reg = r8::AL ... r8::BH
    Reg16,  // reg = AX ... DI
    Seg,    // reg = ES, CS, SS, DS
    Mem,    // mem
    Imm,    // value (known or not), size optional
    Rel,    // value = target offset in the current segment (JMP/CALL/Jcc/LOOP)
    Far,    // segment:value, a direct far target (JMP/CALL FAR)
};

// SHORT and NEAR PTR on a jump target; Auto lets the encoder pick (short when the target is known and
// reachable, near otherwise).
enum class JumpDist : std::uint8_t { Auto, Short, Near };

constexpr std::int8_t kNoReg = -1;

struct MemRef {
    std::int8_t base = kNoReg;     // BX or BP (Reg16 numbers); SI or DI here are accepted as the index
    std::int8_t index = kNoReg;    // SI or DI
    std::int32_t disp = 0;         // taken modulo 64K: [BX+0FFFFh] is [BX-1]
    bool dispKnown = true;         // false: a symbol or forward reference -> always a 16-bit field
    std::int8_t segment = kNoReg;  // explicit override (SegReg); dropped when it is the default one
    std::uint8_t dispWidth = 0;    // decoder output only: 0, 1 or 2 bytes as encoded
};

struct Operand {
    OperandKind kind = OperandKind::None;
    std::uint8_t reg = 0;
    OpSize size = OpSize::None;  // Mem: the operand's type; Imm: decoder output (Byte/Word)
    MemRef mem;
    std::int32_t value = 0;      // Imm value, Rel target offset, Far offset
    std::uint16_t segment = 0;   // Far segment
    bool known = true;           // Imm/Rel/Far: value known now (false: filled in by a fixup later)
    JumpDist dist = JumpDist::Auto;

    static Operand reg8(std::uint8_t r) { return make(OperandKind::Reg8, r); }
    static Operand reg16(std::uint8_t r) { return make(OperandKind::Reg16, r); }
    static Operand seg(std::uint8_t r) { return make(OperandKind::Seg, r); }
    static Operand imm(std::int32_t v, bool isKnown = true) {
        Operand o = make(OperandKind::Imm, 0);
        o.value = v;
        o.known = isKnown;
        return o;
    }
    static Operand rel(std::int32_t target, JumpDist d = JumpDist::Auto, bool isKnown = true) {
        Operand o = make(OperandKind::Rel, 0);
        o.value = target;
        o.dist = d;
        o.known = isKnown;
        return o;
    }
    static Operand farPtr(std::uint16_t seg, std::uint16_t off, bool isKnown = true) {
        Operand o = make(OperandKind::Far, 0);
        o.segment = seg;
        o.value = off;
        o.known = isKnown;
        return o;
    }
    static Operand memory(std::int8_t base, std::int8_t index, std::int32_t disp,
                          OpSize sz = OpSize::None, std::int8_t segOverride = kNoReg) {
        Operand o = make(OperandKind::Mem, 0);
        o.mem.base = base;
        o.mem.index = index;
        o.mem.disp = disp;
        o.mem.segment = segOverride;
        o.size = sz;
        return o;
    }
    // A direct address [disp] (no base, no index).
    static Operand direct(std::int32_t disp, OpSize sz = OpSize::None, std::int8_t segOverride = kNoReg) {
        return memory(kNoReg, kNoReg, disp, sz, segOverride);
    }

private:
    static Operand make(OperandKind k, std::uint8_t r) {
        Operand o;
        o.kind = k;
        o.reg = r;
        return o;
    }
};

}  // namespace krvs::x86
