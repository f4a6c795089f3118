#pragma once
// The motherboard devices the course programs touch: interrupt controller, timer, keyboard controller,
// CMOS clock and the speaker gate. Each one is a plain object; the machine wires them to the port table.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>

namespace krvs::pc {

// 8259A in the PC's single-controller setup: IRQ0-7 on vectors base..base+7.
class Pic {
public:
    void raise(int irq) { m_irr |= static_cast<std::uint8_t>(1u << irq); }
    void lower(int irq) { m_irr &= static_cast<std::uint8_t>(~(1u << irq)); }
    // True when an unmasked request has higher priority than everything in service.
    bool pending() const;
    // Moves the request to in-service and returns its vector, or -1 when none is deliverable.
    int acknowledge();
    void endOfInterrupt();
    std::uint8_t read(std::uint16_t port) const;
    void write(std::uint16_t port, std::uint8_t value);
    std::uint8_t mask() const { return m_imr; }
    std::uint8_t inService() const { return m_isr; }
    std::uint8_t requests() const { return m_irr; }

private:
    int highestRequest() const;
    std::uint8_t m_irr = 0, m_isr = 0, m_imr = 0;
    std::uint8_t m_base = 8;
    int m_initStep = 0;  // 0: operational; 2-4: expecting ICW2-ICW4
    bool m_expectIcw4 = false;
    bool m_readIsr = false;
};

// 8253 channel 0 only: the time base. Time is measured in PIT input clocks (1193182 Hz); the machine
// advances the timer by one clock per executed instruction.
class Pit {
public:
    static constexpr std::uint32_t kClockHz = 1193182;
    // Returns how many IRQ0 periods completed.
    std::uint32_t advance(std::uint64_t clocks);
    std::uint64_t clocksToNextIrq() const { return m_period - m_phase; }
    std::uint8_t read(std::uint16_t port);
    void write(std::uint16_t port, std::uint8_t value);
    std::uint32_t period() const { return m_period; }

private:
    std::uint16_t currentCount() const;
    std::uint32_t m_period = 65536;
    std::uint32_t m_phase = 0;
    std::uint8_t m_access = 3;  // 1 low byte, 2 high byte, 3 low then high
    bool m_writeHigh = false, m_readHigh = false;
    std::uint16_t m_reloadLow = 0;
    bool m_latched = false;
    std::uint16_t m_latch = 0;
};

// The keyboard controller's output side: scan codes queue up and are presented one at a time on port 60h,
// each raising IRQ1. The ASCII code travels along so the BIOS handler need not guess it back.
class KeyboardController {
public:
    // Like the controller's own small buffer, the queue drops keys when a program never takes them.
    static constexpr std::size_t kQueueLimit = 64;
    void push(std::uint8_t scan, std::uint8_t ascii) {
        if (m_queue.size() < kQueueLimit) m_queue.push_back({scan, ascii});
    }
    // Presents the next scan code when the output buffer is free; true when IRQ1 should be raised.
    bool service();
    std::uint8_t readData();
    std::uint8_t status() const { return m_full ? 0x1D : 0x1C; }
    std::uint8_t currentAscii() const { return m_current.ascii; }
    std::uint8_t currentScan() const { return m_current.scan; }
    bool busy() const { return m_full || !m_queue.empty(); }
    void clear() { m_queue.clear(); m_full = false; }

private:
    struct Key { std::uint8_t scan = 0, ascii = 0; };
    std::deque<Key> m_queue;
    Key m_current;
    bool m_full = false;
};

// MC146818 clock in BCD, 24-hour mode. The time it shows is supplied by the machine.
class Cmos {
public:
    void setIndex(std::uint8_t v) { m_index = v & 0x7F; }
    std::uint8_t read(const std::tm& now) const;
    void write(std::uint8_t v) { if (m_index >= 0x0E) m_ram[m_index] = v; }

private:
    std::uint8_t m_index = 0;
    std::uint8_t m_ram[128] = {};
};

std::uint8_t toBcd(int v);

// Scan code and ASCII for a byte typed on the US keyboard, so that bytes from a stream become key presses.
struct KeyStroke { std::uint8_t scan; std::uint8_t ascii; bool shift; };
KeyStroke keyForByte(std::uint8_t byte);

}  // namespace krvs::pc
