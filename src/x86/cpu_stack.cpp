// PUSH and POP of registers, segment registers, memory and FLAGS.

#include "cpu_exec.h"

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
    afterSegmentLoad(x, S);
}

// 8Fh: the reg field is ignored. The address is computed before SP moves.
void popRm(Exec& x) {
    decodeModrm(x);
    std::uint16_t v = pop16(x);
    writeRm<std::uint16_t>(x, v);
}

void pushf(Exec& x) { push16(x, flagsImage(x.model, x.r.flags)); }
void popf(Exec& x) { x.r.flags = normalizeFlags(x.model, pop16(x)); }

}  // namespace

// The 8086 and 80186 store SP after it was decremented; the 80286 stores the value before.
void pushRegister(Exec& x, unsigned reg) {
    if (reg == SP && x.model != CpuModel::I80286) {
        x.r.gp[SP] = static_cast<std::uint16_t>(x.r.gp[SP] - 2);
        write16(x.mem, segBase(x.r.seg[SS]), x.r.gp[SP], x.r.gp[SP]);
        return;
    }
    push16(x, x.r.gp[reg]);
}

void addStackHandlers(HandlerTable& t) {
    [&]<int... R>(std::integer_sequence<int, R...>) {
        ((t.op[0x50 + R] = pushReg<R>), ...);
        ((t.op[0x58 + R] = popReg<R>), ...);
    }
    (std::make_integer_sequence<int, 8>{});
    t.op[0x06] = pushSeg<ES>;
    t.op[0x0E] = pushSeg<CS>;
    t.op[0x16] = pushSeg<SS>;
    t.op[0x1E] = pushSeg<DS>;
    t.op[0x07] = popSeg<ES>;
    t.op[0x17] = popSeg<SS>;
    t.op[0x1F] = popSeg<DS>;
    t.op[0x8F] = popRm;
    t.op[0x9C] = pushf;
    t.op[0x9D] = popf;
}

void add8086StackAliases(HandlerTable& t) { t.op[0x0F] = popSeg<CS>; }

}  // namespace krvs::x86::interp
