#pragma once
// krvscmd: the command interpreter the IDE drives through a pipe and the console window runs batch files
// with. It reads standard input one byte at a time and never ahead, so a program it starts receives every
// byte that follows its command line.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/hostfs.h"

namespace krvs::pc {
class Machine;
class ByteSource;
class ByteSink;
}

namespace krvs::cmd {

struct Options {
    int inputFd = 0;
    int outputFd = 1;
    int errorFd = 2;
    bool interactiveTerminal = false;      // standard input is a terminal: lines are not echoed back
    std::filesystem::path toolsDir;        // where the interpreter lives; searched after the current directory
    // The text screen and keys pushed into the machine (a console window) instead of the byte streams on
    // inputFd and outputFd: DOS programs use them, and so do the interpreter's prompt, echo and pause.
    bool screenFrontEnd = false;
    // Limits for each DOS program (0: none), for batch runs that must end.
    std::uint64_t maxInstructions = 0;
    std::int64_t timeLimitMs = 0;
    // Told of the machine a DOS program runs in (and of nullptr when it has ended), so a front end can stop it
    // or look at its screen from another thread.
    std::function<void(pc::Machine*)> onMachine;
    // On the text screen: turns the interpreter's own messages (UTF-8) into the bytes the screen shows
    // (a console window passes a GBK encoder). Unset, the bytes go to the screen as they are.
    std::function<std::string(const std::string&)> screenText;
};

// A command line split into words, with its redirections taken out.
struct CommandLine {
    std::vector<std::string> words;  // quotes removed
    std::string rest;                // the text after the first word, as typed (trimmed), for echo and programs
    std::string inputFile, outputFile;
    bool append = false;
    std::string error;               // a redirection without a file name
};
CommandLine parseCommandLine(const std::string& line);
std::string expandPrompt(const std::string& prompt, const std::string& directory);

class Interpreter {
public:
    explicit Interpreter(Options options);
    ~Interpreter();
    // Reads and runs lines until standard input ends or the outermost level exits; returns the exit code.
    int runInteractive();
    // `krvscmd /c COMMAND`: one command, no prompt and no echo; returns its exit code.
    int runSingle(const std::string& command);

    // Runs one line as typed (used by batch files and tests).
    void execute(const std::string& line);
    int errorLevel() const { return m_errorLevel; }

    // Output helpers for the commands.
    void write(const std::string& text);
    void writeError(const std::string& text);
    bool readLine(std::string& line);
    bool readKey();

    // A nested interpreter has its own prompt, echo state and current directory, as a child process would.
    struct Level {
        std::string prompt = "$P$G";
        bool echo = true;
        std::filesystem::path outerDirectory;  // restored when this level exits
    };
    Level& level() { return m_levels.back(); }
    void pushLevel();
    void popLevel();
    bool finished() const { return m_levels.empty(); }
    void setErrorLevel(int code) { m_errorLevel = code; }
    const Options& options() const { return m_options; }
    void runBatch(const std::filesystem::path& file, const std::vector<std::string>& args);
    void clearScreen();
    bool inBatch() const { return !m_batchDirs.empty(); }
    // Opens a redirection target: a host path typed at the prompt, a DOS name inside the batch file's own
    // directory in a batch file; NUL in any letter case is the null device. Not open when it cannot be opened.
    platform::File openRedirection(const std::string& name, bool output, bool append) const;
    // The PC the session's DOS programs run in, one after another, as in one DOS session: the screen, the
    // BIOS data and a resident program's vectors stay from program to program. Created on first use; a
    // console window shows its screen and pushes keys into it.
    pc::Machine& machine();

private:
    void printPrompt();
    void writeScreen(const std::string& text);
    bool readScreenLine(std::string& line);
    bool runBuiltin(const std::string& line, const CommandLine& cmd);
    Options m_options;
    std::vector<Level> m_levels{Level{}};
    int m_errorLevel = 0;
    // The directories of the batch files being run, innermost last. A batch file may have been written by a
    // DOS program, so what it runs and where it redirects stays inside what a DOS program can reach.
    std::vector<std::filesystem::path> m_batchDirs;
    bool m_outputRedirected = false;  // a built-in command's output goes to a file
    std::unique_ptr<pc::ByteSource> m_keys;
    std::unique_ptr<pc::ByteSink> m_console;
    std::unique_ptr<pc::Machine> m_machine;
};

// Finds a program as DOS does: the name as given, then with .exe, .com, .bat, letter case ignored; in the
// current directory, the interpreter's directory, then PATH. Empty when there is none.
std::filesystem::path findProgram(const std::string& name, const std::filesystem::path& toolsDir);

enum class ProgramKind : std::uint8_t { Dos, Host, Batch, Unknown };
ProgramKind classify(const std::filesystem::path& file);

// Runs a program with the given redirections; returns its exit code, or -1 with `error` set.
int runProgram(Interpreter& interp, const std::filesystem::path& file, const CommandLine& cmd, std::string& error);

}  // namespace krvs::cmd
