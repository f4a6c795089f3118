// The exact-8086 model against the real-chip single-instruction vectors: one test per opcode file.

#include "gzip_file.h"
#include "vectors.h"
#include "x86/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace krvs::x86;
namespace fs = std::filesystem;

const std::string kDir = std::string(KRVS_TEST_DATA) + "/cpu-tests/8086";

std::vector<std::string> vectorStems() {
    std::vector<std::string> stems;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(kDir, ec)) {
        std::string name = e.path().filename().string();
        if (name.ends_with(".json.gz")) stems.push_back(name.substr(0, name.size() - 8));
    }
    std::sort(stems.begin(), stems.end());
    return stems;
}

const vectors::Metadata& metadata() {
    static const vectors::Metadata meta = [] {
        vectors::Metadata m;
        std::ifstream in(kDir + "/metadata.json");
        std::stringstream text;
        text << in.rdbuf();
        std::string error;
        EXPECT_TRUE(m.parse(text.str(), error)) << error;
        return m;
    }();
    return meta;
}

std::vector<vectors::Vector> loadVectors(const std::string& stem) {
    auto text = vectors::readGzipFile(kDir + "/" + stem + ".json.gz");
    EXPECT_TRUE(text.has_value()) << stem;
    if (!text) return {};
    std::string error;
    auto tests = vectors::parseVectors(*text, error);
    EXPECT_TRUE(tests.has_value()) << stem << ": " << error;
    return tests ? std::move(*tests) : std::vector<vectors::Vector>{};
}

// The CPU also leaves the officially undefined flags as the chip did, except after IMUL, DIV and IDIV;
// for those the metadata's mask applies.
std::uint16_t comparedFlags(const std::string& stem, const vectors::OpcodeInfo& info) {
    static const std::string kMasked[] = {"F6.5", "F6.6", "F6.7", "F7.5", "F7.6", "F7.7"};
    for (const std::string& m : kMasked) {
        if (stem == m) return info.flagsMask;
    }
    return 0xFFFF;
}

class CpuVectors : public testing::TestWithParam<std::string> {};

TEST_P(CpuVectors, MatchTheChip) {
    const std::string& stem = GetParam();
    vectors::OpcodeInfo info = metadata().lookup(stem);
    ASSERT_EQ(info.status, "normal") << "only documented instructions are stored";
    std::vector<vectors::Vector> tests = loadVectors(stem);
    ASSERT_EQ(tests.size(), 300u);
    std::vector<std::uint8_t> memory(kMemorySize + kMemoryGuard);
    int failures = 0;
    for (const vectors::Vector& v : tests) {
        vectors::Outcome o = vectors::runVector(v, comparedFlags(stem, info), CpuModel::I8086, memory.data());
        if (!o.passed && ++failures <= 3) ADD_FAILURE() << "#" << v.number << " " << v.name << "\n" << o.detail;
    }
    EXPECT_EQ(failures, 0);
}

// Opcodes whose vectors end somewhere other than after the instruction.
bool transfersControl(std::uint8_t op, std::uint8_t modrm) {
    if ((op >= 0x70 && op <= 0x7F) || (op >= 0xE0 && op <= 0xE3) || (op >= 0xE8 && op <= 0xEB)) return true;
    switch (op) {
    case 0x9A:
    case 0xC2:
    case 0xC3:
    case 0xCA:
    case 0xCB:
    case 0xCC:
    case 0xCD:
    case 0xCE:
    case 0xCF: return true;
    case 0xFF: return ((modrm >> 3) & 7) >= 2 && ((modrm >> 3) & 7) <= 5;
    default: return false;
    }
}

// Decodes prefixes one by one, then the instruction; returns the total length and the opcode's index.
std::size_t decodedLength(const std::vector<std::uint8_t>& bytes, std::uint16_t ip, std::size_t& opcodeAt) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        Instruction in = decode(std::span(bytes).subspan(at), static_cast<std::uint16_t>(ip + at), CpuModel::I8086);
        if (in.length == 0) return 0;
        opcodeAt = at;
        at += in.length;
        if (in.kind != DecodeKind::Prefix) break;
    }
    return at;
}

