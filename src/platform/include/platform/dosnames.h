#pragma once
// DOS names ignore letter case; on POSIX a file whose name differs only in case is the same file.
#include <optional>
#include <string>

namespace krvs::platform {

// DOS folds ASCII letters only, whatever the host's locale: bytes of GBK or UTF-8 text stay as they are.
bool equalsNoCase(const std::string& a, const std::string& b);
std::string upperAscii(std::string text);
std::string lowerAscii(std::string text);

// True for a name DOS can hold as it is: 1-8 characters, optionally a dot and 1-3 more, none of them a
// blank, a control character or one of "*+,./:;<=>?[\]|. Host names that are not ("x.tar.gz", ".git",
// "Long file name.txt") do not exist for a DOS program.
bool isShortName(const std::string& name);

// A name a DOS program gives, as DOS stores it: the base cut to 8 characters, the extension to 3, in upper
// case ("longfilename.text" is "LONGFILE.TEX"). Empty when it cannot be one (no base, a second dot, a
// character DOS refuses).
std::string toShortName(const std::string& name);

// The entry of directory `dir` named `name` in any letter case, among the entries whose names are DOS
// short names only (a file, directory or anything else); the exact spelling wins. Empty when there is none.
std::string findShortEntry(const std::string& dir, const std::string& name);

// `path` ('\\' taken as '/') with each component that exists in some letter case spelled as it exists (the
// exact spelling first, then the first variant in byte order); the others stay as given, so the result also
// names a file about to be created in an existing directory.
std::string resolvePathNoCase(const std::string& path);

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
