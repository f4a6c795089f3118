// Prefixes and the host trap, port I/O, flag instructions, HLT, WAIT and ESC.

#include "cpu_exec.h"

namespace krvs::x86::interp {
namespace {

// A run of prefixes longer than this ends the instruction; the rest starts the next one. The chip
// has no limit, but this keeps a segment full of prefix bytes from running as one endless step.
constexpr std::uint8_t kMaxPrefixes = 15;

void dispatchAfterPrefix(Exec& x) {
    x.lastPrefixIp = static_cast<std::uint16_t>(x.r.ip - 1);
    x.special |= kPrefixSeen;
    if (++x.prefixes > kMaxPrefixes) return;
    x.table[fetch8(x)](x);
}

template <int S>
void segPrefix(Exec& x) {
    x.seg = S;
    dispatchAfterPrefix(x);
}
template <std::uint8_t Rep>
void repPrefix(Exec& x) {
    x.rep = Rep;
    dispatchAfterPrefix(x);
}
void lockPrefix(Exec& x) { dispatchAfterPrefix(x); }

// F1h xx traps to the host inside the ROM area; elsewhere it is a copy of LOCK.
void f1(Exec& x) {
    std::uint32_t at = (segBase(x.r.seg[CS]) + static_cast<std::uint16_t>(x.r.ip - 1)) & kAddrMask;
    if (at < kHostTrapBase) {
        lockPrefix(x);
        return;
    }
    std::uint8_t number = fetch8(x);
    if (!x.bus.hostTrap(x.cpu, number)) x.special |= kEventHostStop;
}

template <bool Word, bool Immediate>
void in(Exec& x) {
    std::uint16_t port = Immediate ? fetch8(x) : x.r.gp[DX];
    if constexpr (Word) {
        x.r.gp[AX] = x.bus.portIn16(port);
    } else {
        reg8(x.r, 0) = x.bus.portIn8(port);
    }
}
template <bool Word, bool Immediate>
void out(Exec& x) {
    std::uint16_t port = Immediate ? fetch8(x) : x.r.gp[DX];
    if constexpr (Word) {
        x.bus.portOut16(port, x.r.gp[AX]);
    } else {
        x.bus.portOut8(port, reg8(x.r, 0));
    }
}

template <std::uint16_t Flag, bool Set>
void setFlag(Exec& x) {
    setFlags(x, Flag, Set ? Flag : 0);
}
void cmc(Exec& x) { x.r.flags ^= flag::CF; }
// The instruction after STI still runs before an interrupt is taken.
void sti(Exec& x) {
    if (!(x.r.flags & flag::IF)) x.special |= kInhibitInterrupt;
    x.r.flags |= flag::IF;
}
void hlt(Exec& x) { x.special |= kEventHalt; }
void wait(Exec&) {}
// Coprocessor escape: there is no coprocessor; the operand is decoded and ignored.
void esc(Exec& x) { decodeModrm(x); }

}  // namespace

void addPrefixHandlers(HandlerTable& t) {
    t.op[0x26] = segPrefix<ES>;
    t.op[0x2E] = segPrefix<CS>;
    t.op[0x36] = segPrefix<SS>;
    t.op[0x3E] = segPrefix<DS>;
    t.op[0xF0] = lockPrefix;
    t.op[0xF1] = f1;
    t.op[0xF2] = repPrefix<0xF2>;
    t.op[0xF3] = repPrefix<0xF3>;
}

void addMiscHandlers(HandlerTable& t) {
    t.op[0xE4] = in<false, true>;
    t.op[0xE5] = in<true, true>;
    t.op[0xE6] = out<false, true>;
    t.op[0xE7] = out<true, true>;
    t.op[0xEC] = in<false, false>;
    t.op[0xED] = in<true, false>;
    t.op[0xEE] = out<false, false>;
    t.op[0xEF] = out<true, false>;
    t.op[0xF4] = hlt;
    t.op[0xF5] = cmc;
    t.op[0xF8] = setFlag<flag::CF, false>;
    t.op[0xF9] = setFlag<flag::CF, true>;
    t.op[0xFA] = setFlag<flag::IF, false>;
    t.op[0xFB] = sti;
    t.op[0xFC] = setFlag<flag::DF, false>;
    t.op[0xFD] = setFlag<flag::DF, true>;
    t.op[0x9B] = wait;
    for (unsigned op = 0xD8; op <= 0xDF; ++op) t.op[op] = esc;
}

}  // namespace krvs::x86::interp
