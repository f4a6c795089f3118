#include "x86/table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <unordered_map>
#include <vector>

namespace krvs::x86 {
namespace {

using enum OpClass;
constexpr CpuModel C86 = CpuModel::I8086;
constexpr CpuModel C186 = CpuModel::I80186;
constexpr CpuModel C286 = CpuModel::I80286;
constexpr std::uint16_t A = formflag::kAlias;
constexpr std::uint16_t D = formflag::kDecodeOnly;
constexpr std::uint16_t S = formflag::kShowSize;
constexpr std::uint16_t F = formflag::kFar;
constexpr std::uint16_t P = formflag::kPrefix;
constexpr std::uint16_t O = formflag::kOnly8086;
constexpr std::uint16_t Str = formflag::kStringOp;
constexpr std::uint16_t T = formflag::kBase10;
constexpr std::uint16_t R = formflag::kAnyReg8086;
constexpr std::uint16_t H = formflag::kHidden;

// The eight arithmetic/logic operations share one layout: n*8 + 0..5 and the 80-83 group with /n.
// "reg, r/m" comes before "r/m, reg" so that two registers encode as 02/03 with the destination in
// the reg field; 83 comes before the accumulator form so that ADD AX,1 is 83 C0 01.
#define KRVS_ALU(name, n)                                            \
    {name, (n) * 8 + 2, Enc::ModRm, 0, {R8, Rm8}, C86, 0},           \
    {name, (n) * 8 + 3, Enc::ModRm, 0, {R16, Rm16}, C86, 0},         \
    {name, (n) * 8 + 0, Enc::ModRm, 0, {Rm8, R8}, C86, 0},           \
    {name, (n) * 8 + 1, Enc::ModRm, 0, {Rm16, R16}, C86, 0},         \
    {name, 0x83, Enc::Digit, n, {Rm16, Imm8s}, C86, S},              \
    {name, (n) * 8 + 4, Enc::Plain, 0, {Al, Imm8}, C86, 0},          \
    {name, (n) * 8 + 5, Enc::Plain, 0, {Ax, Imm16}, C86, 0},         \
    {name, 0x80, Enc::Digit, n, {Rm8, Imm8}, C86, S},                \
    {name, 0x81, Enc::Digit, n, {Rm16, Imm16}, C86, S},              \
    {name, 0x82, Enc::Digit, n, {Rm8, Imm8}, C86, S | D}

// Rotates and shifts: D0-D3 on the 8086, C0/C1 with an imm8 count from the 80186 on.
#define KRVS_SHIFT(name, n, fl)                                      \
    {name, 0xD0, Enc::Digit, n, {Rm8, One}, C86, S | (fl)},          \
    {name, 0xD1, Enc::Digit, n, {Rm16, One}, C86, S | (fl)},         \
    {name, 0xD2, Enc::Digit, n, {Rm8, Cl}, C86, S | (fl)},           \
    {name, 0xD3, Enc::Digit, n, {Rm16, Cl}, C86, S | (fl)},          \
    {name, 0xC0, Enc::Digit, n, {Rm8, Imm8}, C186, S | (fl)},        \
    {name, 0xC1, Enc::Digit, n, {Rm16, Imm8}, C186, S | (fl)}

#define KRVS_UNARY(name, n)                                          \
    {name, 0xF6, Enc::Digit, n, {Rm8}, C86, S},                      \
    {name, 0xF7, Enc::Digit, n, {Rm16}, C86, S}

#define KRVS_JCC(name, op, fl) {name, op, Enc::Plain, 0, {Rel8}, C86, fl}

#define KRVS_NOARG(name, op, fl) {name, op, Enc::Plain, 0, {}, C86, fl}

constexpr Form kForms[] = {
    // Prefixes: each is shown as its own line by the disassembler.
    {"ES:", 0x26, Enc::Plain, 0, {}, C86, P},
    {"CS:", 0x2E, Enc::Plain, 0, {}, C86, P},
    {"SS:", 0x36, Enc::Plain, 0, {}, C86, P},
    {"DS:", 0x3E, Enc::Plain, 0, {}, C86, P},
    {"LOCK", 0xF0, Enc::Plain, 0, {}, C86, P},
    {"REPNZ", 0xF2, Enc::Plain, 0, {}, C86, P},
    {"REPNE", 0xF2, Enc::Plain, 0, {}, C86, P | A},
    {"REPZ", 0xF3, Enc::Plain, 0, {}, C86, P},
    {"REPE", 0xF3, Enc::Plain, 0, {}, C86, P | A},
    {"REP", 0xF3, Enc::Plain, 0, {}, C86, P | A},
    {"LOCK", 0xF1, Enc::Plain, 0, {}, C86, P | H},  // a copy of LOCK; F1 xx in the ROM traps to the host

    KRVS_ALU("ADD", 0), KRVS_ALU("OR", 1), KRVS_ALU("ADC", 2), KRVS_ALU("SBB", 3),
    KRVS_ALU("AND", 4), KRVS_ALU("SUB", 5), KRVS_ALU("XOR", 6), KRVS_ALU("CMP", 7),

    {"MOV", 0x8A, Enc::ModRm, 0, {R8, Rm8}, C86, 0},
    {"MOV", 0x8B, Enc::ModRm, 0, {R16, Rm16}, C86, 0},
    {"MOV", 0x88, Enc::ModRm, 0, {Rm8, R8}, C86, 0},
    {"MOV", 0x89, Enc::ModRm, 0, {Rm16, R16}, C86, 0},
    {"MOV", 0x8C, Enc::ModRm, 0, {Rm16, Sreg}, C86, 0},
    {"MOV", 0x8E, Enc::ModRm, 0, {SregW, Rm16}, C86, 0},
    {"MOV", 0xA0, Enc::Plain, 0, {Al, Moffs8}, C86, 0},
    {"MOV", 0xA1, Enc::Plain, 0, {Ax, Moffs16}, C86, 0},
    {"MOV", 0xA2, Enc::Plain, 0, {Moffs8, Al}, C86, 0},
    {"MOV", 0xA3, Enc::Plain, 0, {Moffs16, Ax}, C86, 0},
    {"MOV", 0xB0, Enc::PlusReg, 0, {R8, Imm8}, C86, 0},
    {"MOV", 0xB8, Enc::PlusReg, 0, {R16, Imm16}, C86, 0},
    {"MOV", 0xC6, Enc::Digit, 0, {Rm8, Imm8}, C86, S | R},
    {"MOV", 0xC7, Enc::Digit, 0, {Rm16, Imm16}, C86, S | R},

    // TEST and XCHG with ModR/M are shown register-field first; the other order encodes the same.
    {"TEST", 0x84, Enc::ModRm, 0, {R8, Rm8}, C86, 0},
    {"TEST", 0x85, Enc::ModRm, 0, {R16, Rm16}, C86, 0},
    {"TEST", 0x84, Enc::ModRm, 0, {Rm8, R8}, C86, A},
    {"TEST", 0x85, Enc::ModRm, 0, {Rm16, R16}, C86, A},
    {"TEST", 0xA8, Enc::Plain, 0, {Al, Imm8}, C86, 0},
    {"TEST", 0xA9, Enc::Plain, 0, {Ax, Imm16}, C86, 0},
    {"TEST", 0xF6, Enc::Digit, 0, {Rm8, Imm8}, C86, S},
    {"TEST", 0xF7, Enc::Digit, 0, {Rm16, Imm16}, C86, S},

    KRVS_NOARG("NOP", 0x90, 0),  // before XCHG so that 90 is shown as NOP
    {"XCHG", 0x90, Enc::PlusReg, 0, {R16, Ax}, C86, 0},
    {"XCHG", 0x90, Enc::PlusReg, 0, {Ax, R16}, C86, A},
    {"XCHG", 0x86, Enc::ModRm, 0, {R8, Rm8}, C86, 0},
    {"XCHG", 0x87, Enc::ModRm, 0, {R16, Rm16}, C86, 0},
    {"XCHG", 0x86, Enc::ModRm, 0, {Rm8, R8}, C86, A},
    {"XCHG", 0x87, Enc::ModRm, 0, {Rm16, R16}, C86, A},

    {"PUSH", 0x50, Enc::PlusReg, 0, {R16}, C86, 0},
    {"PUSH", 0x06, Enc::SregIn, 0, {Sreg}, C86, 0},
    {"PUSH", 0xFF, Enc::Digit, 6, {Rm16}, C86, 0},
    {"PUSH", 0x6A, Enc::Plain, 0, {Imm8s}, C186, 0},
    {"PUSH", 0x68, Enc::Plain, 0, {Imm16}, C186, 0},
    {"POP", 0x58, Enc::PlusReg, 0, {R16}, C86, 0},
    {"POP", 0x07, Enc::SregIn, 0, {SregW}, C86, 0},
    {"POP", 0x0F, Enc::Plain, 0, {Cs}, C86, D | O},
    {"POP", 0x8F, Enc::Digit, 0, {Rm16}, C86, R},

    {"INC", 0x40, Enc::PlusReg, 0, {R16}, C86, 0},
    {"INC", 0xFE, Enc::Digit, 0, {Rm8}, C86, S},
    {"INC", 0xFF, Enc::Digit, 0, {Rm16}, C86, S},
    {"DEC", 0x48, Enc::PlusReg, 0, {R16}, C86, 0},
    {"DEC", 0xFE, Enc::Digit, 1, {Rm8}, C86, S},
    {"DEC", 0xFF, Enc::Digit, 1, {Rm16}, C86, S},

    KRVS_UNARY("NOT", 2), KRVS_UNARY("NEG", 3), KRVS_UNARY("MUL", 4),
    KRVS_UNARY("IMUL", 5), KRVS_UNARY("DIV", 6), KRVS_UNARY("IDIV", 7),
    {"IMUL", 0x6B, Enc::ModRm, 0, {R16, Rm16, Imm8s}, C186, 0},
    {"IMUL", 0x69, Enc::ModRm, 0, {R16, Rm16, Imm16}, C186, 0},
    {"IMUL", 0x6B, Enc::ModRm, 0, {R16, Imm8s}, C186, A},  // IMUL AX,10 = IMUL AX,AX,10
    {"IMUL", 0x69, Enc::ModRm, 0, {R16, Imm16}, C186, A},

    KRVS_SHIFT("ROL", 0, 0), KRVS_SHIFT("ROR", 1, 0), KRVS_SHIFT("RCL", 2, 0),
    KRVS_SHIFT("RCR", 3, 0), KRVS_SHIFT("SHL", 4, 0), KRVS_SHIFT("SAL", 4, A),
    KRVS_SHIFT("SHR", 5, 0), KRVS_SHIFT("SAR", 7, 0),

    {"LEA", 0x8D, Enc::ModRm, 0, {R16, Mem}, C86, 0},
    {"LES", 0xC4, Enc::ModRm, 0, {R16, M32}, C86, 0},
    {"LDS", 0xC5, Enc::ModRm, 0, {R16, M32}, C86, 0},

    KRVS_JCC("JO", 0x70, 0), KRVS_JCC("JNO", 0x71, 0), KRVS_JCC("JB", 0x72, 0),
    KRVS_JCC("JC", 0x72, A), KRVS_JCC("JNAE", 0x72, A), KRVS_JCC("JNB", 0x73, 0),
    KRVS_JCC("JAE", 0x73, A), KRVS_JCC("JNC", 0x73, A), KRVS_JCC("JZ", 0x74, 0),
    KRVS_JCC("JE", 0x74, A), KRVS_JCC("JNZ", 0x75, 0), KRVS_JCC("JNE", 0x75, A),
    KRVS_JCC("JBE", 0x76, 0), KRVS_JCC("JNA", 0x76, A), KRVS_JCC("JA", 0x77, 0),
    KRVS_JCC("JNBE", 0x77, A), KRVS_JCC("JS", 0x78, 0), KRVS_JCC("JNS", 0x79, 0),
    KRVS_JCC("JPE", 0x7A, 0), KRVS_JCC("JP", 0x7A, A), KRVS_JCC("JPO", 0x7B, 0),
    KRVS_JCC("JNP", 0x7B, A), KRVS_JCC("JL", 0x7C, 0), KRVS_JCC("JNGE", 0x7C, A),
    KRVS_JCC("JGE", 0x7D, 0), KRVS_JCC("JNL", 0x7D, A), KRVS_JCC("JLE", 0x7E, 0),
    KRVS_JCC("JNG", 0x7E, A), KRVS_JCC("JG", 0x7F, 0), KRVS_JCC("JNLE", 0x7F, A),
    // The 8086 runs 60h-6Fh as the conditional jumps.
    KRVS_JCC("JO", 0x60, O | H), KRVS_JCC("JNO", 0x61, O | H), KRVS_JCC("JB", 0x62, O | H),
    KRVS_JCC("JNB", 0x63, O | H), KRVS_JCC("JZ", 0x64, O | H), KRVS_JCC("JNZ", 0x65, O | H),
    KRVS_JCC("JBE", 0x66, O | H), KRVS_JCC("JA", 0x67, O | H), KRVS_JCC("JS", 0x68, O | H),
    KRVS_JCC("JNS", 0x69, O | H), KRVS_JCC("JPE", 0x6A, O | H), KRVS_JCC("JPO", 0x6B, O | H),
    KRVS_JCC("JL", 0x6C, O | H), KRVS_JCC("JGE", 0x6D, O | H), KRVS_JCC("JLE", 0x6E, O | H),
    KRVS_JCC("JG", 0x6F, O | H),
    KRVS_JCC("LOOPNZ", 0xE0, 0), KRVS_JCC("LOOPNE", 0xE0, A), KRVS_JCC("LOOPZ", 0xE1, 0),
    KRVS_JCC("LOOPE", 0xE1, A), KRVS_JCC("LOOP", 0xE2, 0), KRVS_JCC("JCXZ", 0xE3, 0),

    {"JMP", 0xEB, Enc::Plain, 0, {Rel8}, C86, 0},
    {"JMP", 0xE9, Enc::Plain, 0, {Rel16}, C86, 0},
    {"JMP", 0xEA, Enc::Plain, 0, {FarPtr}, C86, 0},
    {"JMP", 0xFF, Enc::Digit, 4, {Rm16}, C86, 0},
    {"JMP", 0xFF, Enc::Digit, 5, {MFar}, C86, F},
    {"CALL", 0xE8, Enc::Plain, 0, {Rel16}, C86, 0},
    {"CALL", 0x9A, Enc::Plain, 0, {FarPtr}, C86, 0},
    {"CALL", 0xFF, Enc::Digit, 2, {Rm16}, C86, 0},
    {"CALL", 0xFF, Enc::Digit, 3, {MFar}, C86, F},
    {"RET", 0xC3, Enc::Plain, 0, {}, C86, 0},
    {"RET", 0xC2, Enc::Plain, 0, {Imm16}, C86, 0},
    {"RETN", 0xC3, Enc::Plain, 0, {}, C86, A},
    {"RETN", 0xC2, Enc::Plain, 0, {Imm16}, C86, A},
    {"RETF", 0xCB, Enc::Plain, 0, {}, C86, 0},
    {"RETF", 0xCA, Enc::Plain, 0, {Imm16}, C86, 0},
    // ... and C0h/C1h as RET, C8h/C9h as RETF.
    {"RET", 0xC0, Enc::Plain, 0, {Imm16}, C86, O | H},
    {"RET", 0xC1, Enc::Plain, 0, {}, C86, O | H},
    {"RETF", 0xC8, Enc::Plain, 0, {Imm16}, C86, O | H},
    {"RETF", 0xC9, Enc::Plain, 0, {}, C86, O | H},

    {"INT", 0xCC, Enc::Plain, 0, {Three}, C86, 0},
    {"INT", 0xCD, Enc::Plain, 0, {Imm8}, C86, 0},
    KRVS_NOARG("INTO", 0xCE, 0),
    KRVS_NOARG("IRET", 0xCF, 0),

    {"IN", 0xE4, Enc::Plain, 0, {Al, Imm8}, C86, 0},
    {"IN", 0xE5, Enc::Plain, 0, {Ax, Imm8}, C86, 0},
    {"IN", 0xEC, Enc::Plain, 0, {Al, Dx}, C86, 0},
    {"IN", 0xED, Enc::Plain, 0, {Ax, Dx}, C86, 0},
    {"OUT", 0xE6, Enc::Plain, 0, {Imm8, Al}, C86, 0},
    {"OUT", 0xE7, Enc::Plain, 0, {Imm8, Ax}, C86, 0},
    {"OUT", 0xEE, Enc::Plain, 0, {Dx, Al}, C86, 0},
    {"OUT", 0xEF, Enc::Plain, 0, {Dx, Ax}, C86, 0},

    // AAM/AAD take an optional base; the plain spelling means base 10 (D4 0A).
    {"AAM", 0xD4, Enc::Plain, 0, {Imm8}, C86, T},
    {"AAM", 0xD4, Enc::Suffix, 0x0A, {}, C86, A},
    {"AAD", 0xD5, Enc::Plain, 0, {Imm8}, C86, T},
    {"AAD", 0xD5, Enc::Suffix, 0x0A, {}, C86, A},

    KRVS_NOARG("SALC", 0xD6, H),  // AL = CF ? FFh : 0, on every model
    KRVS_NOARG("DAA", 0x27, 0), KRVS_NOARG("DAS", 0x2F, 0), KRVS_NOARG("AAA", 0x37, 0),
    KRVS_NOARG("AAS", 0x3F, 0), KRVS_NOARG("CBW", 0x98, 0), KRVS_NOARG("CWD", 0x99, 0),
    KRVS_NOARG("WAIT", 0x9B, 0), KRVS_NOARG("FWAIT", 0x9B, A), KRVS_NOARG("PUSHF", 0x9C, 0),
    KRVS_NOARG("POPF", 0x9D, 0), KRVS_NOARG("SAHF", 0x9E, 0), KRVS_NOARG("LAHF", 0x9F, 0),
    KRVS_NOARG("MOVSB", 0xA4, Str), KRVS_NOARG("MOVSW", 0xA5, Str),
    KRVS_NOARG("CMPSB", 0xA6, Str), KRVS_NOARG("CMPSW", 0xA7, Str),
    KRVS_NOARG("STOSB", 0xAA, Str), KRVS_NOARG("STOSW", 0xAB, Str),
    KRVS_NOARG("LODSB", 0xAC, Str), KRVS_NOARG("LODSW", 0xAD, Str),
    KRVS_NOARG("SCASB", 0xAE, Str), KRVS_NOARG("SCASW", 0xAF, Str),
    // String instructions written with operands: the operands give the size and the source segment.
    {"MOVS", 0xA4, Enc::Plain, 0, {StrDst8, StrSrc8}, C86, A | Str},
    {"MOVS", 0xA5, Enc::Plain, 0, {StrDst16, StrSrc16}, C86, A | Str},
    {"CMPS", 0xA6, Enc::Plain, 0, {StrSrc8, StrDst8}, C86, A | Str},
    {"CMPS", 0xA7, Enc::Plain, 0, {StrSrc16, StrDst16}, C86, A | Str},
    {"STOS", 0xAA, Enc::Plain, 0, {StrDst8}, C86, A | Str},
    {"STOS", 0xAB, Enc::Plain, 0, {StrDst16}, C86, A | Str},
    {"LODS", 0xAC, Enc::Plain, 0, {StrSrc8}, C86, A | Str},
    {"LODS", 0xAD, Enc::Plain, 0, {StrSrc16}, C86, A | Str},
    {"SCAS", 0xAE, Enc::Plain, 0, {StrDst8}, C86, A | Str},
    {"SCAS", 0xAF, Enc::Plain, 0, {StrDst16}, C86, A | Str},
    {"INS", 0x6C, Enc::Plain, 0, {StrDst8, Dx}, C186, A | Str},
    {"INS", 0x6D, Enc::Plain, 0, {StrDst16, Dx}, C186, A | Str},
    {"OUTS", 0x6E, Enc::Plain, 0, {Dx, StrSrc8}, C186, A | Str},
    {"OUTS", 0x6F, Enc::Plain, 0, {Dx, StrSrc16}, C186, A | Str},
    KRVS_NOARG("XLAT", 0xD7, 0), KRVS_NOARG("XLATB", 0xD7, A),
    {"XLAT", 0xD7, Enc::Plain, 0, {XlatTable}, C86, A},
    KRVS_NOARG("HLT", 0xF4, 0), KRVS_NOARG("CMC", 0xF5, 0), KRVS_NOARG("CLC", 0xF8, 0),
    KRVS_NOARG("STC", 0xF9, 0), KRVS_NOARG("CLI", 0xFA, 0), KRVS_NOARG("STI", 0xFB, 0),
    KRVS_NOARG("CLD", 0xFC, 0), KRVS_NOARG("STD", 0xFD, 0),

    // Coprocessor escapes: written and decoded as ESC code,r/m (no 8087 mnemonics).
    {"ESC", 0xD8, Enc::Esc, 0, {EscCode, RmAny}, C86, 0},

    // 80186 additions.
    {"PUSHA", 0x60, Enc::Plain, 0, {}, C186, 0},
    {"POPA", 0x61, Enc::Plain, 0, {}, C186, 0},
    {"BOUND", 0x62, Enc::ModRm, 0, {R16, M32}, C186, 0},
    {"INSB", 0x6C, Enc::Plain, 0, {}, C186, Str},
    {"INSW", 0x6D, Enc::Plain, 0, {}, C186, Str},
    {"OUTSB", 0x6E, Enc::Plain, 0, {}, C186, Str},
    {"OUTSW", 0x6F, Enc::Plain, 0, {}, C186, Str},
    {"ENTER", 0xC8, Enc::Plain, 0, {Imm16, Imm8}, C186, 0},
    {"LEAVE", 0xC9, Enc::Plain, 0, {}, C186, 0},

    // 80286 system instructions (real mode reaches them; most fault outside protected mode).
    {"ARPL", 0x63, Enc::ModRm, 0, {Rm16, R16}, C286, 0},
    {"SLDT", 0x0F00, Enc::Digit, 0, {Rm16}, C286, 0},
    {"STR", 0x0F00, Enc::Digit, 1, {Rm16}, C286, 0},
    {"LLDT", 0x0F00, Enc::Digit, 2, {Rm16}, C286, 0},
    {"LTR", 0x0F00, Enc::Digit, 3, {Rm16}, C286, 0},
    {"VERR", 0x0F00, Enc::Digit, 4, {Rm16}, C286, 0},
    {"VERW", 0x0F00, Enc::Digit, 5, {Rm16}, C286, 0},
    {"SGDT", 0x0F01, Enc::Digit, 0, {Mem}, C286, 0},
    {"SIDT", 0x0F01, Enc::Digit, 1, {Mem}, C286, 0},
    {"LGDT", 0x0F01, Enc::Digit, 2, {Mem}, C286, 0},
    {"LIDT", 0x0F01, Enc::Digit, 3, {Mem}, C286, 0},
    {"SMSW", 0x0F01, Enc::Digit, 4, {Rm16}, C286, 0},
    {"LMSW", 0x0F01, Enc::Digit, 6, {Rm16}, C286, 0},
    {"LAR", 0x0F02, Enc::ModRm, 0, {R16, Rm16}, C286, 0},
    {"LSL", 0x0F03, Enc::ModRm, 0, {R16, Rm16}, C286, 0},
    {"CLTS", 0x0F06, Enc::Plain, 0, {}, C286, 0},
};

#undef KRVS_ALU
#undef KRVS_SHIFT
#undef KRVS_UNARY
#undef KRVS_JCC
#undef KRVS_NOARG

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

struct MnemonicIndex {
    std::unordered_map<std::string, std::vector<const Form*>> byName;
    MnemonicIndex() {
        for (const Form& f : kForms)
            if (!f.has(formflag::kHidden)) byName[std::string(f.mnemonic)].push_back(&f);
    }
};

const MnemonicIndex& mnemonicIndex() {
    static const MnemonicIndex index;
    return index;
}

}  // namespace

std::span<const Form> instructionTable() { return kForms; }

std::span<const Form* const> formsFor(std::string_view mnemonic) {
    const auto& map = mnemonicIndex().byName;
    auto it = map.find(upper(mnemonic));
    if (it == map.end()) return {};
    return it->second;
}

OpcodeBytes opcodeBytes(const Form& f) {
    OpcodeBytes out;
    auto first = static_cast<std::uint8_t>(f.opcode & 0xFF);
    switch (f.enc) {
    case Enc::PlusReg:
    case Enc::Esc:
        for (int r = 0; r < 8; ++r) out.byte[out.count++] = static_cast<std::uint8_t>(first + r);
        break;
    case Enc::SregIn:
        for (int s = 0; s < 4; ++s)
            if (f.ops[0] != SregW || s != CS) out.byte[out.count++] = static_cast<std::uint8_t>(first | s << 3);
        break;
    default: out.byte[out.count++] = first; break;
    }
    return out;
}

int classSize(OpClass c) {
    switch (c) {
    case Al: case Cl: case R8: case Rm8: case Moffs8: case Imm8: case StrSrc8: case StrDst8: case XlatTable: return 1;
    case Ax: case Dx: case Cs: case R16: case Sreg: case SregW: case Rm16: case Moffs16: case Imm16:
    case Imm8s: case StrSrc16: case StrDst16: return 2;
    case M32: case MFar: return 4;
    default: return 0;
    }
}

}  // namespace krvs::x86
