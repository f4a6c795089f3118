// R: the register display, one register's value, and the flags.

#include <array>
#include <string_view>

#include "commands.h"
#include "debug/format.h"

namespace krvs::debug::cmd {

namespace {

struct RegisterName {
    std::string_view name;
    bool segment;
    int index;  // Registers::gp / Registers::seg; -1 for IP
};

constexpr std::array<RegisterName, 14> kRegisters{{
    {"AX", false, x86::AX}, {"BX", false, x86::BX}, {"CX", false, x86::CX}, {"DX", false, x86::DX},
    {"SP", false, x86::SP}, {"BP", false, x86::BP}, {"SI", false, x86::SI}, {"DI", false, x86::DI},
    {"DS", true, x86::DS},  {"ES", true, x86::ES},  {"SS", true, x86::SS},  {"CS", true, x86::CS},
    {"IP", false, -1},      {"PC", false, -1},
}};

struct FlagCode {
    std::string_view code;
    std::uint16_t mask;
    bool set;
};

constexpr std::array<FlagCode, 16> kFlagCodes{{
    {"OV", x86::flag::OF, true}, {"NV", x86::flag::OF, false}, {"DN", x86::flag::DF, true},
    {"UP", x86::flag::DF, false}, {"EI", x86::flag::IF, true}, {"DI", x86::flag::IF, false},
    {"NG", x86::flag::SF, true}, {"PL", x86::flag::SF, false}, {"ZR", x86::flag::ZF, true},
    {"NZ", x86::flag::ZF, false}, {"AC", x86::flag::AF, true}, {"NA", x86::flag::AF, false},
    {"PE", x86::flag::PF, true}, {"PO", x86::flag::PF, false}, {"CY", x86::flag::CF, true},
    {"NC", x86::flag::CF, false},
}};

std::uint16_t& registerRef(x86::Registers& r, const RegisterName& n) {
    if (n.index < 0) return r.ip;
    return n.segment ? r.seg[n.index] : r.gp[n.index];
}

// Reads the reply line after a ":" or " -" prompt; false at the end of the input.
bool readReply(Session& s, std::string& line) {
    if (!s.console().readLine(line)) return false;
    s.console().write("\r\n");
    return true;
}

CommandResult changeFlags(Session& s) {
    Console& con = s.console();
    con.write(flagsText(s.regs().flags) + "  -");
    std::string line;
    if (!readReply(s, line)) return CommandResult::ok();
    const std::string upper = upperOutsideQuotes(line);
    std::uint16_t flags = s.regs().flags, seen = 0;
    LineParser p(upper, 0);
    while (!p.atEnd()) {
        const std::size_t at = p.position();
        if (at + 2 > upper.size()) return con.write("bf Error\r\n"), CommandResult::ok();
        std::string_view code = std::string_view(upper).substr(at, 2);
        const FlagCode* found = nullptr;
        for (const auto& f : kFlagCodes)
            if (f.code == code) found = &f;
        if (!found) return con.write("bf Error\r\n"), CommandResult::ok();
        if (seen & found->mask) return con.write("df Error\r\n"), CommandResult::ok();
        seen |= found->mask;
        flags = found->set ? (flags | found->mask) : static_cast<std::uint16_t>(flags & ~found->mask);
        p.advance();
        p.advance();
    }
    s.regs().flags = flags;
    return CommandResult::ok();
}

}  // namespace

CommandResult registers(Session& s, LineParser& p) {
    Console& con = s.console();
    if (p.atEnd()) {
        con.write(registerDisplay(s.regs(), s.machine().memory()));
        s.defaults().unassemble = {s.regs().seg[x86::CS], s.regs().ip};
        return CommandResult::ok();
    }
    const std::string_view word = p.word();
    if (word == "F") {
        p.advance();
        if (!p.end()) return failed(p);
        return changeFlags(s);
    }
    const RegisterName* reg = nullptr;
    for (const auto& n : kRegisters)
        if (n.name == word) reg = &n;
    if (!reg) {
        con.write("br Error\r\n");
        return CommandResult::ok();
    }
    p.advance();
    p.advance();
    if (!p.end()) return failed(p);
    std::uint16_t& value = registerRef(s.regs(), *reg);
    con.write(std::string(reg->name == "PC" ? "IP" : reg->name) + " " + hex(value, 4) + "\r\n:");
    std::string line;
    if (!readReply(s, line)) return CommandResult::ok();
    const std::string upper = upperOutsideQuotes(line);
    LineParser q(upper, 0);
    if (q.atEnd()) return CommandResult::ok();  // Enter keeps the value
    std::uint32_t v;
    if (!q.number(v) || !q.end()) {
        s.printError(q.errorColumn());
        return CommandResult::ok();
    }
    value = static_cast<std::uint16_t>(v);
    return CommandResult::ok();
}

}  // namespace krvs::debug::cmd
