#include "omf/reader.h"
#include "omf/types.h"

namespace krvs::omf {

int locationSize(Location location) {
    switch (location) {
        case Location::LowByte:
        case Location::HighByte: return 1;
        case Location::Offset16:
        case Location::Base:
        case Location::LoaderOffset16: return 2;
        case Location::Pointer32:
        case Location::Offset32:
        case Location::LoaderOffset32: return 4;
        case Location::Pointer48: return 6;
    }
    return 0;
}

bool FieldReader::need(std::size_t count) {
    if (m_failed || count > remaining()) {
        m_failed = true;
        return false;
    }
    return true;
}

std::uint8_t FieldReader::byte() {
    if (!need(1)) return 0;
    return m_body[m_pos++];
}

std::uint16_t FieldReader::word() {
    if (!need(2)) return 0;
    std::uint16_t v = static_cast<std::uint16_t>(m_body[m_pos] | (m_body[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t FieldReader::dword() {
    std::uint32_t lo = word();
    std::uint32_t hi = word();
    return lo | (hi << 16);
}

std::uint16_t FieldReader::index() {
    std::uint8_t first = byte();
    if (first < 0x80) return first;
    return static_cast<std::uint16_t>(((first & 0x7F) << 8) | byte());
}

std::string FieldReader::name() {
    std::size_t length = byte();
    auto span = bytes(length);
    return std::string(span.begin(), span.end());
}

std::span<const std::uint8_t> FieldReader::bytes(std::size_t count) {
    if (!need(count)) return {};
    auto span = m_body.subspan(m_pos, count);
    m_pos += count;
    return span;
}

}  // namespace krvs::omf
