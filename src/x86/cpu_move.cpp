// Data movement: MOV in all its forms, LEA, LES/LDS, XCHG with AX, XLAT, LAHF/SAHF, CBW/CWD.

#include "cpu_dispatch.h"

#include <array>
#include <utility>

namespace krvs::x86::interp {
namespace {

// 88h-8Bh with a memory operand, one function per mod and r/m (M is the ModR/M byte with the reg field
// clear) so that the address is worked out without looking up its registers or its displacement size.
// Out of line from movRm so that the register forms need no saved registers.
template <typename T, bool ToReg, std::uint8_t M>
std::uint16_t movRmMemory(Exec& x, std::uint8_t modrm, std::uint16_t ip) {
    const MemOperand m = memOperandAt(x, M, static_cast<std::uint16_t>(ip + 1));
    T& reg = regRef<T>(x, (modrm >> 3) & 7);
    if constexpr (ToReg) {
        reg = readMem<T>(x, m.base, m.off);
    } else {
        writeMem<T>(x, m.base, m.off, reg);
    }
    return m.ip;
}

template <typename T, bool ToReg>
using MovMemoryFn = std::uint16_t (*)(Exec&, std::uint8_t, std::uint16_t);

// Indexed by mod * 8 + r/m, mod 0-2.
template <typename T, bool ToReg>
constexpr auto kMovRmMemory = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<MovMemoryFn<T, ToReg>, 24>{movRmMemory<T, ToReg, static_cast<std::uint8_t>((I / 8) << 6 | (I % 8))>...};
}(std::make_index_sequence<24>{});

template <typename T, bool ToReg>
std::uint16_t movRm(Exec& x, std::uint16_t ip) {
    const std::uint8_t modrm = fetchAt8(x, ip);
    if (modrm >= 0xC0) {
        T& reg = regRef<T>(x, (modrm >> 3) & 7);
        T& rm = regRef<T>(x, modrm & 7);
        if constexpr (ToReg) {
            reg = rm;
        } else {
            rm = reg;
        }
        return static_cast<std::uint16_t>(ip + 1);
    }
    return kMovRmMemory<T, ToReg>[(modrm >> 6) * 8 + (modrm & 7)](x, modrm, ip);
}

// ---- decoded forms (cpu_decoded.h) ----

// Two registers: e.reg is the destination, e.rm the source.
template <typename T>
std::uint32_t movRegReg(Exec& x, const Decoded& e, std::uint32_t ip) {
    regAt<T>(x, e.reg) = regAt<T>(x, e.rm);
    return ip + 2;
}

// A register (e.reg) and memory; also A0h-A3h, the accumulator and a direct address.
template <typename T, bool ToReg, int Opcode>
struct MovMemory {
    // 88h-8Bh have a ModR/M byte; A0h-A3h (a direct address) have none.
    static constexpr unsigned kBase = Opcode >= 0xA0 ? 1 : 2;
    template <int S, int D>
    static std::uint32_t run(Exec& x, const Decoded& e, std::uint32_t ip) {
        const MemOperand m = memoryAt<S, D>(x, e);
        if constexpr (ToReg) {
            regAt<T>(x, e.reg) = readMem<T>(x, m.base, m.off);
        } else {
            writeMem<T>(x, m.base, m.off, regAt<T>(x, e.reg));
        }
        return ip + kBase + D;
    }
};

template <typename T, bool ToReg>
bool decodeMovRm(Decoded& e, std::uint64_t raw) {
    const std::uint8_t modrm = byteAt(raw, 1);
    const unsigned reg = (modrm >> 3) & 7, rm = modrm & 7;
    if (modrm >= 0xC0) {
        e.fn = chained<movRegReg<T>>;
        e.reg = regOffset<T>(ToReg ? reg : rm);
        e.rm = regOffset<T>(ToReg ? rm : reg);
        e.len = 2;
        return true;
    }
    e.fn = memoryForm<MovMemory<T, ToReg, 0x88>>(e, raw, 0);
    e.reg = regOffset<T>(reg);
    return true;
}

template <typename T, bool ToAcc>
bool decodeMovAccMem(Decoded& e, std::uint64_t raw) {
    e.fn = chained<MovMemory<T, ToAcc, 0xA0>::template run<kEaDirect, 2>>;
    e.reg = regOffset<T>(AX);
    e.disp = wordAt(raw, 1);
    e.len = 3;
    return true;
}

template <typename T>
std::uint32_t movRegImm(Exec& x, const Decoded& e, std::uint32_t ip) {
    regAt<T>(x, e.reg) = static_cast<T>(e.imm);
    return ip + 1 + sizeof(T);
}

template <typename T, int R>
bool decodeMovRegImm(Decoded& e, std::uint64_t raw) {
    e.fn = chained<movRegImm<T>>;
    e.reg = regOffset<T>(R);
    e.imm = sizeof(T) == 1 ? byteAt(raw, 1) : wordAt(raw, 1);
    e.len = 1 + sizeof(T);
    return true;
}

void movFromSeg(Exec& x) {
    decodeModrm(x);
    writeRm<std::uint16_t>(x, x.r.seg[x.reg & 3]);
}

void movToSeg(Exec& x) {
    decodeModrm(x);
    unsigned seg = x.reg & 3;
    if (seg == CS && x.model != CpuModel::I8086) {
        invalidOpcode(x);
        return;
    }
    x.r.seg[seg] = readRm<std::uint16_t>(x);
    csLoaded(x);  // MOV CS on the 8086
    afterSegmentLoad(x, seg);
}

// With a register operand these have no address to use; the register is left as it was.
void lea(Exec& x) {
    decodeModrm(x);
    if (x.mod == 3) {
        if (x.model != CpuModel::I8086) invalidOpcode(x);
        return;
    }
    x.r.gp[x.reg] = x.eaOff;
}

template <int Seg>
void loadFarPointer(Exec& x) {
    decodeModrm(x);
    if (x.mod == 3) {
        if (x.model != CpuModel::I8086) invalidOpcode(x);
        return;
    }
    std::uint16_t off = read16(x.mem, x.eaBase, x.eaOff);
    std::uint16_t seg = read16(x.mem, x.eaBase, static_cast<std::uint16_t>(x.eaOff + 2));
    x.r.gp[x.reg] = off;
    x.r.seg[Seg] = seg;
}

// A0h-A3h: accumulator to and from a direct address.
template <typename T, bool ToAcc>
std::uint16_t movAccMem(Exec& x, std::uint16_t ip) {
    std::uint16_t off = fetchAt16(x, ip);
    std::uint32_t base = dataBase(x, DS);
    if constexpr (ToAcc) {
        regRef<T>(x, AX) = readMem<T>(x, base, off);
    } else {
        writeMem<T>(x, base, off, regRef<T>(x, AX));
    }
    return static_cast<std::uint16_t>(ip + 2);
}

template <int R>
std::uint16_t movReg8Imm(Exec& x, std::uint16_t ip) {
    reg8(x.r, R) = fetchAt8(x, ip);
    return static_cast<std::uint16_t>(ip + 1);
}
template <int R>
std::uint16_t movReg16Imm(Exec& x, std::uint16_t ip) {
    x.r.gp[R] = fetchAt16(x, ip);
    return static_cast<std::uint16_t>(ip + 2);
}

// C6h/C7h: the reg field is ignored.
template <typename T>
std::uint16_t movRmImm(Exec& x, std::uint16_t ip) {
    ip = decodeModrmAt(x, ip);
    const T v = static_cast<T>(sizeof(T) == 1 ? fetchAt8(x, ip) : fetchAt16(x, ip));
    writeRm<T>(x, v);
    return static_cast<std::uint16_t>(ip + sizeof(T));
}

// Decoded: a register (e.rm) or memory, and the immediate.
template <typename T>
std::uint32_t movRegImmRm(Exec& x, const Decoded& e, std::uint32_t ip) {
    regAt<T>(x, e.rm) = static_cast<T>(e.imm);
    return ip + 2 + sizeof(T);
}

template <typename T>
struct MovMemoryImm {
    template <int S, int D>
    static std::uint32_t run(Exec& x, const Decoded& e, std::uint32_t ip) {
        const MemOperand m = memoryAt<S, D>(x, e);
        writeMem<T>(x, m.base, m.off, static_cast<T>(e.imm));
        return ip + 2 + D + sizeof(T);
    }
};

template <typename T>
bool decodeMovRmImm(Decoded& e, std::uint64_t raw) {
    const std::uint8_t modrm = byteAt(raw, 1);
    if (modrm >= 0xC0) {
        e.fn = chained<movRegImmRm<T>>;
        e.rm = regOffset<T>(modrm & 7);
        e.len = 2 + sizeof(T);
    } else {
        e.fn = memoryForm<MovMemoryImm<T>>(e, raw, sizeof(T));
    }
    const unsigned at = e.len - sizeof(T);
    e.imm = sizeof(T) == 1 ? byteAt(raw, at) : wordAt(raw, at);
    return true;
}

template <int R>
void xchgAx(Exec& x) {
    std::swap(x.r.gp[AX], x.r.gp[R]);
}

void xlat(Exec& x) {
    std::uint16_t off = static_cast<std::uint16_t>(x.r.gp[BX] + reg8(x.r, 0));
    reg8(x.r, 0) = read8(x.mem, dataBase(x, DS), off);
}

void sahf(Exec& x) {
    std::uint16_t low = static_cast<std::uint16_t>((reg8(x.r, 4) & 0xD5) | 0x02);
    loadFlags(x, static_cast<std::uint16_t>((flagsNow(x) & 0xFF00) | low));
}
void lahf(Exec& x) { reg8(x.r, 4) = static_cast<std::uint8_t>(flagsNow(x)); }

void cbw(Exec& x) { x.r.gp[AX] = static_cast<std::uint16_t>(static_cast<std::int8_t>(reg8(x.r, 0))); }
void cwd(Exec& x) { x.r.gp[DX] = (x.r.gp[AX] & 0x8000) ? 0xFFFF : 0; }

}  // namespace

