// The decoder against the real-8086 test vectors: every vector's bytes must decode, prefixes
// included, to exactly its length and to the instruction its name gives (operands included).

#include <gtest/gtest.h>
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "x86/decoder.h"
#include "x86/disasm.h"

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

// The vectors' own operand syntax ("add byte [ss:bp+di-6Fh], dh"), written from our decoding, so that
// operands, their order, sizes, segments, displacements and immediates are checked too.
constexpr const char* kReg8Names[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kReg16Names[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr const char* kSegNames[4] = {"es", "cs", "ss", "ds"};

std::string hexNumber(std::uint32_t v, int width = 0) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*Xh", width, v);
    return buf;
}

std::string signedNumber(std::int32_t v) {
    return std::string(1, v < 0 ? '-' : '+').append(hexNumber(static_cast<std::uint32_t>(std::abs(v))));
}

std::string memoryText(const Operand& o, const Form& f, int segOverride) {
    std::string s;
    if (f.has(formflag::kFar) || o.size == OpSize::Word) s = "word ";
    else if (o.size == OpSize::Byte) s = "byte ";
    else if (o.size == OpSize::Dword) s = "dword ";
    const MemRef& m = o.mem;
    int seg = segOverride != kNoReg ? segOverride : m.base == BP ? SS : DS;
    s += '[';
    s += kSegNames[seg];
    s += ':';
    if (m.base == kNoReg && m.index == kNoReg) return s + hexNumber(m.disp & 0xFFFF) + "]";
    if (m.base != kNoReg) s += kReg16Names[m.base];
    if (m.base != kNoReg && m.index != kNoReg) s += "+";
    if (m.index != kNoReg) s += kReg16Names[m.index];
    if (m.dispWidth) s += signedNumber(static_cast<std::int16_t>(static_cast<std::uint16_t>(m.disp)));
    return s + "]";
}

std::string operandText(const Operand& o, OpClass c, const Form& f, int segOverride) {
    switch (o.kind) {
    case OperandKind::Reg8: return kReg8Names[o.reg];
    case OperandKind::Reg16: return kReg16Names[o.reg];
    case OperandKind::Seg: return kSegNames[o.reg];
    case OperandKind::Mem: return memoryText(o, f, segOverride);
    case OperandKind::Imm: return hexNumber(o.value & (c == OpClass::Imm8 ? 0xFF : 0xFFFF));
    case OperandKind::Rel: return hexNumber(o.value & 0xFFFF, 4);
    case OperandKind::Far: return hexNumber(o.segment, 4) + ":" + hexNumber(o.value & 0xFFFF, 4);
    case OperandKind::None: break;
    }
    return {};
}

const std::map<std::string, std::string> kVectorSpelling = {
    {"JA", "jnbe"}, {"JGE", "jnl"}, {"JG", "jnle"}, {"JPO", "jnp"}, {"JPE", "jp"},
    {"LOOPZ", "loope"}, {"LOOPNZ", "loopne"}, {"RET", "retn"},
};

std::string vectorText(const Instruction& insn, int segOverride) {
    const Form& f = *insn.form;
    std::string m(f.mnemonic);
    bool far = f.has(formflag::kFar) || f.ops[0] == OpClass::FarPtr;
    if (auto it = kVectorSpelling.find(m); it != kVectorSpelling.end()) m = it->second;
    for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (far) m += "f";
    if (f.ops[0] == OpClass::Three) return "int3";
    std::vector<std::string> ops;
    for (int i = 0; i < f.operandCount(); ++i)
        if (f.ops[i] != OpClass::One) ops.push_back(operandText(insn.ops[i], f.ops[i], f, segOverride));
    if (m == "test" && f.ops[1] == OpClass::Rm8) std::swap(ops[0], ops[1]);  // r/m first there
    if (m == "test" && f.ops[1] == OpClass::Rm16) std::swap(ops[0], ops[1]);
    for (std::size_t i = 0; i < ops.size(); ++i) m += (i ? ", " : " ") + ops[i];
    return m;
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
            int segment = kNoReg;
            do {
                insn = decode(std::span(v.bytes).subspan(pos), static_cast<std::uint16_t>(pos), CpuModel::I8086);
                pos += insn.length;
                if (insn.kind == DecodeKind::Prefix && segmentOverrideOf(insn) != kNoReg) segment = segmentOverrideOf(insn);
            } while (insn.kind == DecodeKind::Prefix && pos < v.bytes.size());
            bool ok = insn.kind == DecodeKind::Instruction && pos == v.bytes.size() &&
                      insn.form->mnemonic == expectedMnemonic(v.name);
            if (ok && !insn.form->has(formflag::kStringOp)) {
                std::string got = vectorText(insn, segment);
                ok = got == v.name;
                if (!ok && ++failures <= 20) ADD_FAILURE() << entry.path().filename() << ": " << got << " vs " << v.name;
                ++checked;
                continue;
            }
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
