#include <array>

#include "pc/devices.h"

namespace krvs::pc {

bool KeyboardController::service() {
    if (m_full || m_queue.empty()) return false;
    m_current = m_queue.front();
    m_queue.pop_front();
    m_full = true;
    return true;
}

std::uint8_t KeyboardController::readData() {
    m_full = false;
    return m_current.scan;
}

namespace {

// US layout, scan code set 1: the unshifted and shifted character of each key.
struct KeyRow { std::uint8_t scan; char plain; char shifted; };
constexpr KeyRow kKeys[] = {
    {0x02, '1', '!'}, {0x03, '2', '@'}, {0x04, '3', '#'}, {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'}, {0x08, '7', '&'}, {0x09, '8', '*'}, {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'}, {0x0D, '=', '+'}, {0x10, 'q', 'Q'}, {0x11, 'w', 'W'}, {0x12, 'e', 'E'},
    {0x13, 'r', 'R'}, {0x14, 't', 'T'}, {0x15, 'y', 'Y'}, {0x16, 'u', 'U'}, {0x17, 'i', 'I'},
    {0x18, 'o', 'O'}, {0x19, 'p', 'P'}, {0x1A, '[', '{'}, {0x1B, ']', '}'}, {0x1E, 'a', 'A'},
    {0x1F, 's', 'S'}, {0x20, 'd', 'D'}, {0x21, 'f', 'F'}, {0x22, 'g', 'G'}, {0x23, 'h', 'H'},
    {0x24, 'j', 'J'}, {0x25, 'k', 'K'}, {0x26, 'l', 'L'}, {0x27, ';', ':'}, {0x28, '\'', '"'},
    {0x29, '`', '~'}, {0x2B, '\\', '|'}, {0x2C, 'z', 'Z'}, {0x2D, 'x', 'X'}, {0x2E, 'c', 'C'},
    {0x2F, 'v', 'V'}, {0x30, 'b', 'B'}, {0x31, 'n', 'N'}, {0x32, 'm', 'M'}, {0x33, ',', '<'},
    {0x34, '.', '>'}, {0x35, '/', '?'}, {0x39, ' ', ' '},
};

constexpr std::array<KeyStroke, 256> buildTable() {
    std::array<KeyStroke, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = {0, static_cast<std::uint8_t>(b), false};
    for (const auto& k : kKeys) {
        t[static_cast<std::uint8_t>(k.plain)] = {k.scan, static_cast<std::uint8_t>(k.plain), false};
        if (k.shifted != k.plain)
            t[static_cast<std::uint8_t>(k.shifted)] = {k.scan, static_cast<std::uint8_t>(k.shifted), true};
    }
    t[0x08] = {0x0E, 0x08, false};  // Backspace
    t[0x09] = {0x0F, 0x09, false};  // Tab
    t[0x0D] = {0x1C, 0x0D, false};  // Enter
    t[0x0A] = {0x1C, 0x0A, false};  // Ctrl+Enter gives LF
    t[0x1B] = {0x01, 0x1B, false};  // Esc
    // Ctrl+letter gives the control codes 01h-1Ah on the letter's key.
    for (const auto& k : kKeys)
        if (k.plain >= 'a' && k.plain <= 'z') t[k.plain - 'a' + 1] = {k.scan, static_cast<std::uint8_t>(k.plain - 'a' + 1), false};
    t[0x0D] = {0x1C, 0x0D, false};
    t[0x08] = {0x0E, 0x08, false};
    t[0x09] = {0x0F, 0x09, false};
    t[0x0A] = {0x1C, 0x0A, false};
    return t;
}

constexpr auto kByteKeys = buildTable();

}  // namespace

KeyStroke keyForByte(std::uint8_t byte) { return kByteKeys[byte]; }

std::uint8_t toBcd(int v) { return static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

std::uint8_t Cmos::read(const std::tm& now) const {
    switch (m_index) {
    case 0x00: return toBcd(now.tm_sec);
    case 0x02: return toBcd(now.tm_min);
    case 0x04: return toBcd(now.tm_hour);
    case 0x06: return toBcd(now.tm_wday + 1);
    case 0x07: return toBcd(now.tm_mday);
    case 0x08: return toBcd(now.tm_mon + 1);
    case 0x09: return toBcd(now.tm_year % 100);
    case 0x32: return toBcd((now.tm_year + 1900) / 100);
    case 0x0A: return 0x26;  // no update in progress, 32.768 kHz base, 1024 Hz rate
    case 0x0B: return 0x02;  // 24-hour, BCD
    case 0x0C: return 0x00;
    case 0x0D: return 0x80;  // battery good
    default: return m_ram[m_index];
    }
}

}  // namespace krvs::pc
