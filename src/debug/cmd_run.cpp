// T, P and G.

#include "commands.h"

namespace krvs::debug::cmd {

namespace {

constexpr std::size_t kMaxBreakpoints = 10;

// "=address": where execution starts, default segment CS.
bool startAddress(Session& s, LineParser& p) {
    p.skipSeparators();
    if (p.peek() != '=') return true;
    p.advance();
    Address a;
    if (!p.address(a, s.regs().seg[x86::CS], s.regs())) return false;
    s.regs().seg[x86::CS] = a.segment;
    s.regs().ip = a.offset;
    return true;
}

// Runs `count` steps, showing the registers after each; stops early when the program ends.
CommandResult steps(Session& s, LineParser& p, StopKind (Session::*step)()) {
    const x86::Registers before = s.regs();
    if (!startAddress(s, p)) {
        s.regs() = before;
        return failed(p);
    }
    std::uint32_t count = 1;
    if (!p.atEnd()) {
        const std::size_t at = p.position();
        if (!p.number(count) || !p.end()) {
            s.regs() = before;
            return failed(p);
        }
        if (count == 0) {
            s.regs() = before;
            return CommandResult::error(static_cast<int>(at));
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const x86::Registers saved = s.regs();
        StopKind k = (s.*step)();
        if (k == StopKind::Terminated) s.regs() = saved;  // DEBUG keeps the registers of the last stop
        s.reportStop(k);
        if (k == StopKind::Terminated || k == StopKind::InputEnded) break;
    }
    return CommandResult::ok();
}

}  // namespace

CommandResult trace(Session& s, LineParser& p) { return steps(s, p, &Session::trace); }
CommandResult proceed(Session& s, LineParser& p) { return steps(s, p, &Session::proceed); }

CommandResult go(Session& s, LineParser& p) {
    const x86::Registers before = s.regs();
    if (!startAddress(s, p)) {
        s.regs() = before;
        return failed(p);
    }
    std::vector<Address> breakpoints;
    while (!p.atEnd()) {
        Address a;
        if (!p.address(a, s.regs().seg[x86::CS], s.regs())) {
            s.regs() = before;
            return failed(p);
        }
        breakpoints.push_back(a);
    }
    if (breakpoints.size() > kMaxBreakpoints) {
        s.regs() = before;
        s.console().write("bp Error\r\n");
        return CommandResult::ok();
    }
    const x86::Registers saved = s.regs();
    StopKind k = s.go(breakpoints);
    if (k == StopKind::Terminated) s.regs() = saved;
    s.reportStop(k);
    return CommandResult::ok();
}

}  // namespace krvs::debug::cmd
