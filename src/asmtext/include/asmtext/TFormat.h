#pragma once
// TFormat: lays out one line of assembly source in columns (label, mnemonic, operands, comment) and
// tells the keyword database which names the line defines. The IDE owns one instance next to its TDB
// and passes the current settings on every call.
//
//   krvs::asmtext::TDB db;
//   krvs::asmtext::TFormat fmt(db);
//   krvs::asmtext::FormatSettings s;          // defaults: on, upper case, 12/8/12, gaps 2/2
//   std::string line = "start: mov ax,datas ;init";
//   fmt.FormatLine(line, s);                  // "      START:  MOV       AX,DATAS    ;init"
//
// Column widths count a character outside ASCII as 2 (its GBK size).

#include <string>
#include <string_view>

#include "asmtext/TDB.h"

namespace krvs::asmtext {

// The formatter's settings, copied from the IDE's settings store.
struct FormatSettings {
  bool autoFormat = true;  // off: lines keep their text, names are still reported
  int caseMode = 0;        // 0 upper case, 1 lower case, anything else unchanged
  int column1Width = 12;   // W1: labels end here (right-aligned)
  int column2Width = 8;    // W2: mnemonic field
  int column3Width = 12;   // W3: operand field
  int gap1Width = 2;       // G1: after the label column
  int gap2Width = 2;       // G2: after the mnemonic field
};

// Widths below 1 are taken as 1 and gaps below 1 as 1, so no field runs into the next; both are
// capped at kMaxColumnWidth so that a hand-edited settings file cannot blow a line up.
inline constexpr int kMaxColumnWidth = 256;

// Blanks that take a field of width n to the next multiple of w (1..w; w for an empty field).
int fillWidth(std::size_t n, int w);

class TFormat {
 public:
  explicit TFormat(TDB& db) : m_db(db) {}

  // Formats the line in place when settings.autoFormat is on; reports defined names to the database
  // in any case. Lines that are not recognised keep their text exactly.
  void FormatLine(std::string& line, const FormatSettings& settings) const;

  // Splits off and returns the first word of text (TAB, blank or colon ends it; a colon stays with
  // the word, also when blanks stand before it); text keeps the trimmed rest. A quote (either kind)
  // before the first separator gives the empty word and leaves text unchanged.
  static std::string ExtractWord(std::string& text);

  // Builds the columns for a line of the given kind (0, 1, 2; 4 is laid out like 2), after the case
  // change of CaseMode. The result may end in blanks.
  static std::string LayoutLine(std::string_view label, std::string_view mnemonic,
                                std::string_view operands, std::string_view comment, int kind,
                                const FormatSettings& settings);

 private:
  static void layoutInto(std::string& out, std::string_view label, std::string_view mnemonic,
                         std::string_view operands, std::string_view comment, int kind,
                         const FormatSettings& settings);
  void reportNames(std::string_view label, std::string_view mnemonic) const;

  TDB& m_db;
};

}  // namespace krvs::asmtext
