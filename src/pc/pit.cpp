#include "pc/devices.h"

namespace krvs::pc {

std::uint32_t Pit::advance(std::uint64_t clocks) {
    std::uint64_t total = m_phase + clocks;
    m_phase = static_cast<std::uint32_t>(total % m_period);
    return static_cast<std::uint32_t>(total / m_period);
}

std::uint16_t Pit::currentCount() const {
    return static_cast<std::uint16_t>(m_period - m_phase);  // a period of 65536 reads as 0 at the start
}

std::uint8_t Pit::read(std::uint16_t port) {
    if (port != 0x40) return 0xFF;
    std::uint16_t value = m_latched ? m_latch : currentCount();
    std::uint8_t out;
    if (m_access == 1) out = static_cast<std::uint8_t>(value);
    else if (m_access == 2) out = static_cast<std::uint8_t>(value >> 8);
    else {
        out = m_readHigh ? static_cast<std::uint8_t>(value >> 8) : static_cast<std::uint8_t>(value);
        m_readHigh = !m_readHigh;
        if (m_readHigh) return out;
    }
    m_latched = false;
    return out;
}

void Pit::write(std::uint16_t port, std::uint8_t value) {
    if (port == 0x43) {
        if ((value >> 6) != 0) return;  // only channel 0 drives anything here
        std::uint8_t access = (value >> 4) & 3;
        if (access == 0) {
            m_latch = currentCount();
            m_latched = true;
            m_readHigh = false;
            return;
        }
        m_access = access;
        m_writeHigh = false;
        m_readHigh = false;
        return;
    }
    if (port != 0x40) return;
    auto load = [this](std::uint32_t count) {
        m_period = count == 0 ? 65536 : count;
        m_phase = 0;
    };
    if (m_access == 1) load(value);
    else if (m_access == 2) load(static_cast<std::uint32_t>(value) << 8);
    else if (!m_writeHigh) {
        m_reloadLow = value;
        m_writeHigh = true;
    } else {
        load(static_cast<std::uint32_t>(m_reloadLow | (value << 8)));
        m_writeHigh = false;
    }
}

}  // namespace krvs::pc
