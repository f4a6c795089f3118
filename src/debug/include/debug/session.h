#pragma once
// A DEBUG session: the emulated PC with the program under test, the command loop and its commands.
// Commands are looked up in a table by their letter; each one parses its parameters and returns either
// success or the column for "^ Error". The session reads and writes only through its Console.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "debug/console.h"
#include "debug/parser.h"
#include "pc/machine.h"

namespace krvs::debug {

// What a command handler reports: nothing to add, or the column of the bad character.
struct CommandResult {
    int errorColumn = -1;
    bool quit = false;

    static CommandResult ok() { return {}; }
    static CommandResult error(int column) { return {column, false}; }
};

struct SessionOptions {
    std::filesystem::path driveRoot = ".";
    x86::CpuModel model = x86::CpuModel::I80186;
    std::time_t clockStart = 0;
};

// How a run under DEBUG's control came back.
enum class StopKind : std::uint8_t {
    Trap,        // one instruction traced
    Breakpoint,  // an INT 3 (ours or the program's)
    Terminated,  // the program ended
    InputEnded,  // it waits for a key and the input has ended
    Halted,      // HLT with interrupts off, or a stop request
};

class Session {
public:
    Session(Console& console, SessionOptions options = {});
    ~Session();

    // Loads the program named on the command line with its arguments, as DEBUG name args does. Returns
    // the error text to show, empty when it loaded.
    std::string start(const std::string& program, const std::string& args);
    // The command loop: prompt, read, execute, until Q or the end of the input. Returns the exit code.
    int run();
    // Executes one command line (without its CR); output goes to the console.
    CommandResult execute(const std::string& line);

    // From any thread (not a signal handler): ends a running G, P or T at the next instruction boundary,
    // also while the program waits for a key (Ctrl-C in a terminal). Does nothing at DEBUG's prompt.
    void interrupt();

    pc::Machine& machine() { return *m_machine; }
    x86::Registers& regs() { return m_machine->regs(); }
    Console& console() { return m_console; }

    // ---- used by the command handlers ----
    struct Defaults {
        Address dump, unassemble, assemble;
    };
    Defaults& defaults() { return m_defaults; }
    std::string& fileName() { return m_fileName; }
    std::string& fileArgs() { return m_fileArgs; }
    bool terminated() const { return m_terminated; }

    // Execution: T, P and G share these.
    StopKind trace();
    StopKind proceed();
    StopKind go(const std::vector<Address>& breakpoints);
    // After a stop: the blank line and registers, or the end-of-program message.
    void reportStop(StopKind kind);

    // N: the command tail and the FCBs of the current PSP, and AL/AH.
    void setProgramName(const std::string& text);
    // L of the N file: returns the error text or "".
    std::string loadFile(std::optional<Address> at);
    void printError(int column, std::size_t promptWidth = 1);
    // The command line as typed (original case), for the file names of N.
    const std::string& rawLine() const { return m_rawLine; }

private:
    void newMachine();
    // Puts a file's bytes where L puts them: a .COM or .EXE into a fresh machine, others raw at `at`.
    std::string place(const std::vector<std::uint8_t>& file, std::optional<Address> at);
    void freshPsp();
    void installDebugVectors();
    StopKind runUntilStop(bool trapFlag);
    StopKind simulateInterrupt(std::uint8_t vector, std::uint16_t returnIp);
    void unhalt();

    Console& m_console;
    SessionOptions m_options;
    std::unique_ptr<pc::Machine> m_machine;
    Defaults m_defaults;
    std::string m_fileName;
    std::string m_fileArgs;
    std::string m_rawLine;
    bool m_terminated = false;
    // interrupt() comes from another thread; the lock keeps the machine from being replaced under it.
    std::mutex m_runMutex;
    bool m_running = false;
};

// The table of commands: letter, handler.
using CommandFn = CommandResult (*)(Session&, LineParser&);
struct CommandEntry {
    char letter;
    CommandFn fn;
};
const std::vector<CommandEntry>& commandTable();

}  // namespace krvs::debug
