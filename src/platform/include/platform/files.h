#pragma once
// Small file services shared by the IDE and the tools: atomic writes, sizes, whole-file reads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace krvs::platform {

// Empty on success, else a human-readable reason.
using Error = std::string;

// Writes `bytes` to a temporary file beside `path`, flushes it and renames it over `path`, so a
// crash or a full disk never leaves a half-written file in place.
Error writeFileAtomic(const std::string& path, std::string_view bytes);

std::optional<std::string> readFile(const std::string& path);
std::optional<std::uint64_t> fileSize(const std::string& path);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isWritableDirectory(const std::string& path);

// Creates `path` and its missing parents (mode 0755).
Error makeDirectories(const std::string& path);

// The value of an environment variable, empty when unset.
std::string envVar(const char* name);

// $HOME, falling back to the password database.
std::string homeDirectory();

// Joins with exactly one '/' between the parts.
std::string joinPath(const std::string& dir, const std::string& name);
std::string directoryOf(const std::string& path);
std::string fileNameOf(const std::string& path);

}  // namespace krvs::platform
