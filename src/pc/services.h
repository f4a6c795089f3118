#pragma once
// Private to the pc library: the BIOS and DOS service functions and the addresses they share.

#include <cstdint>

#include "pc/machine.h"

namespace krvs::pc {

// The machine as the BIOS and DOS services see it. Only the pc library has this header, so the devices,
// DOS's own state, the clock and ending a program are not part of what krvscmd, DEBUG or the console
// window can reach. Cheap to make: it is a view of one machine.
class Services {
public:
    explicit Services(Machine& machine) : m_machine(machine) {}

    x86::Registers& regs() { return m_machine.regs(); }
    Memory& memory() { return m_machine.memory(); }
    const Memory& memory() const { return m_machine.memory(); }
    std::uint16_t pspSegment() const { return m_machine.pspSegment(); }
    Drive& drive() { return m_machine.drive(); }
    DosState& dos() { return m_machine.dos(); }
    Pic& pic() { return m_machine.pic(); }
    Pit& pit() { return m_machine.pit(); }
    KeyboardController& keyboard() { return m_machine.keyboard(); }
    const MachineConfig& config() const { return m_machine.config(); }

    void note(const std::string& text) { m_machine.note(text); }
    void updateInterruptLine() { m_machine.updateInterruptLine(); }
    void serviceKeyboard() { m_machine.serviceKeyboard(); }
    std::time_t now() const { return m_machine.now(); }
    std::tm localNow() const { return m_machine.localNow(); }
    void adjustClock(std::int64_t seconds) { m_machine.adjustClock(seconds); }
    std::uint64_t clocks() const { return m_machine.clocks(); }
    void setReturnFlag(std::uint16_t mask, bool on) { m_machine.setReturnFlag(mask, on); }
    void terminate(std::uint8_t code, Termination how = Termination::Normal) { m_machine.terminate(code, how); }
    void setCurrentPsp(std::uint16_t psp) { m_machine.setCurrentPsp(psp); }
    int consoleKey(bool wait, bool remove) { return m_machine.consoleKey(wait, remove); }
    void consoleWrite(const std::uint8_t* data, std::size_t size) { m_machine.consoleWrite(data, size); }
    void consoleWrite(std::uint8_t byte) { m_machine.consoleWrite(&byte, 1); }
    bool inputEnded() const { return m_machine.inputEnded(); }
    std::uint8_t portIn8(std::uint16_t port) { return m_machine.portIn8(port); }
    void portOut8(std::uint16_t port, std::uint8_t value) { m_machine.portOut8(port, value); }

private:
    Machine& m_machine;
};

// A BIOS or DOS service. Returns 0, a DOS error code, or one of the codes below.
using ServiceFn = std::uint16_t (*)(Services&);
constexpr std::uint16_t kServiceRetry = 0xFFFE;  // re-execute the stub once pending interrupts have run
constexpr std::uint16_t kServiceWait = 0xFFFF;   // re-execute the stub after waiting for input

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
std::uint16_t divideError(Services& m);
std::uint16_t invalidOpcode(Services& m);
std::uint16_t timerTick(Services& m);
std::uint16_t keyboardIrq(Services& m);
std::uint16_t endOfInterrupt(Services& m);
std::uint16_t video(Services& m);
std::uint16_t equipment(Services& m);
std::uint16_t memorySize(Services& m);
std::uint16_t system(Services& m);
std::uint16_t keyboard(Services& m);
std::uint16_t timeOfDay(Services& m);
std::uint16_t fastConsoleOut(Services& m);
// Text output used by the console: BIOS teletype on the active page.
void teletype(Services& m, std::uint8_t ch, std::uint8_t page, std::uint8_t attribute, bool useAttribute);
void setMode(Services& m, std::uint8_t mode, bool clear);
std::uint16_t videoSegment(const Memory& memory);
}  // namespace bios

namespace dos {
std::uint16_t int20(Services& m);
std::uint16_t int21(Services& m);
std::uint16_t int27(Services& m);
// True when INT 21h has function `ah`.
bool serves(std::uint8_t ah);
}  // namespace dos

}  // namespace krvs::pc
