#include "omf/writer.h"

#include <algorithm>

namespace krvs::omf {

namespace {

// Records are kept near the classic 1 KB size so old linkers with fixed buffers read them too.
constexpr std::size_t kRecordBudget = 1000;

bool needsWideOffset(std::uint32_t value) { return value > 0xFFFF; }

}  // namespace

RecordBuilder& RecordBuilder::byte(std::uint8_t value) {
    m_body.push_back(value);
    return *this;
}

RecordBuilder& RecordBuilder::word(std::uint16_t value) {
    m_body.push_back(static_cast<std::uint8_t>(value));
    m_body.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
}

RecordBuilder& RecordBuilder::dword(std::uint32_t value) {
    word(static_cast<std::uint16_t>(value));
    return word(static_cast<std::uint16_t>(value >> 16));
}

RecordBuilder& RecordBuilder::index(std::uint16_t value) {
    if (value < 0x80) return byte(static_cast<std::uint8_t>(value));
    byte(static_cast<std::uint8_t>(0x80 | ((value >> 8) & 0x7F)));
    return byte(static_cast<std::uint8_t>(value));
}

RecordBuilder& RecordBuilder::name(const std::string& text) {
    std::size_t length = std::min<std::size_t>(text.size(), 255);
    byte(static_cast<std::uint8_t>(length));
    m_body.insert(m_body.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    return *this;
}

RecordBuilder& RecordBuilder::bytes(std::span<const std::uint8_t> data) {
    m_body.insert(m_body.end(), data.begin(), data.end());
    return *this;
}

void RecordBuilder::appendTo(std::vector<std::uint8_t>& out) const {
    VectorSink sink(out);
    writeTo(sink);
}

bool RecordBuilder::writeTo(RecordSink& out) const {
    std::size_t length = m_body.size() + 1;
    const std::uint8_t head[3] = {m_type, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
    std::uint8_t sum = static_cast<std::uint8_t>(head[0] + head[1] + head[2]);
    for (std::uint8_t b : m_body) sum = static_cast<std::uint8_t>(sum + b);
    const std::uint8_t check = static_cast<std::uint8_t>(-sum);
    return out.write(head) && out.write(m_body) && out.write(std::span<const std::uint8_t>(&check, 1));
}

namespace {

void appendDatum(RecordBuilder& record, unsigned method, std::uint16_t datum) {
    if (method < 3) record.index(datum);
    else if (method == 3) record.word(datum);
}

void appendReference(RecordBuilder& record, const Reference& ref, bool wide, bool alwaysDisplacement = false) {
    unsigned frame = static_cast<unsigned>(ref.frame);
    unsigned target = static_cast<unsigned>(ref.target);
    // MODEND start addresses always carry the displacement field; some linkers ignore the P bit there.
    bool noDisplacement = ref.displacement == 0 && !alwaysDisplacement;
    record.byte(static_cast<std::uint8_t>((frame << 4) | (noDisplacement ? 4 : 0) | target));
    appendDatum(record, frame, ref.frameDatum);
    appendDatum(record, target, ref.targetDatum);
    if (!noDisplacement) record.offset(static_cast<std::uint32_t>(ref.displacement), wide);
}

// Emits names (or other length-prefixed items) in as many records of `type` as needed.
template <class Items, class Append>
void emitSplit(RecordSink& out, std::uint8_t type, const Items& items, Append append) {
    RecordBuilder record(type);
    bool any = false;
    for (const auto& item : items) {
        if (record.bodySize() > kRecordBudget) {
            record.writeTo(out);
            record = RecordBuilder(type);
        }
        append(record, item);
        any = true;
    }
    if (any) record.writeTo(out);
}

// Splits data at `offset` into records of at most `limit` bytes, never through the middle of a fixup;
// `fixups` are sorted by offset and count from the first byte. Calls `emit(start, end, first, last)`
// for each record with the span of bytes and the range of fixups in it.
template <class Emit>
void forEachRecord(std::size_t size, std::span<const Fixup> fixups, std::size_t limit, Emit emit) {
    std::size_t start = 0, first = 0;
    while (start < size) {
        std::size_t end = std::min(size, start + limit);
        while (first < fixups.size() && fixups[first].offset < start) ++first;
        std::size_t last = first;
        for (; last < fixups.size() && fixups[last].offset < end; ++last) {
            const Fixup& f = fixups[last];
            if (f.offset > start && f.offset + locationSize(f.location) > end) {
                end = f.offset;
                break;
            }
        }
        while (last > first && fixups[last - 1].offset >= end) --last;  // a smaller one at the same offset
        emit(start, end, first, last);
        first = last;
        start = end;
    }
}

void writeBlock(RecordBuilder& record, const IteratedBlock& block, bool wide) {
    record.offset(block.repeat, wide);
    record.word(static_cast<std::uint16_t>(block.inner.size()));
    if (block.inner.empty()) {
        record.byte(static_cast<std::uint8_t>(block.content.size()));
        record.bytes(block.content);
    } else {
        for (const auto& inner : block.inner) writeBlock(record, inner, wide);
    }
}

}  // namespace

void appendFixup(RecordBuilder& record, const Fixup& fixup, bool wide) {
    unsigned code = static_cast<unsigned>(fixup.location);
    record.byte(static_cast<std::uint8_t>(0x80 | (fixup.segmentRelative ? 0x40 : 0) | (code << 2) |
                                          ((fixup.offset >> 8) & 3)));
    record.byte(static_cast<std::uint8_t>(fixup.offset));
    appendReference(record, fixup.ref, wide);
}

bool ObjectWriter::Guard::write(std::span<const std::uint8_t> bytes) {
    if (!failed) failed = !out->write(bytes);
    return !failed;
}

ObjectWriter::ObjectWriter(std::string moduleName) : m_moduleName(std::move(moduleName)) {
    nameIndex("");  // index 1: the empty name, for segments without class or overlay
}

ObjectWriter::ObjectWriter(std::string moduleName, RecordSink& out) : ObjectWriter(std::move(moduleName)) {
    m_streaming = true;
    m_out.out = &out;
}

// A streaming writer has written the definitions once the data began.
bool ObjectWriter::definitionsOpen() {
    if (m_streaming && m_stage != Stage::Definitions) m_outOfOrder = true;
    return !m_outOfOrder || !m_streaming;
}

// A streaming writer moves on to `stage`, writing the header and definitions on the way; false when
// that part of the module was already written.
bool ObjectWriter::reach(Stage stage) {
    if (m_stage > stage) {
        m_outOfOrder = true;
        return false;
    }
    if (m_stage == Stage::Definitions && stage != Stage::Definitions) {
        emitHeader(m_out);
        emitDefinitions(m_out);
    }
    m_stage = stage;
    return true;
}

std::uint16_t ObjectWriter::nameIndex(const std::string& name) {
    if (auto found = m_nameIndexes.find(name); found != m_nameIndexes.end()) return found->second;
    if (m_names.size() >= kMaxIndex) {  // its index would come out as another name's
        m_tooManyNames = true;
        return 0;
    }
    m_names.push_back(name);
    const auto index = static_cast<std::uint16_t>(m_names.size());
    m_nameIndexes.emplace(name, index);
    return index;
}

void ObjectWriter::addComment(std::uint8_t commentClass, std::vector<std::uint8_t> text, std::uint8_t flags) {
    if (definitionsOpen()) m_comments.push_back(CommentRec{flags, commentClass, std::move(text)});
}

std::uint16_t ObjectWriter::addSegment(const SegmentSpec& def) {
    definitionsOpen();
    Segment s{def, nameIndex(def.name), nameIndex(def.className), nameIndex(def.overlayName)};
    m_segments.push_back(std::move(s));
    return static_cast<std::uint16_t>(m_segments.size());
}

void ObjectWriter::setSegmentLength(std::uint16_t segment, std::uint32_t length) {
    if (definitionsOpen() && segment >= 1 && segment <= m_segments.size()) m_segments[segment - 1].def.length = length;
}

std::uint16_t ObjectWriter::addGroup(const std::string& name, std::vector<std::uint16_t> segments) {
    definitionsOpen();
    m_groups.push_back(Group{nameIndex(name), std::move(segments)});
    return static_cast<std::uint16_t>(m_groups.size());
}

std::uint16_t ObjectWriter::addExternal(const std::string& name) {
    definitionsOpen();
    if (auto found = m_externalIndexes.find(name); found != m_externalIndexes.end()) return found->second;
    m_externals.push_back(name);
    const auto index = static_cast<std::uint16_t>(m_externals.size());
    m_externalIndexes.emplace(name, index);
    return index;
}

void ObjectWriter::addPublic(const std::string& name, std::uint16_t segment, std::uint32_t offset, std::uint16_t group) {
    if (definitionsOpen()) m_publics.push_back(Public{name, group, segment, 0, offset});
}

void ObjectWriter::addAbsolutePublic(const std::string& name, std::uint16_t frame, std::uint32_t offset) {
    if (definitionsOpen()) m_publics.push_back(Public{name, 0, 0, frame, offset});
}

void ObjectWriter::addData(std::uint16_t segment, std::uint32_t offset, std::span<const std::uint8_t> bytes,
                           std::vector<Fixup> fixups) {
    if (m_streaming && !reach(Stage::Data)) return;
    std::sort(fixups.begin(), fixups.end(), [](const Fixup& a, const Fixup& b) { return a.offset < b.offset; });
    forEachRecord(bytes.size(), fixups, kMaxDataPerRecord, [&](std::size_t start, std::size_t end, std::size_t first,
                                                               std::size_t last) {
        const auto at = offset + static_cast<std::uint32_t>(start);
        std::vector<Fixup> moved(fixups.begin() + static_cast<std::ptrdiff_t>(first),
                                 fixups.begin() + static_cast<std::ptrdiff_t>(last));
        for (Fixup& f : moved) f.offset -= static_cast<std::uint32_t>(start);
        std::span<const std::uint8_t> part = bytes.subspan(start, end - start);
        if (m_streaming) {
            emitLedata(m_out, segment, at, part, moved);
            return;
        }
        m_data.push_back(Data{segment, at, std::vector<std::uint8_t>(part.begin(), part.end()), std::move(moved),
                              std::nullopt});
    });
}

void ObjectWriter::addIteratedData(std::uint16_t segment, std::uint32_t offset, IteratedBlock block) {
    Data d{segment, offset, {}, {}, std::move(block)};
    if (!m_streaming) m_data.push_back(std::move(d));
    else if (reach(Stage::Data)) emitData(m_out, d);
}

void ObjectWriter::addLine(std::uint16_t segment, std::uint16_t line, std::uint32_t offset) {
    if (!m_streaming) {
        m_lines.push_back(Line{segment, line, offset});
        return;
    }
    if (!reach(Stage::Lines)) return;
    // Lines go out segment by segment, as the collecting writer orders them.
    if (!m_lineBatch.empty() && m_lineBatch.back().segment != segment) {
        if (segment < m_lineBatch.back().segment) {
            m_outOfOrder = true;
            return;
        }
        flushLines();
    }
    m_lineBatch.push_back(Line{segment, line, offset});
}

void ObjectWriter::flushLines() {
    if (!m_lineBatch.empty() && m_lineBatch.front().segment >= 1 && m_lineBatch.front().segment <= m_segments.size())
        emitLines(m_out, m_lineBatch.front().segment, m_lineBatch);
    m_lineBatch.clear();
}

void ObjectWriter::setStart(const Reference& start) { m_start = start; }

void ObjectWriter::emitHeader(RecordSink& out) const {
    RecordBuilder(kTheadr).name(m_moduleName).writeTo(out);
    for (const auto& c : m_comments)
        RecordBuilder(kComent).byte(c.flags).byte(c.commentClass).bytes(c.text).writeTo(out);
}

void ObjectWriter::emitDefinitions(RecordSink& out) const {
    emitSplit(out, kLnames, m_names, [](RecordBuilder& r, const std::string& n) { r.name(n); });
    for (const auto& s : m_segments) {
        bool wide = s.def.use32 || s.def.length > 0x10000;
        bool big = !wide && s.def.length == 0x10000;
        auto acbp = static_cast<std::uint8_t>((static_cast<unsigned>(s.def.align) << 5) |
                                              (static_cast<unsigned>(s.def.combine) << 2) | (big ? 2 : 0) |
                                              (s.def.use32 ? 1 : 0));
        RecordBuilder r(wide ? kSegdef32 : kSegdef);
        r.byte(acbp);
        if (s.def.align == Align::Absolute) r.word(s.def.absFrame).byte(0);
        r.offset(big ? 0 : s.def.length, wide).index(s.nameIndex).index(s.classIndex).index(s.overlayIndex);
        r.writeTo(out);
    }
    for (const auto& g : m_groups) {
        RecordBuilder r(kGrpdef);
        r.index(g.nameIndex);
        for (auto seg : g.segments) r.byte(0xFF).index(seg);
        r.writeTo(out);
    }
    emitSplit(out, kExtdef, m_externals, [](RecordBuilder& r, const std::string& n) { r.name(n).index(0); });
    std::size_t i = 0;
    while (i < m_publics.size()) {
        const Public& head = m_publics[i];
        bool wide = false;
        std::size_t j = i;
        while (j < m_publics.size() && m_publics[j].group == head.group && m_publics[j].segment == head.segment &&
               m_publics[j].frame == head.frame && j - i < 64)
            wide = wide || needsWideOffset(m_publics[j++].offset);
        RecordBuilder r(wide ? kPubdef32 : kPubdef);
        r.index(head.group).index(head.segment);
        if (head.segment == 0) r.word(head.frame);
        for (std::size_t k = i; k < j; ++k) r.name(m_publics[k].name).offset(m_publics[k].offset, wide).index(0);
        r.writeTo(out);
        i = j;
    }
}

void ObjectWriter::emitLedata(RecordSink& out, std::uint16_t segment, std::uint32_t offset,
                              std::span<const std::uint8_t> bytes, std::span<const Fixup> fixups) const {
    bool wide = needsWideOffset(offset);
    if (segment >= 1 && segment <= m_segments.size()) wide = wide || m_segments[segment - 1].def.use32;
    RecordBuilder(wide ? kLedata32 : kLedata).index(segment).offset(offset, wide).bytes(bytes).writeTo(out);
    emitSplit(out, wide ? kFixupp32 : kFixupp, fixups,
              [wide](RecordBuilder& r, const Fixup& f) { appendFixup(r, f, wide); });
}

void ObjectWriter::emitData(RecordSink& out, const Data& d) const {
    if (!d.iterated) {
        emitLedata(out, d.segment, d.offset, d.bytes, d.fixups);
        return;
    }
    bool wide = needsWideOffset(d.offset);
    if (d.segment >= 1 && d.segment <= m_segments.size()) wide = wide || m_segments[d.segment - 1].def.use32;
    RecordBuilder r(wide ? kLidata32 : kLidata);
    r.index(d.segment).offset(d.offset, wide);
    writeBlock(r, *d.iterated, wide);
    r.writeTo(out);
}

// One segment's line numbers, 200 to a record.
void ObjectWriter::emitLines(RecordSink& out, std::uint16_t segment, std::span<const Line> lines) const {
    for (std::size_t i = 0; i < lines.size(); i += 200) {
        std::size_t end = std::min(lines.size(), i + 200);
        bool wide = false;
        for (std::size_t k = i; k < end; ++k) wide = wide || needsWideOffset(lines[k].offset);
        RecordBuilder r(wide ? kLinnum32 : kLinnum);
        r.index(0).index(segment);
        for (std::size_t k = i; k < end; ++k) r.word(lines[k].line).offset(lines[k].offset, wide);
        r.writeTo(out);
    }
}

void ObjectWriter::emitModend(RecordSink& out) const {
    if (!m_start) {
        RecordBuilder(kModend).byte(0x00).writeTo(out);
        return;
    }
    bool wide = needsWideOffset(static_cast<std::uint32_t>(m_start->displacement));
    RecordBuilder r(wide ? kModend32 : kModend);
    r.byte(0xC1);
    appendReference(r, *m_start, wide, true);
    r.writeTo(out);
}

std::vector<std::uint8_t> ObjectWriter::build() const {
    std::vector<std::uint8_t> bytes;
    VectorSink out(bytes);
    emitHeader(out);
    emitDefinitions(out);
    for (const Data& d : m_data) emitData(out, d);
    for (std::size_t seg = 1; seg <= m_segments.size(); ++seg) {
        std::vector<Line> lines;
        for (const auto& l : m_lines)
            if (l.segment == seg) lines.push_back(l);
        emitLines(out, static_cast<std::uint16_t>(seg), lines);
    }
    emitModend(out);
    return bytes;
}

std::string ObjectWriter::finish() {
    if (m_stage != Stage::Done && reach(Stage::Lines)) {
        flushLines();
        emitModend(m_out);
        m_stage = Stage::Done;
    }
    if (m_outOfOrder) return "records added out of order";
    if (m_tooManyNames) return "more than 32767 names (segments, classes, groups) in one module";
    if (m_out.failed) return "the object file could not be written";
    return {};
}

}  // namespace krvs::omf
