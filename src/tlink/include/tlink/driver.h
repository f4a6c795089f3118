// TLink.Exe as a function: reads TLink.CFG (current directory, then the tool's directory), the command line
// and response files, links, prints the messages and writes the outputs. Returns the exit code:
// 0 linked (warnings allowed), 1 errors, 2 a fatal condition. After an error no program file is left behind.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace krvs::tlink {

inline constexpr const char* kBanner = "Korvash Link  Version 1.0  Copyright (c) 2026 Korvash";
inline constexpr const char* kConfigName = "TLink.CFG";

int runTool(const std::vector<std::string>& args, const std::filesystem::path& currentDir,
            const std::filesystem::path& toolDir, std::ostream& out);

}  // namespace krvs::tlink
