// Running the program under DEBUG's control. Tracing sets the trap flag and lets INT 1 end the run;
// proceeding and G plant INT 3 bytes. Both vectors lead to a HLT in a corner of the ROM segment that
// nothing else uses, with interrupts disabled by the interrupt entry, so the machine's run comes back
// as halted exactly at DEBUG's "handler"; the frame the CPU pushed is then taken off the program's stack
// again. Hardware interrupts that come in meanwhile run to completion as on the real machine.

#include <array>

#include "debug/format.h"
#include "debug/session.h"

namespace krvs::debug {

namespace {

constexpr std::uint16_t kStubSegment = 0xF000;
constexpr std::uint16_t kTrapStub = 0x0F00;
constexpr std::uint16_t kBreakStub = 0x0F02;
constexpr std::uint16_t kScratchStack = 0x0F80;
constexpr std::uint8_t kHlt = 0xF4;
constexpr std::uint8_t kInt3 = 0xCC;

bool isSegmentPrefix(std::uint8_t b) { return b == 0x26 || b == 0x2E || b == 0x36 || b == 0x3E; }
bool isStringOp(std::uint8_t b) { return (b >= 0xA4 && b <= 0xA7) || (b >= 0xAA && b <= 0xAF); }

// Bytes that P runs over as a whole (CALL, INT, LOOP, REP string), 0 for anything it traces.
int proceedLength(const pc::Memory& mem, std::uint16_t cs, std::uint16_t ip) {
    auto at = [&](int i) { return mem.read8(cs, static_cast<std::uint16_t>(ip + i)); };
    int n = 0;
    while (n < 4 && (at(n) == 0xF0 || isSegmentPrefix(at(n)))) ++n;
    const std::uint8_t op = at(n);
    switch (op) {
    case 0xE8: return n + 3;
    case 0x9A: return n + 5;
    case 0xCD: return n + 2;
    case 0xCC: return n + 1;
    case 0xE0: case 0xE1: case 0xE2: return n + 2;
    case 0xF2: case 0xF3: return isStringOp(at(n + 1)) ? n + 2 : 0;
    case 0xFF: {
        const std::uint8_t modrm = at(n + 1);
        const int reg = (modrm >> 3) & 7;
        if (reg != 2 && reg != 3) return 0;
        // CALL [BX] and CALL [1234] (mod 00) are traced, as the classic DEBUG does.
        switch (modrm >> 6) {
        case 1: return n + 3;
        case 2: return n + 4;
        case 3: return n + 2;
        default: return 0;
        }
    }
    default: return 0;
    }
}

}  // namespace

// The machine's own stop request, not the CPU's: the machine runs the CPU in slices and only a request it
// has seen itself ends its run; one made to the CPU alone is used up by the slice it lands in.
void Session::interrupt() {
    std::lock_guard lock(m_runMutex);
    if (m_running) m_machine->requestStop();
}

void Session::installDebugVectors() {
    auto& mem = m_machine->memory();
    mem.write8(kStubSegment, kTrapStub, kHlt);
    mem.write8(kStubSegment, kBreakStub, kHlt);
    mem.write16(0, 1 * 4, kTrapStub);
    mem.write16(0, 1 * 4 + 2, kStubSegment);
    mem.write16(0, 3 * 4, kBreakStub);
    mem.write16(0, 3 * 4 + 2, kStubSegment);
}

// A halted CPU only wakes through an interrupt entry; one is made on a scratch stack and then undone.
void Session::unhalt() {
    auto& r = regs();
    const x86::Registers saved = r;
    r.seg[x86::SS] = kStubSegment;
    r.gp[x86::SP] = kScratchStack;
    m_machine->cpu().interrupt(0);
    r = saved;
}

StopKind Session::runUntilStop(bool trapFlag) {
    installDebugVectors();
    auto& r = regs();
    if (trapFlag) r.flags |= x86::flag::TF;
    {
        std::lock_guard lock(m_runMutex);
        m_running = true;
    }
    const pc::RunOutcome outcome = m_machine->run();
    {
        std::lock_guard lock(m_runMutex);
        m_running = false;
    }
    if (outcome == pc::RunOutcome::Exited) {
        m_terminated = true;
        return StopKind::Terminated;
    }
    if (outcome != pc::RunOutcome::Halted) {
        r.flags &= static_cast<std::uint16_t>(~x86::flag::TF);
        return outcome == pc::RunOutcome::InputEnded ? StopKind::InputEnded : StopKind::Halted;
    }
    const bool trap = r.ip == kTrapStub + 1, brk = r.ip == kBreakStub + 1;
    if (r.seg[x86::CS] != kStubSegment || (!trap && !brk)) {
        unhalt();
        return StopKind::Halted;  // the program's own HLT with interrupts off would never end
    }
    auto& mem = m_machine->memory();
    const std::uint16_t ss = r.seg[x86::SS], sp = r.gp[x86::SP];
    r.ip = mem.read16(ss, sp);
    r.seg[x86::CS] = mem.read16(ss, static_cast<std::uint16_t>(sp + 2));
    r.flags = static_cast<std::uint16_t>(mem.read16(ss, static_cast<std::uint16_t>(sp + 4)) & ~x86::flag::TF);
    r.gp[x86::SP] = static_cast<std::uint16_t>(sp + 6);
    unhalt();
    if (brk) {
        r.ip = static_cast<std::uint16_t>(r.ip - 1);  // back onto the INT 3 byte
        return StopKind::Breakpoint;
    }
    return StopKind::Trap;
}

StopKind Session::simulateInterrupt(std::uint8_t vector, std::uint16_t returnIp) {
    installDebugVectors();
    regs().ip = returnIp;
    m_machine->cpu().interrupt(vector);
    return StopKind::Trap;
}

StopKind Session::trace() {
    if (m_terminated) return StopKind::Terminated;
    auto& r = regs();
    const auto& mem = m_machine->memory();
    const std::uint16_t cs = r.seg[x86::CS], ip = r.ip;
    const std::uint8_t op = mem.read8(cs, ip);
    // INT n is not executed with the trap flag set but entered directly, so T shows the handler.
    if (op == 0xCD) return simulateInterrupt(mem.read8(cs, static_cast<std::uint16_t>(ip + 1)), static_cast<std::uint16_t>(ip + 2));
    if (op == 0xCC) return simulateInterrupt(3, static_cast<std::uint16_t>(ip + 1));
    if (op == 0xCE && (r.flags & x86::flag::OF)) return simulateInterrupt(4, static_cast<std::uint16_t>(ip + 1));
    StopKind k = runUntilStop(true);
    if (k == StopKind::Trap && op == 0x9C) {
        // PUSHF pushed our trap flag; the program must not see it.
        auto& m = m_machine->memory();
        m.write16(r.seg[x86::SS], r.gp[x86::SP],
                  static_cast<std::uint16_t>(m.read16(r.seg[x86::SS], r.gp[x86::SP]) & ~x86::flag::TF));
    }
    return k;
}

StopKind Session::proceed() {
    if (m_terminated) return StopKind::Terminated;
    auto& r = regs();
    auto& mem = m_machine->memory();
    const int n = proceedLength(mem, r.seg[x86::CS], r.ip);
    if (n == 0) return trace();
    const std::uint16_t cs = r.seg[x86::CS];
    const auto at = static_cast<std::uint16_t>(r.ip + n);
    const std::uint8_t saved = mem.read8(cs, at);
    mem.write8(cs, at, kInt3);
    StopKind k = runUntilStop(false);
    mem.write8(cs, at, saved);
    return k;
}

StopKind Session::go(const std::vector<Address>& breakpoints) {
    if (m_terminated) return StopKind::Terminated;
    auto& r = regs();
    for (const Address& b : breakpoints) {
        if (b.segment == r.seg[x86::CS] && b.offset == r.ip) {
            // A breakpoint where the run starts would stop it at once: step off it first.
            StopKind k = runUntilStop(true);
            if (k != StopKind::Trap) return k;
            break;
        }
    }
    auto& mem = m_machine->memory();
    std::vector<std::uint8_t> saved;
    for (const Address& b : breakpoints) {
        saved.push_back(mem.read8(b.segment, b.offset));
        mem.write8(b.segment, b.offset, kInt3);
    }
    StopKind k = runUntilStop(false);
    for (std::size_t i = breakpoints.size(); i-- > 0;) mem.write8(breakpoints[i].segment, breakpoints[i].offset, saved[i]);
    return k;
}

void Session::reportStop(StopKind kind) {
    auto& r = regs();
    switch (kind) {
    case StopKind::Terminated:
        m_console.write("\r\nProgram terminated normally\r\n");
        return;
    case StopKind::InputEnded:
        return;
    default:
        m_console.write("\r\n" + registerDisplay(r, m_machine->memory()));
        m_defaults.unassemble = {r.seg[x86::CS], r.ip};
        return;
    }
}

}  // namespace krvs::debug
