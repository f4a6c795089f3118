#include "pc/devices.h"

namespace krvs::pc {

int Pic::highestRequest() const {
    std::uint8_t req = m_irr & static_cast<std::uint8_t>(~m_imr);
    for (int i = 0; i < 8; ++i) {
        if (m_isr & (1u << i)) return -1;  // a higher-priority (lower-numbered) interrupt is in service
        if (req & (1u << i)) return i;
    }
    return -1;
}

bool Pic::pending() const { return highestRequest() >= 0; }

int Pic::acknowledge() {
    int irq = highestRequest();
    if (irq < 0) return -1;
    m_irr &= static_cast<std::uint8_t>(~(1u << irq));
    m_isr |= static_cast<std::uint8_t>(1u << irq);
    return m_base + irq;
}

void Pic::endOfInterrupt() {
    for (int i = 0; i < 8; ++i) {
        if (m_isr & (1u << i)) {
            m_isr &= static_cast<std::uint8_t>(~(1u << i));
            return;
        }
    }
}

std::uint8_t Pic::read(std::uint16_t port) const {
    if (port & 1) return m_imr;
    return m_readIsr ? m_isr : m_irr;
}

void Pic::write(std::uint16_t port, std::uint8_t value) {
    if ((port & 1) == 0) {
        if (value & 0x10) {  // ICW1 restarts initialisation
            m_initStep = 2;
            m_expectIcw4 = value & 0x01;
            m_imr = 0;
            m_isr = 0;
            return;
        }
        if ((value & 0x18) == 0x08) {  // OCW3
            if (value & 0x02) m_readIsr = value & 0x01;
            return;
        }
        // OCW2: non-specific EOI (20h) or specific EOI (60h + n)
        if ((value & 0xE0) == 0x20) endOfInterrupt();
        else if ((value & 0xE0) == 0x60) m_isr &= static_cast<std::uint8_t>(~(1u << (value & 7)));
        return;
    }
    switch (m_initStep) {
    case 2:
        m_base = value & 0xF8;
        m_initStep = 3;  // single controller: no ICW3
        if (!m_expectIcw4) m_initStep = 0;
        else m_initStep = 4;
        return;
    case 4:
        m_initStep = 0;
        return;
    default:
        m_imr = value;
    }
}

}  // namespace krvs::pc
