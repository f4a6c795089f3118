// Two-operand arithmetic and logic: 00h-3Dh, the immediate group 80h-83h, TEST, XCHG, INC/DEC reg.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

#include <utility>

namespace krvs::x86::interp {
namespace {

template <int Form>
using FormType = std::conditional_t<(Form & 1) == 0, std::uint8_t, std::uint16_t>;

// The memory forms, kept out of line so that the register forms need no saved registers.
// The operation between memory and a register in the direction of its form (0/1 into memory, 2/3 into
// the register), for the plain and the decoded handlers alike.
template <int Op, int Form, typename T>
inline void aluMemory(Exec& x, const MemOperand& m, T& reg) {
    if constexpr (Form < 2) {
        T res = alu<Op, T>(x, readMem<T>(x, m.base, m.off), reg);
        if constexpr (Op != kCmp) writeMem<T>(x, m.base, m.off, res);
    } else {
        T res = alu<Op, T>(x, reg, readMem<T>(x, m.base, m.off));
        if constexpr (Op != kCmp) reg = res;
    }
}

template <int Op, int Form>
[[gnu::noinline]] std::uint16_t aluMemoryAt(Exec& x, std::uint16_t ip) {
    using T = FormType<Form>;
    const std::uint8_t modrm = fetchAt8(x, ip);
    const MemOperand m = memOperandAt(x, modrm, static_cast<std::uint16_t>(ip + 1));
    aluMemory<Op, Form>(x, m, regRef<T>(x, (modrm >> 3) & 7));
    return m.ip;
}

template <typename T>
T fetchAt(const Exec& x, std::uint16_t ip) {
    if constexpr (sizeof(T) == 1) {
        return fetchAt8(x, ip);
    } else {
        return fetchAt16(x, ip);
    }
}

// Form is the low three opcode bits: r/m8,r8 | r/m16,r16 | r8,r/m8 | r16,r/m16 | AL,imm8 | AX,imm16.
template <int Op, int Form>
std::uint16_t aluForm(Exec& x, std::uint16_t ip) {
    using T = FormType<Form>;
    if constexpr (Form >= 4) {
        T& acc = regRef<T>(x, AX);
        T res = alu<Op, T>(x, acc, fetchAt<T>(x, ip));
        if constexpr (Op != kCmp) acc = res;
        return static_cast<std::uint16_t>(ip + sizeof(T));
    } else {
        const std::uint8_t modrm = fetchAt8(x, ip);
        if (modrm < 0xC0) [[unlikely]] {
            return aluMemoryAt<Op, Form>(x, ip);
        }
        T& reg = regRef<T>(x, (modrm >> 3) & 7);
        T& rm = regRef<T>(x, modrm & 7);
        if constexpr (Form < 2) {
            T res = alu<Op, T>(x, rm, reg);
            if constexpr (Op != kCmp) rm = res;
        } else {
            T res = alu<Op, T>(x, reg, rm);
            if constexpr (Op != kCmp) reg = res;
        }
        return static_cast<std::uint16_t>(ip + 1);
    }
}

// ---- the same forms decoded (cpu_decoded.h) ----

// Two registers: e.reg is the destination, e.rm the source.
template <int Op, typename T>
std::uint32_t aluRegReg(Exec& x, const Decoded& e, std::uint32_t ip) {
    T& d = regAt<T>(x, e.reg);
    T res = alu<Op, T>(x, d, regAt<T>(x, e.rm));
    if constexpr (Op != kCmp) d = res;
    return ip + 2;
}

template <int Op, int Form>
struct AluMemory {
    template <int S, int D>
    static std::uint32_t run(Exec& x, const Decoded& e, std::uint32_t ip) {
        using T = FormType<Form>;
        aluMemory<Op, Form>(x, memoryAt<S, D>(x, e), regAt<T>(x, e.reg));
        return ip + 2 + D;
    }
};

template <int Op, typename T>
std::uint32_t aluAccImm(Exec& x, const Decoded& e, std::uint32_t ip) {
    T& acc = regRef<T>(x, AX);
    T res = alu<Op, T>(x, acc, static_cast<T>(e.imm));
    if constexpr (Op != kCmp) acc = res;
    return ip + 1 + sizeof(T);
}

template <typename T>
std::uint16_t immediateIn(std::uint64_t raw, unsigned at) {
    return sizeof(T) == 1 ? byteAt(raw, at) : wordAt(raw, at);
}

template <int Op, int Form>
bool decodeAlu(Decoded& e, std::uint64_t raw) {
    using T = FormType<Form>;
    if constexpr (Form >= 4) {
        e.fn = chained<aluAccImm<Op, T>>;
        e.imm = immediateIn<T>(raw, 1);
        e.len = 1 + sizeof(T);
    } else {
        const std::uint8_t modrm = byteAt(raw, 1);
        const unsigned reg = (modrm >> 3) & 7, rm = modrm & 7;
        if (modrm >= 0xC0) {
            e.fn = chained<aluRegReg<Op, T>>;
            e.reg = regOffset<T>(Form < 2 ? rm : reg);
            e.rm = regOffset<T>(Form < 2 ? reg : rm);
            e.len = 2;
        } else {
            e.fn = memoryForm<AluMemory<Op, Form>>(e, raw, 0);
            e.reg = regOffset<T>(reg);
        }
    }
    return true;
}

constexpr std::string_view kAluNames[8] = {"ADD", "OR", "ADC", "SBB", "AND", "SUB", "XOR", "CMP"};

template <int Op>
void bindAluRow(Binder& b) {
    [&]<int... F>(std::integer_sequence<int, F...>) {
        (b.bindBoth<aluForm<Op, F>, decodeAlu<Op, F>>(Op * 8 + F, kAluNames[Op]), ...);
    }
    (std::integer_sequence<int, 0, 1, 2, 3, 4, 5>{});
}

// The immediate group: the ModR/M reg field picks the operation, each with its own handler.
template <typename T, bool SignExtend>
T immediateAt(const Exec& x, std::uint16_t ip) {
    if constexpr (SignExtend) {
        return static_cast<T>(static_cast<std::int8_t>(fetchAt8(x, ip)));
    } else {
        return fetchAt<T>(x, ip);
    }
}
template <typename T, bool SignExtend>
constexpr std::uint16_t kImmediateSize = SignExtend ? 1 : sizeof(T);

// `ip` is at the ModR/M byte.
template <int Op, typename T, bool SignExtend>
[[gnu::noinline]] std::uint16_t aluImmMemory(Exec& x, std::uint16_t ip) {
    const MemOperand m = memOperandAt(x, fetchAt8(x, ip), static_cast<std::uint16_t>(ip + 1));
    T a = readMem<T>(x, m.base, m.off);
    T res = alu<Op, T>(x, a, immediateAt<T, SignExtend>(x, m.ip));
    if constexpr (Op != kCmp) writeMem<T>(x, m.base, m.off, res);
    return static_cast<std::uint16_t>(m.ip + kImmediateSize<T, SignExtend>);
}

template <int Op, typename T, bool SignExtend>
std::uint16_t aluImm(Exec& x, std::uint8_t modrm, std::uint16_t ip) {
    if (modrm >= 0xC0) [[likely]] {
        T& rm = regRef<T>(x, modrm & 7);
        T res = alu<Op, T>(x, rm, immediateAt<T, SignExtend>(x, static_cast<std::uint16_t>(ip + 1)));
        if constexpr (Op != kCmp) rm = res;
        return static_cast<std::uint16_t>(ip + 1 + kImmediateSize<T, SignExtend>);
    }
    return aluImmMemory<Op, T, SignExtend>(x, ip);
}

template <typename T, bool SignExtend>
using ImmFn = std::uint16_t (*)(Exec&, std::uint8_t, std::uint16_t);

template <typename T, bool SignExtend>
constexpr ImmFn<T, SignExtend> kImmOps[8] = {
    aluImm<kAdd, T, SignExtend>, aluImm<kOr, T, SignExtend>,  aluImm<kAdc, T, SignExtend>, aluImm<kSbb, T, SignExtend>,
    aluImm<kAnd, T, SignExtend>, aluImm<kSub, T, SignExtend>, aluImm<kXor, T, SignExtend>, aluImm<kCmp, T, SignExtend>};

// Opcode 80h and its alias 82h take imm8, 81h imm16, 83h imm8 sign-extended to a word.
template <typename T, bool SignExtend>
std::uint16_t aluImmGroup(Exec& x, std::uint16_t ip) {
    const std::uint8_t modrm = fetchAt8(x, ip);
    return kImmOps<T, SignExtend>[(modrm >> 3) & 7](x, modrm, ip);
}

// Decoded: a register (e.rm) and the immediate.
template <int Op, typename T, bool SignExtend>
std::uint32_t aluRegImm(Exec& x, const Decoded& e, std::uint32_t ip) {
    T& d = regAt<T>(x, e.rm);
    T res = alu<Op, T>(x, d, static_cast<T>(e.imm));
    if constexpr (Op != kCmp) d = res;
    return ip + 2 + kImmediateSize<T, SignExtend>;
}

template <int Op, typename T, bool SignExtend>
struct AluMemoryImm {
    template <int S, int D>
    static std::uint32_t run(Exec& x, const Decoded& e, std::uint32_t ip) {
        const MemOperand m = memoryAt<S, D>(x, e);
        T res = alu<Op, T>(x, readMem<T>(x, m.base, m.off), static_cast<T>(e.imm));
        if constexpr (Op != kCmp) writeMem<T>(x, m.base, m.off, res);
        return ip + 2 + D + kImmediateSize<T, SignExtend>;
    }
};

// The register and memory forms of the group's eight operations.
template <typename T, bool SignExtend>
struct ImmGroupForms {
    template <int Op>
    static bool decode(Decoded& e, std::uint64_t raw) {
        const std::uint8_t modrm = byteAt(raw, 1);
        unsigned at = 2;
        if (modrm >= 0xC0) {
            e.fn = chained<aluRegImm<Op, T, SignExtend>>;
            e.rm = regOffset<T>(modrm & 7);
            e.len = static_cast<std::uint8_t>(2 + kImmediateSize<T, SignExtend>);
        } else {
            e.fn = memoryForm<AluMemoryImm<Op, T, SignExtend>>(e, raw, kImmediateSize<T, SignExtend>);
            at = e.len - kImmediateSize<T, SignExtend>;
        }
        e.imm = SignExtend ? signedByteAt(raw, at) : immediateIn<T>(raw, at);
        return true;
    }
};

template <typename T, bool SignExtend>
bool decodeImmGroup(Decoded& e, std::uint64_t raw) {
    using F = ImmGroupForms<T, SignExtend>;
    static constexpr Decoder kOps[8] = {F::template decode<kAdd>, F::template decode<kOr>,  F::template decode<kAdc>,
                                        F::template decode<kSbb>, F::template decode<kAnd>, F::template decode<kSub>,
                                        F::template decode<kXor>, F::template decode<kCmp>};
    return kOps[(byteAt(raw, 1) >> 3) & 7](e, raw);
}

// TEST decoded: two registers (e.reg, e.rm), or a register and memory.
template <typename T>
std::uint32_t testRegReg(Exec& x, const Decoded& e, std::uint32_t ip) {
    logicFlags<T>(x, static_cast<T>(regAt<T>(x, e.reg) & regAt<T>(x, e.rm)));
    return ip + 2;
}

template <typename T>
struct TestMemory {
    template <int S, int D>
    static std::uint32_t run(Exec& x, const Decoded& e, std::uint32_t ip) {
        const MemOperand m = memoryAt<S, D>(x, e);
        logicFlags<T>(x, static_cast<T>(readMem<T>(x, m.base, m.off) & regAt<T>(x, e.reg)));
        return ip + 2 + D;
    }
};

template <typename T>
bool decodeTest(Decoded& e, std::uint64_t raw) {
    const std::uint8_t modrm = byteAt(raw, 1);
    e.reg = regOffset<T>((modrm >> 3) & 7);
    if (modrm >= 0xC0) {
        e.fn = chained<testRegReg<T>>;
        e.rm = regOffset<T>(modrm & 7);
        e.len = 2;
    } else {
        e.fn = memoryForm<TestMemory<T>>(e, raw, 0);
    }
    return true;
}

template <typename T>
void testRm(Exec& x) {
    logicFlags<T>(x, static_cast<T>(readRm<T>(x) & regRef<T>(x, x.reg)));
}

template <typename T>
std::uint16_t testAcc(Exec& x, std::uint16_t ip) {
    logicFlags<T>(x, static_cast<T>(regRef<T>(x, AX) & fetchAt<T>(x, ip)));
    return static_cast<std::uint16_t>(ip + sizeof(T));
}

template <typename T>
void xchgRm(Exec& x) {
    decodeModrm(x);
    T a = readRm<T>(x);
    T b = regRef<T>(x, x.reg);
    writeRm<T>(x, b);
    regRef<T>(x, x.reg) = a;
}

template <int R>
void incReg(Exec& x) {
    x.r.gp[R] = incFlags<std::uint16_t>(x, x.r.gp[R]);
}
template <int R>
void decReg(Exec& x) {
    x.r.gp[R] = decFlags<std::uint16_t>(x, x.r.gp[R]);
}

}  // namespace

void bindAluHandlers(Binder& b) {
    bindAluRow<kAdd>(b);
    bindAluRow<kOr>(b);
    bindAluRow<kAdc>(b);
    bindAluRow<kSbb>(b);
    bindAluRow<kAnd>(b);
    bindAluRow<kSub>(b);
    bindAluRow<kXor>(b);
    bindAluRow<kCmp>(b);
    b.bindBoth<aluImmGroup<std::uint8_t, false>, decodeImmGroup<std::uint8_t, false>>(0x80, "ADD");
    b.bindBoth<aluImmGroup<std::uint16_t, false>, decodeImmGroup<std::uint16_t, false>>(0x81, "ADD");
    b.bindBoth<aluImmGroup<std::uint8_t, false>, decodeImmGroup<std::uint8_t, false>>(0x82, "ADD");
    b.bindBoth<aluImmGroup<std::uint16_t, true>, decodeImmGroup<std::uint16_t, true>>(0x83, "ADD");
    b.bindBoth<modrmOnly<testRm<std::uint8_t>>, decodeTest<std::uint8_t>>(0x84, "TEST");
    b.bindBoth<modrmOnly<testRm<std::uint16_t>>, decodeTest<std::uint16_t>>(0x85, "TEST");
    b.bind(0x86, "XCHG", xchgRm<std::uint8_t>);
    b.bind(0x87, "XCHG", xchgRm<std::uint16_t>);
    b.bindBoth<testAcc<std::uint8_t>>(0xA8, "TEST");
    b.bindBoth<testAcc<std::uint16_t>>(0xA9, "TEST");
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (b.bindBoth<withoutOperands<incReg<R>>, decodeOneByte<incReg<R>>>(0x40 + R, "INC"), ...);
        (b.bindBoth<withoutOperands<decReg<R>>, decodeOneByte<decReg<R>>>(0x48 + R, "DEC"), ...);
    }
    (std::make_integer_sequence<int, 8>{});
}

}  // namespace krvs::x86::interp
