// Reader and checker for single-instruction CPU test vectors (see tools/vectors.h).

#include "vectors.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace krvs::x86::vectors {

const char* const kRegNames[kRegCount] = {"ax", "bx", "cx", "dx", "cs", "ss", "ds",
                                          "es", "sp", "bp", "si", "di", "ip", "flags"};

namespace {

// ---- a minimal JSON tree ------------------------------------------------------------------------

struct Json {
    enum Kind : std::uint8_t { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
    double number = 0;
    std::string text;
    std::vector<Json> items;  // array elements, or an object's member values
    std::vector<std::string> keys;  // an object's member names, parallel to items (a pair of the
                                    // still-incomplete Json does not compile everywhere)

    const Json* get(std::string_view key) const {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) return &items[i];
        }
        return nullptr;
    }
};

class Parser {
public:
    explicit Parser(std::string_view s) : m_s(s) {}

    bool parse(Json& out, std::string& error) {
        if (!value(out, 0)) {
            error = m_error + " at offset " + std::to_string(m_pos);
            return false;
        }
        skipSpace();
        if (m_pos != m_s.size()) {
            error = "trailing text at offset " + std::to_string(m_pos);
            return false;
        }
        return true;
    }

private:
    static constexpr int kMaxDepth = 64;

    bool fail(const char* what) {
        m_error = what;
        return false;
    }
    void skipSpace() {
        while (m_pos < m_s.size() &&
               (m_s[m_pos] == ' ' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r' || m_s[m_pos] == '\t')) {
            ++m_pos;
        }
    }
    bool literal(std::string_view word) {
        if (m_s.substr(m_pos, word.size()) != word) return fail("unknown literal");
        m_pos += word.size();
        return true;
    }

    bool value(Json& out, int depth) {
        if (depth > kMaxDepth) return fail("nesting too deep");
        skipSpace();
        if (m_pos >= m_s.size()) return fail("unexpected end");
        char c = m_s[m_pos];
        switch (c) {
        case '{': return object(out, depth);
        case '[': return array(out, depth);
        case '"': out.kind = Json::kString; return string(out.text);
        case 't':
            out.kind = Json::kBool;
            out.number = 1;
            return literal("true");
        case 'f': out.kind = Json::kBool; return literal("false");
        case 'n': out.kind = Json::kNull; return literal("null");
        default: return number(out);
        }
    }

    bool number(Json& out) {
        std::size_t start = m_pos;
        while (m_pos < m_s.size() && std::string_view("+-0123456789.eE").find(m_s[m_pos]) != std::string_view::npos) {
            ++m_pos;
        }
        if (start == m_pos) return fail("unexpected character");
        std::string digits(m_s.substr(start, m_pos - start));
        char* end = nullptr;
        out.kind = Json::kNumber;
        out.number = std::strtod(digits.c_str(), &end);
        if (end != digits.c_str() + digits.size()) return fail("bad number");
        return true;
    }

    bool string(std::string& out) {
        ++m_pos;
        while (m_pos < m_s.size()) {
            char c = m_s[m_pos++];
            if (c == '"') return true;
            if (c == '\\') {
                if (m_pos >= m_s.size()) break;
                char e = m_s[m_pos++];
                switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u':
                    // Only ASCII escapes occur in the vector files; others become '?'.
                    if (m_pos + 4 > m_s.size()) return fail("bad escape");
                    {
                        unsigned long code = std::strtoul(std::string(m_s.substr(m_pos, 4)).c_str(), nullptr, 16);
                        out += code < 0x80 ? static_cast<char>(code) : '?';
                    }
                    m_pos += 4;
                    break;
                default: out += e; break;
                }
                continue;
            }
            out += c;
        }
        return fail("unterminated string");
    }

    bool array(Json& out, int depth) {
        out.kind = Json::kArray;
        ++m_pos;
        skipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1)) return false;
            skipSpace();
            if (m_pos >= m_s.size()) return fail("unterminated array");
            char c = m_s[m_pos++];
            if (c == ']') return true;
            if (c != ',') return fail("expected ',' or ']'");
        }
    }

    bool object(Json& out, int depth) {
        out.kind = Json::kObject;
        ++m_pos;
        skipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != '"') return fail("expected a key");
            std::string key;
            if (!string(key)) return false;
            skipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != ':') return fail("expected ':'");
            ++m_pos;
            out.keys.push_back(std::move(key));
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1)) return false;
            skipSpace();
            if (m_pos >= m_s.size()) return fail("unterminated object");
            char c = m_s[m_pos++];
            if (c == '}') return true;
            if (c != ',') return fail("expected ',' or '}'");
        }
    }

    std::string_view m_s;
    std::size_t m_pos = 0;
    std::string m_error;
};

