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

// `ip` is at the displacement byte; returns the IP after it, or the target when `taken`.
std::uint16_t jumpShortIf(const Exec& x, std::uint16_t ip, bool taken) {
    const std::uint16_t next = static_cast<std::uint16_t>(ip + 1);
    return taken ? static_cast<std::uint16_t>(next + static_cast<std::int8_t>(fetchAt8(x, ip))) : next;
}

template <int Cond>
std::uint16_t jcc(Exec& x, std::uint16_t ip) {
    return jumpShortIf(x, ip, taken<Cond>(x));
}

// E0h-E3h: LOOPNE, LOOPE, LOOP, JCXZ. Counts CX down (all but JCXZ) and says whether the jump is taken.
template <int Kind>
inline bool loopTaken(Exec& x) {
    std::uint16_t& cx = x.r.gp[CX];
    if constexpr (Kind == 3) {
        return cx == 0;
    } else {
        --cx;
        return cx != 0 && (Kind == 2 || (Kind == 1 ? zf(x) : !zf(x)));
    }
}

template <int Kind>
std::uint16_t loop(Exec& x, std::uint16_t ip) {
    return jumpShortIf(x, ip, loopTaken<Kind>(x));
}

std::uint16_t jmpShort(Exec& x, std::uint16_t ip) { return jumpShortIf(x, ip, true); }
std::uint16_t jmpNear(Exec& x, std::uint16_t ip) {
    return static_cast<std::uint16_t>(ip + 2 + fetchAt16(x, ip));
}
std::uint16_t callNear(Exec& x, std::uint16_t ip) {
    const std::uint16_t next = static_cast<std::uint16_t>(ip + 2);
    const std::uint16_t disp = fetchAt16(x, ip);  // before the push, which may land on it
    push16(x, next);
    return static_cast<std::uint16_t>(next + disp);
}
// ---- decoded forms (cpu_decoded.h): e.disp is the relative target ----

bool decodeShortJump(Decoded& e, std::uint64_t raw) {
    e.disp = signedByteAt(raw, 1);
    e.len = 2;
    return true;
}

template <int Cond>
std::uint32_t jccDecoded(Exec& x, const Decoded& e, std::uint32_t ip) {
    const std::uint16_t next = static_cast<std::uint16_t>(ip + 2);
    return taken<Cond>(x) ? static_cast<std::uint16_t>(next + e.disp) : next;
}
template <int Cond>
bool decodeJcc(Decoded& e, std::uint64_t raw) {
    e.fn = jccDecoded<Cond>;
    return decodeShortJump(e, raw);
}

template <int Kind>
std::uint32_t loopDecoded(Exec& x, const Decoded& e, std::uint32_t ip) {
    const std::uint16_t next = static_cast<std::uint16_t>(ip + 2);
    return loopTaken<Kind>(x) ? static_cast<std::uint16_t>(next + e.disp) : next;
}
template <int Kind>
bool decodeLoop(Decoded& e, std::uint64_t raw) {
    e.fn = loopDecoded<Kind>;
    return decodeShortJump(e, raw);
}

std::uint32_t jmpShortDecoded(Exec&, const Decoded& e, std::uint32_t ip) {
    return static_cast<std::uint16_t>(ip + 2 + e.disp);
}
bool decodeJmpShort(Decoded& e, std::uint64_t raw) {
    e.fn = jmpShortDecoded;
    return decodeShortJump(e, raw);
}

std::uint32_t jmpNearDecoded(Exec&, const Decoded& e, std::uint32_t ip) {
    return static_cast<std::uint16_t>(ip + 3 + e.disp);
}
std::uint32_t callNearDecoded(Exec& x, const Decoded& e, std::uint32_t ip) {
    const std::uint16_t next = static_cast<std::uint16_t>(ip + 3);
    push16(x, next);
    return static_cast<std::uint16_t>(next + e.disp);
}
template <DecodedFn Fn>
bool decodeNear(Decoded& e, std::uint64_t raw) {
    e.fn = Fn;
    e.disp = wordAt(raw, 1);
    e.len = 3;
    return true;
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

template <bool Imm>
std::uint16_t retNear(Exec& x, std::uint16_t ip) {
    const std::uint16_t extra = Imm ? fetchAt16(x, ip) : 0;
    const std::uint16_t to = pop16(x);
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] + extra);
    return to;
}

template <bool Imm>
void retFar(Exec& x) {
    std::uint16_t extra = 0;
    if constexpr (Imm) extra = fetch16(x);
    x.r.ip = pop16(x);
    x.r.seg[CS] = pop16(x);
    csLoaded(x);
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
    [&]<int... C>(std::integer_sequence<int, C...>) {
        (b.bindJump<jcc<C>, decodeJcc<C>>(static_cast<std::uint16_t>(base + C), kJccNames[C]), ...);
    }
    (std::make_integer_sequence<int, 16>{});
}

}  // namespace

void bindControlHandlers(Binder& b) {
    bindJccAt(b, 0x70);
    bindJccAt(b, 0x60);
    b.bindJump<loop<0>, decodeLoop<0>>(0xE0, "LOOPNZ");
    b.bindJump<loop<1>, decodeLoop<1>>(0xE1, "LOOPZ");
    b.bindJump<loop<2>, decodeLoop<2>>(0xE2, "LOOP");
    b.bindJump<loop<3>, decodeLoop<3>>(0xE3, "JCXZ");
    b.bindJump<callNear, decodeNear<callNearDecoded>>(0xE8, "CALL");
    b.bindJump<jmpNear, decodeNear<jmpNearDecoded>>(0xE9, "JMP");
    b.bind(0xEA, "JMP", jmpFar);
    b.bindJump<jmpShort, decodeJmpShort>(0xEB, "JMP");
    b.bind(0x9A, "CALL", callFar);
    b.bindBoth<retNear<true>>(0xC2, "RET");
    b.bindBoth<retNear<false>>(0xC3, "RET");
    b.bind(0xCA, "RETF", retFar<true>);
    b.bind(0xCB, "RETF", retFar<false>);
    // The 8086's copies: C0h/C1h as RET imm/RET, C8h/C9h as RETF imm/RETF.
    b.bindBoth<retNear<true>>(0xC0, "RET");
    b.bindBoth<retNear<false>>(0xC1, "RET");
    b.bind(0xC8, "RETF", retFar<true>);
    b.bind(0xC9, "RETF", retFar<false>);
    b.bind(0xCC, "INT", int3);
    b.bind(0xCD, "INT", intN);
    b.bind(0xCE, "INTO", into);
    b.bind(0xCF, "IRET", iret);
}

}  // namespace krvs::x86::interp
