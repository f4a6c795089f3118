#pragma once
// Text searches used by the navigation tree to find where a listed name is defined. They work on the
// editor's whole text (each line followed by CR LF) and return 1-based byte positions in it.
//
//   int pos = krvs::asmtext::FindDefinition("DATAS", text, DefinitionKind::Segment);
//   if (pos > 0) { /* turn the byte position into a line and highlight it */ }

#include <string_view>

namespace krvs::asmtext {

enum class DefinitionKind { Macro = 0, Segment = 1, Label = 2, Variable = 3, Procedure = 4 };

// Characters that make up a word for the searches: $ . 0-9 ? @ A-Z a-z _
bool isSearchWordChar(char c);

// True when a semicolon outside quoted strings stands between the start of pos's line and pos (both
// included). Positions outside the text give false.
bool IsInComment(int pos, std::string_view text);

// True when neither the character before pos nor the character right after the word is a word
// character (a missing character counts as none).
bool IsWholeWord(int pos, std::string_view word, std::string_view text);

// 1-based position of the first whole-word occurrence of word outside comments and strings, letter case
// ignored; 0 when there is none (and for the empty word).
int FindWholeWord(std::string_view word, std::string_view text);

// 1-based position of the first whole-word occurrence of name outside comments that the kind's
// keyword follows (after blanks only: a TAB in between fails); -1 when there is none.
int FindDefinition(std::string_view name, std::string_view text, DefinitionKind kind);
// Same with the kind's number as the navigation tree passes it (0 macro ... 4 procedure); other
// numbers find nothing.
int FindDefinition(std::string_view name, std::string_view text, int kind);

}  // namespace krvs::asmtext
