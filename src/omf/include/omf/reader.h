// Reading OMF object files: first split into records (checked lengths and checksums), then decoded into an
// ObjectModule. Every failure comes back as an Error naming the byte offset; nothing throws.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "omf/module.h"
#include "omf/types.h"

namespace krvs::omf {

struct RawRecord {
    std::uint8_t type = 0;
    std::size_t fileOffset = 0;             // of the type byte
    std::span<const std::uint8_t> body;     // without the checksum byte
};

// Splits `bytes` into records up to and including MODEND. A checksum byte of 0 means "not computed" and is
// accepted, as the classic tools do.
Result<std::vector<RawRecord>> splitRecords(std::span<const std::uint8_t> bytes);

// Decodes one module. Index fields are checked against the tables read so far.
Result<ObjectModule> readObject(std::span<const std::uint8_t> bytes);

// Field cursor over a record body; every read reports running past the end instead of reading beyond it.
class FieldReader {
public:
    FieldReader(std::span<const std::uint8_t> body, std::size_t baseOffset)
        : m_body(body), m_base(baseOffset) {}

    bool atEnd() const { return m_pos >= m_body.size(); }
    std::size_t remaining() const { return m_body.size() - m_pos; }
    std::size_t position() const { return m_base + m_pos; }
    bool failed() const { return m_failed; }

    std::uint8_t byte();
    std::uint16_t word();
    std::uint32_t dword();
    std::uint32_t offset(bool wide) { return wide ? dword() : word(); }
    std::uint16_t index();  // 1 byte below 80h, else 2 bytes (high 7 bits first)
    std::string name();     // length-prefixed
    std::span<const std::uint8_t> bytes(std::size_t count);

private:
    bool need(std::size_t count);

    std::span<const std::uint8_t> m_body;
    std::size_t m_base;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

}  // namespace krvs::omf
