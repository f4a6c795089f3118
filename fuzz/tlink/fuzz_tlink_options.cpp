// Bytes into the linker's command line: the input up to the first NUL is TLink.CFG, the rest the arguments
// (split at blanks); every "@name" reads the configuration text again, so response files nest until their
// limit. Reading must end with a request or a message, never a crash, and a request always names objects.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tlink/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = text.find('\0');
    const std::string config = text.substr(0, nul);
    std::vector<std::string> args;
    if (nul != std::string::npos) {
        std::string word;
        for (char c : text.substr(nul + 1)) {
            if (c == ' ') {
                if (!word.empty()) args.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        if (!word.empty()) args.push_back(word);
    }
    krvs::tlink::CommandLine line([&](const std::string&) { return std::optional<std::string>(config); });
    line.addConfig(config);
    line.addArguments(args);
    krvs::tlink::LinkRequest request;
    if (!line.finish(request) && (request.objects.empty() || request.exe.empty() || request.map.empty())) std::abort();
    return 0;
}
