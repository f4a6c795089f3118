// Hostile and broken objects: every one gives an Error naming the problem, never a crash or a huge
// allocation; plus a fixed-seed mutation loop over valid objects.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "omf/reader.h"
#include "omf/writer.h"

namespace krvs::omf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes rec(std::uint8_t type, const Bytes& body) {
    RecordBuilder r(type);
    r.bytes(body);
    Bytes out;
    r.appendTo(out);
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kHead = rec(kTheadr, {1, 'A'});
const Bytes kNames = rec(kLnames, {0, 4, 'C', 'O', 'D', 'E'});  // "" and CODE
const Bytes kSeg = rec(kSegdef, {0x28, 4, 0, 2, 1, 1});         // CODE, 4 bytes
const Bytes kData = rec(kLedata, {1, 0, 0, 0x90, 0x90, 0x90, 0x90});
const Bytes kEnd = rec(kModend, {0});

struct BadCase {
    const char* name;
    Bytes bytes;
    const char* expected;
};

std::ostream& operator<<(std::ostream& os, const BadCase& c) { return os << c.name; }

Bytes withBadChecksum() {
    Bytes b = cat({kHead, kNames, kEnd});
    b[kHead.size() - 1] ^= 0x55;
    return b;
}

// LIDATA of 65535 repeats of 65535 repeats of one byte: 4 GB if expanded blindly.
Bytes hugeLidata() {
    return rec(kLidata, {1, 0, 0, 0xFF, 0xFF, 1, 0, 0xFF, 0xFF, 0, 0, 1, 0x11});
}

Bytes deepLidata() {
    Bytes body = {1, 0, 0};
    for (int i = 0; i < 20; ++i) body.insert(body.end(), {1, 0, 1, 0});
    body.insert(body.end(), {1, 0, 0, 0, 1, 0x22});
    return rec(kLidata, body);
}

class ReaderRejects : public ::testing::TestWithParam<BadCase> {};

TEST_P(ReaderRejects, WithClearError) {
    auto result = readObject(GetParam().bytes);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find(GetParam().expected), std::string::npos) << result.error().message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderRejects,
    ::testing::Values(
        BadCase{"Empty", {}, "no MODEND"},
        BadCase{"HeaderCut", {0x80, 0x05}, "header past the end"},
        BadCase{"RecordPastEnd", cat({kHead, Bytes{0x96, 0x20, 0x00, 0x00}}), "past the end"},
        BadCase{"ZeroLength", cat({kHead, Bytes{0x96, 0, 0}}), "length 0"},
        BadCase{"BadChecksum", withBadChecksum(), "bad checksum"},
        BadCase{"NoModend", cat({kHead, kNames}), "no MODEND"},
        BadCase{"NoTheadr", cat({kNames, kEnd}), "THEADR"},
        BadCase{"SegmentNameIndex", cat({kHead, kNames, rec(kSegdef, {0x28, 4, 0, 9, 1, 1}), kEnd}), "segment name index 9"},
        BadCase{"ClassIndex", cat({kHead, kNames, rec(kSegdef, {0x28, 4, 0, 2, 0x81, 0x00, 1}), kEnd}), "class name index 256"},
        BadCase{"GroupSegment", cat({kHead, kNames, kSeg, rec(kGrpdef, {2, 0xFF, 3}), kEnd}), "group segment index 3"},
        BadCase{"PublicSegment", cat({kHead, kNames, kSeg, rec(kPubdef, {0, 4, 1, 'X', 0, 0, 0}), kEnd}), "public segment"},
        BadCase{"DataSegment", cat({kHead, kNames, kSeg, rec(kLedata, {2, 0, 0, 1}), kEnd}), "data segment index 2"},
        BadCase{"FixupOutsideData", cat({kHead, kNames, kSeg, kData, rec(kFixupp, {0xC4, 0x03, 0x54, 1}), kEnd}), "outside its data"},
        BadCase{"FixupTargetExternal", cat({kHead, kNames, kSeg, kData, rec(kFixupp, {0xC4, 0x00, 0x56, 1}), kEnd}), "target external index 1"},
        BadCase{"FixupBeforeData", cat({kHead, kNames, kSeg, rec(kFixupp, {0xC4, 0x00, 0x54, 1}), kEnd}), "no LEDATA"},
        BadCase{"UndefinedThread", cat({kHead, kNames, kSeg, kData, rec(kFixupp, {0xC4, 0x00, 0x8C}), kEnd}), "undefined frame thread"},
        BadCase{"BadLocation", cat({kHead, kNames, kSeg, kData, rec(kFixupp, {0xD8, 0x00, 0x54, 1}), kEnd}), "location type 6"},
        BadCase{"FrameMethod7", cat({kHead, kNames, kSeg, kData, rec(kFixupp, {0xC4, 0x00, 0x74, 1}), kEnd}), "frame method 7"},
        BadCase{"HugeLidata", cat({kHead, kNames, kSeg, hugeLidata(), kEnd}), "beyond 1 MB"},
        BadCase{"DeepLidata", cat({kHead, kNames, kSeg, deepLidata(), kEnd}), "nested too deeply"},
        BadCase{"TruncatedSegdef", cat({kHead, kNames, rec(kSegdef, {0x28}), kEnd}), "middle of a field"},
        BadCase{"BigWithLength", cat({kHead, kNames, rec(kSegdef, {0x2A, 4, 0, 2, 1, 1}), kEnd}), "big bit"},
        BadCase{"Comdef", cat({kHead, rec(kComdef, {1, 'X', 0, 0x62, 2}), kEnd}), "unsupported record type B0h"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderTest, ZeroChecksumIsAccepted) {
    Bytes b = cat({kHead, kNames, kSeg, kData, kEnd});
    b[kHead.size() - 1] = 0;
    auto result = readObject(b);
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().data[0].bytes.size(), 4u);
}

TEST(ReaderTest, EmptyIteratedBlocksWithHugeRepeatCounts) {
    // LIDATA32: 4G repeats of (4G repeats of zero bytes), twice, then one byte.
    Bytes body = {1, 0, 0, 0, 0};
    for (int i = 0; i < 2; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0});
    body.insert(body.end(), {1, 0, 0, 0, 0, 0, 1, 0x5A});
    Bytes seg32 = rec(kSegdef32, {0x28, 4, 0, 0, 0, 2, 1, 1});
    auto result = readObject(cat({kHead, kNames, seg32, rec(kLidata32, body), kEnd}));
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().data[0].bytes, Bytes{0x5A});
}

