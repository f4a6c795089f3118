// Shifts and rotates: D0h-D3h, and C0h/C1h (by imm8) from the 80186 on.
//
// Each count is carried out as that many single-bit steps, as the 8086 microcode does, so OF and CF
// come from the last step for any count. The 8086 uses the whole count (CL up to 255); the 80186 and
// later mask it to five bits.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

enum ShiftOp : unsigned { kRol, kRor, kRcl, kRcr, kShl, kShr, kSetmo, kSar };

template <typename T>
struct ShiftResult {
    T value;
    bool carry;
    bool overflow;
};

template <typename T>
bool msb(T v) {
    return (v & kSign<T>) != 0;
}
template <typename T>
bool nextMsb(T v) {
    return (v & (kSign<T> >> 1)) != 0;
}

template <typename T>
ShiftResult<T> rotate(unsigned op, T v, unsigned count, bool carry) {
    for (unsigned i = 0; i < count; ++i) {
        bool out;
        switch (op) {
        case kRol:
            out = msb(v);
            v = static_cast<T>((v << 1) | (out ? 1 : 0));
            break;
        case kRor:
            out = v & 1;
            v = static_cast<T>((v >> 1) | (out ? kSign<T> : 0));
            break;
        case kRcl:
            out = msb(v);
            v = static_cast<T>((v << 1) | (carry ? 1 : 0));
            break;
        default:
            out = v & 1;
            v = static_cast<T>((v >> 1) | (carry ? kSign<T> : 0));
            break;
        }
        carry = out;
    }
    bool left = op == kRol || op == kRcl;
    bool overflow = left ? (msb(v) != carry) : (msb(v) != nextMsb(v));
    return {v, carry, overflow};
}

template <typename T>
ShiftResult<T> shift(unsigned op, T v, unsigned count) {
    bool carry = false;
    bool overflow = false;
    for (unsigned i = 0; i < count; ++i) {
        T before = v;
        switch (op) {
        case kShl:
            carry = msb(v);
            v = static_cast<T>(v << 1);
            overflow = msb(v) != carry;
            break;
        case kShr:
            carry = v & 1;
            v = static_cast<T>(v >> 1);
            overflow = msb(before);
            break;
        default:
            carry = v & 1;
            v = static_cast<T>((v >> 1) | (v & kSign<T>));
            overflow = false;
            break;
        }
    }
    return {v, carry, overflow};
}

template <typename T>
void shiftGroup(Exec& x, unsigned count) {
    unsigned op = x.reg;
    if (x.model != CpuModel::I8086) {
        count &= 0x1F;
        if (op == kSetmo) op = kShl;
    }
    T v = readRm<T>(x);
    if (count == 0) {
        return;
    }
    std::uint16_t cfOf = 0;
    ShiftResult<T> res;
    if (op <= kRcr) {
        res = rotate<T>(op, v, count, cf(x));
        cfOf = static_cast<std::uint16_t>((res.carry ? flag::CF : 0) | (res.overflow ? flag::OF : 0));
        setFlags(x, flag::CF | flag::OF, cfOf);
    } else {
        if (op == kSetmo) {
            res = {static_cast<T>(~T{0}), false, false};
        } else {
            res = shift<T>(op, v, count);
        }
        cfOf = static_cast<std::uint16_t>((res.carry ? flag::CF : 0) | (res.overflow ? flag::OF : 0));
        // SHL leaves AF as the doubling addition of its last step does: bit 4 of the result.
        std::uint16_t aux = op == kShl ? static_cast<std::uint16_t>(res.value & flag::AF) : 0;
        setFlags(x, kArithFlags, static_cast<std::uint16_t>(szp(res.value) | cfOf | aux));
    }
    writeRm<T>(x, res.value);
}

// A count of 1, the common case, without the step loop. Shifts leave their flags pending.
template <typename T>
[[gnu::always_inline]] inline T shiftOnceValue(Exec& x, const T v, unsigned op) {
    if (op == kSetmo && x.model != CpuModel::I8086) op = kShl;
    T r;
    bool c;
    if (op <= kRcr) {
        bool o;
        switch (op) {
        case kRol: c = msb(v); r = static_cast<T>((v << 1) | (c ? 1 : 0)); o = msb(r) != c; break;
        case kRor: c = v & 1; r = static_cast<T>((v >> 1) | (c ? kSign<T> : 0)); o = msb(r) != nextMsb(r); break;
        case kRcl: c = msb(v); r = static_cast<T>((v << 1) | (cf(x) ? 1 : 0)); o = msb(r) != c; break;
        default: c = v & 1; r = static_cast<T>((v >> 1) | (cf(x) ? kSign<T> : 0)); o = msb(r) != nextMsb(r); break;
        }
        setFlags(x, flag::CF | flag::OF, static_cast<std::uint16_t>((c ? flag::CF : 0) | (o ? flag::OF : 0)));
        return r;
    }
    std::uint32_t fixed;
    switch (op) {
    case kShl:
        // The flags of one step are those of the addition v + v (CF the bit shifted out, OF a change of
        // sign, AF bit 4 of the result), so it is recorded as one.
        return addFlags<T>(x, v, v, 0);
    case kShr:
        c = v & 1;
        r = static_cast<T>(v >> 1);
        fixed = (c ? flag::CF : 0u) | (msb(v) ? flag::OF : 0u);
        break;
    case kSar:
        c = v & 1;
        r = static_cast<T>((v >> 1) | (v & kSign<T>));
        fixed = c ? flag::CF : 0u;
        break;
    default:  // SETMO on the 8086
        r = static_cast<T>(~T{0});
        fixed = 0;
        break;
    }
    recordFlags<T>(x, kLazyFixed, r | ((fixed & flag::CF) ? kSign<T> << 1 : 0u), v, fixed);
    return r;
}

