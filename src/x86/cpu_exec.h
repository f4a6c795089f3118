#pragma once
// Private to the CPU interpreter: the state every opcode handler receives (registers, signals, what the
// run and the current instruction need), and the small inline helpers (fetch, ModR/M, memory, stack,
// flags) the handlers are built from.

#include "x86/cpu.h"

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace krvs::x86::interp {

static_assert(std::endian::native == std::endian::little, "byte registers are addressed inside the words");

constexpr std::uint32_t kAddrMask = kMemorySize - 1;
constexpr int kNoSeg = -1;

struct Exec;
struct Decoded;
using Handler = void (*)(Exec&);
// A handler that gets IP in a register instead of in Registers: `ip` is the offset of the byte after
// the opcode and the handler returns the IP of the next instruction. While one runs, Registers::ip is
// stale, so these handlers never read it, never call the Bus, never enter an interrupt and never set
// Exec::special (the run loop does not look at it after them). Keeping IP out of memory takes a
// store-to-load round trip off the path from one instruction to the next.
using FastHandler = std::uint16_t (*)(Exec&, std::uint16_t ip);

// Things to look at after an instruction, collected in Exec::special so that the common case costs
// one test: events, interrupt inhibition, prefix state to reset, a latched trap flag.
enum Special : std::uint8_t {
    kEventHalt = 1,
    kEventHostStop = 2,
    kInhibitInterrupt = 4,
    kInhibitTrap = 8,
    kPrefixSeen = 16,
    kTrapLatched = 32,
    kFlagsLoaded = 64,  // FLAGS came from memory or the host (POPF, IRET, a host trap): TF may have changed
};

// The arithmetic flags of the last flag-setting operation, kept as its operands and result and
// computed only when something reads them (a conditional jump, PUSHF, an interrupt, the end of run()).
enum LazyKind : std::uint8_t {
    kLazyNone,   // FLAGS in Registers is up to date
    kLazyAdd,    // ADD, ADC: CF is the bit above the operand
    kLazySub,    // SUB, SBB, CMP, NEG: CF is the borrow, the bit above the operand
    kLazyLogic,  // AND, OR, XOR, TEST: CF, AF, OF clear
    kLazyInc,    // INC: the CF it keeps is the bit above the operand
    kLazyDec,    // DEC: likewise
    kLazyFixed,  // shifts: SF, ZF, PF from the result; CF, AF, OF as given in `b`
};
// Whatever the kind, the bit above the operand in `res` is CF, and with nothing pending `res` and the
// size still hold CF that way (mirrorCarry), so that reading CF (ADC, SBB, RCL, JC, INC and DEC keeping
// it) needs no look at the kind.

struct LazyFlags {
    std::uint32_t res = 0;  // the result with the carry or borrow in the bit above the operand; below 2^17
    std::uint32_t a = 0;    // first operand
    std::uint32_t b = 0;    // second operand, with the carry-in for ADC/SBB left out
    // The operand size (80h or 8000h, its sign bit) in the low half and the LazyKind in the top byte, so
    // that one store of an immediate records both. As `res` stays below 2^17, `res & (info << 1)` is CF
    // and `res & ((info << 1) - 1)` the result without a look at the kind.
    std::uint32_t info = 0;
};

constexpr std::uint32_t lazyInfo(LazyKind kind, std::uint32_t sign) { return static_cast<std::uint32_t>(kind) << 24 | sign; }
inline LazyKind lazyKind(const LazyFlags& z) { return static_cast<LazyKind>(z.info >> 24); }
inline std::uint32_t lazySign(const LazyFlags& z) { return z.info & 0xFFFFu; }
inline bool lazyPending(const LazyFlags& z) { return z.info >= (1u << 24); }

// The CPU's state, made with the Cpu and kept for its life: its registers (first, so that a handler
// reaches them at fixed offsets from the one pointer it gets), the signals other threads raise, and what a
// run and the instruction being executed need.
struct Exec {
    Exec(std::uint8_t* memory, Bus& b, Cpu& c, std::uint8_t intr) : mem(memory), bus(b), cpu(c), intrSignal(intr) {}
    Exec(const Exec&) = delete;
    Exec& operator=(const Exec&) = delete;

    Registers r;
    std::uint8_t* mem;
    Bus& bus;
    Cpu& cpu;
    // The stop request and the INTR line share one atomic so that the run loop tests both at once.
    std::atomic<std::uint8_t> signals{0};
    std::uint8_t intrSignal;               // the bit of `signals` that is the INTR line
    const Handler* table = nullptr;        // the one-byte opcode map of the model (set by each run)
    const Handler* twoByte = nullptr;      // the map after 0Fh
    CpuModel model = CpuModel::I8086;
    std::uint32_t csBase = 0;  // CS * 16, refreshed by every instruction or event that loads CS

    // State of the instruction being executed.
    std::uint16_t startIp = 0;       // IP of its first prefix
    std::uint16_t lastPrefixIp = 0;  // IP of the byte before the opcode when a prefix was seen
    int seg = kNoSeg;                // segment override
    std::uint8_t rep = 0;            // 0, 0xF2 or 0xF3
    std::uint8_t prefixes = 0;
    std::uint8_t mod = 0, reg = 0, rm = 0;
    std::uint16_t eaOff = 0;
    std::uint32_t eaBase = 0;
    std::uint8_t special = 0;  // Special bits
    bool tfLatched = false;    // TF was set when the instruction began
    LazyFlags lazy = {};       // arithmetic flags not yet written to r.flags
    // While decoded instructions run (cpu_decoded.h): the memory at CS:0, and the entry a block stopped
    // before because memory no longer holds its bytes (null when the block ran to its end).
    const std::uint8_t* code = nullptr;
    const Decoded* cut = nullptr;
    std::uint32_t writeLimit = kMemorySize;  // writes from this linear address up are dropped (ROM)
    bool romWritten = false;                 // a write was dropped during this run
};


// ---- registers ------------------------------------------------------------------------------------

inline std::uint8_t& reg8(Registers& r, unsigned i) {
    return reinterpret_cast<std::uint8_t*>(r.gp)[((i & 3u) << 1) | (i >> 2)];
}

template <typename T>
inline T& regRef(Exec& x, unsigned i) {
    if constexpr (sizeof(T) == 1) {
        return reg8(x.r, i);
    } else {
        return x.r.gp[i];
    }
}

template <typename T>
constexpr unsigned kBits = sizeof(T) * 8;
template <typename T>
constexpr std::uint32_t kSign = 1u << (kBits<T> - 1);

// ---- memory ---------------------------------------------------------------------------------------

inline std::uint32_t segBase(std::uint16_t s) { return static_cast<std::uint32_t>(s) << 4; }

inline std::uint8_t read8(const std::uint8_t* m, std::uint32_t base, std::uint16_t off) {
    return m[(base + off) & kAddrMask];
}
// Word accesses wrap inside the segment at offset FFFFh and at the top of the address space.
inline std::uint16_t read16(const std::uint8_t* m, std::uint32_t base, std::uint16_t off) {
    std::uint32_t a = (base + off) & kAddrMask;
    if (off != 0xFFFF && a != kAddrMask) [[likely]] {
        std::uint16_t v;
        std::memcpy(&v, m + a, 2);
        return v;
    }
    return static_cast<std::uint16_t>(m[a] | (m[(base + static_cast<std::uint16_t>(off + 1)) & kAddrMask] << 8));
}
// Stores stop at `limit`: the bytes from there up are ROM, which ignores writes. The common case costs
// one compare; the rest (ROM, the segment and address-space wrap) goes byte by byte. Returns false when a
// byte fell on the ROM.
inline bool store8(std::uint8_t* m, std::uint32_t limit, std::uint32_t a, std::uint8_t v) {
    if (a < limit) [[likely]] {
        m[a] = v;
        return true;
    }
    return false;
}
inline bool store8(std::uint8_t* m, std::uint32_t limit, std::uint32_t base, std::uint16_t off, std::uint8_t v) {
    return store8(m, limit, (base + off) & kAddrMask, v);
}
inline bool store16(std::uint8_t* m, std::uint32_t limit, std::uint32_t base, std::uint16_t off, std::uint16_t v) {
    std::uint32_t a = (base + off) & kAddrMask;
    // limit <= kMemorySize, so a + 1 < limit also rules out a word at the top of the address space.
    if (off != 0xFFFF && a + 1 < limit) [[likely]] {
        std::memcpy(m + a, &v, 2);
        return true;
    }
    const bool lo = store8(m, limit, a, static_cast<std::uint8_t>(v));
    const bool hi = store8(m, limit, (base + static_cast<std::uint16_t>(off + 1)) & kAddrMask, static_cast<std::uint8_t>(v >> 8));
    return lo && hi;
}
inline void write8(Exec& x, std::uint32_t base, std::uint16_t off, std::uint8_t v) {
    if (!store8(x.mem, x.writeLimit, base, off, v)) [[unlikely]] x.romWritten = true;
}
inline void write16(Exec& x, std::uint32_t base, std::uint16_t off, std::uint16_t v) {
    if (!store16(x.mem, x.writeLimit, base, off, v)) [[unlikely]] x.romWritten = true;
}
template <typename T>
inline T readMem(Exec& x, std::uint32_t base, std::uint16_t off) {
    if constexpr (sizeof(T) == 1) {
        return read8(x.mem, base, off);
    } else {
        return read16(x.mem, base, off);
    }
}
template <typename T>
inline void writeMem(Exec& x, std::uint32_t base, std::uint16_t off, T v) {
    if constexpr (sizeof(T) == 1) {
        write8(x, base, off, v);
    } else {
        write16(x, base, off, v);
    }
}

// ---- instruction stream ---------------------------------------------------------------------------

// After anything that may have loaded CS.
inline void csLoaded(Exec& x) { x.csBase = segBase(x.r.seg[CS]); }

inline std::uint8_t fetch8(Exec& x) {
    std::uint8_t v = x.mem[(x.csBase + x.r.ip) & kAddrMask];
    ++x.r.ip;
    return v;
}
inline std::uint16_t fetch16(Exec& x) {
    std::uint8_t lo = fetch8(x);
    return static_cast<std::uint16_t>(lo | (fetch8(x) << 8));
}
template <typename T>
inline T fetch(Exec& x) {
    if constexpr (sizeof(T) == 1) {
        return fetch8(x);
    } else {
        return fetch16(x);
    }
}

// The segment for a data access whose default is `def`, after any override prefix.
inline std::uint32_t dataBase(Exec& x, unsigned def) {
    return segBase(x.r.seg[x.seg >= 0 ? static_cast<unsigned>(x.seg) : def]);
}

// The bytes of the instruction stream at `ip`, for handlers that keep IP in a register.
inline std::uint8_t fetchAt8(const Exec& x, std::uint16_t ip) { return x.mem[(x.csBase + ip) & kAddrMask]; }
inline std::uint16_t fetchAt16(const Exec& x, std::uint16_t ip) { return read16(x.mem, x.csBase, ip); }

// A memory operand: its segment base and offset, and the IP after its displacement.
struct MemOperand {
    std::uint32_t base;
    std::uint16_t off;
    std::uint16_t ip;
};

// The memory operand of ModR/M byte `m` (mod 0-2) whose displacement starts at `ip`. The r/m field
// picks one or two base registers (the second masked away when there is none) and the default segment.
[[gnu::always_inline]] inline MemOperand memOperandAt(Exec& x, std::uint8_t m, std::uint16_t ip) {
    static constexpr std::uint8_t kFirst[8] = {BX, BX, BP, BP, SI, DI, BP, BX};
    static constexpr std::uint8_t kSecond[8] = {SI, DI, SI, DI, SI, SI, SI, SI};
    static constexpr std::uint16_t kSecondMask[8] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0};
    static constexpr std::uint8_t kSegment[8] = {DS, DS, SS, SS, DS, DS, SS, DS};
    const unsigned mod = m >> 6, rm = m & 7u;
    if (mod == 0 && rm == 6) {
        return {dataBase(x, DS), fetchAt16(x, ip), static_cast<std::uint16_t>(ip + 2)};
    }
    const Registers& r = x.r;
    auto off = static_cast<std::uint16_t>(r.gp[kFirst[rm]] + (r.gp[kSecond[rm]] & kSecondMask[rm]));
    if (mod == 1) {
        off = static_cast<std::uint16_t>(off + static_cast<std::int8_t>(fetchAt8(x, ip)));
        ip = static_cast<std::uint16_t>(ip + 1);
    } else if (mod == 2) {
        off = static_cast<std::uint16_t>(off + fetchAt16(x, ip));
        ip = static_cast<std::uint16_t>(ip + 2);
    }
    return {dataBase(x, kSegment[rm]), off, ip};
}

