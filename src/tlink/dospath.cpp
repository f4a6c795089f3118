#include "tlink/dospath.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace krvs::tlink {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

// The entry of `dir` spelled like `name` in any case; an exact match wins.
fs::path matchEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(dir / name, ec)) return dir / name;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end; it.increment(ec))
        if (sameIgnoringCase(it->path().filename().string(), name)) return dir / it->path().filename();
    return dir / name;
}

}  // namespace

fs::path resolveDosPath(const std::string& name, const fs::path& base) {
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    fs::path path(slashed);
    if (path.is_relative()) path = base / path;
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    fs::path result = path.root_path();
    for (const auto& part : path.relative_path()) {
        std::string text = part.string();
        if (text.empty() || text == ".") continue;
        result = text == ".." ? result / part : matchEntry(result, text);
    }
    return result;
}

}  // namespace krvs::tlink