TEST(ReaderTest, ErrorNamesOffsetOfOffendingRecord) {
    Bytes b = cat({kHead, kNames, rec(kSegdef, {0x28, 4, 0, 9, 1, 1}), kEnd});
    auto result = readObject(b);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().offset, kHead.size() + kNames.size());
}

TEST(ReaderTest, ThreadsSupplyFrameAndTarget) {
    // Frame thread 1 = segment 1, target thread 2 = segment 1; the fixup uses both (F=1, T=1) and a
    // displacement; then a second FIXUPP reuses the threads, which persist across records.
    Bytes threads = {0x40 | 0x01, 1, 0x00 | 0x02, 1};
    Bytes fix = {0xC4, 0x00, 0x80 | 0x10 | 0x08 | 0x02, 0x02, 0x00};
    Bytes b = cat({kHead, kNames, kSeg, kData, rec(kFixupp, cat({threads, fix})),
                   rec(kFixupp, {0xC4, 0x02, 0x80 | 0x10 | 0x08 | 0x04 | 0x02}), kEnd});
    auto result = readObject(b);
    ASSERT_TRUE(result) << result.error().message;
    const auto& fixups = result.value().data[0].fixups;
    ASSERT_EQ(fixups.size(), 2u);
    EXPECT_EQ(fixups[0].ref.frame, FrameMethod::Segment);
    EXPECT_EQ(fixups[0].ref.frameDatum, 1);
    EXPECT_EQ(fixups[0].ref.target, TargetMethod::Segment);
    EXPECT_EQ(fixups[0].ref.displacement, 2);
    EXPECT_EQ(fixups[1].offset, 2u);
    EXPECT_EQ(fixups[1].ref.displacement, 0);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Random byte flips, insertions and cuts of valid objects, with a fixed seed: the reader must return
// (value or error) for every one of them.
TEST(ReaderTest, SurvivesMutatedObjects) {
    std::vector<Bytes> seeds = {readFile(std::string(KRVS_TEST_DATA) + "/tlink/NMAIN.OBJ"),
                                readFile(std::string(KRVS_TEST_DATA) + "/tlink/NLIB.OBJ")};
    std::mt19937 random(12345);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        Bytes b = seeds[round % seeds.size()];
        ASSERT_FALSE(b.empty());
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = random() % b.size();
            switch (random() % 4) {
                case 0: b[at] = static_cast<std::uint8_t>(random()); break;
                case 1: b[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
                case 2: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(random())); break;
                case 3: b.resize(std::max<std::size_t>(at, 1)); break;
            }
        }
        // Half of the rounds repair the checksums so the mutation reaches the field decoders.
        if (round % 2) {
            auto split = splitRecords(b);
            if (split)
                for (const auto& r : split.value()) b[r.fileOffset + 3 + r.body.size()] = 0;
        }
        auto result = readObject(b);
        if (result) ++accepted;
    }
    EXPECT_LT(accepted, 4000);
}

}  // namespace
}  // namespace krvs::omf
