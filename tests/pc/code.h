#pragma once
// A tiny byte builder for the test programs: the few 8086 forms they use, with patchable immediates.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace krvs::pc::test {

class Code {
public:
    explicit Code(std::uint16_t origin = 0x100) : m_origin(origin) {}

    std::uint16_t here() const { return static_cast<std::uint16_t>(m_origin + m_bytes.size()); }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

    Code& raw(std::initializer_list<int> bytes) {
        for (int b : bytes) m_bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    Code& text(const std::string& s) {
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        return *this;
    }
    Code& word(std::uint16_t w) { return raw({w & 0xFF, w >> 8}); }

    // MOV reg16, imm16 (reg in ModR/M order: AX CX DX BX SP BP SI DI). Returns where the immediate sits.
    std::size_t mov16(int reg, std::uint16_t imm) {
        raw({0xB8 + reg});
        word(imm);
        return m_bytes.size() - 2;
    }
    Code& mov(int reg, std::uint16_t imm) {
        mov16(reg, imm);
        return *this;
    }
    // MOV reg8, imm8 (AL CL DL BL AH CH DH BH).
    Code& mov8(int reg, std::uint8_t imm) { return raw({0xB0 + reg, imm}); }
    Code& intr(std::uint8_t n) { return raw({0xCD, n}); }
    Code& dos(std::uint8_t ah) { return mov8(kAH, ah).intr(0x21); }
    // Ends the program with AL as the exit code.
    Code& exitAl() { return mov8(kAH, 0x4C).intr(0x21); }
    Code& exitWith(std::uint8_t code) {
        mov16(kAX, static_cast<std::uint16_t>(0x4C00 | code));
        return intr(0x21);
    }
    // A short jump or conditional jump whose target is set later with land().
    std::size_t jump(std::uint8_t opcode) {
        raw({opcode, 0});
        return m_bytes.size() - 1;
    }
    void land(std::size_t at) { m_bytes[at] = static_cast<std::uint8_t>(m_bytes.size() - (at + 1)); }
    // Reserves `n` zero bytes of data; returns their address.
    std::uint16_t reserve(std::size_t n) {
        std::uint16_t at = here();
        m_bytes.insert(m_bytes.end(), n, 0);
        return at;
    }
    void patch16(std::size_t at, std::uint16_t value) {
        m_bytes[at] = static_cast<std::uint8_t>(value);
        m_bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void patch8(std::size_t at, std::uint8_t value) { m_bytes[at] = value; }

    static constexpr int kAX = 0, kCX = 1, kDX = 2, kBX = 3, kSP = 4, kBP = 5, kSI = 6, kDI = 7;
    static constexpr int kAL = 0, kCL = 1, kDL = 2, kBL = 3, kAH = 4, kCH = 5, kDH = 6, kBH = 7;

private:
    std::uint16_t m_origin;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace krvs::pc::test
