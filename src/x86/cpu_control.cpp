// Transfers of control: conditional jumps, LOOP/JCXZ, JMP, CALL, RET, INT, INTO, IRET.

#include "cpu_dispatch.h"

#include <utility>

namespace krvs::x86::interp {
namespace {

template <int Cond>
bool condition(std::uint16_t f) {
    bool sf = f & flag::SF;
    bool of = f & flag::OF;
    bool zf = f & flag::ZF;
    bool cf = f & flag::CF;
    bool r;
    switch (Cond >> 1) {
    case 0: r = of; break;
    case 1: r = cf; break;
    case 2: r = zf; break;
    case 3: r = cf || zf; break;
    case 4: r = sf; break;
    case 5: r = f & flag::PF; break;
    case 6: r = sf != of; break;
    default: r = zf || (sf != of); break;
    }
    return (Cond & 1) ? !r : r;
}

// The common conditions read the pending result directly; the others settle FLAGS first.
template <int Cond>
bool taken(Exec& x) {
    bool r;
    switch (Cond >> 1) {
    case 1: r = cf(x); break;
    case 2: r = zf(x); break;
    case 3: r = cf(x) || zf(x); break;
    default: return condition<Cond>(flagsNow(x));
    }
    return (Cond & 1) ? !r : r;
}

void jumpShort(Exec& x, std::uint8_t disp) {
    x.r.ip = static_cast<std::uint16_t>(x.r.ip + static_cast<std::int8_t>(disp));
}

template <int Cond>
void jcc(Exec& x) {
    std::uint8_t disp = fetch8(x);
    if (taken<Cond>(x)) jumpShort(x, disp);
}

// E0h-E3h: LOOPNE, LOOPE, LOOP, JCXZ.
template <int Kind>
void loop(Exec& x) {
    std::uint8_t disp = fetch8(x);
    std::uint16_t& cx = x.r.gp[CX];
    bool taken;
    if constexpr (Kind == 3) {
        taken = cx == 0;
    } else {
        --cx;
        taken = cx != 0 && (Kind == 2 || (Kind == 1 ? zf(x) : !zf(x)));
    }
    if (taken) jumpShort(x, disp);
}

void jmpShort(Exec& x) { jumpShort(x, fetch8(x)); }
void jmpNear(Exec& x) {
    std::uint16_t disp = fetch16(x);
    x.r.ip = static_cast<std::uint16_t>(x.r.ip + disp);
}
void callNear(Exec& x) {
    std::uint16_t disp = fetch16(x);
    push16(x, x.r.ip);
    x.r.ip = static_cast<std::uint16_t>(x.r.ip + disp);
}
void jmpFar(Exec& x) {
    std::uint16_t off = fetch16(x);
    x.r.seg[CS] = fetch16(x);
    x.r.ip = off;
    csLoaded(x);
}
void callFar(Exec& x) {
    std::uint16_t off = fetch16(x);
    std::uint16_t seg = fetch16(x);
    push16(x, x.r.seg[CS]);
    push16(x, x.r.ip);
    x.r.seg[CS] = seg;
    x.r.ip = off;
    csLoaded(x);
}

template <bool Far, bool Imm>
void ret(Exec& x) {
    std::uint16_t extra = 0;
    if constexpr (Imm) extra = fetch16(x);
    x.r.ip = pop16(x);
    if constexpr (Far) {
        x.r.seg[CS] = pop16(x);
        csLoaded(x);
    }
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] + extra);
}

void int3(Exec& x) { enterInterrupt(x, 3); }
void intN(Exec& x) { enterInterrupt(x, fetch8(x)); }
void into(Exec& x) {
    if (flagsNow(x) & flag::OF) enterInterrupt(x, 4);
}
void iret(Exec& x) {
    x.r.ip = pop16(x);
    x.r.seg[CS] = pop16(x);
    csLoaded(x);
    loadFlags(x, normalizeFlags(x.model, pop16(x)));
    x.special |= kFlagsLoaded;
}

}  // namespace

namespace {

constexpr std::string_view kJccNames[16] = {"JO", "JNO", "JB", "JNB", "JZ", "JNZ", "JBE", "JA",
                                            "JS", "JNS", "JPE", "JPO", "JL", "JGE", "JLE", "JG"};

// At 70h-7Fh; the 8086 also runs 60h-6Fh as copies of them.
void bindJccAt(Binder& b, unsigned base) {
    [&]<int... C>(std::integer_sequence<int, C...>) { (b.bind(static_cast<std::uint16_t>(base + C), kJccNames[C], jcc<C>), ...); }
    (std::make_integer_sequence<int, 16>{});
}

}  // namespace

void bindControlHandlers(Binder& b) {
    bindJccAt(b, 0x70);
    bindJccAt(b, 0x60);
    b.bind(0xE0, "LOOPNZ", loop<0>);
    b.bind(0xE1, "LOOPZ", loop<1>);
    b.bind(0xE2, "LOOP", loop<2>);
    b.bind(0xE3, "JCXZ", loop<3>);
    b.bind(0xE8, "CALL", callNear);
    b.bind(0xE9, "JMP", jmpNear);
    b.bind(0xEA, "JMP", jmpFar);
    b.bind(0xEB, "JMP", jmpShort);
    b.bind(0x9A, "CALL", callFar);
    b.bind(0xC2, "RET", ret<false, true>);
    b.bind(0xC3, "RET", ret<false, false>);
    b.bind(0xCA, "RETF", ret<true, true>);
    b.bind(0xCB, "RETF", ret<true, false>);
    // The 8086's copies: C0h/C1h as RET imm/RET, C8h/C9h as RETF imm/RETF.
    b.bind(0xC0, "RET", ret<false, true>);
    b.bind(0xC1, "RET", ret<false, false>);
    b.bind(0xC8, "RETF", ret<true, true>);
    b.bind(0xC9, "RETF", ret<true, false>);
    b.bind(0xCC, "INT", int3);
    b.bind(0xCD, "INT", intN);
    b.bind(0xCE, "INTO", into);
    b.bind(0xCF, "IRET", iret);
}

}  // namespace krvs::x86::interp
