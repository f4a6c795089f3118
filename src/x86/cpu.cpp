// The run loop: instruction boundaries, hardware interrupts, the trap flag, HLT and stop requests.

#include "x86/cpu.h"

#include "cpu_dispatch.h"

#include <algorithm>
#include <cstdlib>

namespace krvs::x86 {

using namespace interp;

Cpu::Cpu(std::uint8_t* memory, Bus& bus, CpuModel model)
    : m_mem(memory), m_bus(bus), m_model(model), m_state(std::make_unique<State>(memory, bus, *this, kSignalIntr)),
      m_regs(m_state->x.r), m_signals(m_state->x.signals) {}

Cpu::~Cpu() = default;

// Filled at the first run and again when the model changed since the last: an entry holds the handlers
// the model's dispatch chose. An empty slot holds a NOP (90h): it is used only where memory holds one.
DecodedCache& Cpu::decodedCache() {
    DecodedCache& c = m_state->decoded;
    if (c.filled && c.model == m_model) return c;
    Decoded nop;
    if (!decodeEntry(dispatchFor(m_model), nop, 0x90)) std::abort();  // XCHG AX,AX has a fast handler
    std::fill(std::begin(c.slot), std::end(c.slot), nop);
    c.model = m_model;
    c.filled = true;
    return c;
}

void Cpu::interrupt(std::uint8_t vector) {
    Registers& r = m_regs;
    std::uint32_t ss = segBase(r.seg[SS]);
    auto push = [&](std::uint16_t v) {
        r.gp[SP] = static_cast<std::uint16_t>(r.gp[SP] - 2);
        if (!store16(m_mem, m_writeLimit, ss, r.gp[SP], v)) m_ignoredWrite = true;
    };
    push(flagsImage(m_model, r.flags));
    push(r.seg[CS]);
    push(r.ip);
    r.flags = static_cast<std::uint16_t>(r.flags & ~(flag::IF | flag::TF));
    std::uint16_t slot = static_cast<std::uint16_t>(vector * 4);
    r.ip = read16(m_mem, 0, slot);
    r.seg[CS] = read16(m_mem, 0, static_cast<std::uint16_t>(slot + 2));
    m_halted = false;
}

namespace {

// How many decoded instructions run between two looks at the signals. Only other threads raise them
// while decoded instructions run (those never call the Bus), so a stop request waits at most this long.
constexpr std::uint32_t kSignalCheckInterval = 1024;

// An entry for the instruction at `at` when its slot holds another: false when it has no fast handler.
[[gnu::noinline]] bool decodeAt(const Dispatch& d, Decoded& e, const std::uint8_t* code, std::uint32_t at) {
    return decodeEntry(d, e, instructionBytes(code, at));
}

// Runs decoded instructions from `ip` on (code is the memory at CS:0) and returns the IP reached, with
// `left` (not 0 at the start) counted down. Stops at the instruction limit, when a signal is up (seen
// every kSignalCheckInterval instructions), and before an instruction that is not kept decoded or lies
// beyond `limit`. A function of its own with only what it needs, so that the loop keeps it all in
// registers; the state, its signals and the slots are reached from one pointer.
[[gnu::noinline]] std::uint16_t runDecoded(State& s, const Dispatch& d, const std::uint8_t* const code,
                                           std::uint16_t ip, std::uint32_t limit, std::uint64_t& left) {
    std::uint32_t at = ip;
    std::uint64_t n = left;
    for (;;) {
        const std::uint32_t burst = n < kSignalCheckInterval ? static_cast<std::uint32_t>(n) : kSignalCheckInterval;
        std::uint32_t k = burst;
        do {
            if (at > limit) break;
            // The entry is used only if memory still holds the bytes it was decoded from.
            Decoded& e = s.decoded.slot[at & (kDecodedSlots - 1)];
            if (((instructionBytes(code, at) ^ e.bytes) & e.mask) != 0 && !decodeAt(d, e, code, at)) [[unlikely]] {
                break;
            }
            at = e.fn(s.x, e, at);  // it leaves nothing in x.special
        } while (--k != 0);
        n -= burst - k;
        if (k != 0 || n == 0 || s.x.signals.load(std::memory_order_relaxed) != 0) break;
    }
    left = n;
    return static_cast<std::uint16_t>(at);
}

}  // namespace

StopReason Cpu::run(std::uint64_t maxInstructions) {
    const Dispatch& dispatch = dispatchFor(m_model);
    decodedCache();
    Exec& x = m_state->x;
    x.table = dispatch.one;
    x.twoByte = dispatch.two;
    x.model = m_model;
    x.writeLimit = m_writeLimit;
    x.romWritten = false;
    // Between runs nothing of an instruction is under way.
    x.special = 0;
    x.seg = kNoSeg;
    x.rep = 0;
    x.prefixes = 0;
    x.tfLatched = false;
    x.lazy = {};
    mirrorCarry(x);
    csLoaded(x);
    const std::uint64_t end =
        maxInstructions > ~std::uint64_t{0} - m_count ? ~std::uint64_t{0} : m_count + maxInstructions;
    // The instructions still allowed, counted down in a register; the count is end - left.
    std::uint64_t left = end - m_count;
    // Kept in locals so that they stay in registers across the handler calls.
    const Dispatch& d = dispatch;
    std::uint8_t* const mem = m_mem;
    // IP lives in this local while the loop runs and goes to m_regs.ip only around what reads it there:
    // the plain handlers, interrupts, traps and the return. Kept in memory, each instruction's IP would
    // wait for the previous instruction's store of it.
    std::uint16_t ip = m_regs.ip;
    // CS * 16 likewise: only plain handlers and interrupts load CS.
    std::uint32_t csBase = x.csBase;
    // The rare cases that need a look before the next instruction besides the signals: HLT, an
    // interrupt inhibition, TF. They change only in afterSpecial() (HLT, inhibition, a new FLAGS
    // image) or in the attention block itself, so this local is recomputed only there.
    bool slow = m_halted || m_inhibit || (m_regs.flags & flag::TF) != 0;
    for (;;) {
        // One test covers them all: a stop request, the INTR line, HLT, inhibition, TF.
        if ((m_signals.load(std::memory_order_relaxed) | static_cast<std::uint8_t>(slow)) != 0) [[unlikely]] {
            m_regs.ip = ip;
            std::uint8_t signals = m_signals.load(std::memory_order_relaxed);
            if (signals & kSignalStop) {
                m_signals.fetch_and(static_cast<std::uint8_t>(~kSignalStop), std::memory_order_relaxed);
                return finishRun(x, end - left, StopReason::StopRequested);
            }
            if (!m_inhibit && (m_regs.flags & flag::IF) && (signals & kSignalIntr)) {
                int vector = m_bus.acknowledgeInterrupt();
                if (vector >= 0) {
                    settleFlags(x);
                    interrupt(static_cast<std::uint8_t>(vector));
                    csLoaded(x);
                }
            }
            if (m_halted) {
                return finishRun(x, end - left, StopReason::Halted);
            }
            if (left == 0) {
                return finishRun(x, end, StopReason::InstructionLimit);  // an inhibition still holds
            }
            m_inhibit = false;
            slow = (m_regs.flags & flag::TF) != 0;
            if (slow) {
                x.tfLatched = true;
                x.special |= kTrapLatched;
            }
            ip = m_regs.ip;
            csBase = x.csBase;
        }
        // The decoded instructions, for as long as nothing needs a look between them. With TF set (the
        // only reason `slow` can still be true here) the plain handlers run, so that the trap follows in
        // afterSpecial().
        // Entered only for an opcode that can be kept decoded: a program that calls DOS every few
        // instructions would otherwise pay the call for nothing before each INT, IRET and service trap.
        if (!slow && left != 0 && d.cached[mem[(csBase + ip) & kAddrMask]] != nullptr) {
            const std::uint64_t before = left;
            ip = runDecoded(*m_state, d, mem + csBase, ip, decodedIpLimit(csBase), left);
            if (left != before) continue;  // at a new instruction boundary: signals and the limit first
        }
        // One instruction the plain way: a prefix or an instruction without a fast handler, TF, or an
        // instruction that wraps around the end of its segment or of memory.
        if (left == 0) [[unlikely]] {
            m_regs.ip = ip;
            return finishRun(x, end, StopReason::InstructionLimit);
        }
        --left;
        const std::uint8_t opcode = mem[(csBase + ip) & kAddrMask];
        x.startIp = ip;
        m_regs.ip = static_cast<std::uint16_t>(ip + 1);
        d.one[opcode](x);
        ip = m_regs.ip;
        csBase = x.csBase;
        if (x.special != 0) [[unlikely]] {
            m_regs.ip = ip;
            if (afterSpecial(x)) {
                return finishRun(x, end - left, StopReason::HostRequest);
            }
            ip = m_regs.ip;
            csBase = x.csBase;
            slow = m_halted || m_inhibit || (m_regs.flags & flag::TF) != 0;
        }
    }
}

// Leaves the state as callers see it between runs: the count stored, FLAGS settled.
StopReason Cpu::finishRun(interp::Exec& x, std::uint64_t count, StopReason reason) {
    m_count = count;
    m_ignoredWrite |= x.romWritten;
    settleFlags(x);
    return reason;
}

// Handles what an instruction left in Exec::special and resets the per-instruction state.
// Returns true when a host trap asked to end the run.
bool Cpu::afterSpecial(interp::Exec& x) {
    std::uint8_t special = x.special;
    x.special = 0;
    x.seg = kNoSeg;
    x.rep = 0;
    x.prefixes = 0;
    x.tfLatched = false;
    m_inhibit = (special & kInhibitInterrupt) != 0;
    if (special & kEventHalt) {
        m_halted = true;
    }
    if ((special & kTrapLatched) && !(special & kInhibitTrap)) {
        settleFlags(x);
        interrupt(1);
        csLoaded(x);
    }
    return (special & kEventHostStop) != 0;
}

namespace interp {

void divideError(Exec& x) {
    if (x.model != CpuModel::I8086) {
        x.r.ip = x.startIp;
    }
    enterInterrupt(x, 0);
}

void invalidOpcode(Exec& x) {
    x.r.ip = x.startIp;
    enterInterrupt(x, 6);
}

}  // namespace interp
}  // namespace krvs::x86
