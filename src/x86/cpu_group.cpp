// The FEh/FFh group: INC, DEC, indirect CALL and JMP (near and far), PUSH r/m.

#include "cpu_arith.h"
#include "cpu_dispatch.h"

namespace krvs::x86::interp {
namespace {

// Encodings without a documented meaning: nothing happens on the 8086 model, the later chips
// raise the invalid-opcode interrupt.
void undefinedForm(Exec& x) {
    if (x.model != CpuModel::I8086) invalidOpcode(x);
}

void group4(Exec& x) {
    decodeModrm(x);
    switch (x.reg) {
    case 0: writeRm<std::uint8_t>(x, incFlags<std::uint8_t>(x, readRm<std::uint8_t>(x))); break;
    case 1: writeRm<std::uint8_t>(x, decFlags<std::uint8_t>(x, readRm<std::uint8_t>(x))); break;
    default: undefinedForm(x); break;
    }
}

void farTransfer(Exec& x, bool isCall) {
    if (x.mod == 3) {
        undefinedForm(x);
        return;
    }
    std::uint16_t off = read16(x.mem, x.eaBase, x.eaOff);
    std::uint16_t seg = read16(x.mem, x.eaBase, static_cast<std::uint16_t>(x.eaOff + 2));
    if (isCall) {
        push16(x, x.r.seg[CS]);
        push16(x, x.r.ip);
    }
    x.r.seg[CS] = seg;
    x.r.ip = off;
    csLoaded(x);
}

void group5(Exec& x) {
    decodeModrm(x);
    switch (x.reg) {
    case 0: writeRm<std::uint16_t>(x, incFlags<std::uint16_t>(x, readRm<std::uint16_t>(x))); break;
    case 1: writeRm<std::uint16_t>(x, decFlags<std::uint16_t>(x, readRm<std::uint16_t>(x))); break;
    case 2: {
        std::uint16_t target = readRm<std::uint16_t>(x);
        push16(x, x.r.ip);
        x.r.ip = target;
        break;
    }
    case 3: farTransfer(x, true); break;
    case 4: x.r.ip = readRm<std::uint16_t>(x); break;
    case 5: farTransfer(x, false); break;
    case 7:
        if (x.model != CpuModel::I8086) {
            invalidOpcode(x);
            break;
        }
        [[fallthrough]];
    default:
        if (x.mod == 3) {
            pushRegister(x, x.rm);
        } else {
            push16(x, read16(x.mem, x.eaBase, x.eaOff));
        }
        break;
    }
}

}  // namespace

void bindGroupHandlers(Binder& b) {
    b.bind(0xFE, "INC", group4);
    b.bind(0xFF, "INC", group5);
}

}  // namespace krvs::x86::interp
