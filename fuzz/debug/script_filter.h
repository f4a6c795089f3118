#pragma once
// The fuzz target's input made into a DEBUG script without the commands that run the program or touch
// files (G, P, T, L, N, W, Q): an endless program is not a parser fault, and files are no business of a
// fuzzer. Each line is taken as DEBUG's console reads it, with its line editing (backspace, delete, the
// 79-character limit), and the edited line is what is judged: "U\b g5" is the command "g5". The script
// holds only edited lines, which read back unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "debug/console.h"
#include "pc/stream.h"

namespace krvs::debug::fuzz {

inline bool runsOrTouchesFiles(const std::string& line) {
    const auto b = line.find_first_not_of(" \t,");
    if (b == std::string::npos) return false;
    const char c = static_cast<char>(line[b] & ~0x20);
    return c == 'G' || c == 'P' || c == 'T' || c == 'L' || c == 'N' || c == 'W' || c == 'Q';
}

inline std::string safeScript(const std::uint8_t* data, std::size_t size) {
    std::string raw;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] != '\n') raw.push_back(static_cast<char>(data[i]));  // a LF would split the echo across lines
    pc::StringSource in(raw);
    pc::StringSink echo;
    Console console(in, echo, false);
    std::string script, line;
    for (bool more = true; more;) {
        more = console.readLine(line);
        if ((more || !line.empty()) && !runsOrTouchesFiles(line)) script += line + '\r';
    }
    return script;
}

}  // namespace krvs::debug::fuzz
