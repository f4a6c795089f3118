#include "tool_main.h"

#include <cstdio>
#include <cstring>

#include "platform/dosnames.h"
#include "platform/paths.h"

namespace krvs::console {

namespace fs = std::filesystem;

fs::path toolDirectory(const char* argv0) {
    std::error_code ec;
    if (argv0 && std::strchr(argv0, '/')) {
        fs::path p = fs::absolute(argv0, ec);
        if (!ec) return p.parent_path();
    }
    if (const std::string self = platform::executablePath(); !self.empty()) return fs::path(self).parent_path();
    return fs::current_path(ec);
}

std::string joinArguments(int argc, char** argv, int first) {
    std::string line;
    for (int i = first; i < argc; ++i) {
        std::string word = argv[i];
        bool quote = word.find_first_of(" \t") != std::string::npos && word.find('"') == std::string::npos;
        if (!line.empty()) line += ' ';
        line += quote ? "\"" + word + "\"" : word;
    }
    return line;
}

ConsoleSettings toolSettings(const fs::path& dir, const char* fileName, SettingsKind kind) {
    fs::path file = platform::resolveNoCase((dir / fileName).string());
    SettingsResult r = loadSettings(file, kind);
    for (const auto& p : r.problems) std::fprintf(stderr, "%s: %s\n", fileName, p.c_str());
    return r.settings;
}

bool writeDefaultsRequested(int argc, char** argv, const fs::path& dir, const char* fileName, SettingsKind kind,
                            int& exitCode) {
    if (argc != 2 || std::strcmp(argv[1], "--write-default-settings") != 0) return false;
    fs::path file = platform::resolveNoCase((dir / fileName).string());
    std::string e = writeDefaultSettings(file, kind);
    if (!e.empty()) std::fprintf(stderr, "%s\n", e.c_str());
    exitCode = e.empty() ? 0 : 1;
    return true;
}

}  // namespace krvs::console
