#pragma once
// The instruction encoder used by the assembler (and through it by DEBUG's A command).
//
// How to call it:
//
//   using namespace krvs::x86;
//   Operand ops[] = {Operand::reg16(AX), Operand::memory(BX, SI, 4, OpSize::None)};
//   EncodeOptions opt;
//   opt.cpu = CpuModel::I8086;   // .8086 / .186 / .286 in force
//   opt.origin = currentOffset;  // offset of the instruction's first byte (needed for jumps)
//   EncodeResult r = encode("mov", ops, opt);
//   if (!r.ok()) report(encodeErrorText(r.error));       // errors are values, nothing throws
//   else emit(r.code());                               // r.fieldList(): where fixups go
//
// - One mnemonic per call; prefixes (REP, REPZ, LOCK, ES: ...) are their own mnemonics with no
//   operands and give one byte, so "REP MOVSB" is two calls.
// - A memory operand's segment override is emitted as a prefix byte in front of the opcode unless it
//   is the default segment of that address (DS, or SS with BP as base).
// - The shortest legal form is chosen: sign-extended imm8 (83 /n), accumulator forms, A0-A3 for a
//   direct address with AL/AX, B0+r/B8+r for MOV reg,imm, disp8 or no displacement, short jumps
//   when the target is known and in range (or SHORT is given). A jump whose target is not known yet
//   gets the near form unless SHORT is given; a conditional jump is always short.
// - Values not known yet (Imm/Rel/Far with known=false, MemRef::dispKnown=false) get full-width
//   fields filled with the value given (usually 0). `fields` tells where each displacement,
//   immediate, relative and far-pointer field sits, so that the caller can patch it or attach a fixup.
// - String instructions may also be written with operands (MOVS ES:[DI],[SI]; LODS BYTE PTR CS:[SI];
//   or variables): the operands give only the size and the source segment; the destination is in ES.
// - A relative field holds target - (origin + length) for a known target; for an unknown target it
//   holds 0 and the caller patches it once the target is known.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "x86/operand.h"
#include "x86/table.h"

namespace krvs::x86 {

enum class EncodeError : std::uint8_t {
    None,
    UnknownMnemonic,  // not an instruction (or prefix) at all
    NoForm,           // the instruction exists, but not for this kind or number of operands
    SizeMismatch,     // operand sizes disagree (MOV AL,BX; MOV AX,BYTE PTR [BX])
    SizeUnknown,      // memory operand of unknown size and nothing else fixes it (INC [BX])
    NeedsHigherCpu,   // the only forms that fit need a later CPU than the one selected
    OutOfRange,       // immediate, displacement or jump distance does not fit; see `excess`
    BadAddress,       // illegal base/index combination ([AX], [BX+BP], [SI+DI])
};

// The classic wording of each error, for diagnostics.
std::string_view encodeErrorText(EncodeError e);

enum class FieldRole : std::uint8_t { Displacement, Immediate, Relative, FarOffset, FarSegment };

struct Field {
    std::uint8_t offset = 0;   // from the first byte of the encoding (prefix included)
    std::uint8_t width = 0;    // 1 or 2 bytes
    FieldRole role = FieldRole::Immediate;
    std::uint8_t operand = 0;  // index of the operand it came from
};

struct EncodeOptions {
    CpuModel cpu = CpuModel::I8086;
    std::uint16_t origin = 0;
    // Two-register forms: put the destination in the r/m field (89 D8 for MOV AX,BX) as DEBUG's
    // line assembler does; the assembler puts it in the reg field (8B C3).
    bool rmDestination = false;
};

constexpr int kMaxEncodingLength = 8;

struct EncodeResult {
    EncodeError error = EncodeError::None;
    std::array<std::uint8_t, kMaxEncodingLength> bytes{};
    std::uint8_t length = 0;
    std::array<Field, 3> fields{};
    std::uint8_t fieldCount = 0;
    const Form* form = nullptr;   // the chosen form
    std::int32_t excess = 0;      // OutOfRange on a jump: how many bytes beyond reach (always > 0)
    CpuModel requiredCpu = CpuModel::I8086;  // NeedsHigherCpu: the lowest CPU that would do

    bool ok() const { return error == EncodeError::None; }
    std::span<const std::uint8_t> code() const { return {bytes.data(), length}; }
    std::span<const Field> fieldList() const { return {fields.data(), fieldCount}; }
};

EncodeResult encode(std::string_view mnemonic, std::span<const Operand> operands,
                    const EncodeOptions& options);

// The same with the mnemonic's forms already looked up (formsFor): a caller that meets one mnemonic
// many times, as the assembler does, looks it up once.
EncodeResult encode(std::span<const Form* const> forms, std::span<const Operand> operands,
                    const EncodeOptions& options);

}  // namespace krvs::x86
