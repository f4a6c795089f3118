#pragma once
// Decoded instructions: the run loop keeps the common instructions it has met decoded (handler, length,
// register operands, displacement, immediate) in a small cache of blocks indexed by address, so that
// running one again does not read and pick apart its ModR/M byte, displacement and immediate once more.
//
// An entry keeps the bytes it was decoded from and is used only while memory still holds them at the
// address being run: they are compared on every use, just before the entry runs. So nothing that writes memory (the program
// itself, DOS reading a file, a loader, DEBUG's E/A/L, the host) needs to tell the cache, and an entry
// may even serve a copy of the same bytes elsewhere (decoding does not depend on where the bytes lie).

#include "cpu_exec.h"

#include <cstdint>
#include <cstring>

namespace krvs::x86::interp {

struct Decoded;
// Runs a decoded instruction at `ip` (its first byte; there is no prefix) and returns the next IP (a
// chained entry: the IP where its block's chain stopped). Like a FastHandler it never calls the Bus,
// enters an interrupt or sets Exec::special.
using DecodedFn = std::uint32_t (*)(Exec&, const Decoded&, std::uint32_t ip);
// Fills `e` (fn, len and the operand fields) from the instruction whose bytes start at the low byte of
// `raw`; returns false when this form is better left to the opcode's fast handler.
using Decoder = bool (*)(Decoded& e, std::uint64_t raw);

// The longest instruction an entry holds: opcode, ModR/M, a 16-bit displacement and a 16-bit immediate.
constexpr unsigned kMaxDecodedLength = 6;

struct alignas(32) Decoded {
    std::uint64_t bytes = 0;  // the instruction's bytes, zero past its length
    std::uint64_t mask = 0;   // ones over the instruction's bytes
    DecodedFn fn = nullptr;
    std::uint8_t len = 0;
    std::uint8_t reg = 0;   // the register operand: its byte offset in Registers::gp
    std::uint8_t rm = 0;    // the r/m register, or the first base register of the address, likewise
    std::uint8_t rm2 = 0;   // the second base register of the address, likewise
    std::uint16_t disp = 0;  // displacement, sign-extended; a jump's relative target
    std::uint16_t imm = 0;   // immediate, sign-extended where the form says so
};
static_assert(sizeof(Decoded) == 32);

inline std::uint64_t instructionBytes(const std::uint8_t* mem, std::uint32_t linear) {
    std::uint64_t raw;
    std::memcpy(&raw, mem + linear, sizeof raw);
    return raw;
}

// Whether memory at `at` no longer holds the bytes entry `e` was decoded from.
inline bool differs(const std::uint8_t* code, std::uint32_t at, const Decoded& e) {
    return ((instructionBytes(code, at) ^ e.bytes) & e.mask) != 0;
}

// The entry of an instruction that always goes on at the next one: runs F, then the block's next entry
// (the one after it in memory) if memory still holds its bytes. So a block runs as one chain of calls,
// which the compiler makes jumps, with no return to the loop in between; it ends at an entry that
// returns (a jump, or the block's end marker), or where memory changed, noted in x.cut.
template <DecodedFn F>
std::uint32_t chained(Exec& x, const Decoded& e, std::uint32_t ip) {
    const std::uint32_t at = F(x, e, ip);
    const Decoded& next = (&e)[1];
    if (differs(x.code, at, next)) [[unlikely]] {
        x.cut = &next;
        return at;
    }
    return next.fn(x, next, at);
}

// The end marker after a block's last entry: its bytes (none) always match, and it returns.
inline std::uint32_t blockEnd(Exec&, const Decoded&, std::uint32_t ip) { return ip; }
inline Decoded endMarker() {
    Decoded e;
    e.fn = blockEnd;
    return e;
}

// Entries are kept in blocks: the instructions of a straight run, one after the other, up to and with
// the first that may go elsewhere (a jump, a call, a loop, or an opcode kept as its byte alone). The loop
// finds a block by the address of its first instruction and then runs its entries in order, so that it
// looks up nothing in between; it still compares each entry's bytes with memory just before running it.
constexpr unsigned kBlockLength = 8;         // entries of a block at most
constexpr std::uint32_t kBlockSlots = 1024;  // a power of two: a block's slot is its address modulo this
// The most bytes from a block's first instruction to its last.
constexpr std::uint32_t kMaxBlockSpan = (kBlockLength - 1) * kMaxDecodedLength;
// The entries of all blocks, each block followed by an end marker, handed out in order; when they run
// out, every block is dropped and they are handed out afresh. Enough for the code a course's programs
// run many times over, and small enough that a new Cpu is cheap to make.
constexpr std::uint32_t kPoolEntries = 2048;

struct BlockHead {
    std::uint16_t first = 0;  // the index of its first entry in the pool
    std::uint8_t count = 0;   // entries in the block; 0 while the slot is empty
    std::uint8_t last = 0;    // bytes from the block's first instruction to its last (at least)
};

struct DecodedCache {
    BlockHead head[kBlockSlots];
    std::uint32_t used = 0;  // pool entries handed out
    bool filled = false;     // the blocks hold entries of `model`'s dispatch
    CpuModel model = CpuModel::I8086;
    Decoded pool[kPoolEntries];
};

// What a Cpu keeps: the state and, beside it, the decoded instructions, so that the run loop reaches
// registers, signals and blocks from one pointer.
struct State {
    State(std::uint8_t* memory, Bus& bus, Cpu& cpu, std::uint8_t intr) : x(memory, bus, cpu, intr) {}
    DecodedCache decoded;
    Exec x;
};

// The highest IP at which the loop may look an instruction up: the whole instruction must lie inside the
// segment and below 1 MiB (no wrap-around), and the eight bytes read at once must stay inside the memory
// buffer and its guard bytes.
inline std::uint32_t decodedIpLimit(std::uint32_t csBase) {
    const std::uint32_t bySegment = 0x10000 - kMaxDecodedLength;
    const std::uint32_t byMemory = kMemorySize - kMaxDecodedLength - csBase;  // csBase <= FFFF0h
    return bySegment < byMemory ? bySegment : byMemory;
}
static_assert(kMemoryGuard >= 8, "the loop reads eight instruction bytes at once");

// ---- operands ---------------------------------------------------------------------------------------

// Byte offset in Registers::gp of register `i` of size T (AL CL DL BL AH CH DH BH for bytes).
template <typename T>
constexpr std::uint8_t regOffset(unsigned i) {
    if constexpr (sizeof(T) == 1) {
        return static_cast<std::uint8_t>(((i & 3u) << 1) | (i >> 2));
    } else {
        return static_cast<std::uint8_t>(i * 2);
    }
}

template <typename T>
inline T& regAt(Exec& x, std::uint8_t offset) {
    return *reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(x.r.gp) + offset);
}

