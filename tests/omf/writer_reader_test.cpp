// The writer's output read back by the reader, records checked byte by byte where the layout matters,
// and objects from an independent assembler (NASM) read as they are.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "omf/reader.h"
#include "omf/writer.h"

namespace krvs::omf {
namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Reference segTarget(std::uint16_t seg, std::int32_t disp = 0, FrameMethod frame = FrameMethod::Target,
                    std::uint16_t frameDatum = 0) {
    return Reference{frame, frameDatum, TargetMethod::Segment, seg, disp};
}

// A module using every feature of the writer.
struct FullModule {
    ObjectWriter writer{"full.asm"};
    std::uint16_t code, data, stack, video, big, dgroup, ext;
    std::vector<std::uint8_t> codeBytes;

    FullModule() {
        code = writer.addSegment({"_TEXT", "CODE", "", Align::Byte, Combine::Public, 0});
        data = writer.addSegment({"_DATA", "DATA", "", Align::Word, Combine::Public, 0x10});
        stack = writer.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x100});
        video = writer.addSegment({"VIDEO", "", "", Align::Absolute, Combine::Private, 0, false, 0xB800});
        big = writer.addSegment({"BIG", "FAR_DATA", "", Align::Para, Combine::Private, 0x10000});
        dgroup = writer.addGroup("DGROUP", {data, stack});
        ext = writer.addExternal("PRINT");
        EXPECT_EQ(writer.addExternal("PRINT"), ext);
        writer.addPublic("START", code, 0);
        writer.addPublic("VAR", data, 4, dgroup);
        writer.addAbsolutePublic("SCREEN", 0xB800, 0x10);
        codeBytes.resize(3000);
        for (std::size_t i = 0; i < codeBytes.size(); ++i) codeBytes[i] = static_cast<std::uint8_t>(i * 7);
        std::vector<Fixup> fixups = {
            {1, Location::Base, true, segTarget(data)},
            // Straddles the first 1024-byte boundary: the writer must not cut it.
            {1023, Location::Offset16, true, Reference{FrameMethod::Group, dgroup, TargetMethod::Segment, data, 4}},
            {2000, Location::Offset16, false, Reference{FrameMethod::Location, 0, TargetMethod::External, ext, 0}},
            {2500, Location::Pointer32, true, Reference{FrameMethod::External, ext, TargetMethod::External, ext, -2}},
        };
        writer.setSegmentLength(code, 3000);
        writer.addData(code, 0, codeBytes, fixups);
        IteratedBlock inner{3, {}, {0xAB, 0xCD}};
        writer.addIteratedData(data, 0, IteratedBlock{2, {inner, IteratedBlock{1, {}, {0xEE}}}, {}});
        writer.addLine(code, 10, 0);
        writer.addLine(code, 11, 3);
        writer.addLine(code, 300, 2999);
        writer.setStart(segTarget(code, 0, FrameMethod::Segment, code));
        writer.addComment(0x9E, {});
    }
};

TEST(ObjectWriterTest, EveryRecordHasLengthAndZeroSumChecksum) {
    FullModule m;
    auto bytes = m.writer.build();
    auto records = splitRecords(bytes);
    ASSERT_TRUE(records) << records.error().message;
    for (const auto& r : records.value()) {
        std::uint8_t sum = 0;
        for (std::size_t i = r.fileOffset; i < r.fileOffset + 3 + r.body.size() + 1; ++i) sum += bytes[i];
        EXPECT_EQ(sum, 0) << "record at " << r.fileOffset;
        if (r.type == kLedata) {
            EXPECT_LE(r.body.size(), 1024u + 3);
        }
    }
    EXPECT_EQ(records.value().front().type, kTheadr);
    EXPECT_EQ(records.value().back().type, kModend);
}

