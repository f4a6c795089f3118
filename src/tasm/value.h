#pragma once
// What an operand or expression evaluates to: a number, a register, or a memory reference, with the
// relocation that the object file has to carry for it.

#include <cstdint>

namespace krvs::tasm {

// Sizes double as type codes; distances get their own codes.
constexpr int kTypeNone = 0;
constexpr int kTypeNear = -1;
constexpr int kTypeFar = -2;

enum class RegClass : std::uint8_t { None, R8, R16, Seg };

struct Value {
    enum class Kind : std::uint8_t { Imm, Mem, Reg };
    Kind kind = Kind::Imm;
    std::int32_t num = 0;
    int seg = -1;          // num is an offset in this segment
    int ext = -1;          // num is relative to this external symbol
    bool segBase = false;  // the value is the paragraph of seg / grp / ext
    int grp = -1;          // with segBase: a group's paragraph
    int frameSeg = -1;     // "SEGNAME:x" override of the frame
    int frameGrp = -1;     // "GROUP:x"
    int sreg = -1;         // segment-register override (ES CS SS DS = 0..3)
    int base = -1;         // BX or BP (register numbers 3 / 5)
    int index = -1;        // SI or DI (6 / 7)
    int reg = -1;          // for Kind::Reg
    RegClass regClass = RegClass::None;
    int type = kTypeNone;  // size in bytes or kTypeNear / kTypeFar
    bool typeExplicit = false;  // came from PTR
    bool isShort = false;
    bool undefined = false;     // a symbol is not (yet) defined
    bool label = false;         // a code label or procedure (not data)
    bool bracket = false;
    int sym = -1;               // the symbol it names directly, for LENGTH and SIZE

    bool isConst() const { return kind == Kind::Imm && seg < 0 && ext < 0 && !segBase; }
    bool relocatable() const { return seg >= 0 || ext >= 0 || segBase; }
    bool hasRegs() const { return base >= 0 || index >= 0; }
};

}  // namespace krvs::tasm
