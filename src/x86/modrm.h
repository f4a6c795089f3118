#pragma once
// ModR/M addressing shared by the encoder and the decoder.

#include <cstdint>
#include <optional>

#include "x86/operand.h"

namespace krvs::x86 {

struct ModRm {
    std::uint8_t byte = 0;
    std::uint8_t dispWidth = 0;  // 0, 1 or 2 bytes following the ModR/M byte
    std::int32_t disp = 0;
};

// The eight base/index combinations in r/m order; -1 where the combination has no register.
struct AddressRegs {
    std::int8_t base;
    std::int8_t index;
};
constexpr AddressRegs kAddressRegs[8] = {
    {BX, SI}, {BX, DI}, {BP, SI}, {BP, DI}, {kNoReg, SI}, {kNoReg, DI}, {BP, kNoReg}, {BX, kNoReg},
};

// Puts BX/BP in base and SI/DI in index whichever slot the parser used; nullopt for anything else.
std::optional<AddressRegs> normalizeAddress(const MemRef& m);

ModRm registerModRm(std::uint8_t regField, std::uint8_t rm);
// The caller has checked the address with normalizeAddress.
ModRm memoryModRm(std::uint8_t regField, const MemRef& m);

}  // namespace krvs::x86