TEST(ObjectWriterTest, RoundTripKeepsDefinitions) {
    FullModule m;
    auto read = readObject(m.writer.build());
    ASSERT_TRUE(read) << read.error().message;
    const ObjectModule& o = read.value();
    EXPECT_EQ(o.name, "full.asm");
    ASSERT_EQ(o.segments.size(), 5u);
    EXPECT_EQ(o.nameAt(o.segments[0].nameIndex), "_TEXT");
    EXPECT_EQ(o.nameAt(o.segments[0].classIndex), "CODE");
    EXPECT_EQ(o.segments[0].length, 3000u);
    EXPECT_EQ(o.segments[0].align, Align::Byte);
    EXPECT_EQ(o.segments[1].align, Align::Word);
    EXPECT_EQ(o.segments[2].combine, static_cast<std::uint8_t>(Combine::Stack));
    EXPECT_EQ(o.segments[3].align, Align::Absolute);
    EXPECT_EQ(o.segments[3].absFrame, 0xB800);
    EXPECT_EQ(o.nameAt(o.segments[3].classIndex), "");
    EXPECT_TRUE(o.segments[4].big);
    EXPECT_EQ(o.segments[4].length, 0x10000u);
    ASSERT_EQ(o.groups.size(), 1u);
    EXPECT_EQ(o.nameAt(o.groups[0].nameIndex), "DGROUP");
    EXPECT_EQ(o.groups[0].segments, (std::vector<std::uint16_t>{2, 3}));
    ASSERT_EQ(o.externals.size(), 1u);
    EXPECT_EQ(o.externals[0].name, "PRINT");
    ASSERT_EQ(o.publics.size(), 3u);
    EXPECT_EQ(o.publics[1].name, "VAR");
    EXPECT_EQ(o.publics[1].groupIndex, 1);
    EXPECT_EQ(o.publics[1].offset, 4u);
    EXPECT_EQ(o.publics[2].segmentIndex, 0);
    EXPECT_EQ(o.publics[2].frame, 0xB800);
    EXPECT_TRUE(o.hasDosseg());
    ASSERT_TRUE(o.start.has_value());
    EXPECT_EQ(o.start->frame, FrameMethod::Segment);
    EXPECT_EQ(o.start->targetDatum, m.code);
    EXPECT_TRUE(o.isMain);
}

TEST(ObjectWriterTest, SplitDataReassemblesWithFixupsInPlace) {
    FullModule m;
    auto read = readObject(m.writer.build());
    ASSERT_TRUE(read);
    std::vector<std::uint8_t> code(3000, 0);
    std::vector<std::pair<std::uint32_t, Fixup>> fixups;
    std::size_t records = 0;
    for (const auto& d : read.value().data) {
        if (d.segmentIndex != m.code) continue;
        ++records;
        EXPECT_LE(d.bytes.size(), 1024u);
        std::copy(d.bytes.begin(), d.bytes.end(), code.begin() + d.offset);
        for (const auto& f : d.fixups) fixups.push_back({d.offset + f.offset, f});
    }
    EXPECT_GE(records, 3u);
    EXPECT_EQ(code, m.codeBytes);
    ASSERT_EQ(fixups.size(), 4u);
    EXPECT_EQ(fixups[1].first, 1023u);
    EXPECT_EQ(fixups[1].second.ref.frame, FrameMethod::Group);
    EXPECT_EQ(fixups[1].second.ref.displacement, 4);
    EXPECT_FALSE(fixups[2].second.segmentRelative);
    EXPECT_EQ(fixups[2].second.ref.frame, FrameMethod::Location);
    EXPECT_EQ(fixups[2].second.ref.target, TargetMethod::External);
    EXPECT_EQ(fixups[3].second.location, Location::Pointer32);
    EXPECT_EQ(fixups[3].second.ref.displacement, -2);
}

TEST(ObjectWriterTest, IteratedDataExpandsNestedBlocks) {
    FullModule m;
    auto read = readObject(m.writer.build());
    ASSERT_TRUE(read);
    const DataRecord* lidata = nullptr;
    for (const auto& d : read.value().data)
        if (d.iterated) lidata = &d;
    ASSERT_NE(lidata, nullptr);
    std::vector<std::uint8_t> once = {0xAB, 0xCD, 0xAB, 0xCD, 0xAB, 0xCD, 0xEE};
    std::vector<std::uint8_t> expected = once;
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(lidata->bytes, expected);
}

TEST(ObjectWriterTest, LineNumbersKeepSegmentAndOrder) {
    FullModule m;
    auto read = readObject(m.writer.build());
    ASSERT_TRUE(read);
    ASSERT_EQ(read.value().lines.size(), 1u);
    const auto& rec = read.value().lines[0];
    EXPECT_EQ(rec.segmentIndex, m.code);
    ASSERT_EQ(rec.entries.size(), 3u);
    EXPECT_EQ(rec.entries[2].line, 300);
    EXPECT_EQ(rec.entries[2].offset, 2999u);
}

