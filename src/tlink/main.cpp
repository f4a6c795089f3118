// TLink.Exe: the command-line front end of the linker.
#include <filesystem>
#include <string_view>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "tlink/driver.h"

#include "platform/paths.h"

namespace {

// TLink.CFG is looked for beside the tool as the user started it: the IDE writes it into its own Bin/
// directory, which may hold a link to the installed tool.
std::filesystem::path toolDirectory(const char* argv0) {
    // A path as started (with a slash) names the link itself; resolving it would find the install folder.
    if (std::string_view(argv0).find('/') != std::string_view::npos) {
        std::error_code ec;
        std::filesystem::path given = std::filesystem::absolute(argv0, ec);
        if (!ec) return given.parent_path();
    }
    std::string dir = krvs::platform::executableDirectory();
    if (!dir.empty()) return dir;
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::error_code ec;
    auto currentDir = std::filesystem::current_path(ec);
    return krvs::tlink::runTool(args, currentDir, toolDirectory(argv[0]), std::cout);
}
