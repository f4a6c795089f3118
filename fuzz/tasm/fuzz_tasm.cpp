// Arbitrary bytes as an assembler source (with an INCLUDE that reads the same bytes again), and the
// first line as input to the one-line assembler. Nothing may crash, hang or read out of bounds.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tasm/assembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string src(reinterpret_cast<const char*>(data), size);
    krvs::tasm::Options opts;
    opts.listing = size % 2 == 0;
    opts.crossRef = size % 3 == 0;  // the cross reference is written only into a listing
    opts.date = "01/01/26";
    opts.time = "00:00:00";
    krvs::tasm::FileReader reader = [&](const std::string&) { return std::optional<std::string>(src); };
    krvs::tasm::AssemblyResult r = krvs::tasm::assemble("F.ASM", src, opts, reader);
    if (r.errorCount == 0 && r.object.empty()) __builtin_trap();
    krvs::tasm::assembleLine(src.substr(0, src.find('\n')), 0x100);
    return 0;
}
