// The ROM: one small stub per serviced vector, each trapping into the host with F1 xx.

#include <array>
#include <vector>

#include "services.h"

namespace krvs::pc {

namespace {

enum class StubKind : std::uint8_t {
    Plain,      // F1 n; IRET
    Sti,        // STI; F1 n; IRET  -- services that may wait for a key let IRQ1 in while they wait
    Timer,      // F1 08; INT 1Ch; F1 E0; IRET  -- the tick, the user hook, then EOI, as the BIOS does it
    HardwareEoi // F1 E0; IRET  -- unclaimed IRQs are acknowledged so they do not block lower ones
};

struct VectorService {
    std::uint8_t vector;
    StubKind kind;
    ServiceFn fn;
};

constexpr VectorService kVectors[] = {
    {0x00, StubKind::Plain, bios::divideError},
    {0x06, StubKind::Plain, bios::invalidOpcode},
    {0x08, StubKind::Timer, bios::timerTick},
    {0x09, StubKind::Plain, bios::keyboardIrq},
    {0x0A, StubKind::HardwareEoi, nullptr},
    {0x0B, StubKind::HardwareEoi, nullptr},
    {0x0C, StubKind::HardwareEoi, nullptr},
    {0x0D, StubKind::HardwareEoi, nullptr},
    {0x0E, StubKind::HardwareEoi, nullptr},
    {0x0F, StubKind::HardwareEoi, nullptr},
    {0x10, StubKind::Plain, bios::video},
    {0x11, StubKind::Plain, bios::equipment},
    {0x12, StubKind::Plain, bios::memorySize},
    {0x15, StubKind::Plain, bios::system},
    {0x16, StubKind::Sti, bios::keyboard},
    {0x1A, StubKind::Plain, bios::timeOfDay},
    {0x20, StubKind::Plain, dos::int20},
    {0x21, StubKind::Sti, dos::int21},
    {0x27, StubKind::Plain, dos::int27},
    {0x29, StubKind::Plain, bios::fastConsoleOut},
};

constexpr std::uint16_t kStubBase = 0x1000;
constexpr std::uint16_t kStubSize = 8;

}  // namespace

const std::array<ServiceFn, 256>& trapTable() {
    static const std::array<ServiceFn, 256> table = [] {
        std::array<ServiceFn, 256> t{};
        for (const auto& v : kVectors) t[v.vector] = v.fn;
        t[kTrapEoi] = bios::endOfInterrupt;
        return t;
    }();
    return table;
}

void Machine::installRom() {
    m_mem.write8(kRomSegment, kIretOffset, 0xCF);
    for (int v = 0; v < 256; ++v) {
        m_mem.write16(0, static_cast<std::uint16_t>(v * 4), kIretOffset);
        m_mem.write16(0, static_cast<std::uint16_t>(v * 4 + 2), kRomSegment);
    }
    for (const auto& v : kVectors) {
        std::vector<std::uint8_t> code;
        switch (v.kind) {
        case StubKind::Plain: code = {0xF1, v.vector, 0xCF}; break;
        case StubKind::Sti: code = {0xFB, 0xF1, v.vector, 0xCF}; break;
        case StubKind::Timer: code = {0xF1, v.vector, 0xCD, 0x1C, 0xF1, kTrapEoi, 0xCF}; break;
        case StubKind::HardwareEoi: code = {0xF1, kTrapEoi, 0xCF}; break;
        }
        auto off = static_cast<std::uint16_t>(kStubBase + v.vector * kStubSize);
        m_mem.writeBlock(kRomSegment, off, code.data(), code.size());
        m_mem.write16(0, static_cast<std::uint16_t>(v.vector * 4), off);
    }
    // The machine model byte and the BIOS date, which some programs look at.
    m_mem.write8(kRomSegment, 0xFFFE, 0xFF);
    const char date[] = "01/01/92";
    m_mem.writeBlock(kRomSegment, 0xFFF5, reinterpret_cast<const std::uint8_t*>(date), 8);
    // From here up the ROM is read-only to the CPU as well as to the host: a program that writes over
    // an entry point changes nothing, even within the slice of its next INT 21h.
    const std::uint32_t base = linear(kRomSegment, kRomWritableSize);
    m_mem.setReadOnlyFrom(base);
    m_cpu->setWriteLimit(base);
}

void Machine::noteRomWrites() {
    if (m_cpu->takeIgnoredWrite()) note("the program wrote into the ROM at F000h; the ROM ignored it");
}

void Machine::initBiosData() {
    using namespace bda;
    m_mem.write16(kSegment, kEquipment, 0x0021);  // 80x25 colour, one drive bit off, a keyboard
    m_mem.write16(kSegment, kMemoryKb, 640);
    m_mem.write16(kSegment, kKbdHead, kKbdBuffer);
    m_mem.write16(kSegment, kKbdTail, kKbdBuffer);
    m_mem.write16(kSegment, kKbdStart, kKbdBuffer);
    m_mem.write16(kSegment, kKbdEnd, kKbdBufferEnd);
    Services services(*this);
    bios::setMode(services, 3, true);
    std::tm t = localNow();
    auto seconds = static_cast<std::uint64_t>(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
    m_mem.write16(kSegment, kTicks, 0);
    auto ticks = static_cast<std::uint32_t>(seconds * kTicksPerDay / 86400);
    m_mem.write16(kSegment, kTicks, static_cast<std::uint16_t>(ticks));
    m_mem.write16(kSegment, kTicks + 2, static_cast<std::uint16_t>(ticks >> 16));
}

}  // namespace krvs::pc
