// Loads the input as a DOS program and runs a few thousand instructions of it. Drive C: points at a
// directory that does not exist, so whatever the program asks of DOS touches no file.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pc/loader.h"
#include "pc/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    krvs::pc::MzImage image;
    (void)krvs::pc::parseMz(file, image);
    krvs::pc::StringSource keys("abc\r");
    krvs::pc::StringSink out;
    krvs::pc::MachineConfig config;
    config.driveRoot = "/nonexistent/krvs-fuzz-drive";
    config.input = &keys;
    config.output = &out;
    krvs::pc::Machine machine(config);
    if (machine.loadImage(file, "FUZZ.EXE", "a b").ok) machine.run({5000, 1000});
    return 0;
}
