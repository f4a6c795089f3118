#pragma once
// Disassembly: a decoded instruction becomes a stream of typed tokens for a syntax writer. The DEBUG
// writer turns them into the classic DEBUG spelling (upper case, bare hex, absolute jump targets);
// formatULine and memoryOperandField give the U line and the register display's memory field.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "x86/cpu.h"
#include "x86/decoder.h"

namespace krvs::x86 {

enum class TokenKind : std::uint8_t {
    Mnemonic,      // text
    Register,      // text
    SizeKeyword,   // text: BYTE PTR, WORD PTR
    FarKeyword,    // text: FAR
    Number,        // value, digits: 2 or 4 hex digits
    SignedNumber,  // value: -128..127, written with its sign (disp8, sign-extended imm8)
    Target,        // value: absolute offset of a jump/call target
    Literal,       // text as it stands (the 1 of SHL AX,1, the 3 of INT 3)
    OpenBracket,
    CloseBracket,
    Plus,          // between the parts of an address
    Comma,         // between operands
    Colon,         // segment:offset
};

struct Token {
    TokenKind kind;
    std::string_view text;
    std::int32_t value = 0;
    std::uint8_t digits = 0;
};

class SyntaxWriter {
public:
    virtual ~SyntaxWriter() = default;
    virtual void token(const Token& t) = 0;
};

// Writes the tokens of one instruction. Undefined bytes come out as DB xx, invalid forms as ???.
void disassemble(const Instruction& insn, SyntaxWriter& out);

// Collects the classic DEBUG text: mnemonic and operand field separately.
class DebugWriter : public SyntaxWriter {
public:
    void token(const Token& t) override;
    const std::string& mnemonic() const { return m_mnemonic; }
    const std::string& operands() const { return m_operands; }

private:
    std::string m_mnemonic;
    std::string m_operands;
};

// One U line without its CR LF: "SSSS:OOOO", blank, the instruction's bytes in hex padded to 14
// characters, the mnemonic, a TAB, the operands padded with blanks to 35 characters. `bytes` starts
// at the instruction and holds at least insn.length bytes.
std::string formatULine(std::uint16_t segment, std::uint16_t offset, std::span<const std::uint8_t> bytes,
                        const Instruction& insn);

using MemoryReader = std::function<std::uint8_t(std::uint16_t segment, std::uint16_t offset)>;

// The register display's memory-operand field, e.g. "DS:0000=20CD" (word) or "ES:0010=CD" (byte),
// or "" when the instruction has no memory operand (or is a string instruction). The segment is
// `segmentOverride` when a prefix line came before (ES/CS/SS/DS number, or kNoReg), otherwise the
// address's default (SS with BP as base, else DS).
std::string memoryOperandField(const Instruction& insn, const Registers& regs, const MemoryReader& read,
                               int segmentOverride = kNoReg);

// One instruction read from memory at segment:offset (the offset wraps at 64K, as DEBUG's U does):
// its bytes, the decoded instruction and its U line.
struct UnassembledLine {
    std::array<std::uint8_t, 8> bytes{};
    Instruction insn;
    std::string text;  // formatULine
};
UnassembledLine unassembleAt(const MemoryReader& read, std::uint16_t segment, std::uint16_t offset, CpuModel cpu);

// Segment override carried by a prefix instruction (ES:, CS:, SS:, DS:), or kNoReg.
int segmentOverrideOf(const Instruction& insn);

}  // namespace krvs::x86
