// Instructions: operands are evaluated here, turned into the encoder's operand model (with the segment
// override that ASSUME implies), encoded by the x86 table, and the relocatable fields become fixups.
// Forward JMPs start short and grow to near only when a pass finds them out of reach.

#include <x86/encoder.h>

#include <array>
#include <cstdio>

#include "context.h"
#include "keywords.h"

namespace krvs::tasm {

namespace {

bool isJump(const Keyword& k) { return k.cls == MnemonicClass::Jmp; }
bool isLoop(const Keyword& k) { return k.cls == MnemonicClass::Loop; }
bool isConditional(const Keyword& k) { return k.cls == MnemonicClass::Conditional; }
bool isShift(const Keyword& k) { return k.cls == MnemonicClass::Shift; }

x86::OpSize opSize(int type) {
    switch (type) {
        case 1: return x86::OpSize::Byte;
        case 2: case kTypeNear: return x86::OpSize::Word;
        case 4: case kTypeFar: return x86::OpSize::Dword;
        default: return x86::OpSize::None;
    }
}

// "[0]", "[1234h]": a constant alone in brackets, with no register, segment or PTR.
bool bracketedConstant(const Value& v) {
    return v.kind == Value::Kind::Mem && v.bracket && !v.hasRegs() && v.sreg < 0 && v.seg < 0 && v.ext < 0 &&
           !v.segBase && !v.undefined && !v.typeExplicit && v.frameSeg < 0 && v.frameGrp < 0 && !v.label;
}

}  // namespace

// Which segment register reaches the segment (or its group) that a memory operand lies in.
static int assumedRegFor(DirContext& a, const Value& v, int defaultReg, int& frameSym) {
    frameSym = -1;
    if (!a.segs().exists(v.seg)) return defaultReg;
    int segSym = a.segs()[v.seg].sym;
    int grp = a.segs()[v.seg].group;
    int grpSym = grp >= 0 ? a.segs().group(grp).sym : -1;
    auto reaches = [&](int r) { return a.segs().assumed(r) >= 0 && (a.segs().assumed(r) == segSym || a.segs().assumed(r) == grpSym); };
    static const int kOrder[] = {0, 1, 2, 3};  // ES CS SS DS after the default
    if (reaches(defaultReg)) {
        frameSym = a.segs().assumed(defaultReg);
        return defaultReg;
    }
    for (int r : kOrder) {
        if (reaches(r)) {
            frameSym = a.segs().assumed(r);
            return r;
        }
    }
    return -2;
}

static bool memoryOperand(DirContext& a, Value& v, x86::Operand& op) {
    int defaultReg = v.base == 5 ? 2 : 3;
    int reg = v.sreg;
    if (reg < 0 && v.seg >= 0) {
        int frameSym = -1;
        reg = assumedRegFor(a, v, defaultReg, frameSym);
        if (reg == -2) {
            if (!a.finalPass()) reg = defaultReg;
            else {
                a.error("Can't address with currently ASSUMEd segment registers");
                return false;
            }
        }
        if (frameSym >= 0 && v.frameGrp < 0 && v.frameSeg < 0) {
            const Symbol& fs = a.syms()[frameSym];
            if (fs.kind == SymKind::Group) v.frameGrp = fs.value;
            else v.frameSeg = fs.seg;
        }
    } else if (v.sreg >= 0 && v.seg >= 0 && v.frameGrp < 0 && v.frameSeg < 0 && a.segs().assumed(v.sreg) >= 0) {
        const Symbol& fs = a.syms()[a.segs().assumed(v.sreg)];
        if (fs.kind == SymKind::Group) v.frameGrp = fs.value;
        else if (fs.kind == SymKind::Segment) v.frameSeg = fs.seg;
    }
    op = x86::Operand::memory(static_cast<std::int8_t>(v.base), static_cast<std::int8_t>(v.index), v.num,
                              opSize(v.type), static_cast<std::int8_t>(reg));
    op.mem.dispKnown = !(v.relocatable() || v.undefined);
    if (!op.mem.dispKnown) op.mem.disp = v.undefined ? 0 : v.num;
    return true;
}

bool Assembler::jumpOperand(const Keyword& mnem, Value& v, x86::Operand& op) {
    bool far = v.type == kTypeFar || (v.ext >= 0 && m_segs.externAt(v.ext).type == kTypeFar);
    bool sameSeg = v.seg >= 0 && v.seg == m_segs.current() && v.ext < 0;
    if (far && !isConditional(mnem) && !isLoop(mnem)) {
        op = x86::Operand::farPtr(0, static_cast<std::uint16_t>(v.num), false);
        return true;
    }
    if (!sameSeg && !v.undefined) {
        if (isConditional(mnem) || isLoop(mnem) || v.isShort) {
            error("Near jump or call to different CS");
            return false;
        }
        op = x86::Operand::rel(0, x86::JumpDist::Near, false);
        return true;
    }
    std::int32_t target = v.undefined ? here() + 2 : v.num;
    if (!isJump(mnem)) {
        // Not known in the first pass: any reachable value keeps the layout right.
        op = x86::Operand::rel(target, x86::JumpDist::Auto, true);
        return true;
    }
    // JMP: short while the target is within reach, decided afresh each pass but never shrinking.
    size_t idx = m_jmpIndex++;
    if (m_jmpLong.size() <= idx) m_jmpLong.resize(idx + 1, 0);
    if (v.isShort) {
        op = x86::Operand::rel(v.undefined ? here() + 2 : target, x86::JumpDist::Short, true);
        return true;
    }
    if (v.typeExplicit && v.type == kTypeNear) m_jmpLong[idx] = 1;
    if (!m_jmpLong[idx] && !v.undefined) {
        std::int32_t d = static_cast<std::int16_t>(static_cast<std::uint16_t>(target - (here() + 2)));
        if (d < -128 || d > 127) {
            m_jmpLong[idx] = 1;
            m_changed = true;
        }
    }
    if (m_jmpLong[idx]) op = x86::Operand::rel(target, x86::JumpDist::Near, true);
    else op = x86::Operand::rel(v.undefined ? here() + 2 : target, x86::JumpDist::Short, true);
    return true;
}

bool Assembler::toOperand(const Keyword& mnem, Value& v, x86::Operand& op) {
    bool branch = mnem.isBranch();
    switch (v.kind) {
        case Value::Kind::Reg:
            if (v.regClass == RegClass::R8) op = x86::Operand::reg8(static_cast<std::uint8_t>(v.reg));
            else if (v.regClass == RegClass::R16) op = x86::Operand::reg16(static_cast<std::uint8_t>(v.reg));
            else op = x86::Operand::seg(static_cast<std::uint8_t>(v.reg));
            return true;
        case Value::Kind::Mem:
            if (branch && !v.bracket && !v.hasRegs() && v.sreg < 0 && (v.label || v.type == kTypeNone || v.isShort) &&
                !(v.typeExplicit && v.type > 0))
                return jumpOperand(mnem, v, op);
        {
            DirContext context(*this);
            return memoryOperand(context, v, op);
        }
        case Value::Kind::Imm:
            if (branch && (v.undefined || v.isShort || v.ext >= 0)) return jumpOperand(mnem, v, op);
            if (branch && v.isConst()) {
                op = x86::Operand::rel(v.num, v.isShort ? x86::JumpDist::Short : x86::JumpDist::Auto, true);
                return true;
            }
            op = x86::Operand::imm(v.num, !(v.relocatable() || v.undefined));
            if (v.typeExplicit) op.size = opSize(v.type);
            return true;
    }
    return false;
}

void Assembler::reportEncodeError(const Keyword& mnem, const x86::EncodeResult& r,
                                  const std::vector<InstrOperand>& ops) {
    switch (r.error) {
        case x86::EncodeError::OutOfRange:
            if (mnem.isRelativeJump()) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "Relative jump out of range by %04Xh bytes", static_cast<unsigned>(r.excess));
                error(buf);
            } else {
                error("Constant too large");
            }
            return;
        case x86::EncodeError::NoForm: break;
        default: error(std::string(x86::encodeErrorText(r.error))); return;
    }
    bool hasImm = false, hasReg = false, hasMem = false;
    for (const InstrOperand& o : ops) {
        hasImm |= o.op.kind == x86::OperandKind::Imm;
        hasReg |= o.op.kind == x86::OperandKind::Reg8 || o.op.kind == x86::OperandKind::Reg16 ||
                  o.op.kind == x86::OperandKind::Seg;
        hasMem |= o.op.kind == x86::OperandKind::Mem;
    }
    if (isShift(mnem) && ops.size() == 2 && ops[1].op.kind != x86::OperandKind::Imm)
        return error("Rotate count must be constant or CL");
    if (isShift(mnem) && ops.size() == 2) return error("Rotate count out of range");
    if ((mnem.cls == MnemonicClass::In || mnem.cls == MnemonicClass::Out) && ops.size() == 2) {
        const InstrOperand& acc = mnem.cls == MnemonicClass::In ? ops.front() : ops.back();
        bool accOk = (acc.op.kind == x86::OperandKind::Reg8 || acc.op.kind == x86::OperandKind::Reg16) && acc.op.reg == 0;
        if (!accOk) return error("Register must be AL or AX");
        return error("Register must be DX");
    }
    if (ops.empty()) return error("Illegal instruction");
    if (ops.size() == 2 && ops[0].op.kind == x86::OperandKind::Mem && ops[1].op.kind == x86::OperandKind::Mem)
        return error("Illegal memory reference");
    if (hasImm && (ops[0].op.kind == x86::OperandKind::Seg || ops[0].op.kind == x86::OperandKind::Imm))
        return error("Illegal immediate");
    if (hasReg) return error("Illegal use of register");
    if (hasMem) return error("Illegal memory reference");
    error(hasImm ? "Illegal immediate" : "Illegal instruction");
}

