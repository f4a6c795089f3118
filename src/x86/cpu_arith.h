#pragma once
// Flag-setting arithmetic shared by the ALU, group, string and multiply/divide handlers.

#include "cpu_exec.h"

namespace krvs::x86::interp {

template <typename T>
inline T addFlags(Exec& x, T a, T b, unsigned carry) {
    std::uint32_t res = static_cast<std::uint32_t>(a) + b + carry;
    recordFlags<T>(x, kLazyAdd, res, a, b);
    return static_cast<T>(res);
}

template <typename T>
inline T subFlags(Exec& x, T a, T b, unsigned borrow) {
    // Kept below 2^17 (see LazyFlags): the borrow is still in the bit above the operand.
    std::uint32_t res = (static_cast<std::uint32_t>(a) - b - borrow) & 0x1FFFFu;
    recordFlags<T>(x, kLazySub, res, a, b);
    return static_cast<T>(res);
}

// AND, OR, XOR, TEST: CF and OF cleared; the 8086 also clears AF.
template <typename T>
inline T logicFlags(Exec& x, T r) {
    x.lazy.res = r;
    x.lazy.info = lazyInfo(kLazyLogic, kSign<T>);
    return r;
}

// INC and DEC keep CF: it goes into the bit above the operand of their pending result.
// The carry bit of the pending result sits at bit 8 or bit 16 (its operand's size); adding FFFFh to it
// carries into bit 16 for either, which moves it where a word result keeps it without a branch.
template <typename T>
inline std::uint32_t carryAbove(const Exec& x) {
    const std::uint32_t carry = ((x.lazy.res & (x.lazy.info << 1)) + 0xFFFFu) & 0x10000u;
    return sizeof(T) == 1 ? carry >> 8 : carry;
}
template <typename T>
inline T incFlags(Exec& x, T a) {
    const T res = static_cast<T>(a + 1);
    recordFlags<T>(x, kLazyInc, res | carryAbove<T>(x), a, 1);
    return res;
}
template <typename T>
inline T decFlags(Exec& x, T a) {
    const T res = static_cast<T>(a - 1);
    recordFlags<T>(x, kLazyDec, res | carryAbove<T>(x), a, 1);
    return res;
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
