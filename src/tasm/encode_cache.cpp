#include "encode_cache.h"

namespace krvs::tasm {

namespace {

// Every field of an operand goes into the key: a field added to the operand must be added here.
static_assert(sizeof(x86::Operand) == 24, "x86::Operand changed: update the encoding cache's key");

void pack(const x86::Operand& o, std::uint16_t origin, std::uint64_t* w) {
    // The encoder uses the origin for nothing but a relative operand's distance.
    std::int32_t value = o.kind == x86::OperandKind::Rel ? o.value - static_cast<std::int32_t>(origin) : o.value;
    auto u8 = [](std::int8_t v) { return static_cast<std::uint64_t>(static_cast<std::uint8_t>(v)); };
    w[0] = static_cast<std::uint64_t>(o.kind) | static_cast<std::uint64_t>(o.reg) << 8 |
           static_cast<std::uint64_t>(o.size) << 16 | u8(o.mem.base) << 24 | u8(o.mem.index) << 32 |
           static_cast<std::uint64_t>(o.mem.dispKnown) << 40 | u8(o.mem.segment) << 48 |
           static_cast<std::uint64_t>(o.known) << 56 | static_cast<std::uint64_t>(o.dist) << 60;
    w[1] = static_cast<std::uint64_t>(static_cast<std::uint32_t>(o.mem.disp)) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(value)) << 32;
    w[2] = static_cast<std::uint64_t>(o.segment) | static_cast<std::uint64_t>(o.mem.dispWidth) << 16;
}

}  // namespace

EncodeCache::EncodeCache() : m_entries(std::make_unique<std::array<Entry, kSlots>>()) {}

x86::EncodeResult EncodeCache::encode(std::span<const x86::Form* const> forms, std::span<const x86::Operand> ops,
                                      const x86::EncodeOptions& options) {
    if (ops.size() > 3) return x86::encode(forms, ops, options);
    Key key{};
    size_t words = 2 + 3 * ops.size();
    for (size_t i = 0; i < ops.size(); ++i) pack(ops[i], options.origin, &key[2 + 3 * i]);
    key[0] = reinterpret_cast<std::uintptr_t>(forms.data());
    key[1] = static_cast<std::uint64_t>(options.cpu) | static_cast<std::uint64_t>(options.rmDestination) << 8 |
             static_cast<std::uint64_t>(ops.size()) << 16 | static_cast<std::uint64_t>(forms.size()) << 24;
    std::uint64_t h = 0;
    for (size_t i = 0; i < words; ++i) h = (h ^ key[i]) * 0x9E3779B97F4A7C15ull;
    Entry& e = (*m_entries)[(h >> 40) & (kSlots - 1)];
    if (e.used && e.key == key) return e.result;
    e.key = key;
    e.used = true;
    e.result = x86::encode(forms, ops, options);
    return e.result;
}

}  // namespace krvs::tasm
