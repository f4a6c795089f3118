// krvscmd: `krvscmd` reads commands from standard input; `krvscmd /c COMMAND` runs one and exits with its code.

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cmd/interpreter.h"

int main(int argc, char** argv) {
    krvs::cmd::Options options;
    options.interactiveTerminal = ::isatty(0);
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) options.toolsDir = std::filesystem::path(std::string(self, static_cast<std::size_t>(n))).parent_path();
    // Batch runs (tests, CI) may bound each DOS program; an interactive session runs them as long as they like.
    if (const char* limit = std::getenv("KRVSCMD_TIME_LIMIT_MS")) options.timeLimitMs = std::atoll(limit);
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
                command += (j > i + 1 ? " " : "") + (needsQuotes ? "\"" + word + "\"" : word);
            }
            int code = interpreter.runSingle(command);
            if (arg == "/k" || arg == "/K") return interpreter.runInteractive();
            return code & 0xFF;
        }
    }
    return interpreter.runInteractive() & 0xFF;
}
