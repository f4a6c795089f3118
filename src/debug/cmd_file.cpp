// N, L, W, Q and the help list.

#include <cstdio>

#include "commands.h"
#include "debug/format.h"

namespace krvs::debug::cmd {

namespace {

constexpr std::string_view kHelp =
    "assemble     A [address]\r\n"
    "compare      C range address\r\n"
    "dump         D [range]\r\n"
    "enter        E address [list]\r\n"
    "fill         F range list\r\n"
    "go           G [=address] [addresses]\r\n"
    "hex          H value1 value2\r\n"
    "input        I port\r\n"
    "load         L [address] [drive] [firstsector] [number]\r\n"
    "move         M range address\r\n"
    "name         N [pathname] [arglist]\r\n"
    "output       O port byte\r\n"
    "proceed      P [=address] [number]\r\n"
    "quit         Q\r\n"
    "register     R [register]\r\n"
    "search       S range list\r\n"
    "trace        T [=address] [value]\r\n"
    "unassemble   U [range]\r\n"
    "write        W [address] [drive] [firstsector] [number]\r\n";

int digitsOf(std::uint16_t v) { return v > 0xFFF ? 4 : v > 0xFF ? 3 : v > 0xF ? 2 : 1; }

std::string upperExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    const auto slash = name.find_last_of("\\/:");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return {};
    return upperOutsideQuotes(name.substr(dot + 1));
}

// The sector forms "L/W address drive sector count": the emulated PC has no sector-level disks, so
// they fail the way a drive that cannot be read does.
bool sectorForm(Session& s, LineParser& p, const char* verb) {
    std::uint32_t drive, first, count;
    if (!p.number(drive, 2) || !p.number(first, 4) || !p.number(count, 4) || !p.end()) return false;
    s.console().write(std::string("Disk error ") + verb + " drive " + static_cast<char>('A' + (drive & 0x1F)) + "\r\n");
    return true;
}

// W puts the whole file in place at once through drive C:, so a failed write leaves the old file. A file
// without the owner's write permission is read-only to DOS and refused, as DOS does (also as root).
std::string writeToDrive(Session& s, const std::vector<std::uint8_t>& data) {
    switch (s.machine().drive().replace(s.fileName(), data)) {
    case 0: return {};
    case pc::doserr::kAccessDenied: return "Access denied";
    case pc::doserr::kWriteFault: return "Insufficient space on disk";
    default: return "File creation error";
    }
}

}  // namespace

CommandResult name(Session& s, LineParser& p) {
    p.skipSeparators();
    // File names keep the case they were typed in.
    s.setProgramName(s.rawLine().substr(std::min(p.position(), s.rawLine().size())));
    return CommandResult::ok();
}

CommandResult load(Session& s, LineParser& p) {
    std::optional<Address> at;
    if (!p.atEnd()) {
        Address a;
        if (!p.address(a, s.regs().seg[x86::CS], s.regs())) return failed(p);
        at = a;
        if (!p.atEnd()) return sectorForm(s, p, "reading") ? CommandResult::ok() : failed(p);
    }
    if (std::string e = s.loadFile(at); !e.empty()) s.console().write(e + "\r\n");
    return CommandResult::ok();
}

CommandResult write(Session& s, LineParser& p) {
    auto& r = s.regs();
    Address from{r.seg[x86::CS], 0x100};
    if (!p.atEnd()) {
        if (!p.address(from, r.seg[x86::CS], r)) return failed(p);
        if (!p.atEnd()) return sectorForm(s, p, "writing") ? CommandResult::ok() : failed(p);
    }
    Console& con = s.console();
    if (s.fileName().empty()) {
        con.write("(W)rite error, no destination defined\r\n");
        return CommandResult::ok();
    }
    const std::string ext = upperExtension(s.fileName());
    if (ext == "EXE" || ext == "HEX") {
        con.write("EXE and HEX files cannot be written\r\n");
        return CommandResult::ok();
    }
    const std::uint32_t size = static_cast<std::uint32_t>(r.gp[x86::BX]) << 16 | r.gp[x86::CX];
    if (size > x86::kMemorySize) {  // more than the whole address space holds
        con.write("Insufficient memory\r\n");
        return CommandResult::ok();
    }
    std::vector<std::uint8_t> data(size);
    const std::uint32_t base = pc::linear(from.segment, from.offset);
    for (std::uint32_t i = 0; i < size; ++i) data[i] = s.machine().memory().read8(base + i);
    con.write("Writing " + hex(r.gp[x86::BX], digitsOf(r.gp[x86::BX])) + hex(r.gp[x86::CX], 4) + " bytes\r\n");
    if (std::string e = writeToDrive(s, data); !e.empty()) con.write(e + "\r\n");
    return CommandResult::ok();
}

CommandResult quit(Session&, LineParser& p) {
    if (!p.end()) return failed(p);
    return {-1, true};
}

CommandResult help(Session& s, LineParser& p) {
    if (!p.end()) return failed(p);
    s.console().write(kHelp);
    return CommandResult::ok();
}

}  // namespace krvs::debug::cmd
