// Loading .COM and MZ programs: environment, PSP with command tail and FCBs, relocation, registers.

#include "pc/loader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "dos_fns.h"
#include "pc/drive.h"
#include "platform/dosnames.h"

namespace krvs::pc {

namespace {

std::uint16_t word(const std::vector<std::uint8_t>& f, std::size_t at) {
    return static_cast<std::uint16_t>(f[at] | (f[at + 1] << 8));
}

// Fills one unopened FCB from a file name; returns FFh when it names a drive that does not exist.
std::uint8_t writeFcb(Memory& mem, std::uint16_t seg, std::uint16_t off, const std::string& text) {
    std::uint8_t blank[12] = {0, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    mem.writeBlock(seg, off, blank, sizeof blank);
    for (int i = 12; i < 16; ++i) mem.write8(seg, static_cast<std::uint16_t>(off + i), 0);
    std::string name = platform::upperAscii(text);
    std::uint8_t result = 0;
    if (name.size() >= 2 && name[1] == ':') {
        std::uint8_t drive = static_cast<std::uint8_t>(name[0] - 'A' + 1);
        mem.write8(seg, off, drive);
        if (drive != 3) result = 0xFF;
        name = name.substr(2);
    }
    if (auto slash = name.find_last_of("\\/"); slash != std::string::npos) name = name.substr(slash + 1);
    auto dot = name.find('.');
    std::string base = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (std::size_t i = 0; i < 8 && i < base.size(); ++i) mem.write8(seg, static_cast<std::uint16_t>(off + 1 + i), base[i]);
    for (std::size_t i = 0; i < 3 && i < ext.size(); ++i) mem.write8(seg, static_cast<std::uint16_t>(off + 9 + i), ext[i]);
    return result;
}

std::vector<std::string> words(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '=') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

}  // namespace

std::uint16_t writeCommandTailFcbs(Memory& mem, std::uint16_t psp, const std::string& tail) {
    const auto argWords = words(tail);
    const std::uint8_t al = writeFcb(mem, psp, 0x5C, argWords.size() > 0 ? argWords[0] : "");
    const std::uint8_t ah = writeFcb(mem, psp, 0x6C, argWords.size() > 1 ? argWords[1] : "");
    return static_cast<std::uint16_t>(ah << 8 | al);
}

bool isMz(const std::uint8_t* head, std::size_t size) {
    return size >= 2 && ((head[0] == 'M' && head[1] == 'Z') || (head[0] == 'Z' && head[1] == 'M'));
}

std::string parseMz(const std::vector<std::uint8_t>& file, MzImage& out) {
    if (!isMz(file)) return "not an MZ executable";
    if (file.size() < 0x1C) return "the MZ header is cut short";
    std::uint16_t lastPage = word(file, 2), pages = word(file, 4), relocCount = word(file, 6);
    std::uint32_t headerBytes = static_cast<std::uint32_t>(word(file, 8)) * 16;
    std::uint32_t total = static_cast<std::uint32_t>(pages) * 512;
    if (lastPage) total = total - 512 + (lastPage & 0x1FF);
    if (pages == 0 || total < headerBytes) return "the MZ header gives no load image";
    if (headerBytes > file.size()) return "the MZ header is longer than the file";
    out.imageOffset = headerBytes;
    out.imageSize = std::min<std::uint32_t>(total, static_cast<std::uint32_t>(file.size())) - headerBytes;
    out.minAlloc = word(file, 0x0A);
    out.maxAlloc = word(file, 0x0C);
    out.ss = word(file, 0x0E);
    out.sp = word(file, 0x10);
    out.ip = word(file, 0x14);
    out.cs = word(file, 0x16);
    std::uint32_t relocAt = word(file, 0x18);
    if (relocAt + static_cast<std::uint64_t>(relocCount) * 4 > file.size()) return "the relocation table lies outside the file";
    out.relocations.clear();
    for (std::uint32_t i = 0; i < relocCount; ++i)
        out.relocations.push_back({word(file, relocAt + i * 4), word(file, relocAt + i * 4 + 2)});
    return {};
}

// No program is larger than conventional memory; the cap also keeps a device or endless file from being read.
constexpr std::size_t kProgramLimit = 0xA0000;

std::string readProgramFile(const std::filesystem::path& program, std::vector<std::uint8_t>& out) {
    std::ifstream in(program, std::ios::binary);
    if (!in) return "cannot read " + program.string();
    out.resize(kProgramLimit + 1);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<std::size_t>(in.gcount()));
    if (out.size() > kProgramLimit) return program.filename().string() + " is larger than conventional memory";
    return {};
}

std::string readProgramFile(DriveFile& program, std::vector<std::uint8_t>& out) {
    out.resize(kProgramLimit + 1);
    std::size_t got = 0;
    while (got < out.size()) {
        std::optional<std::size_t> n = program.read(out.data() + got, out.size() - got);
        if (!n) {
            out.clear();
            return "the program cannot be read";
        }
        if (*n == 0) break;
        got += *n;
    }
    out.resize(got);
    if (out.size() > kProgramLimit) return "the program is larger than conventional memory";
    return {};
}

LoadResult Machine::load(const std::filesystem::path& program, const std::string& args) {
    std::vector<std::uint8_t> file;
    if (std::string e = readProgramFile(program, file); !e.empty()) return {false, e};
    return loadImage(file, platform::upperAscii(program.filename().string()), args);
}

namespace {

// DOS's own environment for the first program; a program started by EXEC gets a copy of its parent's (or
// of the one EXEC names). The program's full name follows the strings, as DOS 3 and later put it there.
std::uint16_t buildEnvironment(Services& m, std::uint16_t from, const std::string& programPath) {
    std::string env;
    if (from) {
        const Memory& mem = m.memory();
        std::uint16_t at = 0;
        for (std::string entry = mem.readString(from, at, 0x400); !entry.empty() && at < 0x7C00;
             entry = mem.readString(from, at, 0x400)) {
            env += entry + '\0';
            at = static_cast<std::uint16_t>(at + entry.size() + 1);
        }
        env += '\0';
    } else {
        env = std::string("COMSPEC=C:\\COMMAND.COM") + '\0' + "PATH=C:\\" + '\0' + '\0';
    }
    env += std::string("\x01\x00", 2) + programPath + '\0';
    std::uint16_t largest;
    std::uint16_t seg = dos::allocate(m, static_cast<std::uint16_t>((env.size() + 15) / 16), 0, largest);
    if (seg) m.memory().writeBlock(seg, 0, reinterpret_cast<const std::uint8_t*>(env.data()), env.size());
    return seg;
}

// The program takes the largest block, or as much of it as the MZ header asks for. Returns the PSP or 0.
std::uint16_t allocateProgram(Services& m, bool exe, const MzImage& mz, std::size_t comSize) {
    std::uint16_t largest;
    dos::allocate(m, 0xFFFF, 0, largest);  // fails on purpose: it reports the largest free block
    std::uint32_t imageParas = (mz.imageSize + 15) / 16;
    std::uint32_t need = exe ? 0x10 + imageParas + mz.minAlloc : 0x10 + (comSize + 0x100 + 15) / 16 + 1;
    std::uint32_t want = largest;
    if (exe && (mz.maxAlloc != 0 || mz.minAlloc != 0))
        want = std::max(need, std::min<std::uint32_t>(largest, 0x10 + imageParas + mz.maxAlloc));
    if (largest < need) return 0;
    return dos::allocate(m, static_cast<std::uint16_t>(want), 0, largest);
}

void buildPsp(Services& m, std::uint16_t psp, std::uint16_t blockEnd, std::uint16_t envSeg, std::uint16_t parent,
              const std::string& tail, x86::Registers& r) {
    Memory& mem = m.memory();
    for (int i = 0; i < 0x100; ++i) mem.write8(psp, static_cast<std::uint16_t>(i), 0);
    mem.write16(psp, 0x00, 0x20CD);
    mem.write16(psp, 0x02, blockEnd);
    mem.write8(psp, 0x05, 0x9A);  // CALL FAR into DOS, the CP/M-style entry
    mem.write16(psp, 0x06, mem.read16(0, 0x21 * 4));
    mem.write16(psp, 0x08, mem.read16(0, 0x21 * 4 + 2));
    for (int v = 0; v < 3; ++v) {  // INT 22h-24h as they were at load
        mem.write16(psp, static_cast<std::uint16_t>(0x0A + v * 4), mem.read16(0, static_cast<std::uint16_t>((0x22 + v) * 4)));
        mem.write16(psp, static_cast<std::uint16_t>(0x0C + v * 4), mem.read16(0, static_cast<std::uint16_t>((0x22 + v) * 4 + 2)));
    }
    mem.write16(psp, 0x16, parent ? parent : psp);
    if (parent) dos::inheritHandles(m, parent, psp);
    else dos::openStandardHandles(m, psp);
    mem.write16(psp, 0x2C, envSeg);
    mem.write16(psp, 0x32, DosState::kJftSize);
    mem.write16(psp, 0x34, DosState::kJftOffset);
    mem.write16(psp, 0x36, psp);
    mem.write16(psp, 0x38, 0xFFFF);
    mem.write16(psp, 0x3A, 0xFFFF);
    const std::uint8_t dosCall[] = {0xCD, 0x21, 0xCB};
    mem.writeBlock(psp, 0x50, dosCall, sizeof dosCall);
    std::size_t size = std::min<std::size_t>(tail.size(), 126);
    mem.write8(psp, 0x80, static_cast<std::uint8_t>(size));
    mem.writeBlock(psp, 0x81, reinterpret_cast<const std::uint8_t*>(tail.data()), size);
    mem.write8(psp, static_cast<std::uint16_t>(0x81 + size), 0x0D);
    r.gp[x86::AX] = writeCommandTailFcbs(mem, psp, tail.substr(0, size));
}

void relocate(Memory& mem, const std::vector<std::uint8_t>& file, const MzImage& mz, std::uint16_t loadSeg,
              std::uint16_t factor, std::uint32_t limit) {
    for (std::uint32_t i = 0; i < mz.imageSize; ++i) mem.write8(linear(loadSeg, 0) + i, file[mz.imageOffset + i]);
    for (const auto& rel : mz.relocations) {
        std::uint32_t at = linear(loadSeg, 0) + static_cast<std::uint32_t>(rel.segment) * 16 + rel.offset;
        if (at + 1 >= limit) continue;  // a fixup outside the program's memory would damage DOS
        mem.write16(at, static_cast<std::uint16_t>(mem.read16(at) + factor));
    }
}

void placeExe(Memory& mem, const std::vector<std::uint8_t>& file, const MzImage& mz, std::uint16_t psp,
              std::uint16_t blockEnd, x86::Registers& r) {
    std::uint16_t loadSeg = static_cast<std::uint16_t>(psp + 0x10);
    relocate(mem, file, mz, loadSeg, loadSeg, static_cast<std::uint32_t>(blockEnd) * 16);
    r.seg[x86::CS] = static_cast<std::uint16_t>(mz.cs + loadSeg);
    r.ip = mz.ip;
    r.seg[x86::SS] = static_cast<std::uint16_t>(mz.ss + loadSeg);
    r.gp[x86::SP] = mz.sp;
}

void placeCom(Memory& mem, const std::vector<std::uint8_t>& file, std::uint16_t psp, std::uint16_t blockEnd,
              x86::Registers& r) {
    mem.writeBlock(psp, 0x100, file.data(), file.size());
    std::uint32_t bytes = static_cast<std::uint32_t>(blockEnd - psp) * 16;
    std::uint16_t sp = bytes >= 0x10000 ? 0xFFFE : static_cast<std::uint16_t>((bytes - 2) & ~1u);
    mem.write16(psp, sp, 0);  // RET from the program reaches INT 20h at PSP:0000
    r.seg[x86::CS] = r.seg[x86::SS] = psp;
    r.ip = 0x100;
    r.gp[x86::SP] = sp;
}

}  // namespace

namespace dos {

std::string checkImage(const std::vector<std::uint8_t>& file, MzImage& mz) {
    if (isMz(file)) return parseMz(file, mz);
    if (file.size() > 0xFF00 - 2) return "the .COM program is larger than 64 KB";
    return {};
}

LoadResult loadProcess(Services& m, const ProcessImage& image, x86::Registers& r, std::uint16_t& psp) {
    MzImage mz;
    const bool exe = isMz(image.file);
    if (std::string e = checkImage(image.file, mz); !e.empty()) return {false, e, doserr::kBadFormat};
    std::uint16_t envSeg = buildEnvironment(m, image.environment, image.dosPath);
    if (!envSeg) return {false, "not enough memory for the environment", doserr::kNoMemory};
    psp = allocateProgram(m, exe, mz, image.file.size());
    if (!psp) {
        setOwner(m, envSeg, 0);
        return {false, "not enough memory to load the program", doserr::kNoMemory};
    }
    setOwner(m, envSeg, psp);
    setOwner(m, psp, psp);
    Memory& mem = m.memory();
    auto blockEnd = static_cast<std::uint16_t>(psp + mem.read16(static_cast<std::uint16_t>(psp - 1), 3));
    r = x86::Registers{};
    r.flags = 0xF202;
    buildPsp(m, psp, blockEnd, envSeg, image.parent, image.tail, r);
    r.seg[x86::DS] = r.seg[x86::ES] = psp;
    if (exe) placeExe(mem, image.file, mz, psp, blockEnd, r);
    else placeCom(mem, image.file, psp, blockEnd, r);
    r.gp[x86::CX] = 0x00FF;
    r.gp[x86::DX] = psp;
    r.gp[x86::SI] = r.ip;
    r.gp[x86::DI] = r.gp[x86::SP];
    r.gp[x86::BP] = 0x091C;
    return {true, {}};
}

std::uint16_t loadOverlay(Services& m, const std::vector<std::uint8_t>& file, std::uint16_t segment,
                          std::uint16_t factor) {
    MzImage mz;
    if (!checkImage(file, mz).empty() && isMz(file)) return doserr::kBadFormat;
    std::uint32_t size = isMz(file) ? mz.imageSize : static_cast<std::uint32_t>(file.size());
    // Below video memory only: an overlay never lands on the screen or the ROM.
    if (static_cast<std::uint32_t>(segment) * 16 + size > 0xA0000) return doserr::kNoMemory;
    if (!isMz(file)) {
        m.memory().writeBlock(segment, 0, file.data(), file.size());
        return 0;
    }
    relocate(m.memory(), file, mz, segment, factor, 0xA0000);
    return 0;
}

}  // namespace dos

// The command tail keeps the blank after the program name; trailing blanks are dropped.
std::string commandTail(const std::string& args) {
    std::string tail = args;
    while (!tail.empty() && (tail.back() == ' ' || tail.back() == '\t')) tail.pop_back();
    if (!tail.empty() && tail.front() != ' ') tail.insert(tail.begin(), ' ');
    return tail;
}

LoadResult Machine::loadImage(const std::vector<std::uint8_t>& file, const std::string& dosName, const std::string& args) {
    releaseProgram();
    consumeStop();  // a stop asked for after the last program ended is not meant for this one
    m_notes.clear();
    std::string dir = m_drive->currentDirectory();
    dos::ProcessImage image{file, "C:\\" + (dir.empty() ? "" : dir + "\\") + dosName, commandTail(args), 0, 0};
    x86::Registers start;
    std::uint16_t psp = 0;
    Services services(*this);
    LoadResult r = dos::loadProcess(services, image, start, psp);
    if (!r.ok) return r;
    regs() = start;
    m_psp = psp;
    m_dos->dtaSegment = psp;
    m_dos->dtaOffset = 0x80;
    DosState::Process process;
    process.psp = psp;
    m_mem.readBlock(0, 0, process.vectors.data(), process.vectors.size());
    m_dos->processes = {process};
    m_exited = false;
    m_exitCode = 0;
    return {true, {}};
}

}  // namespace krvs::pc
