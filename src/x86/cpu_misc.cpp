// Prefixes and the host trap, port I/O, flag instructions, HLT, WAIT and ESC.

#include "cpu_dispatch.h"

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
    std::uint32_t at = (x.csBase + static_cast<std::uint16_t>(x.r.ip - 1)) & kAddrMask;
    if (at < kHostTrapBase) {
        lockPrefix(x);
        return;
    }
    std::uint8_t number = fetch8(x);
    settleFlags(x);  // the host reads and sets FLAGS (CF for errors)
    x.special |= kFlagsLoaded;
    if (!x.bus.hostTrap(x.cpu, number)) x.special |= kEventHostStop;
    loadFlags(x, x.r.flags);  // as the host left them
    csLoaded(x);  // the host may have moved CS:IP (a program started or ended)
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
void cmc(Exec& x) { setFlags(x, flag::CF, cf(x) ? 0 : flag::CF); }
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

void bindPrefixHandlers(Binder& b) {
    b.bind(0x26, "ES:", segPrefix<ES>);
    b.bind(0x2E, "CS:", segPrefix<CS>);
    b.bind(0x36, "SS:", segPrefix<SS>);
    b.bind(0x3E, "DS:", segPrefix<DS>);
    b.bind(0xF0, "LOCK", lockPrefix);
    b.bind(0xF1, "LOCK", f1);
    b.bind(0xF2, "REPNZ", repPrefix<0xF2>);
    b.bind(0xF3, "REPZ", repPrefix<0xF3>);
}

void bindMiscHandlers(Binder& b) {
    b.bind(0xE4, "IN", in<false, true>);
    b.bind(0xE5, "IN", in<true, true>);
    b.bind(0xE6, "OUT", out<false, true>);
    b.bind(0xE7, "OUT", out<true, true>);
    b.bind(0xEC, "IN", in<false, false>);
    b.bind(0xED, "IN", in<true, false>);
    b.bind(0xEE, "OUT", out<false, false>);
    b.bind(0xEF, "OUT", out<true, false>);
    b.bind(0xF4, "HLT", hlt);
    b.bind(0xF5, "CMC", cmc);
    b.bind(0xF8, "CLC", setFlag<flag::CF, false>);
    b.bind(0xF9, "STC", setFlag<flag::CF, true>);
    b.bind(0xFA, "CLI", setFlag<flag::IF, false>);
    b.bind(0xFB, "STI", sti);
    b.bind(0xFC, "CLD", setFlag<flag::DF, false>);
    b.bind(0xFD, "STD", setFlag<flag::DF, true>);
    b.bind(0x9B, "WAIT", wait);
    for (unsigned op = 0xD8; op <= 0xDF; ++op) b.bind(static_cast<std::uint16_t>(op), "ESC", esc);
}

}  // namespace krvs::x86::interp
