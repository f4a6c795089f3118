#pragma once
// Which BIOS and DOS functions the emulated PC serves, read from the code that serves them: the
// manual lists each one and its tests fail on a function it does not describe.

#include <cstdint>
#include <vector>

namespace krvs::pc {

struct ServedFunction {
    std::uint8_t vector;    // INT 10h, 16h, 1Ah or 21h
    std::uint8_t function;  // the number in AH
};

// Ordered by vector, then function number.
std::vector<ServedFunction> servedFunctions();

}  // namespace krvs::pc
