#include "x86/disasm.h"

#include <cstdlib>

namespace krvs::x86 {
namespace {

using enum OpClass;

constexpr std::string_view kReg8[8] = {"AL", "CL", "DL", "BL", "AH", "CH", "DH", "BH"};
constexpr std::string_view kReg16[8] = {"AX", "CX", "DX", "BX", "SP", "BP", "SI", "DI"};
constexpr std::string_view kSeg[4] = {"ES", "CS", "SS", "DS"};

constexpr int kBytesWidth = 14;    // hex bytes column of a U line
constexpr int kOperandWidth = 35;  // operand field, pre-filled with blanks

void emit(SyntaxWriter& out, TokenKind k, std::string_view text = {}, std::int32_t value = 0,
          std::uint8_t digits = 0) {
    out.token(Token{k, text, value, digits});
}

void writeMemory(const Operand& o, const Form& f, SyntaxWriter& out) {
    if (f.has(formflag::kShowSize) && o.size == OpSize::Byte) emit(out, TokenKind::SizeKeyword, "BYTE PTR");
    if (f.has(formflag::kShowSize) && o.size == OpSize::Word) emit(out, TokenKind::SizeKeyword, "WORD PTR");
    if (f.has(formflag::kFar)) emit(out, TokenKind::FarKeyword, "FAR");
    emit(out, TokenKind::OpenBracket);
    const MemRef& m = o.mem;
    bool regs = m.base != kNoReg || m.index != kNoReg;
    if (m.base != kNoReg) emit(out, TokenKind::Register, kReg16[m.base]);
    if (m.base != kNoReg && m.index != kNoReg) emit(out, TokenKind::Plus);
    if (m.index != kNoReg) emit(out, TokenKind::Register, kReg16[m.index]);
    if (!regs) {
        emit(out, TokenKind::Number, {}, m.disp & 0xFFFF, 4);
    } else if (m.dispWidth == 1) {
        emit(out, TokenKind::SignedNumber, {}, m.disp);
    } else if (m.dispWidth == 2) {
        emit(out, TokenKind::Plus);
        emit(out, TokenKind::Number, {}, m.disp & 0xFFFF, 4);
    }
    emit(out, TokenKind::CloseBracket);
}

void writeImmediate(const Operand& o, OpClass c, SyntaxWriter& out) {
    switch (c) {
    case Imm16: emit(out, TokenKind::Number, {}, o.value & 0xFFFF, 4); break;
    case Imm8s: emit(out, TokenKind::SignedNumber, {}, o.value); break;
    case One: emit(out, TokenKind::Literal, "1"); break;
    case Three: emit(out, TokenKind::Literal, "3"); break;
    default: emit(out, TokenKind::Number, {}, o.value & 0xFF, 2); break;
    }
}

void writeOperand(const Operand& o, OpClass c, const Form& f, SyntaxWriter& out) {
    switch (o.kind) {
    case OperandKind::Reg8: emit(out, TokenKind::Register, kReg8[o.reg & 7]); break;
    case OperandKind::Reg16: emit(out, TokenKind::Register, kReg16[o.reg & 7]); break;
    case OperandKind::Seg: emit(out, TokenKind::Register, kSeg[o.reg & 3]); break;
    case OperandKind::Mem: writeMemory(o, f, out); break;
    case OperandKind::Imm: writeImmediate(o, c, out); break;
    case OperandKind::Rel: emit(out, TokenKind::Target, {}, o.value & 0xFFFF, 4); break;
    case OperandKind::Far:
        emit(out, TokenKind::Number, {}, o.segment, 4);
        emit(out, TokenKind::Colon);
        emit(out, TokenKind::Number, {}, o.value & 0xFFFF, 4);
        break;
    case OperandKind::None: break;
    }
}

void appendHex(std::string& s, std::uint32_t v, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) s += kHex[(v >> (4 * i)) & 0xF];
}

void padTo(std::string& s, std::size_t from, std::size_t width) {
    if (s.size() < from + width) s.append(from + width - s.size(), ' ');
}

}  // namespace

