#include "x86/encoder.h"

#include <array>
#include <cstdlib>
#include <tuple>

#include "modrm.h"

namespace krvs::x86 {
namespace {

using enum OpClass;

// How well one operand fits one class. Ordered from best to worst.
enum class Fit : std::uint8_t { Ok, Range, Size, No };

Fit worse(Fit a, Fit b) { return static_cast<int>(a) > static_cast<int>(b) ? a : b; }

bool fitsSigned8(std::int32_t v) { return v >= -128 && v <= 127; }
bool fitsByte(std::int32_t v) { return v >= -128 && v <= 255; }
bool fitsWord(std::int32_t v) { return v >= -32768 && v <= 65535; }

// A word value as the CPU sees it after sign-extending a byte: 0FFFFh is -1.
std::int32_t asSigned16(std::int32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

bool isDirect(const Operand& o) { return o.mem.base == kNoReg && o.mem.index == kNoReg; }

Fit fitRegister(const Operand& o, OperandKind kind, int fixedReg) {
    bool isReg = o.kind == OperandKind::Reg8 || o.kind == OperandKind::Reg16;
    if (!isReg) return Fit::No;
    if (o.kind != kind) return fixedReg < 0 ? Fit::Size : Fit::No;
    return (fixedReg < 0 || o.reg == fixedReg) ? Fit::Ok : Fit::No;
}

Fit fitRm(const Operand& o, OperandKind regKind, OpSize memSize) {
    if (o.kind == OperandKind::Mem) {
        if (o.size == OpSize::None || o.size == memSize) return Fit::Ok;
        return Fit::Size;
    }
    return fitRegister(o, regKind, -1);
}

Fit fitImm(const Operand& o, OpClass c) {
    if (o.kind != OperandKind::Imm) return Fit::No;
    switch (c) {
    case Imm8: return !o.known || fitsByte(o.value) ? Fit::Ok : Fit::Range;
    case Imm16: return !o.known || fitsWord(o.value) ? Fit::Ok : Fit::Range;
    case Imm8s:
        if (!o.known) return Fit::No;  // a later value might not fit: use the imm16 form
        if (!fitsWord(o.value)) return Fit::Range;
        return fitsSigned8(asSigned16(o.value)) ? Fit::Ok : Fit::Range;
    case One: return o.known && o.value == 1 ? Fit::Ok : Fit::No;
    case Three: return o.known && o.value == 3 ? Fit::Ok : Fit::No;
    default: return Fit::No;
    }
}

// A string operand only names size and segment: [SI] / ES:[DI] ([BX] for XLAT), or a variable
// (direct address). The destination is always in ES.
Fit fitString(const Operand& o, OpSize size, std::int8_t reg, bool destination) {
    if (o.kind != OperandKind::Mem) return Fit::No;
    bool viaReg = (o.mem.base == reg || o.mem.index == reg) && (o.mem.base == kNoReg || o.mem.index == kNoReg) &&
                  o.mem.disp == 0 && o.mem.dispKnown;
    if (!viaReg && !isDirect(o)) return Fit::No;
    if (destination && o.mem.segment != kNoReg && o.mem.segment != ES) return Fit::No;
    return o.size == OpSize::None || o.size == size ? Fit::Ok : Fit::Size;
}

Fit fitOperand(OpClass c, const Operand& o) {
    switch (c) {
    case None: return o.kind == OperandKind::None ? Fit::Ok : Fit::No;
    case Al: return fitRegister(o, OperandKind::Reg8, r8::AL);
    case Cl: return fitRegister(o, OperandKind::Reg8, r8::CL);
    case Ax: return fitRegister(o, OperandKind::Reg16, AX);
    case Dx: return fitRegister(o, OperandKind::Reg16, DX);
    case R8: return fitRegister(o, OperandKind::Reg8, -1);
    case R16: return fitRegister(o, OperandKind::Reg16, -1);
    case Cs: return o.kind == OperandKind::Seg && o.reg == CS ? Fit::Ok : Fit::No;
    case Sreg: return o.kind == OperandKind::Seg ? Fit::Ok : Fit::No;
    case SregW: return o.kind == OperandKind::Seg && o.reg != CS ? Fit::Ok : Fit::No;
    case Rm8: return fitRm(o, OperandKind::Reg8, OpSize::Byte);
    case Rm16: return fitRm(o, OperandKind::Reg16, OpSize::Word);
    case Mem: return o.kind == OperandKind::Mem ? Fit::Ok : Fit::No;
    case M32:
        if (o.kind != OperandKind::Mem) return Fit::No;
        return o.size == OpSize::None || o.size == OpSize::Dword ? Fit::Ok : Fit::Size;
    case MFar: return o.kind == OperandKind::Mem && o.size == OpSize::Dword ? Fit::Ok : Fit::No;
    case Moffs8:
    case Moffs16:
        if (o.kind != OperandKind::Mem || !isDirect(o)) return Fit::No;
        return fitRm(o, OperandKind::Reg8, c == Moffs8 ? OpSize::Byte : OpSize::Word);
    case Imm8: case Imm16: case Imm8s: case One: case Three: return fitImm(o, c);
    case Rel8: return o.kind == OperandKind::Rel && o.dist != JumpDist::Near ? Fit::Ok : Fit::No;
    case Rel16: return o.kind == OperandKind::Rel && o.dist != JumpDist::Short ? Fit::Ok : Fit::No;
    case FarPtr: return o.kind == OperandKind::Far ? Fit::Ok : Fit::No;
    case StrSrc8: case StrSrc16: return fitString(o, c == StrSrc8 ? OpSize::Byte : OpSize::Word, SI, false);
    case StrDst8: case StrDst16: return fitString(o, c == StrDst8 ? OpSize::Byte : OpSize::Word, DI, true);
    case XlatTable: return fitString(o, OpSize::Byte, BX, false);
    case EscCode: return o.kind == OperandKind::Imm && o.known && o.value >= 0 && o.value < 64 ? Fit::Ok : Fit::No;
    case RmAny: return o.kind == OperandKind::Mem || o.kind == OperandKind::Reg8 || o.kind == OperandKind::Reg16 ? Fit::Ok : Fit::No;
    }
    return Fit::No;
}

bool isRmClass(OpClass c) { return c == Rm8 || c == Rm16 || c == Mem || c == M32 || c == MFar || c == RmAny; }
bool hasModRm(Enc e) { return e == Enc::ModRm || e == Enc::Digit || e == Enc::Esc; }
bool isRegFieldClass(OpClass c) { return c == R8 || c == R16 || c == Sreg || c == SregW; }

int immediateWidth(OpClass c) {
    switch (c) {
    case Imm8: case Imm8s: case Rel8: return 1;
    case Imm16: case Rel16: case Moffs8: case Moffs16: return 2;
    case FarPtr: return 4;
    default: return 0;
    }
}

int defaultSegment(const MemRef& m) {
    if (m.base == BP) return SS;
    return DS;
}

// The segment-override byte a memory operand needs, or 0.
std::uint8_t overrideFor(const Form& f, std::span<const Operand> ops) {
    for (int i = 0; i < f.operandCount(); ++i) {
        const Operand& o = ops[i];
        if (o.kind != OperandKind::Mem || o.mem.segment == kNoReg) continue;
        if (f.ops[i] == StrDst8 || f.ops[i] == StrDst16) continue;  // ES, fixed
        bool fixedDs = f.ops[i] == Moffs8 || f.ops[i] == Moffs16 || f.ops[i] == StrSrc8 || f.ops[i] == StrSrc16 ||
                       f.ops[i] == XlatTable;
        int def = fixedDs ? DS : defaultSegment(o.mem);
        if (o.mem.segment != def) return static_cast<std::uint8_t>(0x26 + 8 * o.mem.segment);
    }
    return 0;
}

class Builder {
public:
    explicit Builder(EncodeResult& r) : m_r(r) {}
    void byte(std::uint8_t b) { m_r.bytes[m_r.length++] = b; }
    void value(std::int32_t v, int width, FieldRole role, int operand) {
        Field& f = m_r.fields[m_r.fieldCount++];
        f.offset = m_r.length;
        f.width = static_cast<std::uint8_t>(width);
        f.role = role;
        f.operand = static_cast<std::uint8_t>(operand);
        for (int i = 0; i < width; ++i) byte(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    }

private:
    EncodeResult& m_r;
};

struct Candidate {
    const Form* form = nullptr;
    int length = 0;
    int rank = 0;  // length plus tie-break penalties
};

int rmOperandIndex(const Form& f) {
    for (int i = 0; i < f.operandCount(); ++i)
        if (isRmClass(f.ops[i])) return i;
    return -1;
}

int regOperandIndex(const Form& f) {
    for (int i = 0; i < f.operandCount(); ++i)
        if (isRegFieldClass(f.ops[i])) return i;
    return -1;
}

ModRm modRmFor(const Form& f, std::span<const Operand> ops) {
    std::uint8_t regField = f.digit;
    if (f.enc == Enc::ModRm) regField = ops[regOperandIndex(f)].reg;
    if (f.enc == Enc::Esc) regField = static_cast<std::uint8_t>(ops[0].value & 7);
    int rmIndex = rmOperandIndex(f);
    if (rmIndex < 0) return registerModRm(regField, regField);  // IMUL AX,10: the register twice
    const Operand& rm = ops[rmIndex];
    if (rm.kind != OperandKind::Mem) return registerModRm(regField, rm.reg);
    return memoryModRm(regField, rm.mem);
}

int formLength(const Form& f, std::span<const Operand> ops) {
    int n = f.twoByteOpcode() ? 2 : 1;
    if (overrideFor(f, ops)) ++n;
    if (hasModRm(f.enc)) n += 1 + modRmFor(f, ops).dispWidth;
    if (f.enc == Enc::Suffix) ++n;
    for (int i = 0; i < f.operandCount(); ++i) n += immediateWidth(f.ops[i]);
    return n;
}

// Distance checks that need the form's length: a known short target must be reachable.
Fit fitDistance(const Form& f, std::span<const Operand> ops, const EncodeOptions& opt, int length,
                std::int32_t& excess) {
    for (int i = 0; i < f.operandCount(); ++i) {
        if (f.ops[i] != Rel8 || !ops[i].known) continue;
        std::int32_t d = asSigned16(ops[i].value - (opt.origin + length));
        if (fitsSigned8(d)) continue;
        excess = d > 127 ? d - 127 : -128 - d;
        return Fit::Range;
    }
    return Fit::Ok;
}

int rankOf(const Form& f, std::span<const Operand> ops, const EncodeOptions& opt, int length) {
    int rank = length * 4;
    for (int i = 0; i < f.operandCount(); ++i)
        if (f.ops[i] == Rel8 && !ops[i].known && ops[i].dist == JumpDist::Auto) rank += 64;
    bool twoRegs = f.operandCount() == 2 && ops[0].kind != OperandKind::Mem && ops[1].kind != OperandKind::Mem &&
                   f.enc == Enc::ModRm;
    if (twoRegs && opt.rmDestination != isRmClass(f.ops[0])) rank += 1;
    return rank;
}

void emitImmediates(Builder& b, const Form& f, std::span<const Operand> ops, const EncodeOptions& opt,
                    int length) {
    for (int i = 0; i < f.operandCount(); ++i) {
        const Operand& o = ops[i];
        switch (f.ops[i]) {
        case Imm8: case Imm8s: b.value(o.value, 1, FieldRole::Immediate, i); break;
        case Imm16: b.value(o.value, 2, FieldRole::Immediate, i); break;
        case Moffs8: case Moffs16: b.value(o.mem.disp, 2, FieldRole::Displacement, i); break;
        case Rel8:
        case Rel16: {
            int width = f.ops[i] == Rel8 ? 1 : 2;
            std::int32_t d = o.known ? o.value - (opt.origin + length) : 0;
            b.value(d, width, FieldRole::Relative, i);
            break;
        }
        case FarPtr:
            b.value(o.value, 2, FieldRole::FarOffset, i);
            b.value(o.segment, 2, FieldRole::FarSegment, i);
            break;
        default: break;
        }
    }
}

void emit(EncodeResult& r, const Form& f, std::span<const Operand> ops, const EncodeOptions& opt, int length) {
    Builder b(r);
    if (std::uint8_t pre = overrideFor(f, ops)) b.byte(pre);
    if (f.twoByteOpcode()) b.byte(0x0F);
    auto op = static_cast<std::uint8_t>(f.opcode);
    if (f.enc == Enc::PlusReg) op = static_cast<std::uint8_t>(op + ops[regOperandIndex(f)].reg);
    if (f.enc == Enc::SregIn) op = static_cast<std::uint8_t>(op | (ops[0].reg << 3));
    if (f.enc == Enc::Esc) op = static_cast<std::uint8_t>(op | (ops[0].value >> 3));
    b.byte(op);
    if (f.enc == Enc::Suffix) b.byte(f.digit);
    if (hasModRm(f.enc)) {
        ModRm m = modRmFor(f, ops);
        b.byte(m.byte);
        if (m.dispWidth) b.value(m.disp, m.dispWidth, FieldRole::Displacement, rmOperandIndex(f));
    }
    emitImmediates(b, f, ops, opt, length);
    r.form = &f;
}

// Checks a memory operand's registers and displacement before any form is tried.
EncodeError checkMemory(const Operand& o) {
    if (o.kind != OperandKind::Mem) return EncodeError::None;
    if (!normalizeAddress(o.mem)) return EncodeError::BadAddress;
    if (o.mem.dispKnown && !fitsWord(o.mem.disp)) return EncodeError::OutOfRange;
    return EncodeError::None;
}

// True when a memory operand of unknown size could be a byte or a word among the fitting forms.
bool sizeAmbiguous(std::span<const Candidate> fits, std::span<const Operand> ops) {
    for (std::size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].kind != OperandKind::Mem || ops[i].size != OpSize::None) continue;
        bool byte = false, word = false;
        for (const Candidate& c : fits) {
            int sz = classSize(c.form->ops[i]);
            byte |= sz == 1;
            word |= sz == 2;
        }
        if (byte && word) return true;
    }
    return false;
}

// The forms that take these operands on the selected CPU, and why the others do not.
struct Selection {
    std::array<Candidate, kMaxFormsPerMnemonic> fits{};
    std::size_t count = 0;
    Fit bestMiss = Fit::No;
    bool cpuTooLow = false;
    CpuModel needed = CpuModel::I80286;
};

Selection selectForms(std::span<const Form* const> forms, std::span<const Operand> ops, const EncodeOptions& opt,
                      std::int32_t& excess) {
    Selection sel;
    for (const Form* f : forms) {
        if (f->has(formflag::kDecodeOnly)) continue;
        Fit fit = Fit::Ok;
        for (int i = 0; i < 3; ++i) fit = worse(fit, fitOperand(f->ops[i], ops[i]));
        int length = fit == Fit::Ok ? formLength(*f, ops) : 0;
        if (fit == Fit::Ok) fit = fitDistance(*f, ops, opt, length, excess);
        if (fit != Fit::Ok) {
            if (static_cast<int>(fit) < static_cast<int>(sel.bestMiss)) sel.bestMiss = fit;
        } else if (!f->availableOn(opt.cpu)) {
            sel.cpuTooLow = true;
            if (static_cast<int>(f->cpu) < static_cast<int>(sel.needed)) sel.needed = f->cpu;
        } else {
            sel.fits[sel.count++] = {f, length, rankOf(*f, ops, opt, length)};
        }
    }
    return sel;
}

EncodeError missError(Fit bestMiss) {
    if (bestMiss == Fit::Range) return EncodeError::OutOfRange;
    if (bestMiss == Fit::Size) return EncodeError::SizeMismatch;
    return EncodeError::NoForm;
}

EncodeResult& fail(EncodeResult& r, EncodeError e) {
    r.error = e;
    return r;
}

}  // namespace

std::string_view encodeErrorText(EncodeError e) {
    switch (e) {
    case EncodeError::None: return "";
    case EncodeError::UnknownMnemonic: return "Illegal instruction";
    case EncodeError::NoForm: return "Illegal use of register or operand";
    case EncodeError::SizeMismatch: return "Operand types do not match";
    case EncodeError::SizeUnknown: return "Argument needs type override";
    case EncodeError::NeedsHigherCpu: return "Illegal instruction for currently selected processor(s)";
    case EncodeError::OutOfRange: return "Value out of range";
    case EncodeError::BadAddress: return "Illegal indexing mode";
    }
    return "";
}

EncodeResult encode(std::string_view mnemonic, std::span<const Operand> operands, const EncodeOptions& options) {
    return encode(formsFor(mnemonic), operands, options);
}

EncodeResult encode(std::span<const Form* const> forms, std::span<const Operand> operands,
                    const EncodeOptions& options) {
    EncodeResult result;
    if (forms.empty()) return fail(result, EncodeError::UnknownMnemonic);
    std::array<Operand, 3> ops{};
    if (operands.size() > ops.size()) return fail(result, EncodeError::NoForm);
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (EncodeError e = checkMemory(operands[i]); e != EncodeError::None) return fail(result, e);
        ops[i] = operands[i];
    }

    Selection sel = selectForms(forms, ops, options, result.excess);
    if (sel.count == 0) {
        result.requiredCpu = sel.needed;
        return fail(result, sel.cpuTooLow ? EncodeError::NeedsHigherCpu : missError(sel.bestMiss));
    }
    std::span<const Candidate> found(sel.fits.data(), sel.count);
    if (sizeAmbiguous(found, std::span<const Operand>(ops.data(), operands.size())))
        return fail(result, EncodeError::SizeUnknown);
    const Candidate* best = &found[0];
    for (const Candidate& c : found)
        if (c.rank < best->rank) best = &c;
    result.excess = 0;
    emit(result, *best->form, ops, options, best->length);
    return result;
}

}  // namespace krvs::x86
