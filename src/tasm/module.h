#pragma once
// What the directives of one pass set for the module as a whole: processor, radix, memory model,
// the start address, and the PROC and STRUC blocks open at the current line.

#include <cstdint>
#include <string>
#include <vector>

#include "value.h"

namespace krvs::tasm {

struct ModuleState {
    int cpu = 0;            // 0 8086, 1 80186, 2 80286
    bool fpu = false;
    int radix = 10;
    int model = 0;          // 0 none, 1 tiny, 2 small, 3 compact, 4 medium, 5 large, 6 huge
    bool dosseg = false;
    bool jumps = false;     // JUMPS: far conditional jumps become the inverse jump over a JMP
    bool hasStart = false;  // END named the start address
    Value start;
    bool ended = false;     // END was read
    std::vector<int> procs;  // open PROCs, innermost last (their symbols)
    int strucOpen = -1;      // structure being defined (its symbol)
    std::int32_t strucOffset = 0;
    std::vector<std::string> outMessages;  // %OUT texts of the final pass
};

}  // namespace krvs::tasm