// The memory operand of x.mod/x.rm into x.eaBase/x.eaOff; a displacement is read at `ip`. Returns the
// IP after the displacement.
[[gnu::always_inline]] inline std::uint16_t computeEaAt(Exec& x, std::uint16_t ip) {
    const MemOperand op = memOperandAt(x, static_cast<std::uint8_t>((x.mod << 6) | x.rm), ip);
    x.eaBase = op.base;
    x.eaOff = op.off;
    return op.ip;
}

[[gnu::always_inline]] inline void computeEa(Exec& x) { x.r.ip = computeEaAt(x, x.r.ip); }

// The ModR/M byte at `ip` and its displacement; returns the IP after them.
[[gnu::always_inline]] inline std::uint16_t decodeModrmAt(Exec& x, std::uint16_t ip) {
    const std::uint8_t m = fetchAt8(x, ip);
    ip = static_cast<std::uint16_t>(ip + 1);
    x.mod = m >> 6;
    x.reg = (m >> 3) & 7;
    x.rm = m & 7;
    return x.mod != 3 ? computeEaAt(x, ip) : ip;
}

// The plain handler of an instruction written as a FastHandler: prefixed forms and the paths that
// keep IP in Registers run the same code through it.
template <FastHandler F>
void viaRegisters(Exec& x) {
    x.r.ip = F(x, x.r.ip);
}