// ---- vectors ------------------------------------------------------------------------------------

// A whole number in 0..max, or nothing: the values are cast to small unsigned types afterwards.
std::optional<std::uint32_t> wholeNumber(const Json* j, std::uint32_t max) {
    if (j == nullptr || j->kind != Json::kNumber || !(j->number >= 0 && j->number <= max)) return std::nullopt;
    auto v = static_cast<std::uint32_t>(j->number);
    if (static_cast<double>(v) != j->number) return std::nullopt;
    return v;
}

bool readState(const Json* j, State& st, bool allRegs, std::string& error) {
    if (j == nullptr || j->kind != Json::kObject) {
        error = "missing state";
        return false;
    }
    const Json* regs = j->get("regs");
    if (regs == nullptr || regs->kind != Json::kObject) {
        error = "missing regs";
        return false;
    }
    for (int i = 0; i < kRegCount; ++i) {
        const Json* r = regs->get(kRegNames[i]);
        if (r == nullptr && !allRegs) continue;
        std::optional<std::uint32_t> v = wholeNumber(r, 0xFFFF);
        if (!v) {
            error = std::string(r == nullptr ? "missing register " : "bad value for register ") + kRegNames[i];
            return false;
        }
        st.regs[i] = static_cast<std::uint16_t>(*v);
        st.present[i] = true;
    }
    if (const Json* ram = j->get("ram"); ram != nullptr && ram->kind == Json::kArray) {
        for (const Json& pair : ram->items) {
            std::optional<std::uint32_t> addr, byte;
            if (pair.kind == Json::kArray && pair.items.size() == 2) {
                addr = wholeNumber(&pair.items[0], kMemorySize - 1);
                byte = wholeNumber(&pair.items[1], 0xFF);
            }
            if (!addr || !byte) {
                error = "bad ram entry";
                return false;
            }
            st.ram.emplace_back(*addr, static_cast<std::uint8_t>(*byte));
        }
    }
    return true;
}

bool readVector(const Json& j, Vector& v, std::string& error) {
    if (j.kind != Json::kObject) {
        error = "test is not an object";
        return false;
    }
    if (const Json* n = j.get("name")) v.name = n->text;
    if (auto n = wholeNumber(j.get("test_num"), 0x7FFFFFFF)) v.number = static_cast<int>(*n);
    if (const Json* b = j.get("bytes"); b != nullptr && b->kind == Json::kArray) {
        for (const Json& item : b->items) {
            std::optional<std::uint32_t> byte = wholeNumber(&item, 0xFF);
            if (!byte) {
                error = "bad instruction byte";
                return false;
            }
            v.bytes.push_back(static_cast<std::uint8_t>(*byte));
        }
    }
    return readState(j.get("initial"), v.initial, true, error) && readState(j.get("final"), v.final, false, error);
}

std::uint16_t readMask(const Json& entry) {
    std::optional<std::uint32_t> m = wholeNumber(entry.get("flags-mask"), 0xFFFF);
    return m ? static_cast<std::uint16_t>(*m) : 0xFFFF;
}

std::string statusOf(const Json& entry) {
    const Json* s = entry.get("status");
    return s != nullptr ? s->text : std::string("normal");
}

// ---- running ------------------------------------------------------------------------------------

class VectorBus : public Bus {
public:
    std::uint8_t portIn8(std::uint16_t) override { return 0xFF; }
    void portOut8(std::uint16_t, std::uint8_t) override {}
    bool hostTrap(Cpu&, std::uint8_t) override { return true; }
};

constexpr Reg16 kGpOf[] = {AX, BX, CX, DX};

void loadRegs(Registers& r, const std::uint16_t* v) {
    r.gp[AX] = v[kAx];
    r.gp[BX] = v[kBx];
    r.gp[CX] = v[kCx];
    r.gp[DX] = v[kDx];
    r.gp[SP] = v[kSp];
    r.gp[BP] = v[kBp];
    r.gp[SI] = v[kSi];
    r.gp[DI] = v[kDi];
    r.seg[CS] = v[kCs];
    r.seg[SS] = v[kSs];
    r.seg[DS] = v[kDs];
    r.seg[ES] = v[kEs];
    r.ip = v[kIp];
    r.flags = v[kFlags];
}

