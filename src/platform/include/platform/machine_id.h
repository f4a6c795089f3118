#pragma once
// A 32-bit number that identifies this machine, standing in for a volume serial number.
#include <cstdint>
#include <optional>
#include <string>

namespace krvs::platform {

// Derived from the 128-bit id in `file` (by default /etc/machine-id, then the D-Bus copy) by
// folding its four 32-bit words with XOR. nullopt when no readable id exists.
std::optional<std::uint32_t> machineSerial(const std::string& file = {});

// The serial as unsigned decimal text, "0" when the machine has no id.
std::string machineSerialText(const std::string& file = {});

}  // namespace krvs::platform
