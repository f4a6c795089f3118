#pragma once
// The emulated PC: CPU, memory, devices, BIOS and DOS. BIOS and DOS services are host functions reached
// through ROM stubs that the vector table points to, so programs read, replace and chain vectors as on a
// real PC. A driver (krvscmd, DEBUG, the console window) loads a program, then runs or steps it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pc/devices.h"
#include "pc/drive.h"
#include "pc/memory.h"
#include "pc/screen.h"
#include "pc/stream.h"
#include "x86/cpu.h"

namespace krvs::pc {

struct MachineConfig {
    std::filesystem::path driveRoot = ".";  // drive C:
    ByteSource* input = nullptr;   // stream front end: keys are the bytes of this stream
    ByteSink* output = nullptr;    // stream front end: console output; null puts it on the text screen
    int stdinFd = -1;              // host files that DOS handles 0 and 1 stand for instead of CON
    int stdoutFd = -1;
    std::time_t clockStart = 0;    // the time of day at power-on; 0 takes the host's clock
    x86::CpuModel model = x86::CpuModel::I80186;
};

struct RunLimits {
    std::uint64_t maxInstructions = 0;  // 0: no limit
    std::int64_t timeLimitMs = 0;       // host time; 0: no limit
};

enum class RunOutcome : std::uint8_t {
    Exited,            // the program terminated (exitCode() holds its return code)
    Stopped,           // requestStop()
    InstructionLimit,
    TimeLimit,
    InputEnded,        // the program waits for a key and the input stream has ended
    Halted,            // HLT with interrupts disabled: nothing can ever wake the CPU
};

struct LoadResult {
    bool ok = false;
    std::string error;
    std::uint16_t dosError = 0;  // what EXEC tells a program that asked for this load
};

// How a program ended, as function 4Dh reports it in AH.
enum class Termination : std::uint8_t { Normal = 0, CtrlBreak = 1, CriticalError = 2, Resident = 3 };

// F000:0000-0FFF is ROM that a debugger may put its own trap code and scratch stack into; from F000:1000 on,
// where the BIOS and DOS entry points are, the ROM is read-only.
constexpr std::uint16_t kRomWritableSize = 0x1000;

struct DosState;
class Services;

// What a driver (krvscmd, DEBUG, the console window) sees: loading, running and stopping a program, keys,
// the screen, registers and memory, and drive C:. The BIOS and DOS reach the rest (devices, DOS's own
// state, the clock, the program's termination) through their service context, which only the pc library
// sees.
class Machine : public x86::Bus {
public:
    explicit Machine(MachineConfig config);
    ~Machine() override;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Loads a .COM or MZ program with its command tail, ready to run or step; nothing runs yet. A machine
    // runs one program after another as a DOS session does: a program that has not ended is ended first,
    // the memory of each ended program is free again, and the screen, the BIOS data and the vectors a
    // resident program set stay as they were.
    LoadResult load(const std::filesystem::path& program, const std::string& args);
    LoadResult loadImage(const std::vector<std::uint8_t>& file, const std::string& dosName, const std::string& args);

    // What the next program loaded sees as drive C: (its own directory) and as standard input and output
    // (host files, -1 for the console).
    void setDriveRoot(const std::filesystem::path& root);
    void setStandardFiles(int stdinFd, int stdoutFd);
    // Ends a loaded program that has not ended (stopped, or out of time) as DOS would end it: its files
    // are closed and its memory is free again. Nothing happens when no program is loaded.
    void releaseProgram();

    RunOutcome run(const RunLimits& limits = {});
    // One instruction (with any interrupt it takes), waiting for input when the instruction needs a key.
    RunOutcome step();
    // From any thread: run() and step() return at the next instruction boundary, also while waiting for a key.
    void requestStop();
    // From any thread: a key press for the text-screen front end (make and break codes go through IRQ1).
    void pushKey(std::uint8_t scan, std::uint8_t ascii);
    // While no program runs: waits for the next key pushed; nullopt when a stop was requested instead (the
    // request is used up). For a command interpreter that reads its lines on the text screen.
    struct Key { std::uint8_t scan, ascii; };
    std::optional<Key> waitForPushedKey();
    // Clears the text screen and puts the cursor home, as CLS does.
    void clearScreen();
    // Before run(): paces the CPU to this many instructions per second of host time (0: as fast as the host
    // allows, the default). Emulated time still advances by instructions, so programs see no difference.
    void setSpeed(std::uint64_t instructionsPerSecond);

