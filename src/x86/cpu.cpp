// The run loop: instruction boundaries, hardware interrupts, the trap flag, HLT and stop requests.

#include "x86/cpu.h"

#include "cpu_dispatch.h"

#include <algorithm>
#include <cstdlib>

namespace krvs::x86 {

using namespace interp;

Cpu::Cpu(std::uint8_t* memory, Bus& bus, CpuModel model)
    : m_mem(memory), m_bus(bus), m_model(model), m_state(std::make_unique<State>(memory, bus, *this, kSignalIntr)),
      m_regs(m_state->x.r), m_signals(m_state->x.signals) {}

Cpu::~Cpu() = default;

// Emptied at the first run and again when the model changed since the last: an entry holds the handlers
// the model's dispatch chose.
DecodedCache& Cpu::decodedCache() {
    DecodedCache& c = m_state->decoded;
    if (c.filled && c.model == m_model) return c;
    std::fill(std::begin(c.head), std::end(c.head), BlockHead{});
    c.used = 0;
    c.model = m_model;
    c.filled = true;
    return c;
}

void Cpu::interrupt(std::uint8_t vector) {
    Registers& r = m_regs;
    std::uint32_t ss = segBase(r.seg[SS]);
    auto push = [&](std::uint16_t v) {
        r.gp[SP] = static_cast<std::uint16_t>(r.gp[SP] - 2);
        if (!store16(m_mem, m_writeLimit, ss, r.gp[SP], v)) m_ignoredWrite = true;
    };
    push(flagsImage(m_model, r.flags));
    push(r.seg[CS]);
    push(r.ip);
    r.flags = static_cast<std::uint16_t>(r.flags & ~(flag::IF | flag::TF));
    std::uint16_t slot = static_cast<std::uint16_t>(vector * 4);
    r.ip = read16(m_mem, 0, slot);
    r.seg[CS] = read16(m_mem, 0, static_cast<std::uint16_t>(slot + 2));
    m_halted = false;
}

namespace {

// Decodes the block of instructions that starts at `at` into the pool and `h`: up to kBlockLength of them,
// none beyond `limit`, ending at the first that may go elsewhere or before one that is not kept.
// Returns false, with nothing changed, when not even the first is kept.
[[gnu::noinline]] bool buildBlock(const Dispatch& d, DecodedCache& c, BlockHead& h, const std::uint8_t* code,
                                  std::uint32_t at, std::uint32_t limit) {
    if (c.used + kBlockLength + 1 > kPoolEntries) {
        // Between blocks nothing refers to an entry: drop them all.
        std::fill(std::begin(c.head), std::end(c.head), BlockHead{});
        c.used = 0;
    }
    Decoded* const first = c.pool + c.used;
    unsigned count = 0;
    std::uint32_t pos = at;
    std::uint32_t last = 0;
    while (count < kBlockLength && pos <= limit) {
        const EntryFlow flow = decodeEntry(d, first[count], instructionBytes(code, pos));
        if (flow == EntryFlow::kNotKept) break;
        last = pos - at;
        ++count;
        if (flow == EntryFlow::kEnds) break;
        pos += first[count - 1].len;
    }
    if (count == 0) return false;  // the slot keeps its block, whose first entry differs
    first[count] = endMarker();
    h = BlockHead{static_cast<std::uint16_t>(c.used), static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(last)};
    c.used += count + 1;
    return true;
}

// Memory changed under entry `index` of block `h`, which did not run: the block ends before it from now
// on (its `last` stays an upper bound), and the loop goes on with a block of its own at that address.
[[gnu::noinline]] void cutBlock(DecodedCache& c, BlockHead& h, std::uint32_t index) {
    h.count = static_cast<std::uint8_t>(index);
    c.pool[h.first + index] = endMarker();
}

// Runs the first `count` entries of a block alone (the run may not go further): copies them with an end
// marker after them. Returns the IP reached; x.cut, if set, points into `first`'s block.
[[gnu::noinline]] std::uint32_t runPart(Exec& x, const Decoded* first, std::uint32_t count, std::uint32_t at) {
    Decoded part[kBlockLength + 1];
    std::copy(first, first + count, part);
    part[count] = endMarker();
    at = part[0].fn(x, part[0], at);
    if (x.cut) x.cut = first + (x.cut - part);
    return at;
}

// Runs the block at `at` (code is the memory at CS:0): looks it up, decodes it when its slot holds none
// for these bytes, runs its entries while memory still holds their bytes, and counts them off `n`. With
// Clamp it runs no more than `n`, else `n` is at least kBlockLength. Returns false, with nothing run,
// before an instruction that is not kept.
template <bool Clamp>
[[gnu::always_inline]] inline bool runBlock(State& s, const Dispatch& d, std::uint32_t& at, std::uint32_t limit,
                                            std::int64_t anyBlockFits, std::uint64_t& n) {
    BlockHead& h = s.decoded.head[at & (kBlockSlots - 1)];
    // The block is used only if it lies below the limit here and memory still holds its first
    // instruction; a later entry is checked just before it runs.
    const bool nearLimit = static_cast<std::int64_t>(at) > anyBlockFits;
    if (h.count == 0 || (nearLimit && at + h.last > limit) || differs(s.x.code, at, s.decoded.pool[h.first]))
        [[unlikely]] {
        if (!buildBlock(d, s.decoded, h, s.x.code, at, limit)) return false;
    }
    const Decoded* const first = s.decoded.pool + h.first;
    std::uint32_t count = h.count;
    if (Clamp && count > n) {
        count = static_cast<std::uint32_t>(n);
        at = runPart(s.x, first, count, at);
    } else {
        at = first->fn(s.x, *first, at);  // the whole block; it leaves nothing in x.special
    }
    n -= count;
    if (s.x.cut) [[unlikely]] {
        const auto ran = static_cast<std::uint32_t>(s.x.cut - first);
        n += count - ran;
        s.x.cut = nullptr;
        cutBlock(s.decoded, h, ran);
    }
    return true;
}

// Runs decoded instructions from `ip` on (code is the memory at CS:0) and returns the IP reached, with
// `left` (not 0 at the start) counted down. Stops at the instruction limit, when a signal is up (seen
// between blocks), and before an instruction that is not kept decoded or lies beyond `limit`. A function
// of its own with only what it needs, so that the loop keeps it all in registers; the state, its signals
// and the blocks are reached from one pointer.
[[gnu::noinline]] std::uint16_t runDecoded(State& s, const Dispatch& d, const std::uint8_t* const code,
                                           std::uint16_t ip, std::uint32_t limit, std::uint64_t& left) {
    std::uint32_t at = ip;
    std::uint64_t n = left;
    s.x.code = code;
    // Below this address every block lies below the limit, so only a block nearer to it needs a look.
    const std::int64_t anyBlockFits = static_cast<std::int64_t>(limit) - kMaxBlockSpan;
    // Only other threads raise signals while decoded instructions run (those never call the Bus).
    const auto quiet = [&s] { return s.x.signals.load(std::memory_order_relaxed) == 0; };
    bool going = true;
    while (going && n >= kBlockLength) {
        going = runBlock<false>(s, d, at, limit, anyBlockFits, n) && quiet();
    }
    while (going && n != 0) {
        going = runBlock<true>(s, d, at, limit, anyBlockFits, n) && quiet();
    }
    left = n;
    return static_cast<std::uint16_t>(at);
}

}  // namespace

StopReason Cpu::run(std::uint64_t maxInstructions) {
    const Dispatch& dispatch = dispatchFor(m_model);
    decodedCache();
    Exec& x = m_state->x;
    x.table = dispatch.one;
    x.twoByte = dispatch.two;
    x.model = m_model;
    x.writeLimit = m_writeLimit;
    x.romWritten = false;
    // Between runs nothing of an instruction is under way.
    x.special = 0;
    x.seg = kNoSeg;
    x.rep = 0;
    x.prefixes = 0;
    x.tfLatched = false;
    x.lazy = {};
    mirrorCarry(x);
    csLoaded(x);
    const std::uint64_t end =
        maxInstructions > ~std::uint64_t{0} - m_count ? ~std::uint64_t{0} : m_count + maxInstructions;
    // The instructions still allowed, counted down in a register; the count is end - left.
    std::uint64_t left = end - m_count;
    // Kept in locals so that they stay in registers across the handler calls.
    const Dispatch& d = dispatch;
    std::uint8_t* const mem = m_mem;
    // IP lives in this local while the loop runs and goes to m_regs.ip only around what reads it there:
    // the plain handlers, interrupts, traps and the return. Kept in memory, each instruction's IP would
    // wait for the previous instruction's store of it.
    std::uint16_t ip = m_regs.ip;
    // CS * 16 likewise: only plain handlers and interrupts load CS.
    std::uint32_t csBase = x.csBase;
    // The rare cases that need a look before the next instruction besides the signals: HLT, an
    // interrupt inhibition, TF. They change only in afterSpecial() (HLT, inhibition, a new FLAGS
    // image) or in the attention block itself, so this local is recomputed only there.
    bool slow = m_halted || m_inhibit || (m_regs.flags & flag::TF) != 0;
    for (;;) {
        // One test covers them all: a stop request, the INTR line, HLT, inhibition, TF.
        if ((m_signals.load(std::memory_order_relaxed) | static_cast<std::uint8_t>(slow)) != 0) [[unlikely]] {
            m_regs.ip = ip;
            std::uint8_t signals = m_signals.load(std::memory_order_relaxed);
            if (signals & kSignalStop) {
                m_signals.fetch_and(static_cast<std::uint8_t>(~kSignalStop), std::memory_order_relaxed);
                return finishRun(x, end - left, StopReason::StopRequested);
            }
            if (!m_inhibit && (m_regs.flags & flag::IF) && (signals & kSignalIntr)) {
                int vector = m_bus.acknowledgeInterrupt();
                if (vector >= 0) {
                    settleFlags(x);
                    interrupt(static_cast<std::uint8_t>(vector));
                    csLoaded(x);
                }
            }
            if (m_halted) {
                return finishRun(x, end - left, StopReason::Halted);
            }
            if (left == 0) {
                return finishRun(x, end, StopReason::InstructionLimit);  // an inhibition still holds
            }
            m_inhibit = false;
            slow = (m_regs.flags & flag::TF) != 0;
            if (slow) {
                x.tfLatched = true;
                x.special |= kTrapLatched;
            }
            ip = m_regs.ip;
            csBase = x.csBase;
        }
        // The decoded instructions, for as long as nothing needs a look between them. With TF set (the
        // only reason `slow` can still be true here) the plain handlers run, so that the trap follows in
        // afterSpecial().
        // Entered only for an opcode that can be kept decoded: a program that calls DOS every few
        // instructions would otherwise pay the call for nothing before each INT, IRET and service trap.
        if (!slow && left != 0 && d.cached[mem[(csBase + ip) & kAddrMask]] != nullptr) {
            const std::uint64_t before = left;
            ip = runDecoded(*m_state, d, mem + csBase, ip, decodedIpLimit(csBase), left);
            if (left != before) continue;  // at a new instruction boundary: signals and the limit first
        }
        // One instruction the plain way: a prefix or an instruction without a fast handler, TF, or an
        // instruction that wraps around the end of its segment or of memory.
        if (left == 0) [[unlikely]] {
            m_regs.ip = ip;
            return finishRun(x, end, StopReason::InstructionLimit);
        }
        --left;
        const std::uint8_t opcode = mem[(csBase + ip) & kAddrMask];
        x.startIp = ip;
        m_regs.ip = static_cast<std::uint16_t>(ip + 1);
        d.one[opcode](x);
        ip = m_regs.ip;
        csBase = x.csBase;
        if (x.special != 0) [[unlikely]] {
            m_regs.ip = ip;
            if (afterSpecial(x)) {
                return finishRun(x, end - left, StopReason::HostRequest);
            }
            ip = m_regs.ip;
            csBase = x.csBase;
            slow = m_halted || m_inhibit || (m_regs.flags & flag::TF) != 0;
        }
    }
}

// Leaves the state as callers see it between runs: the count stored, FLAGS settled.
StopReason Cpu::finishRun(interp::Exec& x, std::uint64_t count, StopReason reason) {
    m_count = count;
    m_ignoredWrite |= x.romWritten;
    settleFlags(x);
    return reason;
}

// Handles what an instruction left in Exec::special and resets the per-instruction state.
// Returns true when a host trap asked to end the run.
bool Cpu::afterSpecial(interp::Exec& x) {
    std::uint8_t special = x.special;
    x.special = 0;
    x.seg = kNoSeg;
    x.rep = 0;
    x.prefixes = 0;
    x.tfLatched = false;
    m_inhibit = (special & kInhibitInterrupt) != 0;
    if (special & kEventHalt) {
        m_halted = true;
    }
    if ((special & kTrapLatched) && !(special & kInhibitTrap)) {
        settleFlags(x);
        interrupt(1);
        csLoaded(x);
    }
    return (special & kEventHostStop) != 0;
}

namespace interp {

void divideError(Exec& x) {
    if (x.model != CpuModel::I8086) {
        x.r.ip = x.startIp;
    }
    enterInterrupt(x, 0);
}

void invalidOpcode(Exec& x) {
    x.r.ip = x.startIp;
    enterInterrupt(x, 6);
}

}  // namespace interp
}  // namespace krvs::x86