// The same module given to a collecting and to a streaming writer, in the order a stream needs: comments and
// definitions, data (a byte-sized and a word-sized fixup sharing the offset where a record must end), lines
// of two segments (more than one LINNUM's worth), the start address.
void addModule(ObjectWriter& w) {
    w.addComment(0x00, {'K'});
    std::uint16_t code = w.addSegment({"_TEXT", "CODE", "", Align::Byte, Combine::Public, 2100});
    std::uint16_t data = w.addSegment({"_DATA", "DATA", "", Align::Word, Combine::Public, 16});
    std::uint16_t ext = w.addExternal("PRINT");
    w.addPublic("START", code, 0);
    std::vector<std::uint8_t> bytes(2100, 0x90);
    w.addData(code, 0, bytes,
              {{1023, Location::Offset16, true, segTarget(data)},
               {1023, Location::LowByte, true, segTarget(data)},
               {2000, Location::Offset16, false, Reference{FrameMethod::Target, 0, TargetMethod::External, ext, 0}}});
    w.addIteratedData(data, 0, IteratedBlock{4, {}, {1, 2}});
    for (std::uint16_t line = 1; line <= 250; ++line) w.addLine(code, line, line * 4u);
    w.addLine(data, 7, 0);
    w.setStart(segTarget(code));
}

// Takes bytes until `limit`, then refuses.
struct LimitedSink : RecordSink {
    std::vector<std::uint8_t> bytes;
    std::size_t limit = SIZE_MAX;
    int writesAfterFailure = 0;
    bool failed = false;
    bool write(std::span<const std::uint8_t> b) override {
        if (failed) ++writesAfterFailure;
        if (bytes.size() + b.size() > limit) failed = true;
        else bytes.insert(bytes.end(), b.begin(), b.end());
        return !failed;
    }
};

TEST(ObjectWriterTest, StreamingWritesTheSameBytesAndRefusesWhatComesTooLate) {
    ObjectWriter collected("s.asm");
    addModule(collected);
    LimitedSink sink;
    ObjectWriter streamed("s.asm", sink);
    addModule(streamed);
    EXPECT_EQ(streamed.finish(), "");
    EXPECT_EQ(sink.bytes, collected.build());
    // The record ends before the word at 1023, and the byte fixup there goes with it into the next one.
    auto read = readObject(sink.bytes);
    ASSERT_TRUE(read);
    ASSERT_GE(read.value().data.size(), 2u);
    EXPECT_EQ(read.value().data[0].bytes.size(), 1023u);
    EXPECT_TRUE(read.value().data[0].fixups.empty());
    EXPECT_EQ(read.value().data[1].offset, 1023u);
    ASSERT_EQ(read.value().data[1].fixups.size(), 3u);  // both at 1023, and the one at 2000
    EXPECT_EQ(read.value().data[1].fixups[1].offset, 0u);

    // A definition after the data, data after the line numbers, lines of an earlier segment.
    using Late = void (*)(ObjectWriter&);
    const Late lates[] = {
        [](ObjectWriter& w) { w.addExternal("LATE"); },
        [](ObjectWriter& w) { w.addData(1, 0, std::vector<std::uint8_t>{1}); },
        [](ObjectWriter& w) { w.addLine(1, 1, 0); },
    };
    for (Late late : lates) {
        LimitedSink out;
        ObjectWriter w("s.asm", out);
        addModule(w);
        late(w);
        EXPECT_NE(w.finish(), "");
    }

    // A sink that fails part-way: reported, and nothing more is offered to it.
    LimitedSink small;
    small.limit = 500;
    ObjectWriter w("s.asm", small);
    addModule(w);
    EXPECT_NE(w.finish(), "");
    EXPECT_EQ(small.writesAfterFailure, 0);
}

