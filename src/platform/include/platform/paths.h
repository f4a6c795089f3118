#pragma once
// Where the program keeps its files, and paths that command lines can carry without quoting.
#include <string>

#include "platform/files.h"

namespace krvs::platform {

// The directory of the running executable (not following a link to it), empty if unknown.
std::string executableDirectory();
// The running executable's own path, empty if unknown.
std::string executablePath();
// The process's working directory, empty if it cannot be named (removed, or too long).
std::string currentDirectory();

// XDG base directories with their documented fallbacks below $HOME.
std::string xdgDataHome();
std::string xdgConfigHome();
std::string xdgCacheHome();

struct ProgramHome {
  std::string dir;  // where KRVS.Ini, the logs and Bin/ live
  Error error;      // set when a home below the data directory could not be set up
};

// The executable's directory when it is writable (a build tree or a portable copy). Otherwise
// `dataHome`/Korvash, with a Bin/ of its own that links every installed tool, and links to the
// installed resources; Bin/ is a real directory because the IDE writes TASM.CFG, Error.Txt and
// Runner.bat there. Links that already exist are refreshed, so an upgrade needs no clean-up.
ProgramHome programHome(const std::string& exeDir, const std::string& dataHome);

// Sets up `home` for an installed copy in `installDir`: Bin/ with a link to each installed tool,
// and a link to every other installed file except those the IDE writes itself.
Error populateHome(const std::string& installDir, const std::string& home);

// A path with no blank that names the same file or directory: unchanged when `path` has none,
// else a link below `cacheDir`/short named by a hash of the directory with the blank. An empty
// `cacheDir` means xdgCacheHome()/Korvash. On failure `path` comes back and `error` is set.
std::string shortPath(const std::string& path, Error* error = nullptr, std::string cacheDir = {});

}  // namespace krvs::platform
