// The linker proper: OMF modules in; an MZ .EXE image or a .COM image, the map text and the messages out.
// No file access happens here, so every path can be tested from bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tlink/options.h"

namespace krvs::tlink {

enum class Severity { Warning, Error, Fatal };

struct Message {
    Severity severity = Severity::Error;
    std::string text;  // without the "Warning: " / "Error: " / "Fatal: " prefix
};

// "Warning: No stack" and the like.
std::string formatMessage(const Message& message);

struct LinkInput {
    std::string fileName;  // as named on the command line; shown in the map's line-number headings
    std::vector<std::uint8_t> bytes;
};

struct Relocation {
    std::uint16_t segment = 0;
    std::uint16_t offset = 0;
    bool operator==(const Relocation&) const = default;
};

struct LinkResult {
    std::vector<Message> messages;
    bool ok = false;                   // no error and no fatal: `program` is valid
    std::vector<std::uint8_t> program; // the .EXE file (header + image) or the .COM file
    std::string map;                   // map text with CR LF line ends (also written after errors)

    // Facts about the .EXE for callers and tests.
    std::vector<std::uint8_t> image;   // the load image (what follows the header)
    std::vector<Relocation> relocations;
    std::uint16_t initialCs = 0, initialIp = 0, initialSs = 0, initialSp = 0;
    std::uint16_t minAlloc = 0, maxAlloc = 0;
};

LinkResult link(const std::vector<LinkInput>& inputs, const LinkOptions& options);

}  // namespace krvs::tlink
