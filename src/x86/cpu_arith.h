#pragma once
// Flag-setting arithmetic shared by the ALU, group, string and multiply/divide handlers.

#include "cpu_exec.h"

namespace krvs::x86::interp {

template <typename T>
inline T addFlags(Exec& x, T a, T b, unsigned carry) {
    std::uint32_t res = static_cast<std::uint32_t>(a) + b + carry;
    T r = static_cast<T>(res);
    std::uint16_t f = szp(r);
    if ((res >> kBits<T>)&1) f |= flag::CF;
    f |= static_cast<std::uint16_t>((a ^ b ^ res) & flag::AF);
    if ((a ^ res) & (b ^ res) & kSign<T>) f |= flag::OF;
    setFlags(x, kArithFlags, f);
    return r;
}

template <typename T>
inline T subFlags(Exec& x, T a, T b, unsigned borrow) {
    std::uint32_t res = static_cast<std::uint32_t>(a) - b - borrow;
    T r = static_cast<T>(res);
    std::uint16_t f = szp(r);
    if ((res >> kBits<T>)&1) f |= flag::CF;
    f |= static_cast<std::uint16_t>((a ^ b ^ res) & flag::AF);
    if ((a ^ b) & (a ^ res) & kSign<T>) f |= flag::OF;
    setFlags(x, kArithFlags, f);
    return r;
}

// AND, OR, XOR, TEST: CF and OF cleared; the 8086 also clears AF.
template <typename T>
inline T logicFlags(Exec& x, T r) {
    setFlags(x, kArithFlags, szp(r));
    return r;
}

// INC and DEC keep CF.
template <typename T>
inline T incFlags(Exec& x, T a) {
    std::uint16_t c = x.r.flags & flag::CF;
    T r = addFlags<T>(x, a, 1, 0);
    x.r.flags = static_cast<std::uint16_t>((x.r.flags & ~flag::CF) | c);
    return r;
}
template <typename T>
inline T decFlags(Exec& x, T a) {
    std::uint16_t c = x.r.flags & flag::CF;
    T r = subFlags<T>(x, a, 1, 0);
    x.r.flags = static_cast<std::uint16_t>((x.r.flags & ~flag::CF) | c);
    return r;
}

enum AluOp : int { kAdd, kOr, kAdc, kSbb, kAnd, kSub, kXor, kCmp };

template <int Op, typename T>
inline T alu(Exec& x, T a, T b) {
    if constexpr (Op == kAdd) return addFlags<T>(x, a, b, 0);
    if constexpr (Op == kOr) return logicFlags<T>(x, static_cast<T>(a | b));
    if constexpr (Op == kAdc) return addFlags<T>(x, a, b, cf(x) ? 1 : 0);
    if constexpr (Op == kSbb) return subFlags<T>(x, a, b, cf(x) ? 1 : 0);
    if constexpr (Op == kAnd) return logicFlags<T>(x, static_cast<T>(a & b));
    if constexpr (Op == kSub || Op == kCmp) return subFlags<T>(x, a, b, 0);
    if constexpr (Op == kXor) return logicFlags<T>(x, static_cast<T>(a ^ b));
}

}  // namespace krvs::x86::interp
