// Program names and loading: N builds the command tail and FCBs, L loads .COM and .EXE programs into a
// fresh machine (as EXEC would) and other files raw at CS:0100. Every name a command gives is a DOS name
// on the program's drive C:; only the program named on DEBUG's own command line is a host path, and its
// directory becomes that drive.

#include "debug/session.h"
#include "pc/loader.h"
#include "platform/hostfs.h"

namespace krvs::debug {

namespace {

namespace fs = std::filesystem;

// No file larger than conventional memory can be loaded; reading stops one byte past it, so a device
// that never ends (/dev/zero) or a huge file is refused without being read whole.
constexpr std::uint32_t kConventionalMemory = 0xA0000;

std::string upper(std::string s) { return upperOutsideQuotes(s); }

std::string extensionOf(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("\\/", dot) != std::string::npos) return {};
    return upper(name.substr(dot + 1));
}

// The last part of a DOS or host path: the name the loaded program sees as its own.
std::string lastPart(const std::string& name) {
    const auto cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// Reads a file for L. Non-blocking, so a FIFO or terminal gives what is there instead of waiting.
std::string readForLoad(const fs::path& path, std::vector<std::uint8_t>& out) {
    out.clear();
    platform::OpenRequest request;
    request.followLink = true;
    request.nonBlocking = true;
    platform::File file;
    if (const platform::FsError e = platform::File::open(path.string(), request, file); e != platform::FsError::None)
        return e == platform::FsError::Denied ? "Access denied" : "File not found";
    if (file.info().type == platform::EntryType::Directory) return "File not found";
    std::uint8_t buf[65536];
    while (out.size() <= kConventionalMemory) {
        const std::optional<std::size_t> n = file.read(buf, sizeof buf);
        if (!n || *n == 0) break;
        out.insert(out.end(), buf, buf + *n);
    }
    return out.size() > kConventionalMemory ? "Insufficient memory" : "";
}

}  // namespace

void Session::setProgramName(const std::string& text) {
    const auto b = text.find_first_not_of(" \t");
    const std::string rest = b == std::string::npos ? "" : text.substr(b);
    const auto e = rest.find_first_of(" \t,;=");
    m_fileName = rest.substr(0, e);
    m_fileArgs = e == std::string::npos ? "" : rest.substr(e);

    auto& mem = m_machine->memory();
    const std::uint16_t psp = m_machine->pspSegment();
    std::string tail = m_fileArgs.substr(0, 126);
    mem.write8(psp, 0x80, static_cast<std::uint8_t>(tail.size()));
    mem.writeBlock(psp, 0x81, reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size());
    mem.write8(psp, static_cast<std::uint16_t>(0x81 + tail.size()), 0x0D);
    regs().gp[x86::AX] = pc::writeCommandTailFcbs(mem, psp, m_fileArgs);
}

std::string Session::start(const std::string& program, const std::string& args) {
    if (program.empty()) return {};
    // A host path, as a shell or the IDE gives it: the program's directory becomes drive C: and the
    // program is read from where it was named. A name that is no host file is a DOS name on the drive
    // of the current directory ("DEBUG hello.exe" for HELLO.EXE).
    const fs::path given(program);
    std::error_code ec;
    if (!fs::exists(given, ec)) {
        setProgramName(args.empty() ? program : program + " " + args);
        return loadFile(std::nullopt);
    }
    if (fs::is_directory(given, ec)) return "File not found";  // no program, and no reason to move drive C:
    m_options.driveRoot = given.has_parent_path() ? given.parent_path() : fs::path(".");
    newMachine();
    freshPsp();
    const std::string name = given.filename().string();
    setProgramName(args.empty() ? name : name + " " + args);
    std::vector<std::uint8_t> file;
    if (std::string e = readForLoad(given, file); !e.empty()) return e;
    return place(file, std::nullopt);
}

std::string Session::loadFile(std::optional<Address> at) {
    if (m_fileName.empty()) return "File not found";
    pc::Drive& drive = m_machine->drive();
    pc::Drive::Entry entry;
    std::unique_ptr<pc::DriveFile> opened;
    std::uint16_t e = drive.lookup(m_fileName, entry);
    if (!e && (entry.attributes & pc::attr::kDirectory)) e = pc::doserr::kFileNotFound;
    if (!e) e = drive.open(m_fileName, pc::OpenMode::Read, opened);
    if (e) return e == pc::doserr::kAccessDenied ? "Access denied" : "File not found";
    std::vector<std::uint8_t> file;
    if (!pc::readProgramFile(*opened, file).empty()) return file.empty() ? "Access denied" : "Insufficient memory";
    return place(file, at);
}

std::string Session::place(const std::vector<std::uint8_t>& file, std::optional<Address> at) {
    const std::string ext = extensionOf(m_fileName);
    const auto size = static_cast<std::uint32_t>(file.size());

    if (ext == "COM" || ext == "EXE") {
        const x86::Registers before = regs();
        newMachine();
        const pc::LoadResult r = m_machine->loadImage(file, upper(lastPart(m_fileName)), m_fileArgs);
        if (!r.ok) {
            // The old program is gone with its machine: DEBUG stands on a fresh PSP, as after a failed EXEC.
            freshPsp();
            regs().gp[x86::DX] = before.gp[x86::DX];
            return ext == "EXE" ? "Error in EXE or HEX file" : "Insufficient memory";
        }
        auto& reg = regs();
        // DX, BP, SI, DI and the flags are DEBUG's own, not what EXEC leaves there.
        reg.gp[x86::DX] = before.gp[x86::DX];
        reg.gp[x86::BP] = before.gp[x86::BP];
        reg.gp[x86::SI] = before.gp[x86::SI];
        reg.gp[x86::DI] = before.gp[x86::DI];
        reg.flags = before.flags;
        reg.gp[x86::BX] = static_cast<std::uint16_t>(size >> 16);
        // The classic DEBUG takes a fixed 512 header bytes off an .EXE's size, without borrow.
        reg.gp[x86::CX] = static_cast<std::uint16_t>(ext == "EXE" ? size - 512 : size);
        setProgramName(m_fileName + m_fileArgs);
        m_defaults.dump = m_defaults.unassemble = m_defaults.assemble = {reg.seg[x86::CS], reg.ip};
        return {};
    }

    auto& reg = regs();
    const Address to = at.value_or(Address{reg.seg[x86::CS], 0x100});
    const std::uint32_t base = (static_cast<std::uint32_t>(to.segment) << 4) + to.offset;
    // Past the end of the address space the bytes would wrap onto the interrupt vectors.
    if (base + size > x86::kMemorySize) return "Insufficient memory";
    for (std::uint32_t i = 0; i < size; ++i) m_machine->memory().write8(base + i, file[i]);
    reg.gp[x86::BX] = static_cast<std::uint16_t>(size >> 16);
    reg.gp[x86::CX] = static_cast<std::uint16_t>(size);
    return {};
}

}  // namespace krvs::debug