void storeRegs(const Registers& r, std::uint16_t* v) {
    for (int i = 0; i < 4; ++i) v[i] = r.gp[kGpOf[i]];
    v[kCs] = r.seg[CS];
    v[kSs] = r.seg[SS];
    v[kDs] = r.seg[DS];
    v[kEs] = r.seg[ES];
    v[kSp] = r.gp[SP];
    v[kBp] = r.gp[BP];
    v[kSi] = r.gp[SI];
    v[kDi] = r.gp[DI];
    v[kIp] = r.ip;
    v[kFlags] = r.flags;
}

std::string hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

}  // namespace

std::optional<std::vector<Vector>> parseVectors(std::string_view json, std::string& error) {
    Json root;
    if (!Parser(json).parse(root, error)) return std::nullopt;
    if (root.kind != Json::kArray) {
        error = "the file is not a JSON array";
        return std::nullopt;
    }
    std::vector<Vector> out;
    out.reserve(root.items.size());
    for (const Json& item : root.items) {
        out.emplace_back();
        if (!readVector(item, out.back(), error)) {
            error = "test " + std::to_string(out.size() - 1) + ": " + error;
            return std::nullopt;
        }
    }
    return out;
}

bool Metadata::parse(std::string_view json, std::string& error) {
    Json root;
    if (!Parser(json).parse(root, error)) return false;
    const Json* opcodes = root.get("opcodes");
    if (opcodes == nullptr || opcodes->kind != Json::kObject) {
        error = "no opcodes object";
        return false;
    }
    for (std::size_t i = 0; i < opcodes->keys.size(); ++i) {
        const std::string& op = opcodes->keys[i];
        const Json& entry = opcodes->items[i];
        m_byStem[op] = {statusOf(entry), readMask(entry)};
        if (const Json* regs = entry.get("reg"); regs != nullptr && regs->kind == Json::kObject) {
            for (std::size_t j = 0; j < regs->keys.size(); ++j) {
                m_byStem[op + "." + regs->keys[j]] = {statusOf(regs->items[j]), readMask(regs->items[j])};
            }
        }
    }
    return true;
}

OpcodeInfo Metadata::lookup(const std::string& stem) const {
    auto it = m_byStem.find(stem);
    return it != m_byStem.end() ? it->second : OpcodeInfo{};
}

Outcome runVector(const Vector& v, std::uint16_t flagsMask, CpuModel model, std::uint8_t* memory) {
    for (const auto& [addr, byte] : v.initial.ram) memory[addr] = byte;
    VectorBus bus;
    auto cpu = std::make_unique<Cpu>(memory, bus, model);
    loadRegs(cpu->regs(), v.initial.regs);
    cpu->run(1);

    std::uint16_t got[kRegCount];
    storeRegs(cpu->regs(), got);
    Outcome out;
    out.after = cpu->regs();
    auto differ = [&](const std::string& what, unsigned have, unsigned want, int width) {
        out.passed = false;
        out.detail += what + ": got " + hex(have, width) + ", expected " + hex(want, width) + "\n";
    };
    std::uint16_t want[kRegCount];
    for (int i = 0; i < kRegCount; ++i) {
        want[i] = v.final.present[i] ? v.final.regs[i] : v.initial.regs[i];
        std::uint16_t mask = i == kFlags ? flagsMask : 0xFFFF;
        if ((got[i] & mask) != (want[i] & mask)) differ(kRegNames[i], got[i], want[i], 4);
    }
    // An exception pushes FLAGS with its undefined bits too; that stack word is compared under the mask.
    std::uint32_t flagsLow = ~0u;
    if (flagsMask != 0xFFFF && want[kCs] == 0 && want[kIp] == 0x400) {
        flagsLow = ((static_cast<std::uint32_t>(want[kSs]) << 4) + static_cast<std::uint16_t>(want[kSp] + 4)) &
                   (kMemorySize - 1);
    }
    for (const auto& [addr, byte] : v.final.ram) {
        std::uint8_t mask = 0xFF;
        if (addr == flagsLow) mask = static_cast<std::uint8_t>(flagsMask);
        if (flagsLow != ~0u && addr == ((flagsLow + 1) & (kMemorySize - 1)))
            mask = static_cast<std::uint8_t>(flagsMask >> 8);
        if ((memory[addr] & mask) != (byte & mask)) differ(std::string(1, '[').append(hex(addr, 5)).append("]"), memory[addr], byte, 2);
    }
    return out;
}

}  // namespace krvs::x86::vectors
