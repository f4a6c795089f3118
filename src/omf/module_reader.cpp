#include "module_reader.h"

#include <cstdio>
#include <map>

namespace krvs::omf {

using detail::ModuleReader;

namespace {

using Handler = std::optional<Error> (ModuleReader::*)(FieldReader&, const RawRecord&);

const std::map<std::uint8_t, Handler>& handlers() {
    static const std::map<std::uint8_t, Handler> table = {
        {kTheadr, &ModuleReader::theadr},   {kLheadr, &ModuleReader::theadr},
        {kComent, &ModuleReader::coment},   {kLnames, &ModuleReader::lnames},
        {kLlnames, &ModuleReader::lnames},  {kSegdef, &ModuleReader::segdef},
        {kSegdef32, &ModuleReader::segdef}, {kGrpdef, &ModuleReader::grpdef},
        {kExtdef, &ModuleReader::extdef},   {kLextdef, &ModuleReader::extdef},
        {kLextdef32, &ModuleReader::extdef}, {kPubdef, &ModuleReader::pubdef},
        {kPubdef32, &ModuleReader::pubdef}, {kLpubdef, &ModuleReader::pubdef},
        {kLpubdef32, &ModuleReader::pubdef}, {kLinnum, &ModuleReader::linnum},
        {kLinnum32, &ModuleReader::linnum}, {kLedata, &ModuleReader::ledata},
        {kLedata32, &ModuleReader::ledata}, {kLidata, &ModuleReader::lidata},
        {kLidata32, &ModuleReader::lidata}, {kFixupp, &ModuleReader::fixupp},
        {kFixupp32, &ModuleReader::fixupp}, {kModend, &ModuleReader::modend},
        {kModend32, &ModuleReader::modend}, {kComdef, &ModuleReader::unsupported},
        {kLcomdef, &ModuleReader::unsupported},
        {0xC2, &ModuleReader::unsupported},  // COMDAT
        {0xC3, &ModuleReader::unsupported},
    };
    return table;
}

Error truncated(const RawRecord& r) {
    char text[64];
    std::snprintf(text, sizeof text, "record %02Xh ends in the middle of a field", r.type);
    return Error{r.fileOffset, text};
}

}  // namespace

namespace detail {

std::optional<Error> ModuleReader::read(const RawRecord& record) {
    FieldReader in(record.body, record.fileOffset + 3);
    auto found = handlers().find(record.type);
    Handler handler = found == handlers().end() ? &ModuleReader::ignore : found->second;
    if (auto error = (this->*handler)(in, record)) return error;
    if (in.failed()) return truncated(record);
    return std::nullopt;
}

std::optional<Error> ModuleReader::checkIndex(std::size_t at, const char* what, std::uint16_t index,
                                              std::size_t count, bool zeroAllowed) const {
    if ((index == 0 && !zeroAllowed) || index > count) {
        char text[96];
        std::snprintf(text, sizeof text, "%s index %u out of range (1..%zu)", what, index, count);
        return Error{at, text};
    }
    return std::nullopt;
}

std::optional<Error> ModuleReader::theadr(FieldReader& in, const RawRecord&) {
    m_module.name = in.name();
    return std::nullopt;
}

std::optional<Error> ModuleReader::coment(FieldReader& in, const RawRecord&) {
    Comment c;
    c.flags = in.byte();
    c.commentClass = in.byte();
    auto rest = in.bytes(in.remaining());
    c.text.assign(rest.begin(), rest.end());
    m_module.comments.push_back(std::move(c));
    return std::nullopt;
}

std::optional<Error> ModuleReader::lnames(FieldReader& in, const RawRecord&) {
    while (!in.atEnd() && !in.failed()) m_module.names.push_back(in.name());
    return std::nullopt;
}

std::optional<Error> ModuleReader::segdef(FieldReader& in, const RawRecord& r) {
    bool wide = r.type & 1;
    std::uint8_t acbp = in.byte();
    SegmentDef s;
    std::uint8_t align = acbp >> 5;
    if (align > 5) return Error{r.fileOffset, "unsupported segment alignment in SEGDEF"};
    s.align = static_cast<Align>(align);
    s.combine = (acbp >> 2) & 7;
    s.big = acbp & 2;
    s.use32 = acbp & 1;
    if (s.align == Align::Absolute) {
        s.absFrame = in.word();
        s.absOffset = in.byte();
    }
    s.length = in.offset(wide);
    if (s.big) {
        if (s.length != 0) return Error{r.fileOffset, "SEGDEF has the big bit and a non-zero length"};
        s.length = wide ? 0xFFFFFFFFu : 0x10000u;
    }
    s.nameIndex = in.index();
    s.classIndex = in.index();
    s.overlayIndex = in.index();
    if (in.failed()) return std::nullopt;
    auto n = m_module.names.size();
    if (auto e = checkIndex(r.fileOffset, "segment name", s.nameIndex, n, false)) return e;
    if (auto e = checkIndex(r.fileOffset, "class name", s.classIndex, n, true)) return e;
    if (auto e = checkIndex(r.fileOffset, "overlay name", s.overlayIndex, n, true)) return e;
    m_module.segments.push_back(s);
    return std::nullopt;
}

std::optional<Error> ModuleReader::grpdef(FieldReader& in, const RawRecord& r) {
    GroupDef g;
    g.nameIndex = in.index();
    if (auto e = checkIndex(r.fileOffset, "group name", g.nameIndex, m_module.names.size(), false)) return e;
    while (!in.atEnd() && !in.failed()) {
        std::uint8_t kind = in.byte();
        if (kind != 0xFF) return Error{in.position() - 1, "GRPDEF component is not a segment index"};
        std::uint16_t seg = in.index();
        if (in.failed()) break;
        if (auto e = checkIndex(r.fileOffset, "group segment", seg, m_module.segments.size(), false)) return e;
        g.segments.push_back(seg);
    }
    m_module.groups.push_back(std::move(g));
    return std::nullopt;
}

std::optional<Error> ModuleReader::extdef(FieldReader& in, const RawRecord& r) {
    while (!in.atEnd() && !in.failed()) {
        ExternalDef e;
        e.name = in.name();
        e.typeIndex = in.index();
        e.local = r.type != kExtdef;
        if (!in.failed()) m_module.externals.push_back(std::move(e));
    }
    return std::nullopt;
}

std::optional<Error> ModuleReader::pubdef(FieldReader& in, const RawRecord& r) {
    bool wide = r.type & 1;
    std::uint16_t group = in.index();
    std::uint16_t segment = in.index();
    std::uint16_t frame = segment == 0 ? in.word() : 0;
    if (in.failed()) return std::nullopt;
    if (auto e = checkIndex(r.fileOffset, "public group", group, m_module.groups.size(), true)) return e;
    if (auto e = checkIndex(r.fileOffset, "public segment", segment, m_module.segments.size(), true)) return e;
    while (!in.atEnd() && !in.failed()) {
        PublicDef p;
        p.groupIndex = group;
        p.segmentIndex = segment;
        p.frame = frame;
        p.name = in.name();
        p.offset = in.offset(wide);
        p.typeIndex = in.index();
        p.local = r.type == kLpubdef || r.type == kLpubdef32;
        if (!in.failed()) m_module.publics.push_back(std::move(p));
    }
    return std::nullopt;
}

std::optional<Error> ModuleReader::linnum(FieldReader& in, const RawRecord& r) {
    bool wide = r.type & 1;
    LineRecord rec;
    rec.groupIndex = in.index();
    rec.segmentIndex = in.index();
    if (in.failed()) return std::nullopt;
    if (auto e = checkIndex(r.fileOffset, "line-number segment", rec.segmentIndex, m_module.segments.size(), false))
        return e;
    while (!in.atEnd() && !in.failed()) {
        LineEntry entry;
        entry.line = in.word();
        entry.offset = in.offset(wide);
        if (!in.failed()) rec.entries.push_back(entry);
    }
    m_module.lines.push_back(std::move(rec));
    return std::nullopt;
}

std::optional<Error> ModuleReader::ledata(FieldReader& in, const RawRecord& r) {
    DataRecord d;
    d.fileOffset = r.fileOffset;
    d.segmentIndex = in.index();
    d.offset = in.offset(r.type & 1);
    if (in.failed()) return std::nullopt;
    if (auto e = checkIndex(r.fileOffset, "data segment", d.segmentIndex, m_module.segments.size(), false)) return e;
    auto rest = in.bytes(in.remaining());
    d.bytes.assign(rest.begin(), rest.end());
    m_module.data.push_back(std::move(d));
    m_haveData = true;
    return std::nullopt;
}

std::optional<Error> ModuleReader::modend(FieldReader& in, const RawRecord& r) {
    if (in.atEnd()) return std::nullopt;
    std::uint8_t type = in.byte();
    m_module.isMain = type & 0x80;
    if (!(type & 0x40)) return std::nullopt;
    std::uint8_t endData = in.byte();
    if (endData & 0x88) return Error{r.fileOffset, "MODEND start address uses a fixup thread"};
    Reference ref;
    if (auto e = readReference(in, endData, r.type & 1, ref)) return e;
    if (!in.failed()) m_module.start = ref;
    return std::nullopt;
}

std::optional<Error> ModuleReader::ignore(FieldReader& in, const RawRecord&) {
    in.bytes(in.remaining());
    return std::nullopt;
}

std::optional<Error> ModuleReader::unsupported(FieldReader&, const RawRecord& r) {
    char text[64];
    std::snprintf(text, sizeof text, "unsupported record type %02Xh", r.type);
    return Error{r.fileOffset, text};
}

}  // namespace detail

Result<ObjectModule> readObject(std::span<const std::uint8_t> bytes) {
    auto records = splitRecords(bytes);
    if (!records) return records.error();
    if (records.value().empty() || (records.value().front().type != kTheadr && records.value().front().type != kLheadr))
        return Error{0, "the file does not start with a THEADR record"};
    ModuleReader reader;
    for (const auto& record : records.value())
        if (auto error = reader.read(record)) return *error;
    return std::move(reader.module());
}

}  // namespace krvs::omf
