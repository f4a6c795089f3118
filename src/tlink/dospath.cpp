#include "tlink/dospath.h"

#include "platform/dosnames.h"

namespace krvs::tlink {

namespace fs = std::filesystem;

fs::path resolveDosPath(const std::string& name, const fs::path& base) {
    std::string slashed = name;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    fs::path path(slashed);
    if (path.is_relative()) path = base / path;
    return fs::path(platform::resolvePathNoCase(path.string()));
}

}  // namespace krvs::tlink
