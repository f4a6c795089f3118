#include "platform/machine_id.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;

TEST(MachineId, FoldsTheFourWordsOfTheId) {
  TempDir dir;
  struct Case {
    const char* content;
    std::optional<std::uint32_t> serial;
  } cases[] = {
      {"00000000000000000000000000000001\n", 1u},
      {"12345678000000000000000000000000\n", 0x12345678u},
      {"ffffffff00000000ffffffff0000000a\n", 0x0000000au},
      {"0123456789ABCDEF0123456789abcdef", 0u},  // the same two halves cancel out
      {"0123456789abcdef", std::nullopt},       // too short
      {"0123456789abcdef0123456789abcdeg", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    std::string file = dir.write("machine-id", c.content);
    EXPECT_EQ(machineSerial(file), c.serial) << c.content;
  }
  EXPECT_EQ(machineSerial(dir.file("missing")), std::nullopt);
  EXPECT_EQ(machineSerialText(dir.file("missing")), "0");
  EXPECT_EQ(machineSerialText(dir.write("id", "ffffffff000000000000000000000000")), "4294967295");
}

}  // namespace
}  // namespace krvs::platform
