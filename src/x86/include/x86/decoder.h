#pragma once
// Bytes -> one instruction with typed operands and its length, driven by the instruction table.
// Prefix bytes (segment override, REP/REPNZ, LOCK) come back as instructions of their own, one byte
// long, as DEBUG shows them; the caller carries a segment override on to the next instruction.

#include <array>
#include <cstdint>
#include <span>

#include "x86/operand.h"
#include "x86/table.h"

namespace krvs::x86 {

enum class DecodeKind : std::uint8_t {
    Instruction,  // form and operands are set
    Prefix,       // form is the prefix (ES:, REPZ, LOCK ...), length 1
    Undefined,    // no instruction on this CPU: shown as DB xx, length 1
    Invalid,      // a known opcode with a reg field or operand it does not allow: shown as ???
    Truncated,    // the bytes end inside the instruction; length is what was needed so far
};

struct Instruction {
    DecodeKind kind = DecodeKind::Undefined;
    const Form* form = nullptr;
    std::uint8_t length = 0;
    std::uint8_t opcode = 0;  // the first byte
    std::array<Operand, 3> ops{};

    int operandCount() const { return form ? form->operandCount() : 0; }
    // Index of the memory operand (ModR/M memory or direct address), or -1.
    int memoryOperand() const;
};

// Decodes the instruction at the start of `bytes`; `ip` is its offset (jump targets are absolute).
Instruction decode(std::span<const std::uint8_t> bytes, std::uint16_t ip, CpuModel cpu);

}  // namespace krvs::x86
