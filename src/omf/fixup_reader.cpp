// FIXUPP, LIDATA and the frame/target fields shared with MODEND.
#include <cstdio>

#include "module_reader.h"

namespace krvs::omf::detail {

namespace {

// Expanded LIDATA is capped well above any 16-bit segment so hostile repeat counts cannot exhaust memory.
constexpr std::size_t kMaxIteratedBytes = 0x100000;
constexpr int kMaxIteratedDepth = 16;

bool validLocation(unsigned code) {
    return code <= 5 || code == 9 || code == 11 || code == 13;
}

std::optional<Error> expandBlock(FieldReader& in, bool wide, int depth, std::vector<std::uint8_t>& out) {
    if (depth > kMaxIteratedDepth) return Error{in.position(), "LIDATA blocks nested too deeply"};
    std::uint32_t repeat = wide ? in.dword() : in.word();
    std::uint16_t blocks = in.word();
    std::vector<std::uint8_t> once;
    if (blocks == 0) {
        auto content = in.bytes(in.byte());
        once.assign(content.begin(), content.end());
    } else {
        for (std::uint16_t i = 0; i < blocks && !in.failed(); ++i)
            if (auto e = expandBlock(in, wide, depth + 1, once)) return e;
    }
    if (in.failed()) return std::nullopt;
    if (once.empty()) return std::nullopt;  // a 32-bit repeat count of nothing must not spin
    if (repeat > (kMaxIteratedBytes - out.size()) / once.size())
        return Error{in.position(), "LIDATA expands beyond 1 MB"};
    for (std::uint32_t i = 0; i < repeat; ++i) out.insert(out.end(), once.begin(), once.end());
    return std::nullopt;
}

}  // namespace

std::optional<Error> ModuleReader::lidata(FieldReader& in, const RawRecord& r) {
    bool wide = r.type & 1;
    DataRecord d;
    d.fileOffset = r.fileOffset;
    d.iterated = true;
    d.segmentIndex = in.index();
    d.offset = in.offset(wide);
    if (in.failed()) return std::nullopt;
    if (auto e = checkIndex(r.fileOffset, "data segment", d.segmentIndex, m_module.segments.size(), false)) return e;
    while (!in.atEnd() && !in.failed())
        if (auto e = expandBlock(in, wide, 0, d.bytes)) return e;
    m_module.data.push_back(std::move(d));
    m_haveData = true;
    return std::nullopt;
}

std::optional<Error> ModuleReader::checkFrame(std::size_t at, FrameMethod method, std::uint16_t datum) const {
    switch (method) {
        case FrameMethod::Segment: return checkIndex(at, "frame segment", datum, m_module.segments.size(), false);
        case FrameMethod::Group: return checkIndex(at, "frame group", datum, m_module.groups.size(), false);
        case FrameMethod::External: return checkIndex(at, "frame external", datum, m_module.externals.size(), false);
        case FrameMethod::FrameNumber:
        case FrameMethod::Location:
        case FrameMethod::Target:
        case FrameMethod::None: return std::nullopt;
    }
    return Error{at, "invalid frame method"};
}

std::optional<Error> ModuleReader::checkTarget(std::size_t at, TargetMethod method, std::uint16_t datum) const {
    switch (method) {
        case TargetMethod::Segment: return checkIndex(at, "target segment", datum, m_module.segments.size(), false);
        case TargetMethod::Group: return checkIndex(at, "target group", datum, m_module.groups.size(), false);
        case TargetMethod::External:
            return checkIndex(at, "target external", datum, m_module.externals.size(), false);
        case TargetMethod::FrameNumber: return std::nullopt;
    }
    return Error{at, "invalid target method"};
}

std::optional<Error> ModuleReader::readReference(FieldReader& in, std::uint8_t fixData, bool wide, Reference& ref) {
    std::size_t at = in.position();
    std::uint8_t frame = (fixData >> 4) & 7;
    if (fixData & 0x80) {
        const Thread& t = m_frameThreads[frame & 3];
        if (!t.defined) return Error{at, "fixup uses an undefined frame thread"};
        ref.frame = static_cast<FrameMethod>(t.method);
        ref.frameDatum = t.datum;
    } else {
        if (frame > 6) return Error{at, "invalid frame method 7"};
        ref.frame = static_cast<FrameMethod>(frame);
        if (frame < 3) ref.frameDatum = in.index();
        else if (frame == 3) ref.frameDatum = in.word();
    }
    std::uint8_t target = fixData & 3;
    if (fixData & 0x08) {
        const Thread& t = m_targetThreads[target];
        if (!t.defined) return Error{at, "fixup uses an undefined target thread"};
        ref.target = static_cast<TargetMethod>(t.method & 3);
        ref.targetDatum = t.datum;
    } else {
        ref.target = static_cast<TargetMethod>(target);
        ref.targetDatum = target == 3 ? in.word() : in.index();
    }
    ref.displacement = 0;
    // 16-bit displacements are signed, so "offset x - 2" survives a round trip; the linker adds them modulo 64K.
    if (!(fixData & 0x04))
        ref.displacement = wide ? static_cast<std::int32_t>(in.dword()) : static_cast<std::int16_t>(in.word());
    if (in.failed()) return std::nullopt;
    if (auto e = checkFrame(at, ref.frame, ref.frameDatum)) return e;
    return checkTarget(at, ref.target, ref.targetDatum);
}

std::optional<Error> ModuleReader::readThread(FieldReader& in, std::uint8_t first) {
    std::size_t at = in.position();
    bool isFrame = first & 0x40;
    std::uint8_t method = (first >> 2) & 7;
    Thread t{true, method, 0};
    if (isFrame) {
        if (method > 6) return Error{at, "invalid frame method 7 in a thread"};
        if (method < 3) t.datum = in.index();
        else if (method == 3) t.datum = in.word();
        if (auto e = checkFrame(at, static_cast<FrameMethod>(method), t.datum)) return e;
        m_frameThreads[first & 3] = t;
    } else {
        t.method = method & 3;
        t.datum = t.method == 3 ? in.word() : in.index();
        if (auto e = checkTarget(at, static_cast<TargetMethod>(t.method), t.datum)) return e;
        m_targetThreads[first & 3] = t;
    }
    return std::nullopt;
}

std::optional<Error> ModuleReader::readFixup(FieldReader& in, std::uint8_t first, bool wide) {
    std::size_t at = in.position() - 1;
    Fixup f;
    f.segmentRelative = first & 0x40;
    unsigned code = (first >> 2) & 0x0F;
    f.offset = static_cast<std::uint32_t>(((first & 3) << 8) | in.byte());
    std::uint8_t fixData = in.byte();
    if (in.failed()) return std::nullopt;
    if (!validLocation(code)) {
        char text[48];
        std::snprintf(text, sizeof text, "invalid fixup location type %u", code);
        return Error{at, text};
    }
    f.location = static_cast<Location>(code);
    if (auto e = readReference(in, fixData, wide, f.ref)) return e;
    if (in.failed()) return std::nullopt;
    if (!m_haveData) return Error{at, "FIXUPP refers to data, but no LEDATA precedes it"};
    DataRecord& data = m_module.data.back();
    if (data.iterated) return Error{at, "fixups in iterated data (LIDATA) are not supported"};
    if (f.offset + locationSize(f.location) > data.bytes.size()) return Error{at, "fixup lies outside its data record"};
    data.fixups.push_back(f);
    return std::nullopt;
}

std::optional<Error> ModuleReader::fixupp(FieldReader& in, const RawRecord& r) {
    bool wide = r.type & 1;
    while (!in.atEnd() && !in.failed()) {
        std::uint8_t first = in.byte();
        auto error = (first & 0x80) ? readFixup(in, first, wide) : readThread(in, first);
        if (error) return error;
    }
    return std::nullopt;
}

}  // namespace krvs::omf::detail
