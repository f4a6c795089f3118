#pragma once
// The words the assembler itself knows: directives and instruction mnemonics. Every statement asks
// what its first words are, so each is found with one case-folding hash probe into a table built
// once, and an instruction's forms come with it (the encoder then needs no lookup by name).

#include <x86/table.h>

#include <span>
#include <string_view>

namespace krvs::tasm {

struct DirectiveInfo;

struct Keyword {
    const DirectiveInfo* directive = nullptr;
    std::span<const x86::Form* const> forms;  // the instruction's forms; empty for no mnemonic
    bool isMnemonic() const { return !forms.empty(); }
};

// What `word` names (in any case); an empty Keyword for every other word.
const Keyword& keywordOf(std::string_view word);

}  // namespace krvs::tasm
