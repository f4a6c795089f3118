// Writing OMF object files. RecordBuilder emits one record with its length and checksum; ObjectWriter
// takes a whole module (names, segments, groups, externals, publics, data with fixups, line numbers and
// the start address) and emits the records in the order linkers expect:
//   THEADR, COMENT..., LNAMES, SEGDEF..., GRPDEF..., EXTDEF, PUBDEF..., (LEDATA|LIDATA [FIXUPP])...,
//   LINNUM..., MODEND.
// It either collects the module and builds it at the end, or streams it: each record goes to a sink as
// soon as it is complete, so a large module is never held whole (the assembler writes its object so).
// Indexes handed out and taken by ObjectWriter are the 1-based OMF indexes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "omf/types.h"

namespace krvs::omf {

// Where records go as they are made.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // False when the bytes could not be taken; nothing more is written to a sink that failed.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
};

// Records appended to a vector.
class VectorSink : public RecordSink {
public:
    explicit VectorSink(std::vector<std::uint8_t>& out) : m_out(out) {}
    bool write(std::span<const std::uint8_t> bytes) override {
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        return true;
    }

private:
    std::vector<std::uint8_t>& m_out;
};

class RecordBuilder {
public:
    explicit RecordBuilder(std::uint8_t type) : m_type(type) {}

    RecordBuilder& byte(std::uint8_t value);
    RecordBuilder& word(std::uint16_t value);
    RecordBuilder& dword(std::uint32_t value);
    RecordBuilder& offset(std::uint32_t value, bool wide) { return wide ? dword(value) : word(static_cast<std::uint16_t>(value)); }
    RecordBuilder& index(std::uint16_t value);  // 1 or 2 bytes; values up to 7FFFh
    RecordBuilder& name(const std::string& text);  // length byte + at most 255 characters
    RecordBuilder& bytes(std::span<const std::uint8_t> data);

    std::size_t bodySize() const { return m_body.size(); }
    // Appends type, length, body and checksum to `out`.
    void appendTo(std::vector<std::uint8_t>& out) const;
    bool writeTo(RecordSink& out) const;

private:
    std::uint8_t m_type;
    std::vector<std::uint8_t> m_body;
};

// A LIDATA block: `repeat` copies of either `content` (a leaf) or the concatenation of `inner` blocks.
struct IteratedBlock {
    std::uint32_t repeat = 1;
    std::vector<IteratedBlock> inner;
    std::vector<std::uint8_t> content;
};

struct SegmentSpec {
    std::string name;
    std::string className;
    std::string overlayName;
    Align align = Align::Para;
    Combine combine = Combine::Private;
    std::uint32_t length = 0;   // may be set later with setSegmentLength
    bool use32 = false;
    std::uint16_t absFrame = 0;  // for Align::Absolute (SEGMENT AT frame)
};

class ObjectWriter {
public:
    // `moduleName` goes into THEADR; the assembler records the source file name there. The module is
    // collected and build() gives it.
    explicit ObjectWriter(std::string moduleName);
    // The module streamed to `out`: the header and definitions are written when the first data or line
    // number comes, data as it is added, line numbers as they come (all data first, then segment by
    // segment in order), MODEND at finish(). A call out of that order is refused and finish() says so.
    ObjectWriter(std::string moduleName, RecordSink& out);

    // A COMENT record, emitted after THEADR in the order added.
    void addComment(std::uint8_t commentClass, std::vector<std::uint8_t> text, std::uint8_t flags = 0x00);

    std::uint16_t addSegment(const SegmentSpec& def);                 // SEGDEF index
    void setSegmentLength(std::uint16_t segment, std::uint32_t length);
    std::uint16_t addGroup(const std::string& name, std::vector<std::uint16_t> segments);  // GRPDEF index
    std::uint16_t addExternal(const std::string& name);                // EXTDEF index (same name: same index)
    void addPublic(const std::string& name, std::uint16_t segment, std::uint32_t offset, std::uint16_t group = 0);
    void addAbsolutePublic(const std::string& name, std::uint16_t frame, std::uint32_t offset);

