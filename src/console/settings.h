#pragma once
// The console window's settings (TD.Pif beside Rtm.EXe) and the debugger window's (TDConfig.TD beside
// TD.Exe): plain text, one "key = value" a line, ';' starts a comment. A missing file is written with the
// defaults so the user finds every key to edit; a bad value keeps its default and is reported.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "x86/cpu.h"

namespace krvs::console {

struct ConsoleSettings {
    std::string font = "Courier New";  // code page 437 text; Chinese characters fall back to a CJK font
    int cellHeight = 20;               // pixels per text row at the window's start size
    int codePage = 936;                // 936 shows GBK pairs as Chinese, 437 every byte on its own
    std::uint64_t speed = 0;           // emulated instructions per second; 0 runs as fast as the host can
    x86::CpuModel cpu = x86::CpuModel::I80186;
    int refreshMs = 20;                // how often the window redraws the changed cells
};

enum class SettingsKind : std::uint8_t { Console, Debugger };

struct SettingsResult {
    ConsoleSettings settings;
    std::vector<std::string> problems;  // one line each, for the user
};

// Reads the file, or writes it with the defaults when it does not exist (atomically: a temporary file
// renamed into place), then returns the settings.
SettingsResult loadSettings(const std::filesystem::path& file, SettingsKind kind);
// The text of a file holding the defaults.
std::string defaultSettingsText(SettingsKind kind);
// Writes the default file when none exists; returns an error text or "".
std::string writeDefaultSettings(const std::filesystem::path& file, SettingsKind kind);

const char* cpuName(x86::CpuModel model);

}  // namespace krvs::console
