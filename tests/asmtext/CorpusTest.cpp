#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "asmtext/TFormat.h"
#include "asmtext/TextUtil.h"

namespace krvs::asmtext {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> readLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string visible(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) {
    for (char c : l) {
      if (!isTrimmable(static_cast<unsigned char>(c))) out += upperAscii(c);
    }
  }
  return out;
}

// Formats the whole text as the editor does: names cleared first, then every line in turn.
std::vector<std::string> formatAll(TDB& db, std::vector<std::string> lines) {
  TFormat fmt(db);
  db.ClearNames();
  for (std::string& l : lines) fmt.FormatLine(l, FormatSettings{});
  return lines;
}

std::vector<fs::path> corpusSources() {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(KRVS_TEST_DATA) / "corpus")) {
    std::string ext = upperAscii(e.path().extension().string());
    if (e.is_regular_file() && ext == ".ASM") files.push_back(e.path());
  }
  return files;
}

TEST(AsmtextCorpus, StudentProgramsFormatStablyAndKeepTheirText) {
  const auto files = corpusSources();
  ASSERT_GE(files.size(), 10u);
  for (const fs::path& f : files) {
    const auto original = readLines(f);
    TDB db;
    const auto once = formatAll(db, original);
    const auto twice = formatAll(db, once);
    EXPECT_EQ(visible(once), visible(original)) << f;
    EXPECT_EQ(twice, once) << f;
  }
}

TEST(AsmtextCorpus, DefinedNamesAreCollected) {
  const fs::path corpus = fs::path(KRVS_TEST_DATA) / "corpus";
  using V = std::vector<std::string>;
  TDB db;
  formatAll(db, readLines(corpus / "MACPRINT" / "MACPRINT.ASM"));
  // "A macro is expanded ..." inside a COMMENT block reads as a macro definition too: the formatter
  // knows nothing of comment blocks.
  EXPECT_EQ(db.Names(NameList::Macros), (V{"A", "PRINT", "PUTC", "NEWLINE", "LINE", "EXIT"}));
  formatAll(db, readLines(corpus / "GCD" / "GCD.ASM"));
  EXPECT_EQ(db.Names(NameList::Procs), (V{"GCD", "PUTS", "PRINT_DEC"}));
  EXPECT_EQ(db.Count(NameList::Macros), 0u);
}

}  // namespace
}  // namespace krvs::asmtext
