// The assembler's parts on their own: the keyword table that statements look their first words up
// in, and the names LOCAL gives.

#include <gtest/gtest.h>

#include <x86/table.h>

#include "directives.h"
#include "keywords.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

TEST(TasmKeywords, EveryDirectiveAndMnemonicIsFoundInAnyCase) {
    for (const DirectiveInfo& d : directiveTable()) {
        std::string lower(d.name);
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        EXPECT_EQ(keywordOf(d.name).directive, &d) << d.name;
        EXPECT_EQ(keywordOf(lower).directive, &d) << lower;
    }
    for (const x86::Form& f : x86::instructionTable()) {
        std::span<const x86::Form* const> forms = x86::formsFor(f.mnemonic);
        EXPECT_EQ(keywordOf(f.mnemonic).forms.data(), forms.data()) << f.mnemonic;
        EXPECT_EQ(keywordOf(f.mnemonic).forms.size(), forms.size()) << f.mnemonic;
    }
    // Names, near misses and words longer than any keyword are none.
    for (const char* w : {"", "start", "MOVX", "MO", "ENDSX", "ELSEIFNDEFXYZ", "averyveryverylongname"}) {
        EXPECT_EQ(keywordOf(w).directive, nullptr) << w;
        EXPECT_FALSE(keywordOf(w).isMnemonic()) << w;
    }
    EXPECT_TRUE(keywordOf("Mov").isMnemonic());
    EXPECT_NE(keywordOf("Segment").directive, nullptr);
}

TEST(TasmLocalNames, MoreThan65536ExpansionsGiveDistinctLabels) {
    // Each expansion defines a LOCAL label; after ??FFFF the names go on with five digits instead of
    // wrapping to ??0000, which the first expansion holds already.
    std::string src =
        "m macro\n local l\nl: nop\n endm\n"
        "c1 segment\n assume cs:c1\n rept 40000\n m\n endm\nc1 ends\n"
        "c2 segment\n assume cs:c2\n rept 40000\n m\n endm\nc2 ends\n end\n";
    AssemblyResult r = assemble("L.ASM", src, Options{}, nullptr);
    EXPECT_EQ(r.errorCount, 0);
    ASSERT_TRUE(r.diagnostics.empty()) << formatDiagnostic(r.diagnostics[0]);
    EXPECT_FALSE(r.object.empty());
}

}  // namespace
}  // namespace krvs::tasm
