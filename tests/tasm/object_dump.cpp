#include "object_dump.h"

#include <omf/reader.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace krvs::tasm::test {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::optional<omf::ObjectModule> readModule(const std::vector<std::uint8_t>& bytes, std::string* error) {
    auto r = omf::readObject(bytes);
    if (!r) {
        if (error) *error = r.error().message;
        return std::nullopt;
    }
    return r.value();
}

namespace {

std::uint32_t alignOf(omf::Align a) {
    switch (a) {
        case omf::Align::Byte: return 1;
        case omf::Align::Word: return 2;
        case omf::Align::Dword: return 4;
        case omf::Align::Page: return 256;
        default: return 16;
    }
}

std::string hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

}  // namespace

Layout layOut(const omf::ObjectModule& m) {
    Layout l;
    // Segments of one class stay together, classes in the order they first appear; a stack segment
    // without a class forms a class of its own. That is how the reference build was linked.
    std::vector<std::string> classes;
    auto classOf = [&](const omf::SegmentDef& s) {
        std::string c = m.nameAt(s.classIndex);
        if (c.empty() && s.combine == static_cast<std::uint8_t>(omf::Combine::Stack)) c = "\x01STACK";
        return c;
    };
    for (const omf::SegmentDef& s : m.segments)
        if (std::find(classes.begin(), classes.end(), classOf(s)) == classes.end()) classes.push_back(classOf(s));
    std::uint32_t pos = 0;
    l.segBase.assign(m.segments.size(), 0);
    for (const std::string& c : classes) {
        for (size_t i = 0; i < m.segments.size(); ++i) {
            const omf::SegmentDef& s = m.segments[i];
            if (classOf(s) != c) continue;
            std::uint32_t a = alignOf(s.align);
            pos = (pos + a - 1) / a * a;
            l.segBase[i] = pos;
            pos += s.length;
        }
    }
    l.image.assign(pos, 0);
    std::vector<std::uint32_t> groupBase;
    for (const omf::GroupDef& g : m.groups) {
        std::uint32_t b = 0xFFFFFFFF;
        for (std::uint16_t s : g.segments) b = std::min(b, l.segBase[s - 1]);
        groupBase.push_back(b & ~15u);
    }
    auto word = [&](std::uint32_t at) { return static_cast<std::uint16_t>(l.image[at] | (l.image[at + 1] << 8)); };
    auto put = [&](std::uint32_t at, std::uint32_t v) {
        l.image[at] = static_cast<std::uint8_t>(v);
        l.image[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    for (const omf::DataRecord& d : m.data) {
        std::uint32_t base = l.segBase[d.segmentIndex - 1] + d.offset;
        std::copy(d.bytes.begin(), d.bytes.end(), l.image.begin() + base);
    }
    for (const omf::DataRecord& d : m.data) {
        std::uint32_t base = l.segBase[d.segmentIndex - 1] + d.offset;
        for (const omf::Fixup& f : d.fixups) {
            std::uint32_t at = base + f.offset;
            std::uint32_t target = 0, frame = 0;
            switch (f.ref.target) {
                case omf::TargetMethod::Segment: target = l.segBase[f.ref.targetDatum - 1]; break;
                case omf::TargetMethod::Group: target = groupBase[f.ref.targetDatum - 1]; break;
                default: l.error = "external or absolute target"; return l;
            }
            std::uint32_t targetFrame = f.ref.target == omf::TargetMethod::Group ? target : target & ~15u;
            switch (f.ref.frame) {
                case omf::FrameMethod::Segment: frame = l.segBase[f.ref.frameDatum - 1] & ~15u; break;
                case omf::FrameMethod::Group: frame = groupBase[f.ref.frameDatum - 1]; break;
                case omf::FrameMethod::Target: frame = targetFrame; break;
                case omf::FrameMethod::Location: frame = l.segBase[d.segmentIndex - 1] & ~15u; break;
                default: l.error = "unsupported frame"; return l;
            }
            target += static_cast<std::uint32_t>(f.ref.displacement);
            if (!f.segmentRelative) {
                put(at, word(at) + target - (at + 2));
                continue;
            }
            switch (f.location) {
                case omf::Location::LowByte: l.image[at] = static_cast<std::uint8_t>(l.image[at] + target - frame); break;
                case omf::Location::Offset16: put(at, word(at) + target - frame); break;
                case omf::Location::Base: put(at, word(at) + (targetFrame >> 4)); break;
                case omf::Location::Pointer32:
                    put(at, word(at) + target - frame);
                    put(at + 2, word(at + 2) + (frame >> 4));
                    break;
                default: l.error = "unsupported location"; return l;
            }
        }
    }
    return l;
}

std::string dumpModule(const omf::ObjectModule& m) {
    std::ostringstream o;
    auto segName = [&](std::uint16_t i) { return i ? m.nameAt(m.segments[i - 1].nameIndex) : std::string("-"); };
    for (size_t i = 0; i < m.segments.size(); ++i) {
        const omf::SegmentDef& s = m.segments[i];
        o << "SEGMENT " << m.nameAt(s.nameIndex) << " class=" << m.nameAt(s.classIndex)
          << " align=" << static_cast<int>(s.align) << " combine=" << static_cast<int>(s.combine)
          << " length=" << hex(s.length, 4) << "\n";
    }
    for (const omf::GroupDef& g : m.groups) {
        o << "GROUP " << m.nameAt(g.nameIndex);
        for (std::uint16_t s : g.segments) o << " " << segName(s);
        o << "\n";
    }
    for (const omf::ExternalDef& e : m.externals) o << "EXTERN " << e.name << "\n";
    for (const omf::PublicDef& p : m.publics)
        o << "PUBLIC " << p.name << " " << segName(p.segmentIndex) << ":" << hex(p.offset, 4) << "\n";
    for (const omf::DataRecord& d : m.data) {
        o << "DATA " << segName(d.segmentIndex) << ":" << hex(d.offset, 4);
        for (std::uint8_t b : d.bytes) o << " " << hex(b, 2);
        o << "\n";
        for (const omf::Fixup& f : d.fixups) {
            o << "  FIXUP +" << hex(f.offset, 4) << " loc=" << static_cast<int>(f.location)
              << (f.segmentRelative ? " seg" : " self") << " frame=" << static_cast<int>(f.ref.frame) << ":"
              << f.ref.frameDatum << " target=" << static_cast<int>(f.ref.target) << ":" << f.ref.targetDatum
              << " disp=" << f.ref.displacement << "\n";
        }
    }
    for (const omf::LineRecord& r : m.lines)
        for (const omf::LineEntry& e : r.entries) o << "LINE " << e.line << " " << segName(r.segmentIndex) << ":" << hex(e.offset, 4) << "\n";
    if (m.start) o << "START target=" << static_cast<int>(m.start->target) << ":" << m.start->targetDatum
                   << " frame=" << static_cast<int>(m.start->frame) << ":" << m.start->frameDatum
                   << " disp=" << hex(static_cast<std::uint32_t>(m.start->displacement), 4) << "\n";
    return o.str();
}

}  // namespace krvs::tasm::test
