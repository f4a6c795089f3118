// Arbitrary bytes as an assembler source (with an INCLUDE that reads the same bytes again), and the
// first line as input to the one-line assembler. Nothing may crash, hang or read out of bounds. The
// same source read in small pieces, with the object and listing streamed to sinks, must give the same
// object and listing, and every object the assembler writes must read back.

#include <omf/reader.h>
#include <omf/writer.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tasm/assembler.h"

namespace {

// The source a few bytes at a time, as a slow file may give it.
class PieceSource : public krvs::tasm::SourceReader {
public:
    explicit PieceSource(const std::string& text) : m_text(text) {}
    bool rewind() override {
        m_pos = 0;
        return true;
    }
    std::optional<size_t> read(char* buffer, size_t size) override {
        size_t n = std::min({size, m_text.size() - m_pos, size_t{7}});
        std::memcpy(buffer, m_text.data() + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string src(reinterpret_cast<const char*>(data), size);
    krvs::tasm::Options opts;
    opts.listing = size % 2 == 0;
    opts.crossRef = size % 3 == 0;  // the cross reference is written only into a listing
    opts.lineNumbers = size % 5 == 0;
    opts.date = "01/01/26";
    opts.time = "00:00:00";
    krvs::tasm::FileReader reader = [&](const std::string&) { return std::optional<std::string>(src); };
    krvs::tasm::AssemblyResult r = krvs::tasm::assemble("F.ASM", src, opts, reader);
    if (r.errorCount == 0 && r.object.empty()) __builtin_trap();
    if (!r.objectError.empty()) __builtin_trap();
    if (!r.object.empty() && !krvs::omf::readObject(r.object)) __builtin_trap();

    struct Listing : krvs::tasm::ListingSink {
        std::string text;
        void write(std::string_view t) override { text += t; }
    } listing;
    PieceSource pieces(src);
    std::vector<std::uint8_t> streamed;
    krvs::omf::VectorSink sink(streamed);
    krvs::tasm::AssemblyResult s = krvs::tasm::assemble("F.ASM", pieces, opts, reader, sink, &listing);
    if (streamed != r.object || s.errorCount != r.errorCount || listing.text != r.listing) __builtin_trap();

    krvs::tasm::assembleLine(src.substr(0, src.find('\n')), 0x100);
    return 0;
}