    x86::Cpu& cpu() { return *m_cpu; }
    x86::Registers& regs() { return m_cpu->regs(); }
    Memory& memory() { return m_mem; }
    const Memory& memory() const { return m_mem; }
    // May be called from another thread while the machine runs: it copies video memory without a lock, so a
    // snapshot taken mid-write can mix two moments, which a console window redraws away on its next poll.
    TextScreen screen() const;
    bool exited() const { return m_exited; }
    std::uint8_t exitCode() const { return m_exitCode; }
    std::uint16_t pspSegment() const { return m_psp; }
    std::uint64_t instructions() const { return m_cpu->instructionCount(); }
    // Things the user should know that the program cannot see: services it asked for that do not exist,
    // faults that ended it.
    const std::vector<std::string>& notes() const { return m_notes; }

    // Ports with handlers, for the devices and for tests that add their own.
    using PortIn = std::function<std::uint8_t(std::uint16_t)>;
    using PortOut = std::function<void(std::uint16_t, std::uint8_t)>;
    void registerPort(std::uint16_t port, PortIn in, PortOut out);

    // x86::Bus; a debugger's I and O commands use the ports too.
    std::uint8_t portIn8(std::uint16_t port) override;
    void portOut8(std::uint16_t port, std::uint8_t value) override;

    // Drive C: as the running program sees it, for a debugger's file commands (DEBUG's N, L and W).
    Drive& drive() { return *m_drive; }
    // Console output: the output stream, or teletype onto the text screen (a command interpreter's prompt).
    void consoleWrite(const std::uint8_t* data, std::size_t size);

private:
    friend class Services;

    // x86::Bus: only the CPU asks for interrupts and traps into the services.
    int acknowledgeInterrupt() override;
    bool hostTrap(x86::Cpu& cpu, std::uint8_t number) override;

    // ---- what the BIOS and DOS reach through Services ----
    Pic& pic() { return m_pic; }
    Pit& pit() { return m_pit; }
    KeyboardController& keyboard() { return m_kbc; }
    const MachineConfig& config() const { return m_config; }
    void note(const std::string& text);
    void updateInterruptLine();
    void serviceKeyboard();
    // The time the machine shows: power-on time plus emulated time plus what DOS set.
    std::time_t now() const;
    std::tm localNow() const;
    void adjustClock(std::int64_t seconds) { m_clockOffset += seconds; }
    std::uint64_t clocks() const { return m_clocks; }
    // Sets or clears flag bits in the FLAGS image that the stub's IRET will restore.
    void setReturnFlag(std::uint16_t mask, bool on);
    void terminate(std::uint8_t code, Termination how = Termination::Normal);
    void setCurrentPsp(std::uint16_t psp) { m_psp = psp; }
    // Console keyboard: the BIOS buffer first, then the input stream's next byte (fed through IRQ1).
    // Returns the key (scan << 8 | ascii), or kServiceRetry / kServiceWait, or -1 when none and !wait.
    int consoleKey(bool wait, bool remove);
    bool inputEnded() const { return m_inputEnded; }
    DosState& dos() { return *m_dos; }

    void registerDevicePorts();
    void installRom();
    void initBiosData();
    void initDos();
    RunOutcome runSlices(const RunLimits& limits, bool single);
    bool waitForInput(const RunLimits& limits, RunOutcome& outcome);
    void advanceTime(std::uint64_t clocks);
    void movePushedKeys();
    void feedHookedKeyboard();
    bool consumeStop();
    void idleBriefly();
    void noteRomWrites();
    void pace();

    MachineConfig m_config;
    Memory m_mem;
    std::unique_ptr<x86::Cpu> m_cpu;
    Pic m_pic;
    Pit m_pit;
    KeyboardController m_kbc;
    Cmos m_cmos;
    std::uint8_t m_port61 = 0;
    std::uint8_t m_crtcIndex = 0;
    std::uint8_t m_retrace = 0;
    std::unordered_map<std::uint16_t, std::pair<PortIn, PortOut>> m_ports;
    std::unique_ptr<Drive> m_drive;
    std::unique_ptr<DosState> m_dos;

    std::uint64_t m_clocks = 0;
    std::time_t m_powerOn = 0;
    std::int64_t m_clockOffset = 0;
    std::uint16_t m_psp = 0;
    bool m_exited = false;
    std::uint8_t m_exitCode = 0;
    bool m_waiting = false;        // a service asked to wait for input
    bool m_inputEnded = false;
    std::optional<std::uint8_t> m_streamByte;  // read from the stream, not yet handed to the keyboard
    std::vector<std::string> m_notes;

    std::atomic<bool> m_stop{false};
    std::mutex m_keyMutex;
    std::condition_variable m_keyCv;
    std::deque<std::pair<std::uint8_t, std::uint8_t>> m_pushedKeys;

    std::uint64_t m_speed = 0;  // instructions per second; 0: unpaced
    std::chrono::steady_clock::time_point m_paceStart;
    std::uint64_t m_paceBase = 0;
};

}  // namespace krvs::pc
