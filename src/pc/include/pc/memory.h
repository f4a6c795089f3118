#pragma once
// The 1 MB address space of the PC. Every access wraps at 1 MB as on the 8086, so FFFF:0010 is 0000:0000.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "x86/cpu.h"

namespace krvs::pc {

constexpr std::uint32_t linear(std::uint16_t segment, std::uint16_t offset) {
    return ((static_cast<std::uint32_t>(segment) << 4) + offset) & (x86::kMemorySize - 1);
}

class Memory {
public:
    Memory() : m_bytes(x86::kMemorySize + x86::kMemoryGuard, 0) {}

    std::uint8_t* data() { return m_bytes.data(); }
    const std::uint8_t* data() const { return m_bytes.data(); }

    std::uint8_t read8(std::uint32_t addr) const { return m_bytes[addr & kMask]; }
    std::uint16_t read16(std::uint32_t addr) const {
        return static_cast<std::uint16_t>(read8(addr) | (read8(addr + 1) << 8));
    }
    // Writes by the host (DOS and BIOS services, DEBUG) at or above the ROM boundary do nothing, as on a
    // real PC. The CPU gets the same boundary as its write limit (Cpu::setWriteLimit).
    void write8(std::uint32_t addr, std::uint8_t v) {
        if ((addr & kMask) < m_readOnlyFrom) m_bytes[addr & kMask] = v;
    }
    void setReadOnlyFrom(std::uint32_t linear) { m_readOnlyFrom = linear; }
    void write16(std::uint32_t addr, std::uint16_t v) {
        write8(addr, static_cast<std::uint8_t>(v));
        write8(addr + 1, static_cast<std::uint8_t>(v >> 8));
    }

    std::uint8_t read8(std::uint16_t seg, std::uint16_t off) const { return read8(linear(seg, off)); }
    // A word at offset FFFFh takes its high byte from offset 0000h of the same segment, as on the 8086.
    std::uint16_t read16(std::uint16_t seg, std::uint16_t off) const {
        return static_cast<std::uint16_t>(read8(seg, off) | (read8(seg, static_cast<std::uint16_t>(off + 1)) << 8));
    }
    void write8(std::uint16_t seg, std::uint16_t off, std::uint8_t v) { write8(linear(seg, off), v); }
    void write16(std::uint16_t seg, std::uint16_t off, std::uint16_t v) {
        write8(seg, off, static_cast<std::uint8_t>(v));
        write8(seg, static_cast<std::uint16_t>(off + 1), static_cast<std::uint8_t>(v >> 8));
    }

    void readBlock(std::uint16_t seg, std::uint16_t off, std::uint8_t* out, std::size_t n) const {
        for (std::size_t i = 0; i < n; ++i) out[i] = read8(seg, static_cast<std::uint16_t>(off + i));
    }
    void writeBlock(std::uint16_t seg, std::uint16_t off, const std::uint8_t* in, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) write8(seg, static_cast<std::uint16_t>(off + i), in[i]);
    }
    // A zero-terminated string of at most maxLen bytes.
    std::string readString(std::uint16_t seg, std::uint16_t off, std::size_t maxLen = 128) const {
        std::string s;
        for (std::size_t i = 0; i < maxLen; ++i) {
            char c = static_cast<char>(read8(seg, static_cast<std::uint16_t>(off + i)));
            if (c == 0) break;
            s.push_back(c);
        }
        return s;
    }

private:
    static constexpr std::uint32_t kMask = x86::kMemorySize - 1;
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_readOnlyFrom = x86::kMemorySize;
};

}  // namespace krvs::pc