// A handler that reads no bytes after its opcode and leaves IP alone, run with IP in a register.
template <Handler H>
std::uint16_t withoutOperands(Exec& x, std::uint16_t ip) {
    H(x);
    return ip;
}

// A handler body that works on the decoded ModR/M operand and reads no more bytes.
template <Handler Body>
std::uint16_t modrmOnly(Exec& x, std::uint16_t ip) {
    ip = decodeModrmAt(x, ip);
    Body(x);
    return ip;
}

// For handlers that have already fetched the ModR/M byte `m`.
[[gnu::always_inline]] inline void decodeModrmByte(Exec& x, std::uint8_t m) {
    x.mod = m >> 6;
    x.reg = (m >> 3) & 7;
    x.rm = m & 7;
    if (x.mod != 3) {
        computeEa(x);
    }
}

[[gnu::always_inline]] inline void decodeModrm(Exec& x) {
    std::uint8_t m = fetch8(x);
    x.mod = m >> 6;
    x.reg = (m >> 3) & 7;
    x.rm = m & 7;
    if (x.mod != 3) {
        computeEa(x);
    }
}

template <typename T>
inline T readRm(Exec& x) {
    if (x.mod == 3) {
        return regRef<T>(x, x.rm);
    }
    return readMem<T>(x, x.eaBase, x.eaOff);
}
template <typename T>
inline void writeRm(Exec& x, T v) {
    if (x.mod == 3) {
        regRef<T>(x, x.rm) = v;
    } else {
        writeMem<T>(x, x.eaBase, x.eaOff, v);
    }
}