    // Data at `offset` in `segment`. Fixup offsets count from the first byte of `bytes`. Long spans are
    // split into records of at most 1024 data bytes, never through the middle of a fixup.
    void addData(std::uint16_t segment, std::uint32_t offset, std::span<const std::uint8_t> bytes,
                 std::vector<Fixup> fixups = {});
    // Repeated data (DUP) without fixups, as one LIDATA record.
    void addIteratedData(std::uint16_t segment, std::uint32_t offset, IteratedBlock block);

    // A source line starting at `offset` in `segment` (for the linker's /l map).
    void addLine(std::uint16_t segment, std::uint16_t line, std::uint32_t offset);

    void setStart(const Reference& start);  // MODEND start address; marks the module as main

    // All records of the module (collecting writer).
    std::vector<std::uint8_t> build() const;
    // Streaming writer: writes what remains. Empty when the whole module was written, else why not.
    std::string finish();

    static constexpr std::size_t kMaxDataPerRecord = 1024;
    // An index field holds 15 bits: at most this many names, segments, groups or externals.
    static constexpr std::size_t kMaxIndex = 0x7FFF;

private:
    struct Segment {
        SegmentSpec def;
        std::uint16_t nameIndex, classIndex, overlayIndex;
    };
    struct Group {
        std::uint16_t nameIndex;
        std::vector<std::uint16_t> segments;
    };
    struct Public {
        std::string name;
        std::uint16_t group, segment, frame;
        std::uint32_t offset;
    };
    struct Data {
        std::uint16_t segment;
        std::uint32_t offset;
        std::vector<std::uint8_t> bytes;
        std::vector<Fixup> fixups;
        std::optional<IteratedBlock> iterated;
    };
    struct Line {
        std::uint16_t segment, line;
        std::uint32_t offset;
    };
    struct CommentRec {
        std::uint8_t flags, commentClass;
        std::vector<std::uint8_t> text;
    };

    // A streaming writer's part of the module: nothing may be added to a part already written.
    enum class Stage : std::uint8_t { Definitions, Data, Lines, Done };
    // A sink that stops taking bytes after its first failure.
    struct Guard : RecordSink {
        RecordSink* out = nullptr;
        bool failed = false;
        bool write(std::span<const std::uint8_t> bytes) override;
    };

    std::uint16_t nameIndex(const std::string& name);
    bool definitionsOpen();
    bool reach(Stage stage);
    void flushLines();
    void emitHeader(RecordSink& out) const;
    void emitDefinitions(RecordSink& out) const;
    void emitData(RecordSink& out, const Data& d) const;
    void emitLedata(RecordSink& out, std::uint16_t segment, std::uint32_t offset, std::span<const std::uint8_t> bytes,
                    std::span<const Fixup> fixups) const;
    void emitLines(RecordSink& out, std::uint16_t segment, std::span<const Line> lines) const;
    void emitModend(RecordSink& out) const;

    std::string m_moduleName;
    std::vector<CommentRec> m_comments;
    std::vector<std::string> m_names;
    std::unordered_map<std::string, std::uint16_t> m_nameIndexes;  // a name's index, looked up per segment
    std::vector<Segment> m_segments;
    std::vector<Group> m_groups;
    std::vector<std::string> m_externals;
    std::unordered_map<std::string, std::uint16_t> m_externalIndexes;
    std::vector<Public> m_publics;
    std::vector<Data> m_data;
    std::vector<Line> m_lines;
    std::optional<Reference> m_start;

    // Streaming only.
    bool m_streaming = false;
    Guard m_out;
    Stage m_stage = Stage::Definitions;
    bool m_outOfOrder = false;
    bool m_tooManyNames = false;  // a name past kMaxIndex was given index 0
    std::vector<Line> m_lineBatch;  // line numbers of one segment not yet written
};

// Appends the FIXUP subrecords for `fixups` (no threads; explicit frame and target) to a FIXUPP builder.
void appendFixup(RecordBuilder& record, const Fixup& fixup, bool wide);

}  // namespace krvs::omf