// The decoder and the CPU agree on every vector's length: for instructions that do not transfer
// control it is how far the CPU moved IP; for the others, the vector's byte count.
TEST_P(CpuVectors, DecoderAgreesOnLength) {
    std::vector<vectors::Vector> tests = loadVectors(GetParam());
    std::vector<std::uint8_t> memory(kMemorySize + kMemoryGuard);
    int mismatches = 0;
    for (const vectors::Vector& v : tests) {
        std::size_t opcodeAt = 0;
        std::size_t decoded = decodedLength(v.bytes, v.initial.regs[vectors::kIp], opcodeAt);
        std::uint8_t op = v.bytes[opcodeAt];
        std::uint8_t modrm = opcodeAt + 1 < v.bytes.size() ? v.bytes[opcodeAt + 1] : 0;
        std::size_t cpuLength = v.bytes.size();
        Registers after = vectors::runVector(v, 0xFFFF, CpuModel::I8086, memory.data()).after;
        bool exception = after.seg[CS] == 0 && after.ip == 0x400 && v.initial.regs[vectors::kCs] != 0;
        if (!transfersControl(op, modrm) && !exception) {
            cpuLength = static_cast<std::uint16_t>(after.ip - v.initial.regs[vectors::kIp]);
        }
        if (decoded != cpuLength && ++mismatches <= 3) {
            ADD_FAILURE() << "#" << v.number << " " << v.name << ": decoded " << decoded << ", CPU " << cpuLength;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(CpuI8086, CpuVectors, testing::ValuesIn(vectorStems()),
                         [](const testing::TestParamInfo<std::string>& p) {
                             std::string name = "op" + p.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(CpuVectorFiles, AllDocumentedOpcodeFilesArePresent) { EXPECT_EQ(vectorStems().size(), 278u); }

// The checker itself must notice a wrong register, a wrong memory byte and a wrong defined flag,
// and must ignore an undefined one.
TEST(CpuVectorChecker, ReportsEachKindOfDifference) {
    std::vector<vectors::Vector> tests = loadVectors("00");
    ASSERT_FALSE(tests.empty());
    std::vector<std::uint8_t> memory(kMemorySize + kMemoryGuard);
    const vectors::Vector& good = tests[0];
    EXPECT_TRUE(vectors::runVector(good, 0xFFFF, CpuModel::I8086, memory.data()).passed);

    vectors::Vector wrongReg = good;
    wrongReg.final.regs[vectors::kBp] = static_cast<std::uint16_t>(good.initial.regs[vectors::kBp] + 1);
    wrongReg.final.present[vectors::kBp] = true;
    vectors::Outcome o = vectors::runVector(wrongReg, 0xFFFF, CpuModel::I8086, memory.data());
    EXPECT_FALSE(o.passed);
    EXPECT_NE(o.detail.find("bp:"), std::string::npos) << o.detail;

    vectors::Vector wrongRam = good;
    wrongRam.final.ram.emplace_back(0x12345, 0x77);
    memory[0x12345] = 0x00;
    EXPECT_FALSE(vectors::runVector(wrongRam, 0xFFFF, CpuModel::I8086, memory.data()).passed);

    vectors::Vector wrongFlag = good;
    std::uint16_t want =
        good.final.present[vectors::kFlags] ? good.final.regs[vectors::kFlags] : good.initial.regs[vectors::kFlags];
    wrongFlag.final.regs[vectors::kFlags] = want ^ flag::AF;
    wrongFlag.final.present[vectors::kFlags] = true;
    EXPECT_FALSE(vectors::runVector(wrongFlag, 0xFFFF, CpuModel::I8086, memory.data()).passed);
    EXPECT_TRUE(vectors::runVector(wrongFlag, 0xFFFF & ~flag::AF, CpuModel::I8086, memory.data()).passed);
}

TEST(CpuVectorReader, RejectsMalformedInputWithAMessage) {
    const char* cases[] = {
        "",
        "{}",
        "[",
        "[{\"name\":\"x\"}]",
        "[{\"initial\":{\"regs\":{\"ax\":1}},\"final\":{\"regs\":{}}}]",
        "[1, 2",
        "[\"unterminated]",
        "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]"
        "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]",
        "[] trailing",
    };
    for (const char* json : cases) {
        std::string error;
        EXPECT_FALSE(vectors::parseVectors(json, error).has_value()) << json;
        EXPECT_FALSE(error.empty()) << json;
    }
    std::string error;
    auto empty = vectors::parseVectors(" [ ] ", error);
    ASSERT_TRUE(empty.has_value()) << error;
    EXPECT_TRUE(empty->empty());
}

// Numbers that do not fit the field they go into are errors, not truncated values.
TEST(CpuVectorReader, RejectsOutOfRangeNumbers) {
    auto vector = [](const std::string& ax, const std::string& ram, const std::string& bytes) {
        return "[{\"bytes\":[" + bytes + "],\"initial\":{\"regs\":{\"ax\":" + ax +
               ",\"bx\":0,\"cx\":0,\"dx\":0,\"cs\":0,\"ss\":0,\"ds\":0,\"es\":0,\"sp\":0,\"bp\":0,"
               "\"si\":0,\"di\":0,\"ip\":0,\"flags\":61442},\"ram\":[" +
               ram + "]},\"final\":{\"regs\":{}}}]";
    };
    std::string error;
    auto good = vectors::parseVectors(vector("65535", "[1048575,255]", "144"), error);
    ASSERT_TRUE(good.has_value()) << error;
    EXPECT_EQ((*good)[0].initial.regs[vectors::kAx], 0xFFFF);
    const std::string bad[][3] = {
        {"65536", "[0,0]", "144"}, {"-1", "[0,0]", "144"},      {"1.5", "[0,0]", "144"},
        {"1e300", "[0,0]", "144"}, {"0", "[1048576,0]", "144"}, {"0", "[0,256]", "144"},
        {"0", "[0]", "144"},       {"0", "[0,0]", "256"},       {"0", "[0,0]", "\"x\""},
    };
    for (const auto& b : bad) {
        std::string json = vector(b[0], b[1], b[2]);
        EXPECT_FALSE(vectors::parseVectors(json, error).has_value()) << json;
    }
}

}  // namespace
