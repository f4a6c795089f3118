#pragma once
// DOS names ignore letter case; on POSIX a file whose name differs only in case is the same file.
#include <optional>
#include <string>

namespace krvs::platform {

bool equalsNoCase(const std::string& a, const std::string& b);  // ASCII letters only

// The existing file that `path` names, ignoring the case of its last component. The exact name
// wins; among several case variants the first in byte order is taken. nullopt when none exists.
std::optional<std::string> findNoCase(const std::string& path);

// The existing file's path when there is one, else `path` itself (for files about to be created).
std::string resolveNoCase(const std::string& path);

// Deletes every file that `path` names ignoring case; returns how many were deleted.
int removeNoCase(const std::string& path);

// `path` with its extension (from the last dot of the file name) replaced by `extension`,
// which includes its dot; appended when the name has no extension.
std::string replaceExtension(const std::string& path, const std::string& extension);

}  // namespace krvs::platform