inline std::uint8_t byteAt(std::uint64_t raw, unsigned i) { return static_cast<std::uint8_t>(raw >> (8 * i)); }
inline std::uint16_t wordAt(std::uint64_t raw, unsigned i) { return static_cast<std::uint16_t>(raw >> (8 * i)); }
inline std::uint16_t signedByteAt(std::uint64_t raw, unsigned i) {
    return static_cast<std::uint16_t>(static_cast<std::int8_t>(byteAt(raw, i)));
}

// The shapes of a memory operand, each with its default segment, so that a handler instantiated for
// one adds only the registers that shape has.
enum EaShape : int { kEaPairDs, kEaPairSs, kEaOneDs, kEaOneSs, kEaDirect, kEaShapes };

// Decodes the memory operand of ModR/M byte `modrm` (mod 0-2) whose displacement starts at byte `at`
// of `raw` into e.rm, e.rm2 and e.disp; returns its shape and sets `dispBytes` to the size of the
// displacement (0-2).
inline EaShape decodeMemory(Decoded& e, std::uint64_t raw, std::uint8_t modrm, unsigned at, unsigned& dispBytes) {
    static constexpr std::uint8_t kFirst[8] = {BX, BX, BP, BP, SI, DI, BP, BX};
    static constexpr std::uint8_t kSecond[8] = {SI, DI, SI, DI, 0, 0, 0, 0};
    static constexpr EaShape kShape[8] = {kEaPairDs, kEaPairDs, kEaPairSs, kEaPairSs,
                                          kEaOneDs,  kEaOneDs,  kEaOneSs,  kEaOneDs};
    const unsigned mod = modrm >> 6, rm = modrm & 7u;
    if (mod == 0 && rm == 6) {
        e.disp = wordAt(raw, at);
        dispBytes = 2;
        return kEaDirect;
    }
    e.rm = regOffset<std::uint16_t>(kFirst[rm]);
    e.rm2 = regOffset<std::uint16_t>(kSecond[rm]);
    e.disp = mod == 1 ? signedByteAt(raw, at) : mod == 2 ? wordAt(raw, at) : 0;
    dispBytes = mod;
    return kShape[rm];
}

