#include "debug/format.h"

#include <array>

#include "x86/decoder.h"
#include "x86/disasm.h"

namespace krvs::debug {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

struct FlagNames {
    std::uint16_t mask;
    const char* set;
    const char* clear;
};

constexpr std::array<FlagNames, 8> kFlagNames{{
    {x86::flag::OF, "OV", "NV"}, {x86::flag::DF, "DN", "UP"}, {x86::flag::IF, "EI", "DI"},
    {x86::flag::SF, "NG", "PL"}, {x86::flag::ZF, "ZR", "NZ"}, {x86::flag::AF, "AC", "NA"},
    {x86::flag::PF, "PE", "PO"}, {x86::flag::CF, "CY", "NC"},
}};

// Register display order and names; the numbers index Registers::gp / Registers::seg.
constexpr std::array<std::pair<const char*, int>, 8> kLine1{{
    {"AX", x86::AX}, {"BX", x86::BX}, {"CX", x86::CX}, {"DX", x86::DX},
    {"SP", x86::SP}, {"BP", x86::BP}, {"SI", x86::SI}, {"DI", x86::DI},
}};
constexpr std::array<std::pair<const char*, int>, 4> kLine2{{
    {"DS", x86::DS}, {"ES", x86::ES}, {"SS", x86::SS}, {"CS", x86::CS},
}};

void item(std::string& out, const char* name, std::uint16_t value) {
    out += name;
    out += '=';
    out += hex(value, 4);
    out += "  ";
}

// Enough bytes for the longest instruction; the window wraps inside the segment as the CPU fetches.
std::array<std::uint8_t, 8> window(const pc::Memory& memory, std::uint16_t segment, std::uint16_t offset) {
    std::array<std::uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = memory.read8(segment, static_cast<std::uint16_t>(offset + i));
    return bytes;
}

x86::Instruction decodeAt(const std::array<std::uint8_t, 8>& bytes, std::uint16_t offset) {
    // DEBUG knows the 8086 only: later opcodes show as DB.
    return x86::decode(bytes, offset, x86::CpuModel::I8086);
}

}  // namespace

std::string hex(std::uint32_t value, int digits) {
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) s[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return s;
}

std::string address(std::uint16_t segment, std::uint16_t offset) { return hex(segment, 4) + ':' + hex(offset, 4); }

std::string flagsText(std::uint16_t flags) {
    std::string s;
    for (const auto& f : kFlagNames) {
        if (!s.empty()) s += ' ';
        s += (flags & f.mask) ? f.set : f.clear;
    }
    return s;
}

std::string unassembleLine(const pc::Memory& memory, std::uint16_t segment, std::uint16_t offset, int& length) {
    auto bytes = window(memory, segment, offset);
    x86::Instruction insn = decodeAt(bytes, offset);
    length = insn.length ? insn.length : 1;
    return x86::formatULine(segment, offset, bytes, insn) + "\r\n";
}

std::string registerDisplay(const x86::Registers& regs, const pc::Memory& memory) {
    std::string out;
    for (const auto& [name, r] : kLine1) item(out, name, regs.gp[r]);
    out += "\r\n";
    for (const auto& [name, r] : kLine2) item(out, name, regs.seg[r]);
    item(out, "IP", regs.ip);
    out += ' ';
    out += flagsText(regs.flags);
    out += " \r\n";

    const std::uint16_t cs = regs.seg[x86::CS];
    std::uint16_t ip = regs.ip;
    auto bytes = window(memory, cs, ip);
    x86::Instruction insn = decodeAt(bytes, ip);
    int override = x86::kNoReg;
    if (insn.kind == x86::DecodeKind::Prefix) {
        // The prefix gets its own line; its segment, if any, applies to the next instruction's operand.
        out += x86::formatULine(cs, ip, bytes, insn) + "\r\n";
        override = x86::segmentOverrideOf(insn);
        ip = static_cast<std::uint16_t>(ip + 1);
        bytes = window(memory, cs, ip);
        insn = decodeAt(bytes, ip);
    }
    out += x86::formatULine(cs, ip, bytes, insn);
    auto read = [&memory](std::uint16_t s, std::uint16_t o) { return memory.read8(s, o); };
    out += x86::memoryOperandField(insn, regs, read, override);
    out += "\r\n";
    return out;
}

std::string dumpRows(const pc::Memory& memory, std::uint16_t segment, std::uint16_t offset, std::uint32_t length) {
    std::string out;
    std::uint32_t pos = offset;
    const std::uint32_t end = offset + length;  // one past the last byte, up to 10000h
    while (pos < end) {
        const std::uint32_t row = pos & ~0xFu;
        std::string line = address(segment, static_cast<std::uint16_t>(row)) + ' ';
        line.append(16 * 3 + 3 + 16, ' ');
        std::size_t lastChar = 0;
        for (std::uint32_t k = pos - row; k < 16 && row + k < end; ++k) {
            std::uint8_t b = memory.read8(segment, static_cast<std::uint16_t>(row + k));
            const std::size_t at = 10 + 3 * k;
            // The dash between the two halves only when the byte before it is on this line as well.
            if (k == 8 && row + 7 >= pos) line[at] = '-';
            line[at + 1] = kDigits[b >> 4];
            line[at + 2] = kDigits[b & 0xF];
            line[61 + k] = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
            lastChar = 61 + k + 1;
        }
        line.resize(lastChar);
        out += line;
        out += "\r\n";
        pos = row + 16;
    }
    return out;
}

}  // namespace krvs::debug
