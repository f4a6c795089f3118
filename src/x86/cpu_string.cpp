// String instructions with their REP forms: MOVS, CMPS, STOS, LODS, SCAS, and INS/OUTS (80186 on).
//
// A repeated instruction stops between two elements when an interrupt or the trap flag is pending;
// IP then points back into the instruction so that it resumes after the interrupt returns. The 8086
// and 80186 resume at the last prefix before the opcode (an earlier prefix is lost, as on the chips);
// the 80286 resumes at the first prefix.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

enum StringKind { kMovs, kCmps, kStos, kLods, kScas, kIns, kOuts };

template <typename T>
T portIn(Exec& x) {
    if constexpr (sizeof(T) == 1) {
        return x.bus.portIn8(x.r.gp[DX]);
    } else {
        return x.bus.portIn16(x.r.gp[DX]);
    }
}
template <typename T>
void portOut(Exec& x, T v) {
    if constexpr (sizeof(T) == 1) {
        x.bus.portOut8(x.r.gp[DX], v);
    } else {
        x.bus.portOut16(x.r.gp[DX], v);
    }
}

// What stays fixed while a string instruction runs: segment bases and the element step.
struct StringContext {
    std::uint32_t es;
    std::uint32_t src;
    std::uint16_t step;
};

template <typename T>
StringContext stringContext(Exec& x) {
    auto step = static_cast<std::uint16_t>((x.r.flags & flag::DF) ? -static_cast<int>(sizeof(T)) : sizeof(T));
    return {segBase(x.r.seg[ES]), dataBase(x, DS), step};
}

template <StringKind K, typename T>
void once(Exec& x, const StringContext& c) {
    std::uint16_t& si = x.r.gp[SI];
    std::uint16_t& di = x.r.gp[DI];
    if constexpr (K == kMovs) {
        writeMem<T>(x, c.es, di, readMem<T>(x, c.src, si));
    } else if constexpr (K == kCmps) {
        T a = readMem<T>(x, c.src, si);
        subFlags<T>(x, a, readMem<T>(x, c.es, di), 0);
    } else if constexpr (K == kStos) {
        writeMem<T>(x, c.es, di, regRef<T>(x, AX));
    } else if constexpr (K == kLods) {
        regRef<T>(x, AX) = readMem<T>(x, c.src, si);
    } else if constexpr (K == kScas) {
        subFlags<T>(x, regRef<T>(x, AX), readMem<T>(x, c.es, di), 0);
    } else if constexpr (K == kIns) {
        writeMem<T>(x, c.es, di, portIn<T>(x));
    } else {
        portOut<T>(x, readMem<T>(x, c.src, si));
    }
    if constexpr (K == kMovs || K == kCmps || K == kLods || K == kOuts) si = static_cast<std::uint16_t>(si + c.step);
    if constexpr (K != kLods && K != kOuts) di = static_cast<std::uint16_t>(di + c.step);
}

bool interruptPending(const Exec& x) {
    return x.tfLatched || ((x.r.flags & flag::IF) && (x.signals.load(std::memory_order_relaxed) & x.intrSignal));
}

template <StringKind K, typename T>
void stringOp(Exec& x) {
    const StringContext c = stringContext<T>(x);
    if (x.rep == 0) {
        once<K, T>(x, c);
        return;
    }
    constexpr bool kCompares = K == kCmps || K == kScas;
    std::uint16_t& cx = x.r.gp[CX];
    while (cx != 0) {
        once<K, T>(x, c);
        --cx;
        if constexpr (kCompares) {
            if (zf(x) != (x.rep == 0xF3)) return;
        }
        if (cx != 0 && interruptPending(x)) [[unlikely]] {
            x.r.ip = x.model == CpuModel::I80286 ? x.startIp : x.lastPrefixIp;
            return;
        }
    }
}

template <StringKind K>
void bindPair(Binder& b, unsigned opcode, std::string_view byteName, std::string_view wordName) {
    b.bind(static_cast<std::uint16_t>(opcode), byteName, stringOp<K, std::uint8_t>);
    b.bind(static_cast<std::uint16_t>(opcode + 1), wordName, stringOp<K, std::uint16_t>);
}

}  // namespace

void bindStringHandlers(Binder& b) {
    bindPair<kMovs>(b, 0xA4, "MOVSB", "MOVSW");
    bindPair<kCmps>(b, 0xA6, "CMPSB", "CMPSW");
    bindPair<kStos>(b, 0xAA, "STOSB", "STOSW");
    bindPair<kLods>(b, 0xAC, "LODSB", "LODSW");
    bindPair<kScas>(b, 0xAE, "SCASB", "SCASW");
    bindPair<kIns>(b, 0x6C, "INSB", "INSW");
    bindPair<kOuts>(b, 0x6E, "OUTSB", "OUTSW");
}

}  // namespace krvs::x86::interp
