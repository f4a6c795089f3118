// Shared vocabulary of the OMF record layer: errors as values and the fixup description that both the
// reader and the writer use.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace krvs::omf {

// A problem found in an object file; `offset` is the byte position of the offending record (or field).
struct Error {
    std::size_t offset = 0;
    std::string message;
};

// Either a value or an Error; the library never throws across its boundary.
template <class T>
class Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Error error) : m_v(std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_v); }
    T& value() { return std::get<0>(m_v); }
    const Error& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, Error> m_v;
};

// Record type bytes. The odd variants carry 32-bit offset fields.
enum RecordType : std::uint8_t {
    kTheadr = 0x80,
    kLheadr = 0x82,
    kComent = 0x88,
    kModend = 0x8A,
    kModend32 = 0x8B,
    kExtdef = 0x8C,
    kPubdef = 0x90,
    kPubdef32 = 0x91,
    kLinnum = 0x94,
    kLinnum32 = 0x95,
    kLnames = 0x96,
    kSegdef = 0x98,
    kSegdef32 = 0x99,
    kGrpdef = 0x9A,
    kFixupp = 0x9C,
    kFixupp32 = 0x9D,
    kLedata = 0xA0,
    kLedata32 = 0xA1,
    kLidata = 0xA2,
    kLidata32 = 0xA3,
    kComdef = 0xB0,
    kLextdef = 0xB4,
    kLextdef32 = 0xB5,
    kLpubdef = 0xB6,
    kLpubdef32 = 0xB7,
    kLcomdef = 0xB8,
    kLlnames = 0xCA,
};

// SEGDEF alignment (the A field of ACBP).
enum class Align : std::uint8_t { Absolute = 0, Byte = 1, Word = 2, Para = 3, Page = 4, Dword = 5 };

// SEGDEF combination (the C field of ACBP). Values 2, 4 and 7 all mean public; the reader keeps the raw value.
enum class Combine : std::uint8_t { Private = 0, Public = 2, Public4 = 4, Stack = 5, Common = 6, Public7 = 7 };

// What a fixup patches.
enum class Location : std::uint8_t {
    LowByte = 0,
    Offset16 = 1,
    Base = 2,
    Pointer32 = 3,  // 16-bit offset followed by a 16-bit segment base
    HighByte = 4,
    LoaderOffset16 = 5,
    Offset32 = 9,
    Pointer48 = 11,
    LoaderOffset32 = 13,
};

// How the frame (the segment register value the address is relative to) is found.
enum class FrameMethod : std::uint8_t {
    Segment = 0,      // datum: SEGDEF index
    Group = 1,        // datum: GRPDEF index
    External = 2,     // datum: EXTDEF index
    FrameNumber = 3,  // datum: an absolute paragraph number
    Location = 4,     // the frame of the segment holding the fixup
    Target = 5,       // the frame of the target
    None = 6,
};

// How the target is found; the displacement is separate (zero when the record omits it).
enum class TargetMethod : std::uint8_t {
    Segment = 0,      // datum: SEGDEF index
    Group = 1,        // datum: GRPDEF index
    External = 2,     // datum: EXTDEF index
    FrameNumber = 3,  // datum: an absolute paragraph number
};

// A resolved reference: frame and target with their data. Used by fixups and by the start address of MODEND.
struct Reference {
    FrameMethod frame = FrameMethod::Target;
    std::uint16_t frameDatum = 0;
    TargetMethod target = TargetMethod::Segment;
    std::uint16_t targetDatum = 0;
    std::int32_t displacement = 0;  // 16-bit fields are read sign-extended
};

// One fixup of a data record. `offset` counts from the first data byte of its LEDATA/LIDATA record (the
// reader) or of the byte span handed to the writer.
struct Fixup {
    std::uint32_t offset = 0;
    Location location = Location::Offset16;
    bool segmentRelative = true;  // false: self-relative (jumps and calls)
    Reference ref;
};

// Number of bytes a location patches, 0 for an unknown location.
int locationSize(Location location);

}  // namespace krvs::omf
