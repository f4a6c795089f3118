#include "modrm.h"

namespace krvs::x86 {
namespace {

bool isBase(std::int8_t r) { return r == BX || r == BP; }
bool isIndex(std::int8_t r) { return r == SI || r == DI; }

int rmFor(const AddressRegs& a) {
    for (int rm = 0; rm < 8; ++rm)
        if (kAddressRegs[rm].base == a.base && kAddressRegs[rm].index == a.index) return rm;
    return -1;
}

}  // namespace

std::optional<AddressRegs> normalizeAddress(const MemRef& m) {
    AddressRegs out{kNoReg, kNoReg};
    for (std::int8_t r : {m.base, m.index}) {
        if (r == kNoReg) continue;
        std::int8_t& slot = isBase(r) ? out.base : isIndex(r) ? out.index : out.base;
        if (!isBase(r) && !isIndex(r)) return std::nullopt;
        if (slot != kNoReg) return std::nullopt;
        slot = r;
    }
    return out;
}

ModRm registerModRm(std::uint8_t regField, std::uint8_t rm) {
    return {static_cast<std::uint8_t>(0xC0 | (regField & 7) << 3 | (rm & 7)), 0, 0};
}

ModRm memoryModRm(std::uint8_t regField, const MemRef& m) {
    AddressRegs a = normalizeAddress(m).value_or(AddressRegs{kNoReg, kNoReg});
    std::int32_t d = static_cast<std::int16_t>(static_cast<std::uint16_t>(m.disp));
    std::uint8_t reg = static_cast<std::uint8_t>((regField & 7) << 3);
    if (a.base == kNoReg && a.index == kNoReg) return {static_cast<std::uint8_t>(reg | 6), 2, d};
    auto rm = static_cast<std::uint8_t>(rmFor(a));
    bool bpAlone = a.base == BP && a.index == kNoReg;  // mod 00 with r/m 110 means a direct address
    if (m.dispKnown && d == 0 && !bpAlone) return {static_cast<std::uint8_t>(reg | rm), 0, 0};
    if (m.dispKnown && d >= -128 && d <= 127) return {static_cast<std::uint8_t>(0x40 | reg | rm), 1, d};
    return {static_cast<std::uint8_t>(0x80 | reg | rm), 2, d};
}

}  // namespace krvs::x86
