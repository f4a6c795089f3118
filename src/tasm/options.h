#pragma once
// The command line of TASM.Exe and its TASM.CFG: options, then source, object, listing and
// cross-reference names separated by commas.

#include <functional>
#include <string>
#include <vector>

#include "tasm/assembler.h"

namespace krvs::tasm {

struct CommandLine {
    Options options;
    std::string source;   // as typed
    std::string object;   // empty: beside the source with .OBJ
    std::string listing;  // empty: none unless /l or /la
    bool listingNamed = false;
    bool help = false;
};

// Splits response text (TASM.CFG or an @file) into words at blanks and line ends.
std::vector<std::string> splitWords(const std::string& text);

// Tells an absolute POSIX path ("/home/u/T,") from a switch ("/zi").
using PathTest = std::function<bool(const std::string& word)>;

// Applies `words` in order to `cl`. Returns false with the fatal message in `error`.
bool parseWords(const std::vector<std::string>& words, CommandLine& cl, std::string& error,
                const PathTest& isPath = {});

// The directory TASM.CFG is read from: that of the path the tool was started with, made absolute
// against `cwd` but with links left alone, because the program home's Bin/ reaches the installed
// tool through a link and keeps its own TASM.CFG beside it. A bare name (found through PATH) says
// nothing about where the tool is, so then `runningExe` (the resolved executable) decides.
std::string configDirectory(const std::string& argv0, const std::string& cwd, const std::string& runningExe);

}  // namespace krvs::tasm
