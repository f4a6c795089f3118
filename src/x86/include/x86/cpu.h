#pragma once
// The CPU interpreter's public contract. The emulated PC (src/pc) and DEBUG (src/debug) are written
// against this header; keep it stable and extend it rather than change it.

#include <atomic>
#include <cstdint>
#include <memory>

namespace krvs::x86 {

enum class CpuModel : std::uint8_t {
    I8086,   // the exact chip: undocumented behaviours, 0x60-0x6F and 0xC0/C1/C8/C9 aliases
    I80186,  // 8086 with the 80186 instructions: the default for running programs
    I80286,  // 80286 real mode
};

// Register numbers in ModR/M encoding order.
enum Reg16 : std::uint8_t { AX, CX, DX, BX, SP, BP, SI, DI };
enum SegReg : std::uint8_t { ES, CS, SS, DS };

namespace flag {
constexpr std::uint16_t CF = 0x0001, PF = 0x0004, AF = 0x0010, ZF = 0x0040, SF = 0x0080,
                        TF = 0x0100, IF = 0x0200, DF = 0x0400, OF = 0x0800;
}

struct Registers {
    std::uint16_t gp[8] = {};   // AX CX DX BX SP BP SI DI
    std::uint16_t seg[4] = {};  // ES CS SS DS
    std::uint16_t ip = 0;
    std::uint16_t flags = 0xF002;  // as the 8086 shows them: bits 12-15 and bit 1 set
};

// 1 MiB of address space; the 8086 wraps linear addresses at this size. The buffer handed to the CPU
// must hold kMemorySize + kMemoryGuard bytes so that a word access at FFFFFh needs no extra check.
constexpr std::uint32_t kMemorySize = 0x100000;
constexpr std::uint32_t kMemoryGuard = 16;

// Opcode that ROM stubs use to call into the host: F1 xx at a linear address at or above
// kHostTrapBase traps with number xx. Elsewhere F1 behaves as on the chip (a LOCK alias).
constexpr std::uint8_t kHostTrapOpcode = 0xF1;
constexpr std::uint32_t kHostTrapBase = 0xF0000;

class Cpu;
namespace interp {
struct Exec;
struct State;
struct DecodedCache;
}

class Bus {
public:
    virtual ~Bus() = default;
    virtual std::uint8_t portIn8(std::uint16_t port) = 0;
    virtual void portOut8(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint16_t portIn16(std::uint16_t port) {
        return static_cast<std::uint16_t>(portIn8(port) | (portIn8(port + 1) << 8));
    }
    virtual void portOut16(std::uint16_t port, std::uint16_t value) {
        portOut8(port, static_cast<std::uint8_t>(value));
        portOut8(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
    }
    // Interrupt acknowledge: called when the INTR line is raised (Cpu::setIntr) and IF allows it.
    // Returns the vector, or -1 when the request went away.
    virtual int acknowledgeInterrupt() { return -1; }
    // A ROM stub executed F1 xx. IP already points past the two bytes. Return false to make
    // run() return StopReason::HostRequest after this instruction (e.g. to wait for a key).
    virtual bool hostTrap(Cpu& cpu, std::uint8_t number) = 0;
};

enum class StopReason : std::uint8_t {
    InstructionLimit,  // executed the number asked for
    StopRequested,     // requestStop() from any thread
    Halted,            // HLT with no interrupt to wake it
    HostRequest,       // a host trap asked to stop
};

class Cpu {
public:
    Cpu(std::uint8_t* memory, Bus& bus, CpuModel model);
    ~Cpu();
    // Its state points back at it (host traps, interrupts), so a Cpu stays where it was made.
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    Registers& regs() { return m_regs; }
    const Registers& regs() const { return m_regs; }
    CpuModel model() const { return m_model; }
    void setModel(CpuModel model) { m_model = model; }
    std::uint8_t* memory() { return m_mem; }

    // Executes up to maxInstructions instructions (interrupt entries count as none).
    StopReason run(std::uint64_t maxInstructions);
    // One instruction, with its prefixes, and the trap/interrupt checks that follow it on the chip.
    StopReason step() { return run(1); }
    // Thread-safe: run() returns StopRequested at the next instruction boundary. A request made while
    // no run() is active ends the next run() before its first instruction; either way it is used up.
    void requestStop() { m_signals.fetch_or(kSignalStop, std::memory_order_relaxed); }
    // Takes back a request no run() has used up, and nothing else: unlike run(0), it never enters an
    // interrupt that is pending meanwhile.
    void cancelStop() { m_signals.fetch_and(static_cast<std::uint8_t>(~kSignalStop), std::memory_order_relaxed); }
    // The INTR line, driven by the PIC; sampled between instructions when IF is set.
    void setIntr(bool raised) {
        if (raised) {
            m_signals.fetch_or(kSignalIntr, std::memory_order_relaxed);
        } else {
            m_signals.fetch_and(static_cast<std::uint8_t>(~kSignalIntr), std::memory_order_relaxed);
        }
    }
    // Enters interrupt `vector` now, as INT n does (pushes FLAGS, CS, IP; clears IF and TF).
    void interrupt(std::uint8_t vector);
    bool halted() const { return m_halted; }
    // Writes by the CPU at or above `linear` (e.g. the PC's BIOS/DOS ROM) are ignored, as a real ROM
    // ignores them; nothing the program does can change those bytes. kMemorySize (the default) drops none.
    void setWriteLimit(std::uint32_t linear) { m_writeLimit = linear < kMemorySize ? linear : kMemorySize; }
    std::uint32_t writeLimit() const { return m_writeLimit; }
    // Whether a write was ignored by the limit since the last call; the call clears it.
    bool takeIgnoredWrite() {
        const bool was = m_ignoredWrite;
        m_ignoredWrite = false;
        return was;
    }
    // Instructions executed so far; during a run (from a Bus call) it shows the count at its start.
    std::uint64_t instructionCount() const { return m_count; }

private:
    bool afterSpecial(interp::Exec& x);
    interp::DecodedCache& decodedCache();
    StopReason finishRun(interp::Exec& x, std::uint64_t count, StopReason reason);

    std::uint8_t* m_mem;
    Bus& m_bus;
    CpuModel m_model;
    // The registers, the signals and the decoded instructions live together (cpu.cpp); the references
    // below are into them.
    std::unique_ptr<interp::State> m_state;
    Registers& m_regs;
    // The stop request and the INTR line share one atomic so that the run loop tests both at once.
    static constexpr std::uint8_t kSignalStop = 1, kSignalIntr = 2;
    std::atomic<std::uint8_t>& m_signals;
    bool m_halted = false;
    bool m_ignoredWrite = false;
    std::uint32_t m_writeLimit = kMemorySize;
    std::uint64_t m_count = 0;
    // Set after MOV SS, POP SS and STI: the next instruction runs before any interrupt or trap,
    // also when it is the first one of the next run().
    bool m_inhibit = false;
};

}  // namespace krvs::x86
