#pragma once
// What Rtm.EXe and TD.Exe share in their start: where the tool lives, its command line, its settings file.

#include <filesystem>
#include <string>

#include "settings.h"

namespace krvs::console {

// The directory of the path the tool was started with (a link in Bin/ stays in Bin/), else of the
// running executable.
std::filesystem::path toolDirectory(const char* argv0);
// Arguments from `first` on as one command line; a word with blanks is quoted again, as it was typed.
std::string joinArguments(int argc, char** argv, int first);
// The settings file beside the tool (any letter case), read or created with the defaults; problems go to
// standard error.
ConsoleSettings toolSettings(const std::filesystem::path& dir, const char* fileName, SettingsKind kind);
// Handles "--write-default-settings" (the build writes the default file into Bin/ that way).
bool writeDefaultsRequested(int argc, char** argv, const std::filesystem::path& dir, const char* fileName,
                            SettingsKind kind, int& exitCode);

}  // namespace krvs::console
