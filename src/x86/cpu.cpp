// The run loop: instruction boundaries, hardware interrupts, the trap flag, HLT and stop requests.

#include "x86/cpu.h"

#include "cpu_dispatch.h"

namespace krvs::x86 {

using namespace interp;

Cpu::Cpu(std::uint8_t* memory, Bus& bus, CpuModel model) : m_mem(memory), m_bus(bus), m_model(model) {}

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

StopReason Cpu::run(std::uint64_t maxInstructions) {
    const Dispatch& dispatch = dispatchFor(m_model);
    Exec x{m_regs, m_mem, m_bus, *this, m_signals, kSignalIntr, dispatch.one, dispatch.two, m_model};
    x.writeLimit = m_writeLimit;
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
    // The fast handlers, or none while `slow`: with TF set (the only reason `slow` can still be true
    // after the attention block) the plain handlers run, so that the trap follows in afterSpecial().
    static constexpr FastHandler kNoFastHandlers[256] = {};
    const FastHandler* fast = slow ? kNoFastHandlers : d.fast;
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
            fast = slow ? kNoFastHandlers : d.fast;
            ip = m_regs.ip;
            csBase = x.csBase;
        }
        if (left == 0) [[unlikely]] {
            m_regs.ip = ip;
            return finishRun(x, end, StopReason::InstructionLimit);
        }
        --left;
        const std::uint8_t opcode = mem[(csBase + ip) & kAddrMask];
        const std::uint16_t next = static_cast<std::uint16_t>(ip + 1);
        if (const FastHandler f = fast[opcode]) [[likely]] {
            ip = f(x, next);  // it leaves nothing in x.special: the loop goes on at once
            continue;
        }
        x.startIp = ip;
        m_regs.ip = next;
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
            fast = slow ? kNoFastHandlers : d.fast;
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