// The segment base and offset of a decoded memory operand of shape S with a displacement of D bytes
// (no override: decoded instructions have no prefix).
template <int S, int D>
[[gnu::always_inline]] inline MemOperand memoryAt(Exec& x, const Decoded& e) {
    std::uint16_t off = 0;
    if constexpr (D != 0) off = e.disp;
    if constexpr (S != kEaDirect) off = static_cast<std::uint16_t>(off + regAt<std::uint16_t>(x, e.rm));
    if constexpr (S == kEaPairDs || S == kEaPairSs) off = static_cast<std::uint16_t>(off + regAt<std::uint16_t>(x, e.rm2));
    const unsigned seg = (S == kEaPairSs || S == kEaOneSs) ? SS : DS;
    return {segBase(x.r.seg[seg]), off, 0};
}

// The instances C::run<S, D> of a handler written for any memory operand (each goes on at the next
// instruction), chained, as a table indexed by shape and displacement size. Each knows its instruction's length, so the next IP does not wait for a load
// of the entry's length. (A direct address always has two displacement bytes.)
template <typename C, int S>
constexpr DecodedFn kByDisp[3] = {chained<C::template run<S, 0>>, chained<C::template run<S, 1>>,
                                  chained<C::template run<S, 2>>};
template <typename C>
constexpr DecodedFn kDirect[3] = {chained<C::template run<kEaDirect, 2>>, chained<C::template run<kEaDirect, 2>>,
                                  chained<C::template run<kEaDirect, 2>>};
template <typename C>
constexpr const DecodedFn* kByForm[kEaShapes] = {kByDisp<C, kEaPairDs>, kByDisp<C, kEaPairSs>, kByDisp<C, kEaOneDs>,
                                                 kByDisp<C, kEaOneSs>, kDirect<C>};

// The entry of memory operand handler C for the ModR/M byte at byte 1 of `raw`; sets e.len to the
// instruction's length with `extra` bytes after the displacement.
template <typename C>
DecodedFn memoryForm(Decoded& e, std::uint64_t raw, unsigned extra) {
    unsigned dispBytes;
    const EaShape shape = decodeMemory(e, raw, byteAt(raw, 1), 2, dispBytes);
    e.len = static_cast<std::uint8_t>(2 + dispBytes + extra);
    return kByForm<C>[shape][dispBytes];
}

// ---- entries for the fast handlers ----------------------------------------------------------------

// A one-byte instruction with no operands, decoded: the handler and the next IP as a plain addition.
template <Handler H>
std::uint32_t oneByteDecoded(Exec& x, const Decoded&, std::uint32_t ip) {
    H(x);
    return ip + 1;
}
template <Handler H>
bool decodeOneByte(Decoded& e, std::uint64_t) {
    e.fn = chained<oneByteDecoded<H>>;
    e.len = 1;
    return true;
}


// An opcode with a fast handler but no decoder of its own is kept as its opcode byte alone: the entry
// saves the dispatch, and the handler reads its operands from memory as it always does.
template <FastHandler F>
std::uint32_t fromFast(Exec& x, const Decoded&, std::uint32_t ip) {
    return F(x, static_cast<std::uint16_t>(ip + 1));
}

}  // namespace krvs::x86::interp
