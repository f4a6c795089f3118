// Instructions the 80186 added (PUSHA/POPA, BOUND, PUSH imm, IMUL imm, ENTER/LEAVE, shifts by imm8,
// INS/OUTS) and the few real-mode 0Fh instructions of the 80286.

#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

void pusha(Exec& x) {
    std::uint16_t sp = x.r.gp[SP];
    for (unsigned reg = AX; reg <= DI; ++reg) {
        push16(x, reg == SP ? sp : x.r.gp[reg]);
    }
}

void popa(Exec& x) {
    for (int reg = DI; reg >= AX; --reg) {
        std::uint16_t v = pop16(x);
        if (reg != SP) x.r.gp[reg] = v;
    }
}

void bound(Exec& x) {
    decodeModrm(x);
    if (x.mod == 3) {
        invalidOpcode(x);
        return;
    }
    auto lo = static_cast<std::int16_t>(read16(x.mem, x.eaBase, x.eaOff));
    auto hi = static_cast<std::int16_t>(read16(x.mem, x.eaBase, static_cast<std::uint16_t>(x.eaOff + 2)));
    auto index = static_cast<std::int16_t>(x.r.gp[x.reg]);
    if (index < lo || index > hi) {
        x.r.ip = x.startIp;
        enterInterrupt(x, 5);
    }
}

void pushImm16(Exec& x) { push16(x, fetch16(x)); }
void pushImm8(Exec& x) { push16(x, static_cast<std::uint16_t>(static_cast<std::int8_t>(fetch8(x)))); }

template <bool ShortImm>
void imulImm(Exec& x) {
    decodeModrm(x);
    std::int32_t a = static_cast<std::int16_t>(readRm<std::uint16_t>(x));
    std::int32_t b = ShortImm ? static_cast<std::int8_t>(fetch8(x)) : static_cast<std::int16_t>(fetch16(x));
    std::int32_t p = a * b;
    auto low = static_cast<std::uint16_t>(p);
    x.r.gp[x.reg] = low;
    bool fits = p == static_cast<std::int16_t>(low);
    setFlags(x, flag::CF | flag::OF, fits ? 0 : (flag::CF | flag::OF));
}

void enter(Exec& x) {
    std::uint16_t size = fetch16(x);
    std::uint8_t level = fetch8(x) & 0x1F;
    push16(x, x.r.gp[BP]);
    std::uint16_t frame = x.r.gp[SP];
    if (level > 0) {
        std::uint32_t ss = segBase(x.r.seg[SS]);
        for (unsigned i = 1; i < level; ++i) {
            x.r.gp[BP] = static_cast<std::uint16_t>(x.r.gp[BP] - 2);
            push16(x, read16(x.mem, ss, x.r.gp[BP]));
        }
        push16(x, frame);
    }
    x.r.gp[BP] = frame;
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] - size);
}

void leave(Exec& x) {
    x.r.gp[SP] = x.r.gp[BP];
    x.r.gp[BP] = pop16(x);
}

// The machine status word as real mode shows it: reserved bits set, protection off.
constexpr std::uint16_t kRealModeMsw = 0xFFF0;

// 0Fh 01h on the 80286: SMSW, and LMSW (protected mode is not provided, so a write is ignored);
// the descriptor-table forms are not provided either.
void group0F01(Exec& x) {
    decodeModrm(x);
    if (x.reg == 4) {
        writeRm<std::uint16_t>(x, kRealModeMsw);
    } else if (x.reg == 6) {
        readRm<std::uint16_t>(x);
    } else {
        invalidOpcode(x);
    }
}

void clts(Exec&) {}

// Instructions that exist only in protected mode raise the invalid-opcode interrupt in real mode.
void protectedModeOnly(Exec& x) { invalidOpcode(x); }

}  // namespace

void bind186Handlers(Binder& b) {
    b.bind(0x60, "PUSHA", pusha);
    b.bind(0x61, "POPA", popa);
    b.bind(0x62, "BOUND", bound);
    b.bind(0x68, "PUSH", pushImm16);
    b.bind(0x69, "IMUL", imulImm<false>);
    b.bind(0x6A, "PUSH", pushImm8);
    b.bind(0x6B, "IMUL", imulImm<true>);
    b.bind(0xC8, "ENTER", enter);
    b.bind(0xC9, "LEAVE", leave);
    // The 80286.
    b.bind(0x63, "ARPL", protectedModeOnly);
    b.bind(0x0F00, "SLDT", protectedModeOnly);
    b.bind(0x0F01, "SMSW", group0F01);
    b.bind(0x0F02, "LAR", protectedModeOnly);
    b.bind(0x0F03, "LSL", protectedModeOnly);
    b.bind(0x0F06, "CLTS", clts);
}

}  // namespace krvs::x86::interp