void Assembler::instruction(const std::vector<Token>& toks, size_t pos, const Keyword& first) {
    if (!needSegment()) return;
    x86::EncodeOptions eo;
    eo.cpu = m_mod.cpu == 0 ? x86::CpuModel::I8086 : m_mod.cpu == 1 ? x86::CpuModel::I80186 : x86::CpuModel::I80286;
    // Prefixes written in front of the instruction on the same line.
    const Keyword* kw = &first;
    while (pos + 1 < toks.size() && toks[pos + 1].kind == Tok::Ident && kw->cls == MnemonicClass::Prefix) {
        x86::EncodeResult p = x86::encode(kw->forms, {}, eo);
        if (!p.ok()) return error("Illegal instruction");
        for (std::uint8_t b : p.code()) emitByte(b);
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02X> ", p.length ? p.bytes[0] : 0);
        m_listing.code(buf);
        kw = &keywordOf(toks[++pos].text);
    }
    if (kw->cls == MnemonicClass::Ret && !m_mod.procs.empty() && m_syms[m_mod.procs.back()].type == kTypeFar)
        kw = &keywordOf("RETF");
    const Keyword& mnem = *kw;
    std::vector<InstrOperand> ops = std::move(m_opsBuf);
    ops.clear();
    struct Keep {
        std::vector<InstrOperand>& from;
        std::vector<InstrOperand>& to;
        ~Keep() { to = std::move(from); }
    } keep{ops, m_opsBuf};
    for (size_t p = pos + 1; p < toks.size();) {
        if (toks[p].is(',')) return error("Need expression", toks[p].col);
        InstrOperand o;
        size_t first = p;
        if (!evaluate(toks, p, o.v)) return;
        if (!ops.empty() && !m_singleLine && bracketedConstant(o.v)) {
            // MASM reads "mov al,[0]" as "mov al,0"; students who meant memory are told so.
            std::string text(toks[first].text.data(),
                              static_cast<size_t>(toks[p - 1].text.data() + toks[p - 1].text.size() - toks[first].text.data()));
            warning("Brackets ignored: " + text + " is the constant " + text.substr(1, text.size() - 2) +
                    ", write DS:" + text + " to read memory", 1);
            o.v.kind = Value::Kind::Imm;
            o.v.bracket = false;
        }
        if (p < toks.size() && !toks[p].is(',')) return error("Extra characters on line", toks[p].col);
        if (p < toks.size() && ++p == toks.size()) return error("Need expression");
        if (o.v.kind == Value::Kind::Mem && o.v.base >= 100) return error("Illegal indexing mode");
        ops.push_back(std::move(o));
        if (ops.size() > 3) return error("Extra characters on line");
    }
    for (InstrOperand& o : ops)
        if (!toOperand(mnem, o.v, o.op)) return;
    if (m_mod.jumps && ops.size() == 1 && isConditional(mnem) && longConditionalJump(mnem, ops[0])) return;
    std::array<x86::Operand, 3> xs{};
    for (size_t k = 0; k < ops.size(); ++k) xs[k] = ops[k].op;
    eo.origin = static_cast<std::uint16_t>(here());
    x86::EncodeResult r = m_encoded.encode(mnem.forms, std::span<const x86::Operand>(xs.data(), ops.size()), eo);
    if (!r.ok()) {
        reportEncodeError(mnem, r, ops);
        // A jump keeps its room so that the labels after it stay where they are.
        if (r.error == x86::EncodeError::OutOfRange && mnem.isRelativeJump())
            reserve(2);
        return;
    }
    emitEncoded(r, ops);
}

