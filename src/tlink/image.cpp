// The entry point, the stack and the two output forms: MZ .EXE and .COM.
#include "linker_impl.h"

namespace krvs::tlink::detail {

namespace {

constexpr std::uint8_t kCombineStack = 5;
constexpr std::uint32_t kComOrigin = 0x100;
constexpr std::uint32_t kRelocTableOffset = 0x1E;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

void Linker::findEntryAndStack() {
    for (const auto& m : m_modules) {
        if (!m.obj.start || m_hasStart) continue;
        auto tgt = target(m, *m.obj.start);
        if (!tgt) continue;
        auto frm = frame(m, *m.obj.start, *tgt, nullptr);
        if (!frm) continue;
        std::int64_t ip = tgt->address() - frm->linear;
        if (ip < 0 || ip > 0xFFFF) {
            report(Severity::Error,
                   "Fixup overflow at program entry point, target = " + tgt->describe() + " in module " + m.obj.name);
            continue;
        }
        m_hasStart = true;
        for (int index : m_order) {
            const Segment& s = m_segments[index];
            if (tgt->address() >= s.start && tgt->address() < std::int64_t(s.start) + s.length) m_entrySegment = index;
        }
        m_cs = frm->frame;
        m_ip = static_cast<std::uint16_t>(ip);
    }
    for (int index : m_order) {
        const Segment& s = m_segments[index];
        if (s.combine != kCombineStack) continue;
        m_hasStack = true;
        m_ss = s.frame;
        m_sp = static_cast<std::uint16_t>(s.start - s.frame * 16u + s.length);
        break;
    }
    if (m_options.com) return;
    if (!m_hasStart) report(Severity::Warning, "No program starting address defined");
    if (!m_hasStack) report(Severity::Warning, "No stack");
}

void Linker::writeExe() {
    std::uint32_t imageSize = m_options.initAll ? m_layoutEnd : m_initEnd;
    if (m_result.relocations.size() > 0xFFFF) {
        report(Severity::Fatal, "Relocation table overflow");
        return;
    }
    std::size_t count = m_result.relocations.size();
    std::size_t headerBytes = (kRelocTableOffset + 4 * count + 15) / 16 * 16;
    std::size_t fileSize = headerBytes + imageSize;
    std::uint32_t extra = m_layoutEnd > imageSize ? m_layoutEnd - imageSize : 0;
    m_result.minAlloc = static_cast<std::uint16_t>((extra + 15) / 16);
    m_result.maxAlloc = 0xFFFF;
    m_result.initialCs = m_cs;
    m_result.initialIp = m_ip;
    m_result.initialSs = m_ss;
    m_result.initialSp = m_sp;
    m_result.image.assign(m_image.begin(), m_image.begin() + imageSize);

    std::vector<std::uint8_t>& out = m_result.program;
    out.assign(headerBytes, 0);
    out[0] = 'M';
    out[1] = 'Z';
    put16(out, 0x02, fileSize % 512);
    put16(out, 0x04, (fileSize + 511) / 512);
    put16(out, 0x06, count);
    put16(out, 0x08, headerBytes / 16);
    put16(out, 0x0A, m_result.minAlloc);
    put16(out, 0x0C, m_result.maxAlloc);
    put16(out, 0x0E, m_ss);
    put16(out, 0x10, m_sp);
    put16(out, 0x14, m_ip);
    put16(out, 0x16, m_cs);
    put16(out, 0x18, kRelocTableOffset);
    for (std::size_t i = 0; i < count; ++i) {
        put16(out, kRelocTableOffset + 4 * i, m_result.relocations[i].offset);
        put16(out, kRelocTableOffset + 4 * i + 2, m_result.relocations[i].segment);
    }
    out.insert(out.end(), m_result.image.begin(), m_result.image.end());
}

void Linker::writeCom() {
    const std::string prefix = "Cannot generate COM file : ";
    std::uint32_t end = m_options.initAll ? m_layoutEnd : m_initEnd;
    if (m_hasStack) return report(Severity::Fatal, prefix + "stack segment present");
    if (!m_result.relocations.empty()) return report(Severity::Fatal, prefix + "segment-relocatable items present");
    if (!m_hasStart || m_cs != 0 || m_ip != kComOrigin)
        return report(Severity::Fatal, prefix + "invalid initial entry point address");
    if (m_lowestData < kComOrigin) return report(Severity::Fatal, prefix + "data below initial CS:IP defined");
    if (end > 0x10000) return report(Severity::Fatal, prefix + "program exceeds 64K");
    m_result.initialCs = m_cs;
    m_result.initialIp = m_ip;
    if (end > kComOrigin) m_result.image.assign(m_image.begin() + kComOrigin, m_image.begin() + end);
    m_result.program = m_result.image;
}

}  // namespace krvs::tlink::detail
