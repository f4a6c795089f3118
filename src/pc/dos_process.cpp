// Programs as DOS runs them: how one ends, EXEC of a child that runs until it ends and then hands control
// back to its parent, and the return code the parent reads afterwards.

#include "dos_fns.h"
#include "pc/loader.h"

namespace krvs::pc {

namespace dos {

namespace {

using Process = DosState::Process;

std::uint16_t vectorAt(int v) { return static_cast<std::uint16_t>(v * 4); }

// Vectors that point into memory the ended program gave back would run whatever comes there next, so they
// get the values they had when it started; vectors into a resident program's memory stay.
void restoreStrayVectors(Services& m, const Process& p, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& freed) {
    Memory& mem = m.memory();
    for (int v = 0; v < 256; ++v) {
        std::uint32_t target = linear(mem.read16(0, static_cast<std::uint16_t>(vectorAt(v) + 2)), mem.read16(0, vectorAt(v)));
        for (const auto& [first, end] : freed) {
            if (target < first || target >= end) continue;
            mem.writeBlock(0, vectorAt(v), &p.vectors[static_cast<std::size_t>(v) * 4], 4);
            break;
        }
    }
}

// Closes the current program's files, restores INT 22h-24h from its PSP and, unless it stays resident,
// gives its memory back.
void endProcess(Services& m, bool resident) {
    auto& processes = m.dos().processes;
    if (processes.empty()) return;
    Memory& mem = m.memory();
    const std::uint16_t psp = m.pspSegment();
    closeAll(m);
    for (int v = 0; v < 3; ++v) {
        mem.write16(0, vectorAt(0x22 + v), mem.read16(psp, static_cast<std::uint16_t>(0x0A + v * 4)));
        mem.write16(0, static_cast<std::uint16_t>(vectorAt(0x22 + v) + 2), mem.read16(psp, static_cast<std::uint16_t>(0x0C + v * 4)));
    }
    if (!resident) restoreStrayVectors(m, processes.back(), freeOwnedBy(m, psp));
}

// A child started by EXEC has ended: its parent goes on after its INT 21h with the carry flag clear.
bool returnToParent(Services& m) {
    auto& processes = m.dos().processes;
    if (processes.size() < 2) return false;
    Process child = processes.back();
    processes.pop_back();
    m.regs() = child.caller;
    m.setCurrentPsp(processes.back().psp);
    m.dos().dtaSegment = child.callerDtaSegment;
    m.dos().dtaOffset = child.callerDtaOffset;
    m.setReturnFlag(x86::flag::CF, false);
    return true;
}

std::uint16_t fail(Services& m, std::uint16_t error) {
    m.regs().gp[AX] = error;
    m.setReturnFlag(x86::flag::CF, true);
    return 0;
}

// The program file EXEC names, read through drive C: like every other file a program opens.
std::uint16_t readProgram(Services& m, std::vector<std::uint8_t>& file, std::string& dosPath) {
    auto& r = m.regs();
    std::string name = dosString(m, r.seg[DS], r.gp[DX]);
    std::unique_ptr<DriveFile> program;
    if (std::uint16_t e = m.drive().open(name, OpenMode::Read, program)) return e;
    if (!readProgramFile(*program, file).empty()) return file.empty() ? doserr::kAccessDenied : doserr::kNoMemory;
    return m.drive().fullName(name, dosPath);
}

std::uint8_t copyFcb(Memory& mem, std::uint16_t seg, std::uint16_t off, std::uint16_t psp, std::uint16_t at) {
    std::uint8_t bytes[16];
    mem.readBlock(seg, off, bytes, sizeof bytes);
    mem.writeBlock(psp, at, bytes, sizeof bytes);
    return bytes[0] != 0 && bytes[0] != 3 ? 0xFF : 0x00;  // C: is the only drive
}

std::uint16_t execute(Services& m, const std::vector<std::uint8_t>& file, const std::string& dosPath) {
    Memory& mem = m.memory();
    const x86::Registers caller = m.regs();
    const std::uint16_t block = caller.gp[BX], blockSeg = caller.seg[ES];
    auto field = [&](int at) { return mem.read16(blockSeg, static_cast<std::uint16_t>(block + at)); };
    const std::uint16_t parent = m.pspSegment();
    std::uint16_t tailOff = field(2), tailSeg = field(4);
    std::string tail(std::min<std::uint8_t>(mem.read8(tailSeg, tailOff), 126), '\0');
    mem.readBlock(tailSeg, static_cast<std::uint16_t>(tailOff + 1), reinterpret_cast<std::uint8_t*>(tail.data()), tail.size());
    std::uint16_t env = field(0) ? field(0) : mem.read16(parent, 0x2C);

    x86::Registers start;
    std::uint16_t psp = 0;
    LoadResult loaded = loadProcess(m, {file, dosPath, tail, parent, env}, start, psp);
    if (!loaded.ok) return fail(m, loaded.dosError);
    std::uint8_t al = copyFcb(mem, field(8), field(6), psp, 0x5C);
    std::uint8_t ah = copyFcb(mem, field(12), field(10), psp, 0x6C);
    start.gp[AX] = static_cast<std::uint16_t>(ah << 8 | al);

    Process child;
    child.psp = psp;
    child.caller = caller;
    child.callerDtaSegment = m.dos().dtaSegment;
    child.callerDtaOffset = m.dos().dtaOffset;
    mem.readBlock(0, 0, child.vectors.data(), child.vectors.size());
    m.dos().processes.push_back(child);
    m.regs() = start;
    m.setCurrentPsp(psp);
    m.dos().dtaSegment = psp;
    m.dos().dtaOffset = 0x80;
    return 0;
}

}  // namespace

std::uint16_t exec(Services& m) {
    auto& r = m.regs();
    const std::uint8_t how = lo(r.gp[AX]);
    if (how != 0 && how != 3) return fail(m, doserr::kInvalidFunction);
    std::vector<std::uint8_t> file;
    std::string dosPath;
    if (std::uint16_t e = readProgram(m, file, dosPath)) return fail(m, e);
    if (how == 0) return execute(m, file, dosPath);
    Memory& mem = m.memory();
    std::uint16_t segment = mem.read16(r.seg[ES], r.gp[BX]);
    std::uint16_t factor = mem.read16(r.seg[ES], static_cast<std::uint16_t>(r.gp[BX] + 2));
    if (std::uint16_t e = loadOverlay(m, file, segment, factor)) return fail(m, e);
    m.setReturnFlag(x86::flag::CF, false);
    return 0;
}

std::uint16_t returnCode(Services& m) {
    m.regs().gp[AX] = m.dos().lastReturn;
    m.dos().lastReturn = 0;
    return 0;
}

std::uint16_t terminateProcess(Services& m) {
    m.terminate(0);
    return 0;
}

std::uint16_t exitProcess(Services& m) {
    m.terminate(lo(m.regs().gp[AX]));
    return 0;
}

std::uint16_t keepResident(Services& m) {
    std::uint16_t largest;
    resize(m, m.pspSegment(), std::max<std::uint16_t>(m.regs().gp[DX], 6), largest);
    m.terminate(lo(m.regs().gp[AX]), Termination::Resident);
    return 0;
}

std::uint16_t getPsp(Services& m) {
    m.regs().gp[BX] = m.pspSegment();
    return 0;
}

std::uint16_t setPsp(Services& m) {
    m.setCurrentPsp(m.regs().gp[BX]);
    return 0;
}

std::uint16_t int27(Services& m) {
    std::uint16_t largest;
    auto paragraphs = static_cast<std::uint16_t>((m.regs().gp[DX] + 15u) >> 4);
    resize(m, m.pspSegment(), std::max<std::uint16_t>(paragraphs, 6), largest);
    m.terminate(0, Termination::Resident);
    return 0;
}

std::uint16_t int20(Services& m) { return terminateProcess(m); }

}  // namespace dos

void Machine::terminate(std::uint8_t code, Termination how) {
    if (m_exited) return;
    m_dos->lastReturn = static_cast<std::uint16_t>(static_cast<std::uint8_t>(how) << 8 | code);
    Services services(*this);
    dos::endProcess(services, how == Termination::Resident);
    if (dos::returnToParent(services)) return;
    m_dos->processes.clear();
    m_exitCode = code;
    m_exited = true;
}

void Machine::releaseProgram() {
    auto& processes = m_dos->processes;
    Services services(*this);
    while (!processes.empty()) {
        m_psp = processes.back().psp;
        dos::endProcess(services, false);
        processes.pop_back();
    }
    m_waiting = false;
    m_dos->lineActive = false;
    m_dos->pendingConsoleBytes.clear();
    m_dos->searches.clear();
    m_dos->fcbSearch.clear();
    // A program stopped inside an interrupt handler never sent its end of interrupt.
    for (int i = 0; i < 8 && m_pic.inService(); ++i) m_pic.endOfInterrupt();
    updateInterruptLine();
}

}  // namespace krvs::pc
