#pragma once
// Encodings of instructions met before. Programs repeat instructions with the same operands many
// times (MOV AH,9 / INT 21h / INC SI), every pass encodes each one again, and choosing the form is
// the costliest step of a line: a small table keyed by the forms, operands and options answers the
// repeats. A relative operand's encoding depends on its distance from the instruction only, so the
// key holds that distance (and two jumps over the same distance share an entry).

#include <x86/encoder.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace krvs::tasm {

class EncodeCache {
public:
    EncodeCache();
    x86::EncodeResult encode(std::span<const x86::Form* const> forms, std::span<const x86::Operand> ops,
                             const x86::EncodeOptions& options);

private:
    // A power of two. 256 entries (34 KB, all written when made) answer as many of the 100,000-line
    // benchmark's lines as 1024 did (instructions +0.2%).
    static constexpr size_t kSlots = 256;
    using Key = std::array<std::uint64_t, 11>;
    struct Entry {
        Key key{};
        bool used = false;
        x86::EncodeResult result;
    };
    std::unique_ptr<std::array<Entry, kSlots>> m_entries;
};

}  // namespace krvs::tasm