void disassemble(const Instruction& insn, SyntaxWriter& out) {
    if (insn.kind == DecodeKind::Undefined) {
        emit(out, TokenKind::Mnemonic, "DB");
        emit(out, TokenKind::Number, {}, insn.opcode, 2);
        return;
    }
    if (!insn.form || insn.kind == DecodeKind::Invalid || insn.kind == DecodeKind::Truncated) {
        emit(out, TokenKind::Mnemonic, "???");
        return;
    }
    const Form& f = *insn.form;
    emit(out, TokenKind::Mnemonic, f.mnemonic);
    if (f.has(formflag::kBase10) && insn.ops[0].value == 0x0A) return;
    for (int i = 0; i < f.operandCount(); ++i) {
        if (i > 0) emit(out, TokenKind::Comma);
        writeOperand(insn.ops[i], f.ops[i], f, out);
    }
}

void DebugWriter::token(const Token& t) {
    switch (t.kind) {
    case TokenKind::Mnemonic: m_mnemonic = t.text; break;
    case TokenKind::Register:
    case TokenKind::Literal: m_operands += t.text; break;
    case TokenKind::SizeKeyword:
    case TokenKind::FarKeyword:
        m_operands += t.text;
        m_operands += ' ';
        break;
    case TokenKind::Number: appendHex(m_operands, static_cast<std::uint32_t>(t.value), t.digits); break;
    case TokenKind::SignedNumber:
        m_operands += t.value < 0 ? '-' : '+';
        appendHex(m_operands, static_cast<std::uint32_t>(std::abs(t.value)), 2);
        break;
    case TokenKind::Target: appendHex(m_operands, static_cast<std::uint32_t>(t.value), 4); break;
    case TokenKind::OpenBracket: m_operands += '['; break;
    case TokenKind::CloseBracket: m_operands += ']'; break;
    case TokenKind::Plus: m_operands += '+'; break;
    case TokenKind::Comma: m_operands += ','; break;
    case TokenKind::Colon: m_operands += ':'; break;
    }
}

std::string formatULine(std::uint16_t segment, std::uint16_t offset, std::span<const std::uint8_t> bytes,
                        const Instruction& insn) {
    std::string line;
    appendHex(line, segment, 4);
    line += ':';
    appendHex(line, offset, 4);
    line += ' ';
    const std::size_t bytesStart = line.size();
    for (std::size_t i = 0; i < insn.length && i < bytes.size(); ++i) appendHex(line, bytes[i], 2);
    padTo(line, bytesStart, kBytesWidth);
    DebugWriter w;
    disassemble(insn, w);
    line += w.mnemonic();
    line += '\t';
    const std::size_t operandStart = line.size();
    line += w.operands();
    padTo(line, operandStart, kOperandWidth);
    return line;
}

UnassembledLine unassembleAt(const MemoryReader& read, std::uint16_t segment, std::uint16_t offset, CpuModel cpu) {
    UnassembledLine line;
    for (std::size_t i = 0; i < line.bytes.size(); ++i)
        line.bytes[i] = read(segment, static_cast<std::uint16_t>(offset + i));
    line.insn = decode(line.bytes, offset, cpu);
    line.text = formatULine(segment, offset, line.bytes, line.insn);
    return line;
}

int segmentOverrideOf(const Instruction& insn) {
    if (insn.kind != DecodeKind::Prefix) return kNoReg;
    std::string_view m = insn.form->mnemonic;
    for (int s = 0; s < 4; ++s)
        if (m.size() == 3 && m.substr(0, 2) == kSeg[s] && m[2] == ':') return s;
    return kNoReg;
}

std::string memoryOperandField(const Instruction& insn, const Registers& regs, const MemoryReader& read,
                               int segmentOverride) {
    if (insn.kind != DecodeKind::Instruction || insn.form->has(formflag::kStringOp)) return {};
    int i = insn.memoryOperand();
    if (i < 0) return {};
    const Operand& o = insn.ops[i];
    const MemRef& m = o.mem;
    std::uint32_t ea = static_cast<std::uint32_t>(m.disp);
    if (m.base != kNoReg) ea += regs.gp[m.base];
    if (m.index != kNoReg) ea += regs.gp[m.index];
    auto off = static_cast<std::uint16_t>(ea);
    int seg = segmentOverride != kNoReg ? segmentOverride : m.base == BP ? SS : DS;
    std::uint16_t base = regs.seg[seg];

    std::string field(kSeg[seg]);
    field += ':';
    appendHex(field, off, 4);
    field += '=';
    if (o.size == OpSize::Byte) {
        appendHex(field, read(base, off), 2);
    } else {
        std::uint32_t word = read(base, off) | read(base, static_cast<std::uint16_t>(off + 1)) << 8;
        appendHex(field, word, 4);
    }
    return field;
}

}  // namespace krvs::x86
