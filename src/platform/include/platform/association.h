#pragma once
// The .asm file type opening in this program, through a freedesktop desktop entry and the
// default-application list (mimeapps.list).
#include <string>

#include "platform/files.h"

namespace krvs::platform {

inline constexpr const char* kAsmMimeType = "text/x-asm";
inline constexpr const char* kDesktopFileName = "korvash.desktop";

struct AssociationPaths {
  std::string applicationsDir;  // where korvash.desktop goes
  std::string mimeAppsList;     // the user's mimeapps.list
};

// $XDG_DATA_HOME/applications and $XDG_CONFIG_HOME/mimeapps.list.
AssociationPaths userAssociationPaths();

struct AsmAssociation {
  std::string programFile;  // the command that opens a file
  std::string iconFile;     // may be empty
  std::string typeName;     // shown as the entry's name
  std::string description;  // shown as its comment
};

// True when the default application for text/x-asm is our desktop entry and that entry's
// command contains `programFile` (compared with case).
bool isAsmAssociated(const AssociationPaths& paths, const std::string& programFile);

// Writes the desktop entry, then makes it the default for text/x-asm, keeping every other line
// of mimeapps.list; each file is replaced atomically. Stops at the first failure; what was
// written stays. Afterwards the desktop database is refreshed when update-desktop-database exists.
Error associateAsm(const AssociationPaths& paths, const AsmAssociation& association);

// The Exec= value that runs `programFile` on one file, quoted as desktop entries require.
std::string desktopExecValue(const std::string& programFile);

}  // namespace krvs::platform
