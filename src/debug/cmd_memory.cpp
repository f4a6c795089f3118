// Memory commands: C, D, E, F, M, S, and the port and arithmetic commands H, I, O.

#include <cstring>
#include <vector>

#include "commands.h"
#include "debug/format.h"

namespace krvs::debug::cmd {

namespace {

constexpr std::uint32_t kDumpLength = 0x80;

std::uint16_t ds(Session& s) { return s.regs().seg[x86::DS]; }

// The byte `i` of a range, which may run past offset FFFF only by the range parser's own rules.
std::uint8_t byteAt(Session& s, Address a, std::uint32_t i) {
    return s.machine().memory().read8(a.segment, static_cast<std::uint16_t>(a.offset + i));
}
void setByte(Session& s, Address a, std::uint32_t i, std::uint8_t v) {
    s.machine().memory().write8(a.segment, static_cast<std::uint16_t>(a.offset + i), v);
}

bool isHexDigit(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// E without a list: byte by byte, "XX." then what is typed; blank goes on, "-" back, Enter ends.
void enterInteractive(Session& s, Address a) {
    Console& con = s.console();
    auto& mem = s.machine().memory();
    auto lineStart = [&] { con.write(address(a.segment, a.offset) + "  "); };
    lineStart();
    for (;;) {
        con.write(hex(mem.read8(a.segment, a.offset), 2) + ".");
        std::string typed;
        std::uint8_t c;
        for (;;) {
            con.flush();
            if (!con.readByte(c)) return;
            if (c == '\n') continue;
            if (isHexDigit(c) && typed.size() < 2) {
                typed.push_back(static_cast<char>(c));
                con.write(static_cast<char>(c));
            } else if ((c == 0x08 || c == 0x7F) && !typed.empty()) {
                typed.pop_back();
                con.write("\b \b");
            } else if (c == ' ' || c == ',' || c == '-' || c == '\r') {
                break;
            } else {
                con.write('\a');
            }
        }
        if (!typed.empty()) mem.write8(a.segment, a.offset, static_cast<std::uint8_t>(std::stoul(typed, nullptr, 16)));
        if (c == '\r') {
            con.write("\r\n");
            return;
        }
        if (c == '-') {
            a.offset = static_cast<std::uint16_t>(a.offset - 1);
            con.write("\r\n");
            lineStart();
            continue;
        }
        a.offset = static_cast<std::uint16_t>(a.offset + 1);
        if (a.offset % 8 == 0) {
            con.write("\r\n");
            lineStart();
        } else {
            // Each byte takes eight columns: "XX." and what was typed, the blank, then padding.
            con.write(std::string(8 - 3 - typed.size(), ' '));
        }
    }
}

}  // namespace

CommandResult dump(Session& s, LineParser& p) {
    auto& def = s.defaults().dump;
    Range r{def, std::min<std::uint32_t>(kDumpLength, 0x10000 - def.offset)};
    if (!p.atEnd() && !p.range(r, ds(s), s.regs(), kDumpLength)) return failed(p);
    if (!p.end()) return failed(p);
    s.console().write(dumpRows(s.machine().memory(), r.start.segment, r.start.offset, r.length));
    def = {r.start.segment, static_cast<std::uint16_t>(r.start.offset + r.length)};
    return CommandResult::ok();
}

CommandResult enter(Session& s, LineParser& p) {
    Address a;
    if (!p.address(a, ds(s), s.regs())) return failed(p);
    if (p.atEnd()) {
        enterInteractive(s, a);
        return CommandResult::ok();
    }
    std::vector<std::uint8_t> bytes;
    if (!p.list(bytes)) return failed(p);
    for (std::uint32_t i = 0; i < bytes.size(); ++i) setByte(s, a, i, bytes[i]);
    return CommandResult::ok();
}

CommandResult fill(Session& s, LineParser& p) {
    Range r;
    std::vector<std::uint8_t> bytes;
    if (!p.range(r, ds(s), s.regs(), kDumpLength) || !p.list(bytes)) return failed(p);
    for (std::uint32_t i = 0; i < r.length; ++i) setByte(s, r.start, i, bytes[i % bytes.size()]);
    return CommandResult::ok();
}

CommandResult move(Session& s, LineParser& p) {
    Range r;
    Address to;
    if (!p.range(r, ds(s), s.regs(), kDumpLength) || !p.address(to, r.start.segment, s.regs()) || !p.end())
        return failed(p);
    std::vector<std::uint8_t> copy(r.length);  // a copy first, so overlapping ranges move correctly
    for (std::uint32_t i = 0; i < r.length; ++i) copy[i] = byteAt(s, r.start, i);
    for (std::uint32_t i = 0; i < r.length; ++i) setByte(s, to, i, copy[i]);
    return CommandResult::ok();
}

CommandResult compare(Session& s, LineParser& p) {
    Range r;
    Address to;
    if (!p.range(r, ds(s), s.regs(), kDumpLength) || !p.address(to, r.start.segment, s.regs()) || !p.end())
        return failed(p);
    std::string out;
    for (std::uint32_t i = 0; i < r.length; ++i) {
        const std::uint8_t a = byteAt(s, r.start, i), b = byteAt(s, to, i);
        if (a == b) continue;
        out += address(r.start.segment, static_cast<std::uint16_t>(r.start.offset + i)) + "  " + hex(a, 2) + "  " +
               hex(b, 2) + "  " + address(to.segment, static_cast<std::uint16_t>(to.offset + i)) + "\r\n";
    }
    s.console().write(out);
    return CommandResult::ok();
}

CommandResult search(Session& s, LineParser& p) {
    Range r;
    std::vector<std::uint8_t> bytes;
    if (!p.range(r, ds(s), s.regs(), kDumpLength) || !p.list(bytes)) return failed(p);
    std::string out;
    for (std::uint32_t i = 0; i + bytes.size() <= r.length; ++i) {
        bool match = true;
        for (std::uint32_t k = 0; k < bytes.size() && match; ++k) match = byteAt(s, r.start, i + k) == bytes[k];
        if (match) out += address(r.start.segment, static_cast<std::uint16_t>(r.start.offset + i)) + " \r\n";
    }
    s.console().write(out);
    return CommandResult::ok();
}

CommandResult hexArithmetic(Session& s, LineParser& p) {
    std::uint32_t a, b;
    if (!p.number(a) || !p.number(b) || !p.end()) return failed(p);
    s.console().write(hex((a + b) & 0xFFFF, 4) + "  " + hex((a - b) & 0xFFFF, 4) + "\r\n");
    return CommandResult::ok();
}

CommandResult input(Session& s, LineParser& p) {
    std::uint32_t port;
    if (!p.number(port) || !p.end()) return failed(p);
    s.console().write(hex(s.machine().portIn8(static_cast<std::uint16_t>(port)), 2) + "\r\n");
    return CommandResult::ok();
}

CommandResult output(Session& s, LineParser& p) {
    std::uint32_t port, value;
    if (!p.number(port) || !p.number(value, 2) || !p.end()) return failed(p);
    s.machine().portOut8(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(value));
    return CommandResult::ok();
}

}  // namespace krvs::debug::cmd
