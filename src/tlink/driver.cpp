#include "tlink/driver.h"

#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>

#include "platform/dosnames.h"
#include "platform/files.h"
#include "tlink/dospath.h"
#include "tlink/linker.h"
#include "tlink/options.h"

namespace krvs::tlink {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readText(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    return platform::readFile(path.string());
}

// Only the file name's case is folded: the directories are real paths already, and folding each of their
// components would list every directory from the root at every start when there is no TLink.CFG.
std::optional<fs::path> findConfig(const fs::path& currentDir, const fs::path& toolDir) {
    for (const auto& dir : {currentDir, toolDir}) {
        if (dir.empty()) continue;
        if (auto path = platform::findNoCase((dir / kConfigName).string())) return fs::path(*path);
    }
    return std::nullopt;
}

void print(std::ostream& out, const std::string& line) { out << line << "\r\n"; }

int fatal(std::ostream& out, const std::string& text) {
    print(out, formatMessage(Message{Severity::Fatal, text}));
    out.flush();
    return 2;
}

// The map and the program are remade by the next link: replaced atomically, without waiting for the disk.
bool writeOutput(const fs::path& path, std::string_view bytes) {
    return platform::writeFileAtomic(path.string(), bytes, platform::Durability::Regenerable).empty();
}

}  // namespace

int runTool(const std::vector<std::string>& args, const fs::path& currentDir, const fs::path& toolDir,
            std::ostream& out) {
    print(out, kBanner);
    CommandLine commandLine([&](const std::string& name) { return readText(resolveDosPath(name, currentDir)); });
    auto config = findConfig(currentDir, toolDir);
    // Started with nothing to do, or asked for help: the usage text. With a TLink.CFG present a missing
    // object list stays a fatal error, since the IDE judges a link by the words "Error" and "Fatal".
    if ((args.empty() && !config) || (args.size() == 1 && (args[0] == "/?" || args[0] == "-?"))) {
        out << helpText();
        out.flush();
        return 0;
    }
    if (config) {
        auto text = readText(*config);
        if (!text) return fatal(out, "Unable to open file '" + config->string() + "'");
        commandLine.addConfig(*text);
    }
    commandLine.addArguments(args);
    LinkRequest request;
    if (auto error = commandLine.finish(request)) return fatal(out, *error);
    for (const auto& library : request.libraries) {
        if (!readText(resolveDosPath(library, currentDir))) return fatal(out, "Unable to open file '" + library + "'");
        return fatal(out, "Library files are not supported: " + library);
    }

    std::vector<LinkInput> inputs;
    for (const auto& name : request.objects) {
        auto text = readText(resolveDosPath(name, currentDir));
        if (!text) return fatal(out, "Unable to open file '" + name + "'");
        inputs.push_back(LinkInput{fs::path(name).filename().string(), std::vector<std::uint8_t>(text->begin(), text->end())});
    }

    LinkResult result = link(inputs, request.options);
    for (const auto& message : result.messages) print(out, formatMessage(message));

    bool isFatal = false;
    for (const auto& m : result.messages) isFatal = isFatal || m.severity == Severity::Fatal;
    // The map carries the errors of a link that got as far as a layout; a fatal condition leaves none.
    if (request.options.map && !isFatal && !result.map.empty() &&
        !writeOutput(resolveDosPath(request.map, currentDir), result.map))
        return fatal(out, "Unable to create file '" + request.map + "'");
    fs::path exePath = resolveDosPath(request.exe, currentDir);
    if (!result.ok) {
        std::error_code ec;
        fs::remove(exePath, ec);  // a program left from an earlier link would not match the sources
        out.flush();
        return isFatal ? 2 : 1;
    }
    const std::string_view program(reinterpret_cast<const char*>(result.program.data()), result.program.size());
    if (!writeOutput(exePath, program))
        return fatal(out, "Unable to create file '" + request.exe + "'");
    out.flush();
    return 0;
}

}  // namespace krvs::tlink