// With JUMPS, a conditional jump whose target is out of reach becomes the inverse jump over a near
// JMP (5 bytes). Like JMP it starts short and grows, never shrinking, when a pass finds it too far.
bool Assembler::longConditionalJump(const Keyword& mnem, const InstrOperand& o) {
    if (o.op.kind != x86::OperandKind::Rel || o.op.dist != x86::JumpDist::Auto || o.v.isShort) return false;
    size_t idx = m_jmpIndex++;
    if (m_jmpLong.size() <= idx) m_jmpLong.resize(idx + 1, 0);
    std::int32_t target = o.op.value;
    if (!m_jmpLong[idx] && !o.v.undefined) {
        std::int32_t d = static_cast<std::int16_t>(static_cast<std::uint16_t>(target - (here() + 2)));
        if (d < -128 || d > 127) {
            m_jmpLong[idx] = 1;
            m_changed = true;
        }
    }
    if (!m_jmpLong[idx]) return false;
    x86::EncodeOptions eo;
    eo.origin = static_cast<std::uint16_t>(here());
    x86::Operand near = x86::Operand::rel(here() + 2, x86::JumpDist::Short, true);
    x86::EncodeResult cc = x86::encode(mnem.forms, std::span<const x86::Operand>(&near, 1), eo);
    if (!cc.ok() || cc.length != 2) return false;
    m_lineInstr = true;
    emitListedByte(static_cast<std::uint8_t>(cc.bytes[0] ^ 1));  // Jcc and its inverse differ in bit 0
    emitListedByte(3);
    emitListedByte(0xE9);
    std::uint16_t disp = static_cast<std::uint16_t>(target - (here() + 2));
    emitWord(disp);
    m_listing.field(disp, 2, false, false);
    return true;
}

