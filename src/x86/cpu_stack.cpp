// PUSH and POP of registers, segment registers, memory and FLAGS.

#include "cpu_dispatch.h"

#include <utility>

namespace krvs::x86::interp {
namespace {

template <int R>
void pushReg(Exec& x) {
    pushRegister(x, R);
}
template <int R>
void popReg(Exec& x) {
    x.r.gp[R] = pop16(x);
}

template <int S>
void pushSeg(Exec& x) {
    push16(x, x.r.seg[S]);
}
template <int S>
void popSeg(Exec& x) {
    x.r.seg[S] = pop16(x);
    if constexpr (S == CS) csLoaded(x);  // POP CS on the 8086
    afterSegmentLoad(x, S);
}

// 8Fh: the reg field is ignored. The address is computed before SP moves.
void popRm(Exec& x) {
    decodeModrm(x);
    std::uint16_t v = pop16(x);
    writeRm<std::uint16_t>(x, v);
}

void pushf(Exec& x) { push16(x, flagsImage(x.model, flagsNow(x))); }
void popf(Exec& x) {
    loadFlags(x, normalizeFlags(x.model, pop16(x)));
    x.special |= kFlagsLoaded;
}

}  // namespace

// The 8086 and 80186 store SP after it was decremented; the 80286 stores the value before.
void pushRegister(Exec& x, unsigned reg) {
    if (reg == SP && x.model != CpuModel::I80286) {
        x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] - 2);
        write16(x, segBase(x.r.seg[SS]), x.r.gp[SP], x.r.gp[SP]);
        return;
    }
    push16(x, x.r.gp[reg]);
}

void bindStackHandlers(Binder& b) {
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (b.bindBoth<withoutOperands<pushReg<R>>, decodeOneByte<pushReg<R>>>(0x50 + R, "PUSH"), ...);
        (b.bindBoth<withoutOperands<popReg<R>>, decodeOneByte<popReg<R>>>(0x58 + R, "POP"), ...);
    }
    (std::make_integer_sequence<int, 8>{});
    b.bind(0x06, "PUSH", pushSeg<ES>);
    b.bind(0x0E, "PUSH", pushSeg<CS>);
    b.bind(0x16, "PUSH", pushSeg<SS>);
    b.bind(0x1E, "PUSH", pushSeg<DS>);
    b.bind(0x07, "POP", popSeg<ES>);
    b.bind(0x0F, "POP", popSeg<CS>);  // the 8086 only
    b.bind(0x17, "POP", popSeg<SS>);
    b.bind(0x1F, "POP", popSeg<DS>);
    b.bind(0x8F, "POP", popRm);
    b.bind(0x9C, "PUSHF", pushf);
    b.bind(0x9D, "POPF", popf);
}

}  // namespace krvs::x86::interp
