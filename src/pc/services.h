#pragma once
// Private to the pc library: the BIOS and DOS service functions and the addresses they share.

#include <cstdint>

#include "pc/machine.h"

namespace krvs::pc {

// BIOS data area (segment 0040h).
namespace bda {
constexpr std::uint16_t kSegment = 0x40;
constexpr std::uint16_t kEquipment = 0x10, kMemoryKb = 0x13, kShiftFlags = 0x17, kKbdHead = 0x1A,
                        kKbdTail = 0x1C, kKbdBuffer = 0x1E, kKbdBufferEnd = 0x3E, kVideoMode = 0x49,
                        kColumns = 0x4A, kPageSize = 0x4C, kPageOffset = 0x4E, kCursorPos = 0x50,
                        kCursorShape = 0x60, kActivePage = 0x62, kCrtcPort = 0x63, kTicks = 0x6C,
                        kMidnight = 0x70, kKbdStart = 0x80, kKbdEnd = 0x82, kRows = 0x84;
}

constexpr std::uint16_t kRomSegment = 0xF000;
constexpr std::uint16_t kIretOffset = 0xFF53;  // the BIOS's lone IRET, where unused vectors point
constexpr std::uint8_t kTrapEoi = 0xE0;        // ROM helper: end of interrupt for the master PIC
constexpr std::uint32_t kTicksPerDay = 0x1800B0;

// Register access by halves.
inline std::uint8_t lo(std::uint16_t v) { return static_cast<std::uint8_t>(v); }
inline std::uint8_t hi(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
inline void setLo(std::uint16_t& r, std::uint8_t v) { r = static_cast<std::uint16_t>((r & 0xFF00) | v); }
inline void setHi(std::uint16_t& r, std::uint8_t v) { r = static_cast<std::uint16_t>((r & 0x00FF) | (v << 8)); }

namespace bios {
std::uint16_t divideError(Machine& m);
std::uint16_t invalidOpcode(Machine& m);
std::uint16_t timerTick(Machine& m);
std::uint16_t keyboardIrq(Machine& m);
std::uint16_t endOfInterrupt(Machine& m);
std::uint16_t video(Machine& m);
std::uint16_t equipment(Machine& m);
std::uint16_t memorySize(Machine& m);
std::uint16_t system(Machine& m);
std::uint16_t keyboard(Machine& m);
std::uint16_t timeOfDay(Machine& m);
std::uint16_t fastConsoleOut(Machine& m);
// Text output used by the console: BIOS teletype on the active page.
void teletype(Machine& m, std::uint8_t ch, std::uint8_t page, std::uint8_t attribute, bool useAttribute);
void setMode(Machine& m, std::uint8_t mode, bool clear);
std::uint16_t videoSegment(const Machine& m);
}  // namespace bios

namespace dos {
std::uint16_t int20(Machine& m);
std::uint16_t int21(Machine& m);
std::uint16_t int27(Machine& m);
// True when INT 21h has function `ah`.
bool serves(std::uint8_t ah);
}  // namespace dos

}  // namespace krvs::pc