void bindMoveHandlers(Binder& b) {
    b.bindBoth<movRm<std::uint8_t, false>, decodeMovRm<std::uint8_t, false>>(0x88, "MOV");
    b.bindBoth<movRm<std::uint16_t, false>, decodeMovRm<std::uint16_t, false>>(0x89, "MOV");
    b.bindBoth<movRm<std::uint8_t, true>, decodeMovRm<std::uint8_t, true>>(0x8A, "MOV");
    b.bindBoth<movRm<std::uint16_t, true>, decodeMovRm<std::uint16_t, true>>(0x8B, "MOV");
    b.bind(0x8C, "MOV", movFromSeg);
    b.bind(0x8D, "LEA", lea);
    b.bind(0x8E, "MOV", movToSeg);
    b.bindBoth<movAccMem<std::uint8_t, true>, decodeMovAccMem<std::uint8_t, true>>(0xA0, "MOV");
    b.bindBoth<movAccMem<std::uint16_t, true>, decodeMovAccMem<std::uint16_t, true>>(0xA1, "MOV");
    b.bindBoth<movAccMem<std::uint8_t, false>, decodeMovAccMem<std::uint8_t, false>>(0xA2, "MOV");
    b.bindBoth<movAccMem<std::uint16_t, false>, decodeMovAccMem<std::uint16_t, false>>(0xA3, "MOV");
    b.bind(0xC4, "LES", loadFarPointer<ES>);
    b.bind(0xC5, "LDS", loadFarPointer<DS>);
    b.bindBoth<movRmImm<std::uint8_t>, decodeMovRmImm<std::uint8_t>>(0xC6, "MOV");
    b.bindBoth<movRmImm<std::uint16_t>, decodeMovRmImm<std::uint16_t>>(0xC7, "MOV");
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (b.bindBoth<movReg8Imm<R>, decodeMovRegImm<std::uint8_t, R>>(0xB0 + R, "MOV"), ...);
        (b.bindBoth<movReg16Imm<R>, decodeMovRegImm<std::uint16_t, R>>(0xB8 + R, "MOV"), ...);
        (b.bindBoth<withoutOperands<xchgAx<R>>, decodeOneByte<xchgAx<R>>>(0x90 + R, "XCHG"), ...);
    }
    (std::make_integer_sequence<int, 8>{});
    b.bindBoth<withoutOperands<cbw>, decodeOneByte<cbw>>(0x98, "CBW");
    b.bindBoth<withoutOperands<cwd>, decodeOneByte<cwd>>(0x99, "CWD");
    b.bind(0x9E, "SAHF", sahf);
    b.bind(0x9F, "LAHF", lahf);
    b.bind(0xD7, "XLAT", xlat);
}

}  // namespace krvs::x86::interp