// Names are indexed with 15 bits after the empty name at index 1: 7FFEh segment names fit and read
// back; one more would have had index 0 and is reported instead.
TEST(ObjectWriterTest, MoreNamesThanAnIndexHoldsIsReported) {
    for (std::size_t segments : {ObjectWriter::kMaxIndex - 1, ObjectWriter::kMaxIndex}) {
        LimitedSink out;
        ObjectWriter w("n.asm", out);
        for (std::size_t i = 0; i < segments; ++i)
            w.addSegment({"S" + std::to_string(i), "", "", Align::Byte, Combine::Private, 0, false});
        const bool fits = segments < ObjectWriter::kMaxIndex;
        EXPECT_EQ(w.finish().empty(), fits) << segments;
        if (fits) {
            EXPECT_TRUE(readObject(out.bytes).ok()) << segments;
        }
    }
}

TEST(ObjectWriterTest, WideRecordsForUse32AndLargeOffsets) {
    ObjectWriter w("wide.asm");
    auto seg = w.addSegment({"FLAT", "CODE", "", Align::Para, Combine::Public, 0x20000, true});
    std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
    w.addData(seg, 0x18000, bytes, {{0, Location::Offset32, true, segTarget(seg, 0x12345)}});
    w.addPublic("FAR_AWAY", seg, 0x1FFFF);
    auto raw = w.build();
    auto records = splitRecords(raw);
    ASSERT_TRUE(records);
    std::vector<std::uint8_t> types;
    for (const auto& r : records.value()) types.push_back(r.type);
    for (std::uint8_t t : {kSegdef32, kLedata32, kFixupp32, kPubdef32})
        EXPECT_NE(std::find(types.begin(), types.end(), t), types.end()) << std::hex << int(t);
    auto read = readObject(raw);
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(read.value().segments[0].length, 0x20000u);
    EXPECT_TRUE(read.value().segments[0].use32);
    EXPECT_EQ(read.value().data[0].offset, 0x18000u);
    EXPECT_EQ(read.value().data[0].fixups[0].ref.displacement, 0x12345);
    EXPECT_EQ(read.value().publics[0].offset, 0x1FFFFu);
}

TEST(ObjectWriterTest, TwoByteIndexesBeyond127Names) {
    ObjectWriter w("many.asm");
    std::uint16_t last = 0;
    for (int i = 0; i < 200; ++i) last = w.addSegment({"S" + std::to_string(i), "C" + std::to_string(i), ""});
    auto ext = w.addExternal("X");
    std::vector<std::uint8_t> bytes = {0, 0};
    w.addData(last, 0, bytes, {{0, Location::Offset16, true, Reference{FrameMethod::Segment, last, TargetMethod::External, ext, 0}}});
    w.setSegmentLength(last, 2);
    auto read = readObject(w.build());
    ASSERT_TRUE(read) << read.error().message;
    ASSERT_EQ(read.value().segments.size(), 200u);
    EXPECT_EQ(read.value().nameAt(read.value().segments[199].nameIndex), "S199");
    EXPECT_EQ(read.value().nameAt(read.value().segments[199].classIndex), "C199");
    EXPECT_EQ(read.value().data[0].segmentIndex, 200);
    EXPECT_EQ(read.value().data[0].fixups[0].ref.frameDatum, 200);
}

TEST(NasmObjectTest, ReadsIndependentAssemblerOutput) {
    auto bytes = readFile(std::string(KRVS_TEST_DATA) + "/tlink/NMAIN.OBJ");
    ASSERT_FALSE(bytes.empty());
    auto read = readObject(bytes);
    ASSERT_TRUE(read) << read.error().message;
    const ObjectModule& o = read.value();
    EXPECT_EQ(o.name, "nmain.asm");
    std::vector<std::string> externals;
    for (const auto& e : o.externals) externals.push_back(e.name);
    EXPECT_EQ(externals, (std::vector<std::string>{"PRINTMSG", "COUNTER", "NEARHELP"}));
    ASSERT_EQ(o.segments.size(), 3u);
    EXPECT_EQ(o.nameAt(o.segments[2].nameIndex), "STACK");
    EXPECT_EQ(o.segments[2].combine, static_cast<std::uint8_t>(Combine::Stack));
    std::size_t fixups = 0;
    for (const auto& d : o.data) fixups += d.fixups.size();
    EXPECT_GE(fixups, 6u);
    ASSERT_TRUE(o.start.has_value());
    EXPECT_FALSE(o.lines.empty());
}

}  // namespace
}  // namespace krvs::omf
