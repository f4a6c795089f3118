#pragma once
// The one table of instruction forms for the 8086, the 80186 additions and the 80286 real-mode
// instructions. The encoder and the decoder are both driven by it; no other code spells an opcode.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "x86/cpu.h"

namespace krvs::x86 {

// What an operand slot of a form accepts (encoder) or produces (decoder).
enum class OpClass : std::uint8_t {
    None,
    Al, Ax, Cl, Dx,   // fixed registers
    Cs,               // POP CS (0F on the 8086 only)
    R8, R16,          // register from the ModR/M reg field, or from the opcode (+r)
    Sreg,             // any segment register
    SregW,            // a segment register that may be written (not CS)
    Rm8, Rm16,        // register or memory
    Mem,              // memory of any size (LEA, SGDT)
    M32,              // memory of size DWORD or unspecified (LDS, LES, BOUND)
    MFar,             // memory given as DWORD/FAR PTR (indirect far CALL/JMP)
    Moffs8, Moffs16,  // direct address without ModR/M (A0-A3)
    Imm8, Imm16,
    Imm8s,            // 8-bit immediate sign-extended to a word
    One,              // the constant 1 (shifts D0-D3)
    Three,            // the constant 3 (INT 3)
    Rel8, Rel16,      // relative target
    FarPtr,           // segment:offset immediate
    StrSrc8, StrSrc16,  // string source: [SI] or a variable, any segment (written as a prefix)
    StrDst8, StrDst16,  // string destination: ES:[DI] or a variable in ES
    XlatTable,          // XLAT's table: [BX] or a variable, any segment (written as a prefix)
    EscCode,          // coprocessor escape: 6-bit code from opcode and reg field
    RmAny,            // register or memory of any size (coprocessor escape)
};

// How operands sit in the bytes after the opcode.
enum class Enc : std::uint8_t {
    Plain,    // opcode only, then any immediates
    ModRm,    // /r: ModR/M with a register in the reg field (and in r/m too when no operand is r/m)
    Digit,    // /digit: ModR/M with a fixed reg field
    PlusReg,  // +r: register number added to the opcode
    SregIn,   // segment register in bits 3-4 of the opcode (PUSH/POP ES CS SS DS)
    Suffix,   // opcode followed by a fixed byte (AAM/AAD without operand: D4 0A)
    Esc,      // coprocessor escape: code bits 5-3 added to the opcode (D8-DF), bits 2-0 in the reg field
};

namespace formflag {
constexpr std::uint16_t kAlias = 0x01;       // encoder only; the decoder shows another spelling
constexpr std::uint16_t kDecodeOnly = 0x02;  // decoder only; the encoder never picks it
constexpr std::uint16_t kShowSize = 0x04;    // disassembly writes BYTE PTR / WORD PTR on memory
constexpr std::uint16_t kFar = 0x08;         // disassembly writes FAR before the memory operand
constexpr std::uint16_t kPrefix = 0x10;      // a prefix byte, shown as its own line
constexpr std::uint16_t kOnly8086 = 0x20;    // gone on later CPUs (POP CS)
constexpr std::uint16_t kStringOp = 0x40;    // MOVSB ...: no memory-operand field in the register display
constexpr std::uint16_t kBase10 = 0x80;      // AAM/AAD: the operand is shown only when it is not 0A
constexpr std::uint16_t kAnyReg8086 = 0x100;  // the 8086 ignores the reg field (8F, C6, C7)
// The chip runs it, but it is no instruction to write or show: the encoder never picks it, the
// decoder shows DB xx, and formsFor() does not list it (SALC, F1, the 8086's copies at 60h-6Fh,
// C0h, C1h, C8h, C9h). It is in the table so that the CPU's dispatch is derived from it.
constexpr std::uint16_t kHidden = 0x200;
}  // namespace formflag

struct Form {
    std::string_view mnemonic;
    std::uint16_t opcode;  // one byte, or 0x0Fxx for a two-byte opcode
    Enc enc;
    std::uint8_t digit;    // Digit: reg field; Suffix: the byte after the opcode
    OpClass ops[3];
    CpuModel cpu;          // the first CPU that has the form
    std::uint16_t flags;

    int operandCount() const { return ops[0] == OpClass::None ? 0 : ops[1] == OpClass::None ? 1 : ops[2] == OpClass::None ? 2 : 3; }
    bool twoByteOpcode() const { return opcode > 0xFF; }
    bool has(std::uint16_t flag) const { return (flags & flag) != 0; }
    bool availableOn(CpuModel model) const {
        if (has(formflag::kOnly8086) && model != CpuModel::I8086) return false;
        return static_cast<int>(cpu) <= static_cast<int>(model);
    }
};

// All forms, in preference order: when two forms encode the same operands in the same length the
// earlier one wins (83 /n before the accumulator imm16 form, "reg, r/m" before "r/m, reg"), and the
// decoder shows the first form that is not an alias.
std::span<const Form> instructionTable();

// The bytes a form occupies in its opcode map (the one-byte map, or the map after 0Fh for a
// two-byte opcode): one byte; eight for +r and ESC; the segment registers' four for PUSH, three
// for POP (no POP CS).
struct OpcodeBytes {
    std::uint8_t count = 0;
    std::uint8_t byte[8] = {};
};
OpcodeBytes opcodeBytes(const Form& f);

// No mnemonic has more forms than this (the table test checks it).
constexpr std::size_t kMaxFormsPerMnemonic = 24;

// Forms whose mnemonic equals `mnemonic` (case-insensitive), in table order; empty when unknown.
// Hidden forms are not listed.
std::span<const Form* const> formsFor(std::string_view mnemonic);

// True when `mnemonic` names at least one form (any CPU).
inline bool isMnemonic(std::string_view mnemonic) { return !formsFor(mnemonic).empty(); }

// Operand size that a class implies: 1, 2, or 0 when it does not fix one.
int classSize(OpClass c);

}  // namespace krvs::x86
