// Bytes into the linker: the first byte picks where the input splits into two objects and which options
// are on; the link must end with a program or messages, never a crash.
#include <cstddef>
#include <cstdint>

#include "tlink/linker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::uint8_t control = data[0];
    ++data;
    --size;
    std::size_t split = size * (control & 0x0F) / 16;
    std::vector<krvs::tlink::LinkInput> inputs = {{"a.obj", std::vector<std::uint8_t>(data, data + split)}};
    if (split < size) inputs.push_back({"b.obj", std::vector<std::uint8_t>(data + split, data + size)});
    krvs::tlink::LinkOptions options;
    options.com = control & 0x10;
    options.publics = options.detailed = control & 0x20;
    options.lineNumbers = control & 0x40;
    options.initAll = control & 0x80;
    auto result = krvs::tlink::link(inputs, options);
    if (!result.ok && result.messages.empty()) __builtin_trap();
    return 0;
}
