// Two-operand arithmetic and logic: 00h-3Dh, the immediate group 80h-83h, TEST, XCHG, INC/DEC reg.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

#include <utility>

namespace krvs::x86::interp {
namespace {

template <int Form>
using FormType = std::conditional_t<(Form & 1) == 0, std::uint8_t, std::uint16_t>;

// The memory forms, kept out of line so that the register forms need no saved registers.
template <int Op, int Form>
[[gnu::noinline]] std::uint16_t aluMemoryAt(Exec& x, std::uint16_t ip) {
    using T = FormType<Form>;
    const std::uint8_t modrm = fetchAt8(x, ip);
    const MemOperand m = memOperandAt(x, modrm, static_cast<std::uint16_t>(ip + 1));
    T& reg = regRef<T>(x, (modrm >> 3) & 7);
    if constexpr (Form < 2) {
        T res = alu<Op, T>(x, readMem<T>(x, m.base, m.off), reg);
        if constexpr (Op != kCmp) writeMem<T>(x, m.base, m.off, res);
    } else {
        T res = alu<Op, T>(x, reg, readMem<T>(x, m.base, m.off));
        if constexpr (Op != kCmp) reg = res;
    }
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

constexpr std::string_view kAluNames[8] = {"ADD", "OR", "ADC", "SBB", "AND", "SUB", "XOR", "CMP"};

template <int Op>
void bindAluRow(Binder& b) {
    [&]<int... F>(std::integer_sequence<int, F...>) { (b.bindBoth<aluForm<Op, F>>(Op * 8 + F, kAluNames[Op]), ...); }
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
    b.bindBoth<aluImmGroup<std::uint8_t, false>>(0x80, "ADD");
    b.bindBoth<aluImmGroup<std::uint16_t, false>>(0x81, "ADD");
    b.bindBoth<aluImmGroup<std::uint8_t, false>>(0x82, "ADD");
    b.bindBoth<aluImmGroup<std::uint16_t, true>>(0x83, "ADD");
    b.bindBoth<modrmOnly<testRm<std::uint8_t>>>(0x84, "TEST");
    b.bindBoth<modrmOnly<testRm<std::uint16_t>>>(0x85, "TEST");
    b.bind(0x86, "XCHG", xchgRm<std::uint8_t>);
    b.bind(0x87, "XCHG", xchgRm<std::uint16_t>);
    b.bindBoth<testAcc<std::uint8_t>>(0xA8, "TEST");
    b.bindBoth<testAcc<std::uint16_t>>(0xA9, "TEST");
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (b.bindBoth<withoutOperands<incReg<R>>>(0x40 + R, "INC"), ...);
        (b.bindBoth<withoutOperands<decReg<R>>>(0x48 + R, "DEC"), ...);
    }
    (std::make_integer_sequence<int, 8>{});
}

}  // namespace krvs::x86::interp
