// BIOS services other than video: timer and keyboard interrupts, equipment, memory size, keyboard,
// time of day; and the default handlers for CPU faults.

#include <cstdio>

#include "dos_state.h"
#include "services.h"

namespace krvs::pc::bios {

namespace {

using namespace bda;
using x86::AX;
using x86::BX;
using x86::CX;
using x86::DX;

void unsupported(Services& m, std::uint8_t vector, std::uint8_t function) {
    char text[64];
    std::snprintf(text, sizeof text, "INT %02Xh function %02Xh is not supported", vector, function);
    m.note(text);
}

// Stores a key in the BIOS buffer; false when it is full.
bool storeKey(Services& m, std::uint16_t key) {
    Memory& mem = m.memory();
    std::uint16_t tail = mem.read16(kSegment, kKbdTail);
    std::uint16_t next = static_cast<std::uint16_t>(tail + 2);
    if (next >= mem.read16(kSegment, kKbdEnd)) next = mem.read16(kSegment, kKbdStart);
    if (next == mem.read16(kSegment, kKbdHead)) return false;
    mem.write16(kSegment, tail, key);
    mem.write16(kSegment, kKbdTail, next);
    return true;
}

struct ShiftKey { std::uint8_t scan; std::uint8_t bit; };
constexpr ShiftKey kShiftKeys[] = {{0x36, 0x01}, {0x2A, 0x02}, {0x1D, 0x04}, {0x38, 0x08}};

void stackedReturn(Services& m, std::uint16_t& cs, std::uint16_t& ip) {
    auto& r = m.regs();
    ip = m.memory().read16(r.seg[x86::SS], r.gp[x86::SP]);
    cs = m.memory().read16(r.seg[x86::SS], static_cast<std::uint16_t>(r.gp[x86::SP] + 2));
}

}  // namespace

std::uint16_t divideError(Services& m) {
    static const char kText[] = "\r\nDivide overflow\r\n";
    m.consoleWrite(reinterpret_cast<const std::uint8_t*>(kText), sizeof kText - 1);
    m.terminate(0, Termination::CtrlBreak);  // DOS ends the program as Ctrl+C does
    return 0;
}

std::uint16_t invalidOpcode(Services& m) {
    std::uint16_t cs, ip;
    stackedReturn(m, cs, ip);
    char text[80];
    std::snprintf(text, sizeof text, "Invalid opcode at %04X:%04X; the program was ended", cs, ip);
    m.note(text);
    m.terminate(0xFF);
    return 0;
}

std::uint16_t timerTick(Services& m) {
    Memory& mem = m.memory();
    std::uint32_t ticks = mem.read16(kSegment, kTicks) | (static_cast<std::uint32_t>(mem.read16(kSegment, kTicks + 2)) << 16);
    if (++ticks >= kTicksPerDay) {
        ticks = 0;
        mem.write8(kSegment, kMidnight, 1);
    }
    mem.write16(kSegment, kTicks, static_cast<std::uint16_t>(ticks));
    mem.write16(kSegment, kTicks + 2, static_cast<std::uint16_t>(ticks >> 16));
    return 0;
}

std::uint16_t keyboardIrq(Services& m) {
    std::uint8_t scan = m.portIn8(0x60);
    std::uint8_t ascii = m.keyboard().currentAscii();
    Memory& mem = m.memory();
    std::uint8_t flags = mem.read8(kSegment, kShiftFlags);
    bool shiftKey = false;
    for (const auto& s : kShiftKeys) {
        if ((scan & 0x7F) != s.scan) continue;
        shiftKey = true;
        flags = (scan & 0x80) ? static_cast<std::uint8_t>(flags & ~s.bit) : static_cast<std::uint8_t>(flags | s.bit);
    }
    mem.write8(kSegment, kShiftFlags, flags);
    if (!shiftKey && !(scan & 0x80)) storeKey(m, static_cast<std::uint16_t>(scan << 8 | ascii));
    return endOfInterrupt(m);
}

std::uint16_t endOfInterrupt(Services& m) {
    m.pic().endOfInterrupt();
    m.serviceKeyboard();
    m.updateInterruptLine();
    return 0;
}

std::uint16_t equipment(Services& m) {
    m.regs().gp[AX] = m.memory().read16(kSegment, kEquipment);
    return 0;
}

std::uint16_t memorySize(Services& m) {
    m.regs().gp[AX] = m.memory().read16(kSegment, kMemoryKb);
    return 0;
}

std::uint16_t system(Services& m) {
    auto& r = m.regs();
    switch (hi(r.gp[AX])) {
    case 0x86:  // wait: emulated time is not paced, so the wait is over at once
        m.setReturnFlag(x86::flag::CF, false);
        break;
    case 0x88:
        r.gp[AX] = 0;
        m.setReturnFlag(x86::flag::CF, false);
        break;
    default:
        setHi(r.gp[AX], 0x86);
        m.setReturnFlag(x86::flag::CF, true);
    }
    return 0;
}

std::uint16_t keyboard(Services& m) {
    auto& r = m.regs();
    std::uint8_t ah = hi(r.gp[AX]);
    switch (ah) {
    case 0x00:
    case 0x10: {
        int key = m.consoleKey(true, true);
        if (key == kServiceRetry || key == kServiceWait) return static_cast<std::uint16_t>(key);
        r.gp[AX] = static_cast<std::uint16_t>(key);
        return 0;
    }
    case 0x01:
    case 0x11: {
        int key = m.consoleKey(false, false);
        if (key == kServiceRetry) return kServiceRetry;
        m.setReturnFlag(x86::flag::ZF, key < 0);
        if (key >= 0) r.gp[AX] = static_cast<std::uint16_t>(key);
        return 0;
    }
    case 0x02:
    case 0x12:
        setLo(r.gp[AX], m.memory().read8(kSegment, kShiftFlags));
        if (ah == 0x12) setHi(r.gp[AX], 0);
        return 0;
    case 0x05:
        setLo(r.gp[AX], storeKey(m, r.gp[CX]) ? 0 : 1);
        return 0;
    default:
        unsupported(m, 0x16, ah);
        return 0;
    }
}

std::uint16_t timeOfDay(Services& m) {
    auto& r = m.regs();
    Memory& mem = m.memory();
    std::tm t = m.localNow();
    switch (hi(r.gp[AX])) {
    case 0x00:
        r.gp[CX] = mem.read16(kSegment, kTicks + 2);
        r.gp[DX] = mem.read16(kSegment, kTicks);
        setLo(r.gp[AX], mem.read8(kSegment, kMidnight));
        mem.write8(kSegment, kMidnight, 0);
        break;
    case 0x01:
        mem.write16(kSegment, kTicks + 2, r.gp[CX]);
        mem.write16(kSegment, kTicks, r.gp[DX]);
        mem.write8(kSegment, kMidnight, 0);
        break;
    case 0x02:
        r.gp[CX] = static_cast<std::uint16_t>(toBcd(t.tm_hour) << 8 | toBcd(t.tm_min));
        r.gp[DX] = static_cast<std::uint16_t>(toBcd(t.tm_sec) << 8);
        m.setReturnFlag(x86::flag::CF, false);
        break;
    case 0x04:
        r.gp[CX] = static_cast<std::uint16_t>(toBcd((t.tm_year + 1900) / 100) << 8 | toBcd(t.tm_year % 100));
        r.gp[DX] = static_cast<std::uint16_t>(toBcd(t.tm_mon + 1) << 8 | toBcd(t.tm_mday));
        m.setReturnFlag(x86::flag::CF, false);
        break;
    default:
        unsupported(m, 0x1A, hi(r.gp[AX]));
    }
    return 0;
}

std::uint16_t fastConsoleOut(Services& m) {
    m.consoleWrite(lo(m.regs().gp[AX]));
    return 0;
}

}  // namespace krvs::pc::bios
