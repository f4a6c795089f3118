// The bus of the x86 benchmarks: no devices (ports read FFh, writes go nowhere) and every host trap
// handled, so that only the CPU's own work is measured.
#pragma once

#include <cstdint>

#include "x86/cpu.h"

namespace krvs::x86::bench {

class NullBus : public Bus {
public:
    std::uint8_t portIn8(std::uint16_t) override { return 0xFF; }
    void portOut8(std::uint16_t, std::uint8_t) override {}
    bool hostTrap(Cpu&, std::uint8_t) override { return true; }
};

}  // namespace krvs::x86::bench
