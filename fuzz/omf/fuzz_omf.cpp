// Object bytes into the OMF reader: every input gives a module or an error.
#include <cstddef>
#include <cstdint>
#include <span>

#include "omf/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto result = krvs::omf::readObject(std::span<const std::uint8_t>(data, size));
    if (result) {
        // Touch what the linker touches: names of every index the reader accepted.
        const auto& m = result.value();
        std::size_t total = 0;
        for (const auto& s : m.segments) total += m.nameAt(s.nameIndex).size() + m.nameAt(s.classIndex).size();
        for (const auto& d : m.data) total += d.bytes.size() + d.fixups.size();
        (void)total;
    }
    return 0;
}
