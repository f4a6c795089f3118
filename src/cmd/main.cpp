// krvscmd: `krvscmd` reads commands from standard input; `krvscmd /c COMMAND` runs one and exits with its code.

#include <cstdlib>
#include <mutex>
#include <string>

#include "cmd/interpreter.h"
#include "pc/machine.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace {

// In a terminal, Ctrl-C ends the DOS program that runs, not the interpreter. The handler runs on a thread
// of its own, so it may lock and ask the machine to stop. Host programs get Ctrl-C back (the launcher
// starts them with it) and end as usual.
class CtrlC {
public:
    void install(krvs::cmd::Options& options) {
        krvs::platform::handleInterrupts([this] {
            std::lock_guard lock(m_mutex);
            if (m_running) m_running->requestStop();
        });
        options.onMachine = [this](krvs::pc::Machine* m) {
            std::lock_guard lock(m_mutex);
            m_running = m;
        };
    }

private:
    std::mutex m_mutex;
    krvs::pc::Machine* m_running = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    krvs::cmd::Options options;
    options.interactiveTerminal = krvs::platform::isTerminal(0);
    options.toolsDir = krvs::platform::executableDirectory();
    // Batch runs (tests, CI) may bound each DOS program; an interactive session runs them as long as they like.
    if (const char* limit = std::getenv("KRVSCMD_TIME_LIMIT_MS")) options.timeLimitMs = std::atoll(limit);
    static CtrlC ctrlC;
    if (options.interactiveTerminal) ctrlC.install(options);
    krvs::cmd::Interpreter interpreter(options);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "/c" || arg == "/C" || arg == "/k" || arg == "/K") {
            std::string command;
            // Arguments passed separately keep their blanks: such a word is quoted again, as it was typed.
            for (int j = i + 1; j < argc; ++j) {
                std::string word = argv[j];
                bool needsQuotes = word.find_first_of(" \t") != std::string::npos && word.find('"') == std::string::npos &&
                                   argc - i > 2;
                if (j > i + 1) command += ' ';
                if (needsQuotes) command += '"';
                command += word;
                if (needsQuotes) command += '"';
            }
            int code = interpreter.runSingle(command);
            if (arg == "/k" || arg == "/K") return interpreter.runInteractive();
            return code & 0xFF;
        }
    }
    return interpreter.runInteractive() & 0xFF;
}
