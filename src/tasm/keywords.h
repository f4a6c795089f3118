#pragma once
// The words the assembler itself knows: directives and instruction mnemonics. Every statement asks
// what its first words are, so each is found with one case-folding hash probe into a table built
// once, and an instruction's forms come with it (the encoder then needs no lookup by name).

#include <x86/table.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace krvs::tasm {

struct DirectiveInfo;

// Instructions that the assembler treats apart from the rest.
enum class MnemonicClass : std::uint8_t { Other, Jmp, Call, Conditional, Loop, Shift, In, Out, Prefix, Ret };

struct Keyword {
    const DirectiveInfo* directive = nullptr;
    std::span<const x86::Form* const> forms;  // the instruction's forms; empty for no mnemonic
    MnemonicClass cls = MnemonicClass::Other;
    bool reserved = false;  // a register or operator name: a warning where it names a symbol
    bool isMnemonic() const { return !forms.empty(); }
    bool isBranch() const {
        return cls == MnemonicClass::Jmp || cls == MnemonicClass::Call || cls == MnemonicClass::Conditional ||
               cls == MnemonicClass::Loop;
    }
    // Jumps whose distance the assembler sizes: JMP, the conditional jumps, LOOP and JCXZ.
    bool isRelativeJump() const {
        return cls == MnemonicClass::Jmp || cls == MnemonicClass::Conditional || cls == MnemonicClass::Loop;
    }
};

// What `word` names (in any case); an empty Keyword for every other word.
const Keyword& keywordOf(std::string_view word);

}  // namespace krvs::tasm
