#pragma once
// The manual KRVS.html, built from the code's own tables (the x86 instruction table, the BIOS and
// DOS functions the PC serves, the tools' messages) and the hand-written texts of resources/manual.
// One self-contained page: its style is inline and every link inside it is an anchor.

#include <filesystem>
#include <string>
#include <vector>

namespace krvs::doc {

struct ManualBuild {
    std::string html;
    // The texts could not be read or are malformed: the manual must not be written.
    std::vector<std::string> errors;
    // Table entries that have no hand-written text (the manual shows a gap there).
    std::vector<std::string> missing;
};

ManualBuild buildManual(const std::filesystem::path& textsDir);

// The anchor name of an instruction, a served function, a message.
std::string instructionAnchor(std::string_view mnemonic);
std::string serviceAnchor(int vector, int function);
std::string messageAnchor(std::string_view message);

}  // namespace krvs::doc
