// Loading data into the image and applying fixups; base and pointer fixups become relocations.
#include <cstdio>

#include "linker_impl.h"

namespace krvs::tlink::detail {

namespace {

std::string hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::uint32_t readLe(const std::vector<std::uint8_t>& image, std::uint32_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | image[at + static_cast<std::uint32_t>(i)];
    return v;
}

void writeLe(std::vector<std::uint8_t>& image, std::uint32_t at, int size, std::uint32_t value) {
    for (int i = 0; i < size; ++i) image[at + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::string Address::describe() const {
    if (!name.empty() || relocatable) return std::string(name);
    return hex4(frame) + "h";
}

bool Linker::buildImage() {
    m_image.assign(m_layoutEnd, 0);
    for (const auto& m : m_modules) {
        for (const auto& d : m.obj.data) {
            const Contribution& c = m_contributions[m.segmentMap[d.segmentIndex - 1]];
            const Segment& s = m_segments[c.segment];
            if (std::uint64_t(d.offset) + d.bytes.size() > c.length) {
                report(Severity::Fatal, "Bad object file " + m.fileName + ": data beyond the end of segment " + s.name);
                return false;
            }
            if (s.absolute || d.bytes.empty()) continue;  // AT segments only name addresses; nothing is loaded
            std::uint32_t at = c.base + d.offset;
            std::copy(d.bytes.begin(), d.bytes.end(), m_image.begin() + at);
            m_initEnd = std::max<std::uint32_t>(m_initEnd, at + static_cast<std::uint32_t>(d.bytes.size()));
            m_lowestData = std::min(m_lowestData, at);
        }
    }
    return true;
}

std::optional<Address> Linker::target(const Module& m, const omf::Reference& ref) const {
    Address a;
    switch (ref.target) {
        case omf::TargetMethod::Segment: {
            const Contribution& c = m_contributions[m.segmentMap[ref.targetDatum - 1]];
            const Segment& s = m_segments[c.segment];
            a = Address{c.base, 0, s.frame, !s.absolute, s.name};
            break;
        }
        case omf::TargetMethod::Group: {
            const Group& g = m_groups[m.groupMap[ref.targetDatum - 1]];
            a = Address{g.frame * 16, 0, g.frame, true, g.name};
            break;
        }
        case omf::TargetMethod::External: {
            int index = m.externMap[ref.targetDatum - 1];
            if (index < 0) return std::nullopt;  // already reported as undefined
            const Symbol& s = m_symbols[index];
            a = Address{s.linear, 0, s.frame, !s.absolute(), s.name};
            break;
        }
        case omf::TargetMethod::FrameNumber:
            a = Address{ref.targetDatum * 16, 0, ref.targetDatum, false, {}};
            break;
    }
    a.displacement = ref.displacement;
    return a;
}

std::optional<Address> Linker::frame(const Module& m, const omf::Reference& ref, const Address& tgt,
                                     const Segment* location) const {
    switch (ref.frame) {
        case omf::FrameMethod::Segment: {
            const Segment& s = segmentOf(m, ref.frameDatum);
            return Address{s.frame * 16, 0, s.frame, !s.absolute, s.name};
        }
        case omf::FrameMethod::Group: {
            const Group& g = m_groups[m.groupMap[ref.frameDatum - 1]];
            return Address{g.frame * 16, 0, g.frame, true, g.name};
        }
        case omf::FrameMethod::External: {
            int index = m.externMap[ref.frameDatum - 1];
            if (index < 0) return std::nullopt;
            const Symbol& s = m_symbols[index];
            return Address{s.frame * 16, 0, s.frame, !s.absolute(), s.name};
        }
        case omf::FrameMethod::FrameNumber:
            return Address{ref.frameDatum * 16, 0, ref.frameDatum, false, {}};
        case omf::FrameMethod::Location:
            if (location) return Address{location->frame * 16, 0, location->frame, !location->absolute, location->name};
            return Address{tgt.frame * 16, 0, tgt.frame, tgt.relocatable, tgt.name};
        case omf::FrameMethod::Target:
            return Address{tgt.frame * 16, 0, tgt.frame, tgt.relocatable, tgt.name};
        case omf::FrameMethod::None:
            return Address{0, 0, 0, false, {}};
    }
    return std::nullopt;
}

void Linker::addRelocation(const Segment& location, std::uint32_t where) {
    std::uint32_t segment = location.frame;
    std::uint32_t offset = where - segment * 16;
    if (offset > 0xFFFF) {
        segment = where >> 4;
        offset = where & 15;
    }
    m_result.relocations.push_back(Relocation{static_cast<std::uint16_t>(segment), static_cast<std::uint16_t>(offset)});
}

// Offsets, self-relative or not, into a byte, the high byte, a word or a dword. Returns false on overflow.
bool Linker::patchOffset(std::uint32_t at, const omf::Fixup& f, const Address& tgt, const Address& frm) {
    int size = omf::locationSize(f.location);
    bool wide = size == 4;
    // Overflow is judged on the target itself; its displacement is added modulo the field size.
    std::int64_t base = tgt.linear - frm.linear;
    std::int64_t value = base + tgt.displacement;
    bool ok = wide || (base >= 0 && base <= 0xFFFF);
    if (!f.segmentRelative) {
        std::int64_t from = std::int64_t(at) + size - frm.linear;
        ok = ok && (wide || (from >= 0 && from <= 0x10000));
        value -= from;
    }
    if (f.location == omf::Location::HighByte) {
        m_image[at] = static_cast<std::uint8_t>(m_image[at] + (value >> 8));
    } else if (size == 1) {
        std::int64_t sum = static_cast<std::int8_t>(m_image[at]) + value;
        ok = ok && (f.segmentRelative || (sum >= -128 && sum <= 127));
        m_image[at] = static_cast<std::uint8_t>(sum);
    } else {
        writeLe(m_image, at, size, readLe(m_image, at, size) + static_cast<std::uint32_t>(value));
    }
    return ok;
}

// Segment bases and far pointers; both leave a relocation when the frame moves with the program.
bool Linker::patchBase(std::uint32_t at, const omf::Fixup& f, const Address& tgt, const Address& frm,
                       const Segment& location) {
    int offsetSize = omf::locationSize(f.location) - 2;
    bool ok = true;
    if (offsetSize > 0) {
        std::int64_t base = tgt.linear - frm.linear;
        ok = offsetSize == 4 || (base >= 0 && base <= 0xFFFF);
        writeLe(m_image, at, offsetSize,
                readLe(m_image, at, offsetSize) + static_cast<std::uint32_t>(base + tgt.displacement));
    }
    std::uint32_t where = at + static_cast<std::uint32_t>(offsetSize);
    writeLe(m_image, where, 2, readLe(m_image, where, 2) + frm.frame);
    if (frm.relocatable) addRelocation(location, where);
    return ok;
}

void Linker::applyFixup(const Module& m, const Segment& location, std::uint32_t at, const omf::Fixup& f) {
    auto tgt = target(m, f.ref);
    if (!tgt) return;  // an undefined symbol, reported already
    auto frm = frame(m, f.ref, *tgt, &location);
    if (!frm) return;
    bool isBase = f.location == omf::Location::Base || f.location == omf::Location::Pointer32 ||
                  f.location == omf::Location::Pointer48;
    bool ok = isBase ? patchBase(at, f, *tgt, *frm, location) : patchOffset(at, f, *tgt, *frm);
    if (!ok)
        report(Severity::Error, "Fixup overflow at " + location.name + ":" + hex4(at - location.start) +
                                    ", target = " + tgt->describe() + " in module " + m.obj.name);
}

void Linker::applyFixups() {
    for (const auto& m : m_modules) {
        for (const auto& d : m.obj.data) {
            const Contribution& c = m_contributions[m.segmentMap[d.segmentIndex - 1]];
            const Segment& segment = m_segments[c.segment];
            if (segment.absolute) continue;
            for (const auto& f : d.fixups) applyFixup(m, segment, c.base + d.offset + f.offset, f);
        }
    }
}

}  // namespace krvs::tlink::detail
