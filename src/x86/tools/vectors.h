#pragma once
// Single-instruction CPU test vectors: a small JSON reader for the vector files and their metadata,
// and a checker that runs one vector on a fresh CPU and compares the outcome. Shared by the
// `cputest` tool and the unit tests; decompression stays with the callers (see gzip_file.h).

#include "x86/cpu.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace krvs::x86::vectors {

// Register order of the vector files.
enum VectorReg : std::uint8_t { kAx, kBx, kCx, kDx, kCs, kSs, kDs, kEs, kSp, kBp, kSi, kDi, kIp, kFlags, kRegCount };
extern const char* const kRegNames[kRegCount];

struct State {
    std::uint16_t regs[kRegCount] = {};
    bool present[kRegCount] = {};
    std::vector<std::pair<std::uint32_t, std::uint8_t>> ram;
};

struct Vector {
    std::string name;
    std::vector<std::uint8_t> bytes;
    State initial;
    State final;
    int number = 0;
};

// Parses a whole vector file (a JSON array of tests). On failure returns nothing and sets `error`.
std::optional<std::vector<Vector>> parseVectors(std::string_view json, std::string& error);

struct OpcodeInfo {
    std::string status;
    std::uint16_t flagsMask = 0xFFFF;
};

// metadata.json: the status and undefined-flags mask per file stem ("27", "F6.7").
class Metadata {
public:
    bool parse(std::string_view json, std::string& error);
    // Unknown stems report status "normal" and a full mask.
    OpcodeInfo lookup(const std::string& stem) const;

private:
    std::map<std::string, OpcodeInfo> m_byStem;
};

struct Outcome {
    bool passed = true;
    std::string detail;  // what differed, one line per difference
    Registers after;     // the CPU's registers after the instruction
};

// Runs the vector's instruction on a CPU of `model` over `memory` (kMemorySize + kMemoryGuard bytes,
// contents outside the vector's listed bytes do not matter) and compares registers, flags under
// `flagsMask`, and memory.
Outcome runVector(const Vector& v, std::uint16_t flagsMask, CpuModel model, std::uint8_t* memory);

}  // namespace krvs::x86::vectors
