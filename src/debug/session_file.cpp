// Program names and loading: N builds the command tail and FCBs, L loads .COM and .EXE programs into a
// fresh machine (as EXEC would) and other files raw at CS:0100.

#include <fstream>
#include <iterator>

#include "debug/session.h"
#include "pc/loader.h"

namespace krvs::debug {

namespace {

std::string upper(std::string s) { return upperOutsideQuotes(s); }

std::string extensionOf(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("\\/", dot) != std::string::npos) return {};
    return upper(name.substr(dot + 1));
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

std::filesystem::path Session::hostPath(const std::string& name) const {
    std::error_code ec;
    if (std::filesystem::exists(name, ec)) return name;
    pc::HostPath h = m_machine->drive().resolve(name);
    if (h.error == 0 && h.exists) return h.path;
    // A full DOS path from another machine's layout ("C:\WORK\HELLO.EXE"): the file in the current directory.
    if (const auto cut = name.find_last_of("\\/:"); cut != std::string::npos) {
        pc::HostPath base = m_machine->drive().resolve(name.substr(cut + 1));
        if (base.error == 0 && base.exists) return base.path;
    }
    return h.error == 0 && !h.path.empty() ? h.path : std::filesystem::path(name);
}

std::string Session::loadFile(std::optional<Address> at) {
    if (m_fileName.empty()) return "File not found";
    const std::filesystem::path path = hostPath(m_fileName);
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec)) return "File not found";
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string ext = extensionOf(m_fileName);
    const auto size = static_cast<std::uint32_t>(file.size());

    if (ext == "COM" || ext == "EXE") {
        const x86::Registers before = regs();
        newMachine();
        const pc::LoadResult r = m_machine->loadImage(file, upper(path.filename().string()), m_fileArgs);
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
    const std::uint32_t base = pc::linear(to.segment, to.offset);
    for (std::uint32_t i = 0; i < size; ++i) m_machine->memory().write8(base + i, file[i]);
    reg.gp[x86::BX] = static_cast<std::uint16_t>(size >> 16);
    reg.gp[x86::CX] = static_cast<std::uint16_t>(size);
    return {};
}

}  // namespace krvs::debug
