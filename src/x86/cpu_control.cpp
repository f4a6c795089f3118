// Transfers of control: conditional jumps, LOOP/JCXZ, JMP, CALL, RET, INT, INTO, IRET.

#include "cpu_exec.h"

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

void jumpShort(Exec& x, std::uint8_t disp) {
    x.r.ip = static_cast<std::uint16_t>(x.r.ip + static_cast<std::int8_t>(disp));
}

template <int Cond>
void jcc(Exec& x) {
    std::uint8_t disp = fetch8(x);
    if (condition<Cond>(x.r.flags)) jumpShort(x, disp);
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
        bool zf = x.r.flags & flag::ZF;
        taken = cx != 0 && (Kind == 2 || (Kind == 1 ? zf : !zf));
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
}
void callFar(Exec& x) {
    std::uint16_t off = fetch16(x);
    std::uint16_t seg = fetch16(x);
    push16(x, x.r.seg[CS]);
    push16(x, x.r.ip);
    x.r.seg[CS] = seg;
    x.r.ip = off;
}

template <bool Far, bool Imm>
void ret(Exec& x) {
    std::uint16_t extra = 0;
    if constexpr (Imm) extra = fetch16(x);
    x.r.ip = pop16(x);
    if constexpr (Far) x.r.seg[CS] = pop16(x);
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] + extra);
}

void int3(Exec& x) { x.cpu.interrupt(3); }
void intN(Exec& x) { x.cpu.interrupt(fetch8(x)); }
void into(Exec& x) {
    if (x.r.flags & flag::OF) x.cpu.interrupt(4);
}
void iret(Exec& x) {
    x.r.ip = pop16(x);
    x.r.seg[CS] = pop16(x);
    x.r.flags = normalizeFlags(x.model, pop16(x));
}

}  // namespace

void addJccAt(HandlerTable& t, unsigned base) {
    [&]<int... C>(std::integer_sequence<int, C...>) { ((t.op[base + C] = jcc<C>), ...); }
    (std::make_integer_sequence<int, 16>{});
}

void addControlHandlers(HandlerTable& t) {
    addJccAt(t, 0x70);
    t.op[0xE0] = loop<0>;
    t.op[0xE1] = loop<1>;
    t.op[0xE2] = loop<2>;
    t.op[0xE3] = loop<3>;
    t.op[0xE8] = callNear;
    t.op[0xE9] = jmpNear;
    t.op[0xEA] = jmpFar;
    t.op[0xEB] = jmpShort;
    t.op[0x9A] = callFar;
    t.op[0xC2] = ret<false, true>;
    t.op[0xC3] = ret<false, false>;
    t.op[0xCA] = ret<true, true>;
    t.op[0xCB] = ret<true, false>;
    t.op[0xCC] = int3;
    t.op[0xCD] = intN;
    t.op[0xCE] = into;
    t.op[0xCF] = iret;
}

// Opcodes the 8086 decodes as copies of others: 60h-6Fh as the conditional jumps, C0h/C1h as
// RET imm/RET, C8h/C9h as RETF imm/RETF; and 0Fh pops CS.
void add8086Aliases(HandlerTable& t) {
    addJccAt(t, 0x60);
    t.op[0xC0] = ret<false, true>;
    t.op[0xC1] = ret<false, false>;
    t.op[0xC8] = ret<true, true>;
    t.op[0xC9] = ret<true, false>;
    add8086StackAliases(t);
}

}  // namespace krvs::x86::interp