void Assembler::emitEncoded(const x86::EncodeResult& r, const std::vector<InstrOperand>& ops) {
    m_lineInstr = true;
    std::uint32_t start = m_segs[m_segs.current()].lc;
    size_t i = 0;
    for (const x86::Field& f : r.fieldList()) {
        for (; i < f.offset; ++i) emitListedByte(r.bytes[i]);
        const Value& v = ops[f.operand].v;
        bool reloc = false;
        std::uint32_t at = start + f.offset;
        switch (f.role) {
            case x86::FieldRole::Displacement:
            case x86::FieldRole::Immediate:
                if (v.relocatable() && !v.undefined) {
                    reloc = true;
                    if (f.width == 1) addFixup(FixKind::Lo8, v, at);
                    else addFixup(v.segBase ? FixKind::Base16 : FixKind::Off16, v, at);
                }
                break;
            case x86::FieldRole::Relative:
                if (!v.undefined && (v.ext >= 0 || (v.seg >= 0 && v.seg != m_segs.current()))) {
                    reloc = true;
                    addFixup(FixKind::Rel16, v, at, v.num);
                }
                break;
            case x86::FieldRole::FarOffset:
                if (!v.undefined) {
                    reloc = true;
                    addFixup(FixKind::Ptr32, v, at);
                }
                break;
            case x86::FieldRole::FarSegment: break;
        }
        std::uint32_t value = 0;
        for (int k = 0; k < f.width; ++k) {
            std::uint8_t b = r.bytes[i + static_cast<size_t>(k)];
            if (f.role == x86::FieldRole::FarOffset && reloc) b = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v.num) >> (8 * k));
            value |= static_cast<std::uint32_t>(b) << (8 * k);
            emitByte(b);
        }
        m_listing.field(value, f.width, reloc, f.role == x86::FieldRole::FarSegment && ops[f.operand].v.relocatable());
        i += f.width;
    }
    for (; i < r.length; ++i) emitListedByte(r.bytes[i]);
}

}  // namespace krvs::tasm