// ---- stack ----------------------------------------------------------------------------------------

inline void push16(Exec& x, std::uint16_t v) {
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] - 2);
    write16(x, segBase(x.r.seg[SS]), x.r.gp[SP], v);
}
inline std::uint16_t pop16(Exec& x) {
    std::uint16_t v = read16(x.mem, segBase(x.r.seg[SS]), x.r.gp[SP]);
    x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] + 2);
    return v;
}

// ---- flags ----------------------------------------------------------------------------------------

constexpr std::uint16_t kArithFlags = flag::CF | flag::PF | flag::AF | flag::ZF | flag::SF | flag::OF;

inline constexpr std::array<std::uint8_t, 256> kSzp = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned f = (std::popcount(i) % 2 == 0) ? flag::PF : 0;
        if (i == 0) f |= flag::ZF;
        if (i & 0x80) f |= flag::SF;
        t[i] = static_cast<std::uint8_t>(f);
    }
    return t;
}();

template <typename T>
inline std::uint16_t szp(T v) {
    if constexpr (sizeof(T) == 1) {
        return kSzp[v];
    } else {
        return static_cast<std::uint16_t>((kSzp[v & 0xFF] & flag::PF) | (v == 0 ? flag::ZF : 0) |
                                          ((v & 0x8000) ? flag::SF : 0));
    }
}

