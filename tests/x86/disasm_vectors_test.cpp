// The decoder against the real-8086 test vectors: every vector's bytes must decode, prefixes
// included, to exactly its length and to the mnemonic its name gives.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "x86/decoder.h"

namespace krvs::x86 {
namespace {

namespace fs = std::filesystem;

struct NamedBytes {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::string readGzip(const fs::path& path) {
    std::string out;
    gzFile f = gzopen(path.string().c_str(), "rb");
    if (!f) return out;
    char buf[1 << 16];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    gzclose(f);
    return out;
}

// Only "name" and "bytes" are needed, and they come first in every vector.
std::vector<NamedBytes> scanVectors(const std::string& json) {
    std::vector<NamedBytes> out;
    const std::string nameKey = "\"name\":\"", bytesKey = "\"bytes\":[";
    for (std::size_t pos = json.find(nameKey); pos != std::string::npos; pos = json.find(nameKey, pos)) {
        pos += nameKey.size();
        NamedBytes v;
        std::size_t end = json.find('"', pos);
        v.name = json.substr(pos, end - pos);
        std::size_t b = json.find(bytesKey, end) + bytesKey.size();
        std::size_t close = json.find(']', b);
        for (std::size_t i = b; i < close;) {
            v.bytes.push_back(static_cast<std::uint8_t>(std::stoi(json.substr(i))));
            i = json.find_first_of(",]", i) + 1;
        }
        out.push_back(std::move(v));
        pos = close;
    }
    return out;
}

// The vectors' own spellings where they differ from ours; prefixes are skipped before the mnemonic.
const std::map<std::string, std::string> kSpelling = {
    {"callf", "CALL"}, {"jmpf", "JMP"}, {"int3", "INT"},     {"jnbe", "JA"},      {"jnl", "JGE"},
    {"jnle", "JG"},    {"jnp", "JPO"},  {"jp", "JPE"},       {"loope", "LOOPZ"},  {"loopne", "LOOPNZ"},
    {"retn", "RET"},
};

bool isPrefixWord(const std::string& w) {
    return w == "rep" || w == "repe" || w == "repne" || w == "lock" || w == "cs" || w == "ds" || w == "es" ||
           w == "ss";
}

std::string expectedMnemonic(const std::string& name) {
    std::size_t pos = 0;
    std::string word;
    while (pos < name.size()) {
        std::size_t end = name.find(' ', pos);
        word = name.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!isPrefixWord(word) || end == std::string::npos) break;
        pos = end + 1;
    }
    if (auto it = kSpelling.find(word); it != kSpelling.end()) return it->second;
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

TEST(DisasmVectors, EveryVectorDecodesToItsLengthAndMnemonic) {
    fs::path dir = fs::path(KRVS_TEST_DATA) / "cpu-tests" / "8086";
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int checked = 0, failures = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().string().ends_with(".json.gz") == false) continue;
        for (const NamedBytes& v : scanVectors(readGzip(entry.path()))) {
            std::size_t pos = 0;
            Instruction insn;
            do {
                insn = decode(std::span(v.bytes).subspan(pos), 0x100, CpuModel::I8086);
                pos += insn.length;
            } while (insn.kind == DecodeKind::Prefix && pos < v.bytes.size());
            bool ok = insn.kind == DecodeKind::Instruction && pos == v.bytes.size() &&
                      insn.form->mnemonic == expectedMnemonic(v.name);
            if (!ok && ++failures <= 20) {
                ADD_FAILURE() << entry.path().filename() << " \"" << v.name << "\": decoded "
                              << (insn.form ? insn.form->mnemonic : "(none)") << ", " << pos << " of "
                              << v.bytes.size() << " bytes";
            }
            ++checked;
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(checked, 50000);
}

}  // namespace
}  // namespace krvs::x86
