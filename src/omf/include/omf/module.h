// The content of one OMF object module as read from its records: names, segments, groups, symbols, data
// with fixups, line numbers and the start address. Indexes are kept 1-based as in the file (0 = none) and
// have been checked against the tables they name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "omf/types.h"

namespace krvs::omf {

struct SegmentDef {
    std::uint16_t nameIndex = 0;
    std::uint16_t classIndex = 0;
    std::uint16_t overlayIndex = 0;
    Align align = Align::Para;
    std::uint8_t combine = 0;  // raw C field; see Combine
    bool big = false;          // B bit: the length field is 0 and means 64K (4G for 32-bit records)
    bool use32 = false;        // P bit
    std::uint32_t length = 0;  // already adjusted for the B bit
    std::uint16_t absFrame = 0;   // for Align::Absolute (AT segments)
    std::uint8_t absOffset = 0;
};

struct GroupDef {
    std::uint16_t nameIndex = 0;
    std::vector<std::uint16_t> segments;  // SEGDEF indexes
};

struct ExternalDef {
    std::string name;
    std::uint16_t typeIndex = 0;
    bool local = false;  // LEXTDEF
};

struct PublicDef {
    std::string name;
    std::uint16_t groupIndex = 0;
    std::uint16_t segmentIndex = 0;  // 0: absolute symbol at frame:offset
    std::uint16_t frame = 0;
    std::uint32_t offset = 0;
    std::uint16_t typeIndex = 0;
    bool local = false;  // LPUBDEF
};

// One LEDATA record, or one LIDATA record expanded into plain bytes.
struct DataRecord {
    std::uint16_t segmentIndex = 0;
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<Fixup> fixups;
    bool iterated = false;
    std::size_t fileOffset = 0;
};

struct LineEntry {
    std::uint16_t line = 0;
    std::uint32_t offset = 0;
};

struct LineRecord {
    std::uint16_t groupIndex = 0;
    std::uint16_t segmentIndex = 0;
    std::vector<LineEntry> entries;
};

struct Comment {
    std::uint8_t flags = 0;
    std::uint8_t commentClass = 0;
    std::vector<std::uint8_t> text;
};

struct ObjectModule {
    std::string name;  // THEADR: the source file name the assembler recorded
    std::vector<std::string> names;  // LNAMES in order; names[i - 1] is index i
    std::vector<SegmentDef> segments;
    std::vector<GroupDef> groups;
    std::vector<ExternalDef> externals;
    std::vector<PublicDef> publics;
    std::vector<DataRecord> data;
    std::vector<LineRecord> lines;
    std::vector<Comment> comments;
    bool isMain = false;                // MODEND main-module bit
    std::optional<Reference> start;     // MODEND start address

    // Name of LNAMES index `index` (1-based), empty for 0.
    const std::string& nameAt(std::uint16_t index) const;
    bool hasDosseg() const;  // a COMENT of class 9Eh asks for the classic DOS segment order
};

}  // namespace krvs::omf