// The arithmetic flags the pending operation leaves.
inline std::uint16_t lazyArithFlags(const Exec& x) {
    const LazyFlags& z = x.lazy;
    const std::uint32_t sign = lazySign(z);
    const LazyKind kind = lazyKind(z);
    const std::uint32_t v = z.res & ((sign << 1) - 1);
    std::uint16_t f = static_cast<std::uint16_t>((kSzp[v & 0xFF] & flag::PF) | (v == 0 ? flag::ZF : 0) |
                                                 ((v & sign) ? flag::SF : 0));
    if (kind == kLazyLogic) return f;
    if (kind == kLazyFixed) return static_cast<std::uint16_t>(f | (z.b & (flag::CF | flag::AF | flag::OF)));
    if (z.res & (sign << 1)) f |= flag::CF;
    f |= static_cast<std::uint16_t>((z.a ^ z.b ^ z.res) & flag::AF);
    const bool adds = kind == kLazyAdd || kind == kLazyInc;
    const std::uint32_t overflow = adds ? (z.a ^ z.res) & (z.b ^ z.res) : (z.a ^ z.b) & (z.a ^ z.res);
    if (overflow & sign) f |= flag::OF;
    return f;
}

// With nothing pending: CF of r.flags into `res` and the size, where cf() reads it.
inline void mirrorCarry(Exec& x) {
    x.lazy.info = lazyInfo(kLazyNone, 0x8000);
    x.lazy.res = (x.r.flags & flag::CF) ? 0x10000u : 0u;
}

// Writes the pending arithmetic flags into r.flags; afterwards r.flags is the whole truth. (`res` and
// the size keep CF where cf() reads it.)
inline void settleFlags(Exec& x) {
    if (lazyPending(x.lazy)) [[unlikely]] {
        x.r.flags = static_cast<std::uint16_t>((x.r.flags & ~kArithFlags) | lazyArithFlags(x));
        x.lazy.info = lazySign(x.lazy);
    }
}

// FLAGS as an instruction reads them.
inline std::uint16_t flagsNow(Exec& x) {
    settleFlags(x);
    return x.r.flags;
}

