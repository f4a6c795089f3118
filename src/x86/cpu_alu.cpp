// Two-operand arithmetic and logic: 00h-3Dh, the immediate group 80h-83h, TEST, XCHG, INC/DEC reg.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

#include <utility>

namespace krvs::x86::interp {
namespace {

template <int Form>
using FormType = std::conditional_t<(Form & 1) == 0, std::uint8_t, std::uint16_t>;

// The memory forms, kept out of line so that the register forms stay small.
template <int Op, int Form>
[[gnu::noinline]] void aluMemory(Exec& x, std::uint8_t modrm) {
    using T = FormType<Form>;
    decodeModrmByte(x, modrm);
    if constexpr (Form < 2) {
        T res = alu<Op, T>(x, readRm<T>(x), regRef<T>(x, x.reg));
        if constexpr (Op != kCmp) writeRm<T>(x, res);
    } else {
        T res = alu<Op, T>(x, regRef<T>(x, x.reg), readRm<T>(x));
        if constexpr (Op != kCmp) regRef<T>(x, x.reg) = res;
    }
}

// Form is the low three opcode bits: r/m8,r8 | r/m16,r16 | r8,r/m8 | r16,r/m16 | AL,imm8 | AX,imm16.
template <int Op, int Form>
void aluForm(Exec& x) {
    using T = FormType<Form>;
    if constexpr (Form >= 4) {
        T& acc = regRef<T>(x, AX);
        T res = alu<Op, T>(x, acc, fetch<T>(x));
        if constexpr (Op != kCmp) acc = res;
    } else {
        std::uint8_t modrm = fetch8(x);
        if (modrm < 0xC0) {
            aluMemory<Op, Form>(x, modrm);
            return;
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
    }
}

constexpr std::string_view kAluNames[8] = {"ADD", "OR", "ADC", "SBB", "AND", "SUB", "XOR", "CMP"};

template <int Op>
void bindAluRow(Binder& b) {
    [&]<int... F>(std::integer_sequence<int, F...>) { (b.bind(Op * 8 + F, kAluNames[Op], aluForm<Op, F>), ...); }
    (std::integer_sequence<int, 0, 1, 2, 3, 4, 5>{});
}

// The immediate group: the ModR/M reg field picks the operation, each with its own handler.
template <typename T, bool SignExtend>
T fetchImmediate(Exec& x) {
    if constexpr (SignExtend) {
        return static_cast<T>(static_cast<std::int8_t>(fetch8(x)));
    } else {
        return fetch<T>(x);
    }
}

template <int Op, typename T, bool SignExtend>
void aluImm(Exec& x, std::uint8_t modrm) {
    if (modrm >= 0xC0) {
        T& rm = regRef<T>(x, modrm & 7);
        T res = alu<Op, T>(x, rm, fetchImmediate<T, SignExtend>(x));
        if constexpr (Op != kCmp) rm = res;
        return;
    }
    decodeModrmByte(x, modrm);
    T a = readMem<T>(x, x.eaBase, x.eaOff);
    T res = alu<Op, T>(x, a, fetchImmediate<T, SignExtend>(x));
    if constexpr (Op != kCmp) writeMem<T>(x, x.eaBase, x.eaOff, res);
}

template <typename T, bool SignExtend>
using ImmFn = void (*)(Exec&, std::uint8_t);

template <typename T, bool SignExtend>
constexpr ImmFn<T, SignExtend> kImmOps[8] = {
    aluImm<kAdd, T, SignExtend>, aluImm<kOr, T, SignExtend>,  aluImm<kAdc, T, SignExtend>, aluImm<kSbb, T, SignExtend>,
    aluImm<kAnd, T, SignExtend>, aluImm<kSub, T, SignExtend>, aluImm<kXor, T, SignExtend>, aluImm<kCmp, T, SignExtend>};

// Opcode 80h and its alias 82h take imm8, 81h imm16, 83h imm8 sign-extended to a word.
template <typename T, bool SignExtend>
void aluImmGroup(Exec& x) {
    std::uint8_t modrm = fetch8(x);
    kImmOps<T, SignExtend>[(modrm >> 3) & 7](x, modrm);
}

template <typename T>
void testRm(Exec& x) {
    decodeModrm(x);
    logicFlags<T>(x, static_cast<T>(readRm<T>(x) & regRef<T>(x, x.reg)));
}

template <typename T>
void testAcc(Exec& x) {
    logicFlags<T>(x, static_cast<T>(regRef<T>(x, AX) & fetch<T>(x)));
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
    b.bind(0x80, "ADD", aluImmGroup<std::uint8_t, false>);
    b.bind(0x81, "ADD", aluImmGroup<std::uint16_t, false>);
    b.bind(0x82, "ADD", aluImmGroup<std::uint8_t, false>);
    b.bind(0x83, "ADD", aluImmGroup<std::uint16_t, true>);
    b.bind(0x84, "TEST", testRm<std::uint8_t>);
    b.bind(0x85, "TEST", testRm<std::uint16_t>);
    b.bind(0x86, "XCHG", xchgRm<std::uint8_t>);
    b.bind(0x87, "XCHG", xchgRm<std::uint16_t>);
    b.bind(0xA8, "TEST", testAcc<std::uint8_t>);
    b.bind(0xA9, "TEST", testAcc<std::uint16_t>);
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (b.bind(0x40 + R, "INC", incReg<R>), ...);
        (b.bind(0x48 + R, "DEC", decReg<R>), ...);
    }
    (std::make_integer_sequence<int, 8>{});
}

}  // namespace krvs::x86::interp
