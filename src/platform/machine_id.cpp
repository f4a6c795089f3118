#include "platform/machine_id.h"

#include <cctype>

#include "platform/files.h"

namespace krvs::platform {

namespace {

std::optional<std::uint32_t> foldHexId(const std::string& text) {
  std::uint32_t folded = 0;
  int digits = 0;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    unsigned value = std::isdigit(static_cast<unsigned char>(c))
                         ? static_cast<unsigned>(c - '0')
                         : static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    // Digit i lands in nibble 7 - i % 8 of its word; the words are XORed together.
    folded ^= value << (4 * (7 - digits % 8));
    ++digits;
  }
  if (digits != 32) return std::nullopt;
  return folded;
}

}  // namespace

std::optional<std::uint32_t> machineSerial(const std::string& file) {
  const std::string defaults[] = {"/etc/machine-id", "/var/lib/dbus/machine-id"};
  if (!file.empty()) {
    auto text = readFile(file);
    return text ? foldHexId(*text) : std::nullopt;
  }
  for (const std::string& candidate : defaults) {
    if (auto text = readFile(candidate)) {
      if (auto serial = foldHexId(*text)) return serial;
    }
  }
  return std::nullopt;
}

std::string machineSerialText(const std::string& file) {
  return std::to_string(machineSerial(file).value_or(0));
}

}  // namespace krvs::platform
