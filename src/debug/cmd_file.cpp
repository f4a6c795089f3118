// N, L, W, Q and the help list.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

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

// Writes `data` to `path` through a temporary file and a rename, so a failed write leaves no half file.
// The temporary name is unique (process, counter) and hidden from the drive (it starts with a dot), so two
// DEBUGs writing the same file do not trip over each other's temporary file.
std::string writeAtomically(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    static std::atomic<unsigned> counter{0};
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0;
    std::filesystem::path tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmp = path.parent_path() / (".DEBUG-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp");
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return errno == EACCES ? "Access denied" : "File creation error";
    }
    if (fd < 0) return "File creation error";
    if (replacing) ::fchmod(fd, old.st_mode & 07777);  // the file keeps its permissions
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool written = ::close(fd) == 0 && done == data.size();
    std::error_code ec;
    if (!written) {
        std::filesystem::remove(tmp, ec);
        return "Insufficient space on disk";
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        return "Access denied";
    }
    return {};
}

// Where W may write the N file on drive C:, or the error text. A file without the owner's write permission
// is read-only to DOS and refused, as DOS does (also when the host user could override it, as root).
std::string writeTarget(Session& s, std::filesystem::path& out) {
    const pc::HostPath h = s.resolveFile(s.fileName());
    if (h.error == pc::doserr::kAccessDenied || h.isDirectory) return "Access denied";
    if (h.error) return "File creation error";
    struct stat st {};
    if (h.exists && ::stat(h.path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) return "Access denied";
    out = h.path;
    return {};
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
    std::filesystem::path target;
    std::string e = writeTarget(s, target);
    if (e.empty()) e = writeAtomically(target, data);
    if (!e.empty()) con.write(e + "\r\n");
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
