#pragma once
// Test helpers: read an object module back and lay its segments out the simple way a single-module
// program needs, or print it as text for golden files.

#include <omf/module.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace krvs::tasm::test {

std::string readText(const std::string& path);
std::optional<omf::ObjectModule> readModule(const std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

// Segments in definition order at their alignment from 0, every fixup applied with frame numbers
// counted from the image start (what a loader at segment 0 would see).
struct Layout {
    std::vector<std::uint8_t> image;
    std::vector<std::uint32_t> segBase;
    std::string error;
};
Layout layOut(const omf::ObjectModule& m);

// Segments, groups, names, data (hex) and fixups as text.
std::string dumpModule(const omf::ObjectModule& m);

}  // namespace krvs::tasm::test