template <typename T>
[[gnu::noinline]] void shiftOnce(Exec& x) {
    writeRm<T>(x, shiftOnceValue<T>(x, readRm<T>(x), x.reg));
}

// D0h/D1h on a register, one function per operation so that each is a few instructions with no
// choice among the eight left to make at run time.
template <typename T, unsigned Op>
std::uint16_t shiftRegisterByOne(Exec& x, std::uint8_t modrm, std::uint16_t ip) {
    T& r = regRef<T>(x, modrm & 7);
    r = shiftOnceValue<T>(x, r, Op);
    return static_cast<std::uint16_t>(ip + 1);
}

template <typename T>
using ShiftByOneFn = std::uint16_t (*)(Exec&, std::uint8_t, std::uint16_t);

template <typename T>
constexpr ShiftByOneFn<T> kShiftRegisterByOne[8] = {
    shiftRegisterByOne<T, kRol>, shiftRegisterByOne<T, kRor>,   shiftRegisterByOne<T, kRcl>, shiftRegisterByOne<T, kRcr>,
    shiftRegisterByOne<T, kShl>, shiftRegisterByOne<T, kShr>, shiftRegisterByOne<T, kSetmo>, shiftRegisterByOne<T, kSar>};

// Out of line so that the register forms need no saved registers.
template <typename T>
[[gnu::noinline]] std::uint16_t shiftMemoryByOne(Exec& x, std::uint16_t ip) {
    return modrmOnly<shiftOnce<T>>(x, ip);
}

// D0h/D1h. The register forms are done in place; the memory forms decode their operand first.
template <typename T>
std::uint16_t shiftByOne(Exec& x, std::uint16_t ip) {
    const std::uint8_t modrm = fetchAt8(x, ip);
    if (modrm >= 0xC0) [[likely]] {
        return kShiftRegisterByOne<T>[(modrm >> 3) & 7](x, modrm, ip);
    }
    return shiftMemoryByOne<T>(x, ip);
}

// Decoded: the register forms only (e.rm); the memory forms stay with shiftByOne.
template <typename T, unsigned Op>
std::uint32_t shiftRegisterByOneDecoded(Exec& x, const Decoded& e, std::uint32_t ip) {
    T& r = regAt<T>(x, e.rm);
    r = shiftOnceValue<T>(x, r, Op);
    return ip + 2;
}

template <typename T>
constexpr DecodedFn kShiftRegisterByOneDecoded[8] = {
    chained<shiftRegisterByOneDecoded<T, kRol>>, chained<shiftRegisterByOneDecoded<T, kRor>>,
    chained<shiftRegisterByOneDecoded<T, kRcl>>, chained<shiftRegisterByOneDecoded<T, kRcr>>,
    chained<shiftRegisterByOneDecoded<T, kShl>>, chained<shiftRegisterByOneDecoded<T, kShr>>,
    chained<shiftRegisterByOneDecoded<T, kSetmo>>, chained<shiftRegisterByOneDecoded<T, kSar>>};

template <typename T>
bool decodeShiftByOne(Decoded& e, std::uint64_t raw) {
    const std::uint8_t modrm = byteAt(raw, 1);
    if (modrm < 0xC0) return false;
    e.fn = kShiftRegisterByOneDecoded<T>[(modrm >> 3) & 7];
    e.rm = regOffset<T>(modrm & 7);
    e.len = 2;
    return true;
}

template <typename T>
void shiftByCl(Exec& x) {
    decodeModrm(x);
    shiftGroup<T>(x, reg8(x.r, 1));
}
template <typename T>
void shiftByImm(Exec& x) {
    decodeModrm(x);
    shiftGroup<T>(x, fetch8(x));
}

}  // namespace

void bindShiftHandlers(Binder& b) {
    b.bindBoth<shiftByOne<std::uint8_t>, decodeShiftByOne<std::uint8_t>>(0xD0, "ROL");
    b.bindBoth<shiftByOne<std::uint16_t>, decodeShiftByOne<std::uint16_t>>(0xD1, "ROL");
    b.bind(0xD2, "ROL", shiftByCl<std::uint8_t>);
    b.bind(0xD3, "ROL", shiftByCl<std::uint16_t>);
    b.bind(0xC0, "ROL", shiftByImm<std::uint8_t>);
    b.bind(0xC1, "ROL", shiftByImm<std::uint16_t>);
}

}  // namespace krvs::x86::interp
