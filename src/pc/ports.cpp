// The motherboard's I/O ports, each wired to its device through the port table.

#include "pc/machine.h"
#include "services.h"

namespace krvs::pc {

void Machine::registerDevicePorts() {
    auto pic = [this](std::uint16_t p) { return m_pic.read(p); };
    registerPort(0x20, pic, [this](std::uint16_t p, std::uint8_t v) {
        m_pic.write(p, v);
        serviceKeyboard();  // a handler that acknowledged IRQ1 itself lets the next scan code in
        updateInterruptLine();
    });
    registerPort(0x21, pic, [this](std::uint16_t p, std::uint8_t v) {
        m_pic.write(p, v);
        updateInterruptLine();
    });
    for (std::uint16_t p = 0x40; p <= 0x43; ++p)
        registerPort(p, [this](std::uint16_t q) { return m_pit.read(q); },
                     [this](std::uint16_t q, std::uint8_t v) { m_pit.write(q, v); });
    registerPort(0x60, [this](std::uint16_t) { return m_kbc.readData(); }, nullptr);
    registerPort(0x64, [this](std::uint16_t) { return m_kbc.status(); }, nullptr);
    // Bit 4 toggles like the refresh request that timing loops watch.
    registerPort(0x61, [this](std::uint16_t) { return m_port61 ^= 0x10; },
                 [this](std::uint16_t, std::uint8_t v) { m_port61 = v; });
    registerPort(0x70, nullptr, [this](std::uint16_t, std::uint8_t v) { m_cmos.setIndex(v); });
    registerPort(0x71, [this](std::uint16_t) { return m_cmos.read(localNow()); },
                 [this](std::uint16_t, std::uint8_t v) { m_cmos.write(v); });
    // CRTC cursor location registers and the status port; retrace toggles so wait loops end.
    registerPort(0x3D4, [this](std::uint16_t) { return m_crtcIndex; },
                 [this](std::uint16_t, std::uint8_t v) { m_crtcIndex = v; });
    registerPort(0x3D5, [this](std::uint16_t) -> std::uint8_t {
        std::uint16_t pos = static_cast<std::uint16_t>(m_mem.read8(bda::kSegment, bda::kCursorPos + 1) * 80 +
                                                       m_mem.read8(bda::kSegment, bda::kCursorPos));
        if (m_crtcIndex == 0x0E) return hi(pos);
        if (m_crtcIndex == 0x0F) return lo(pos);
        return 0;
    }, [this](std::uint16_t, std::uint8_t v) {
        std::uint16_t pos = static_cast<std::uint16_t>(m_mem.read8(bda::kSegment, bda::kCursorPos + 1) * 80 +
                                                       m_mem.read8(bda::kSegment, bda::kCursorPos));
        if (m_crtcIndex == 0x0E) pos = static_cast<std::uint16_t>((pos & 0xFF) | (v << 8));
        else if (m_crtcIndex == 0x0F) pos = static_cast<std::uint16_t>((pos & 0xFF00) | v);
        else return;
        if (pos < 2000) {
            m_mem.write8(bda::kSegment, bda::kCursorPos, static_cast<std::uint8_t>(pos % 80));
            m_mem.write8(bda::kSegment, bda::kCursorPos + 1, static_cast<std::uint8_t>(pos / 80));
        }
    });
    registerPort(0x3DA, [this](std::uint16_t) { return m_retrace ^= 0x09; }, nullptr);

}

}  // namespace krvs::pc
