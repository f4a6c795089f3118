// Decimal and ASCII adjustments: DAA, DAS, AAA, AAS, AAM, AAD, and SALC.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

constexpr std::uint16_t kCfAf = flag::CF | flag::AF;

bool af(Exec& x) { return flagsNow(x) & flag::AF; }

void setAlWithFlags(Exec& x, std::uint8_t al, std::uint16_t carryFlags, std::uint16_t mask) {
    reg8(x.r, 0) = al;
    setFlags(x, mask, static_cast<std::uint16_t>(szp(al) | carryFlags));
}

void daa(Exec& x) {
    std::uint8_t al = reg8(x.r, 0);
    std::uint8_t oldAl = al;
    std::uint16_t f = 0;
    if ((al & 0x0F) > 9 || af(x)) {
        al = static_cast<std::uint8_t>(al + 6);
        f |= flag::AF;
    }
    if (oldAl > (af(x) ? 0x9F : 0x99) || cf(x)) {
        al = static_cast<std::uint8_t>(al + 0x60);
        f |= flag::CF;
    }
    // OF comes out as for adding the whole adjustment to the old AL.
    std::uint8_t adjust = static_cast<std::uint8_t>(al - oldAl);
    if ((oldAl ^ al) & (adjust ^ al) & 0x80) f |= flag::OF;
    setAlWithFlags(x, al, f, kArithFlags);
}

void das(Exec& x) {
    std::uint8_t al = reg8(x.r, 0);
    std::uint8_t oldAl = al;
    std::uint16_t f = 0;
    if ((al & 0x0F) > 9 || af(x)) {
        al = static_cast<std::uint8_t>(al - 6);
        f |= flag::AF;
    }
    if (oldAl > (af(x) ? 0x9F : 0x99) || cf(x)) {
        al = static_cast<std::uint8_t>(al - 0x60);
        f |= flag::CF;
    }
    std::uint8_t adjust = static_cast<std::uint8_t>(oldAl - al);
    if ((oldAl ^ adjust) & (oldAl ^ al) & 0x80) f |= flag::OF;
    setAlWithFlags(x, al, f, kArithFlags);
}

// AAA and AAS adjust AL and AH separately on the 8086: no carry travels from AL into AH. SF, ZF, PF
// and OF come out as for the 8-bit addition (subtraction) of 6 to AL, before AL is masked.
template <int Dir>
void asciiAdjust(Exec& x) {
    std::uint8_t& ah = reg8(x.r, 4);
    std::uint8_t old = reg8(x.r, 0);
    std::uint8_t adjust = 0;
    std::uint16_t f = 0;
    if ((old & 0x0F) > 9 || af(x)) {
        adjust = 6;
        ah = static_cast<std::uint8_t>(ah + Dir);
        f = kCfAf;
    }
    auto sum = static_cast<std::uint8_t>(old + Dir * adjust);
    bool overflow = Dir > 0 ? ((old ^ sum) & (adjust ^ sum) & 0x80) : ((old ^ adjust) & (old ^ sum) & 0x80);
    f |= szp(sum);
    if (overflow) f |= flag::OF;
    reg8(x.r, 0) = static_cast<std::uint8_t>(sum & 0x0F);
    setFlags(x, kArithFlags, f);
}

void aam(Exec& x) {
    std::uint8_t base = fetch8(x);
    if (base == 0) {
        // The division routine first compares the zero high part with the divisor (0 - 0) and keeps
        // that comparison's flags when it raises the error, as the 8086 shows.
        setFlags(x, kArithFlags, szp<std::uint8_t>(0));
        divideError(x);
        return;
    }
    std::uint8_t al = reg8(x.r, 0);
    reg8(x.r, 4) = static_cast<std::uint8_t>(al / base);
    setAlWithFlags(x, static_cast<std::uint8_t>(al % base), 0, kArithFlags);
}

// The flags come out as for the 8-bit addition of AH * base to AL.
void aad(Exec& x) {
    std::uint8_t base = fetch8(x);
    auto product = static_cast<std::uint8_t>(reg8(x.r, 4) * base);
    reg8(x.r, 0) = addFlags<std::uint8_t>(x, reg8(x.r, 0), product, 0);
    reg8(x.r, 4) = 0;
}

void salc(Exec& x) { reg8(x.r, 0) = cf(x) ? 0xFF : 0x00; }

}  // namespace

void bindBcdHandlers(Binder& b) {
    b.bind(0x27, "DAA", daa);
    b.bind(0x2F, "DAS", das);
    b.bind(0x37, "AAA", asciiAdjust<1>);
    b.bind(0x3F, "AAS", asciiAdjust<-1>);
    b.bind(0xD4, "AAM", aam);
    b.bind(0xD5, "AAD", aad);
    b.bind(0xD6, "SALC", salc);
}

}  // namespace krvs::x86::interp