// Sets the flags under `mask`. Setting all arithmetic flags drops the pending ones; setting some of
// them first settles the others.
inline void setFlags(Exec& x, std::uint16_t mask, std::uint16_t value) {
    if ((mask & kArithFlags) == kArithFlags) {
        x.lazy.info = lazySign(x.lazy);  // nothing pending (CF is mirrored below)
    } else if (mask & kArithFlags) {
        settleFlags(x);
    }
    x.r.flags = static_cast<std::uint16_t>((x.r.flags & ~mask) | value);
    if (mask & flag::CF) mirrorCarry(x);
}

// FLAGS replaced as a whole (POPF, IRET, SAHF after settling, the host): nothing is pending any more.
inline void loadFlags(Exec& x, std::uint16_t value) {
    x.r.flags = value;
    mirrorCarry(x);
}

// CF without settling the other flags.
inline bool cf(const Exec& x) { return (x.lazy.res & (x.lazy.info << 1)) != 0; }

// ZF without settling the other flags.
inline bool zf(const Exec& x) {
    if (!lazyPending(x.lazy)) return (x.r.flags & flag::ZF) != 0;
    return (x.lazy.res & ((x.lazy.info << 1) - 1)) == 0;
}

template <typename T>
inline void recordFlags(Exec& x, LazyKind kind, std::uint32_t res, std::uint32_t a, std::uint32_t b) {
    x.lazy.res = res;
    x.lazy.a = a;
    x.lazy.b = b;
    x.lazy.info = lazyInfo(kind, kSign<T>);
}

// FLAGS as PUSHF and interrupt entry store them: the 80286 in real mode shows bits 12-15 clear.
inline std::uint16_t flagsImage(CpuModel model, std::uint16_t f) {
    return model == CpuModel::I80286 ? static_cast<std::uint16_t>(f & 0x0FFF) : f;
}
// FLAGS as POPF, IRET and SAHF leave them.
inline std::uint16_t normalizeFlags(CpuModel model, std::uint16_t f) {
    std::uint16_t fixed = model == CpuModel::I80286 ? 0x0002 : 0xF002;
    return static_cast<std::uint16_t>((f & 0x0FD5) | fixed);
}

// Loading a segment register holds off interrupts for one instruction so that SS:SP can be changed
// as a pair. The 8086 and 80186 do this for every segment register.
inline void afterSegmentLoad(Exec& x, unsigned seg) {
    if (seg == SS || x.model != CpuModel::I80286) {
        x.special |= kInhibitInterrupt | kInhibitTrap;
    }
}

// PUSH of a general register, with the chip's handling of PUSH SP.
void pushRegister(Exec& x, unsigned reg);

// ---- events -----------------------------------------------------------------------------------------

// Enters an interrupt from inside an instruction (INT n, faults): the pushed FLAGS are settled first.
inline void enterInterrupt(Exec& x, std::uint8_t vector) {
    settleFlags(x);
    x.cpu.interrupt(vector);
    csLoaded(x);
}

// The divide error returns past the instruction on the 8086, to the instruction itself on later chips.
void divideError(Exec& x);
// Raised by an opcode the 80186 and later do not know.
void invalidOpcode(Exec& x);

// ---- handler registration -----------------------------------------------------------------------

// Each file of handlers attaches them to the instruction table's opcodes (see cpu_dispatch.h).
class Binder;
void bindAluHandlers(Binder& b);
void bindMoveHandlers(Binder& b);
void bindStackHandlers(Binder& b);
void bindBcdHandlers(Binder& b);
void bindShiftHandlers(Binder& b);
void bindMulDivHandlers(Binder& b);
void bindGroupHandlers(Binder& b);
void bindStringHandlers(Binder& b);
void bindControlHandlers(Binder& b);
void bindPrefixHandlers(Binder& b);
void bindMiscHandlers(Binder& b);
void bind186Handlers(Binder& b);

}  // namespace krvs::x86::interp
