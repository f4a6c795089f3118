// The F6h/F7h group: TEST imm, NOT, NEG, MUL, IMUL, DIV, IDIV.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

template <typename T>
using Wide = std::conditional_t<sizeof(T) == 1, std::uint16_t, std::uint32_t>;
template <typename T>
using Signed = std::make_signed_t<T>;

// The accumulator pair: AX for byte operands, DX:AX for word operands.
template <typename T>
Wide<T> readAccPair(Exec& x) {
    if constexpr (sizeof(T) == 1) {
        return x.r.gp[AX];
    } else {
        return (static_cast<std::uint32_t>(x.r.gp[DX]) << 16) | x.r.gp[AX];
    }
}
template <typename T>
void writeAccPair(Exec& x, T low, T high) {
    if constexpr (sizeof(T) == 1) {
        x.r.gp[AX] = static_cast<std::uint16_t>(low | (high << 8));
    } else {
        x.r.gp[AX] = low;
        x.r.gp[DX] = high;
    }
}

// On the 8086 a REP prefix flips the sign of the result of IMUL and IDIV.
bool repNegates(const Exec& x) { return x.rep != 0 && x.model == CpuModel::I8086; }

template <typename T>
void mul(Exec& x, T src) {
    Wide<T> p = static_cast<Wide<T>>(static_cast<Wide<T>>(regRef<T>(x, AX)) * src);
    T high = static_cast<T>(p >> kBits<T>);
    writeAccPair<T>(x, static_cast<T>(p), high);
    // SF, ZF and PF follow the high half on the 8086; AF is cleared.
    std::uint16_t f = szp(high);
    if (high != 0) f |= flag::CF | flag::OF;
    setFlags(x, kArithFlags, f);
}

template <typename T>
void imul(Exec& x, T src) {
    std::int32_t p = static_cast<std::int32_t>(static_cast<Signed<T>>(regRef<T>(x, AX))) * static_cast<Signed<T>>(src);
    if (repNegates(x)) p = -p;
    T low = static_cast<T>(p);
    T high = static_cast<T>(static_cast<std::uint32_t>(p) >> kBits<T>);
    writeAccPair<T>(x, low, high);
    bool fits = p == static_cast<Signed<T>>(low);
    setFlags(x, flag::CF | flag::OF, fits ? 0 : (flag::CF | flag::OF));
}

template <typename T>
void div(Exec& x, T src) {
    Wide<T> n = readAccPair<T>(x);
    if (src == 0 || n / src > static_cast<T>(~T{0})) {
        divideError(x);
        return;
    }
    writeAccPair<T>(x, static_cast<T>(n / src), static_cast<T>(n % src));
}

// The 8086 rejects the most negative quotient; the 80186 and later accept it.
template <typename T>
void idiv(Exec& x, T src) {
    using S = Signed<T>;
    std::int64_t n = static_cast<std::make_signed_t<Wide<T>>>(readAccPair<T>(x));
    std::int64_t d = static_cast<S>(src);
    if (d == 0) {
        divideError(x);
        return;
    }
    std::int64_t q = n / d;
    std::int64_t r = n % d;
    if (repNegates(x)) q = -q;
    std::int64_t lowest =
        x.model == CpuModel::I8086 ? -static_cast<std::int64_t>(kSign<T>) + 1 : -static_cast<std::int64_t>(kSign<T>);
    if (q > static_cast<std::int64_t>(kSign<T>) - 1 || q < lowest) {
        divideError(x);
        return;
    }
    writeAccPair<T>(x, static_cast<T>(q), static_cast<T>(r));
}

template <typename T>
void group3(Exec& x) {
    decodeModrm(x);
    T v = readRm<T>(x);
    switch (x.reg) {
    case 0:
    case 1: logicFlags<T>(x, static_cast<T>(v & fetch<T>(x))); break;
    case 2: writeRm<T>(x, static_cast<T>(~v)); break;
    case 3: writeRm<T>(x, subFlags<T>(x, 0, v, 0)); break;
    case 4: mul<T>(x, v); break;
    case 5: imul<T>(x, v); break;
    case 6: div<T>(x, v); break;
    default: idiv<T>(x, v); break;
    }
}

}  // namespace

void bindMulDivHandlers(Binder& b) {
    b.bind(0xF6, "TEST", group3<std::uint8_t>);
    b.bind(0xF7, "TEST", group3<std::uint16_t>);
}

}  // namespace krvs::x86::interp
