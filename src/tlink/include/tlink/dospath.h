// DOS-style file names on a case-sensitive file system: a name that differs from an existing file only in
// letter case names that file. Backslashes are taken as directory separators.
#pragma once

#include <filesystem>
#include <string>

namespace krvs::tlink {

// The existing path that `name` denotes (resolved against `base` when relative), component by component
// without regard to case; when nothing matches, `name` as it stands (with '\' turned into '/').
std::filesystem::path resolveDosPath(const std::string& name, const std::filesystem::path& base);

}  // namespace krvs::tlink
