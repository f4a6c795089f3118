#include <gtest/gtest.h>

#include "Printable.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "asmtext/TDB.h"

namespace krvs::asmtext {
namespace {

TEST(AsmtextKeywordTable, HoldsTheGivenEntriesPerKind) {
  std::map<int, int> entries;
  std::map<int, std::set<std::string_view>> distinct;
  for (const KeywordEntry& e : kKeywordTable) {
    ++entries[e.kind];
    distinct[e.kind].insert(e.name);
    EXPECT_LE(e.name.size(), 23u) << e.name;
    EXPECT_FALSE(std::any_of(e.name.begin(), e.name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        << e.name << " is not upper case";
  }
  EXPECT_EQ(kKeywordTable.size(), 526u);
  // .REPEAT and DB are stored twice.
  EXPECT_EQ(entries[0], 67);
  EXPECT_EQ(distinct[0].size(), 66u);
  EXPECT_EQ(entries[1], 13);
  EXPECT_EQ(entries[2], 445);
  EXPECT_EQ(distinct[2].size(), 444u);
  EXPECT_EQ(entries[4], 1);
  EXPECT_EQ(entries.size(), 4u);
}

TEST(AsmtextKeywordTable, KeepsItsQuirks) {
  auto count = [](std::string_view name) {
    return std::count_if(kKeywordTable.begin(), kKeywordTable.end(),
                         [&](const KeywordEntry& e) { return e.name == name; });
  };
  EXPECT_EQ(count("DB"), 2);
  EXPECT_EQ(count(".REPEAT"), 2);
  for (std::string_view once : {".TARTUP", "AMM", "UNIOU", "HLP", "NO87", "IF/#/#", "ELSE/#/#", "RCR`",
                                "TYPEDEF", "=", "SUBTTL", ".DATA?", "CMPXCHG8B", "UD2"}) {
    EXPECT_EQ(count(once), 1) << once;
  }
  // Words one might expect that the table does not hold.
  for (std::string_view absent : {"JNZ", "JNA", ".STARTUP", "UNION", "MOVSX8", "ASSUME:"}) {
    EXPECT_EQ(count(absent), 0) << absent;
  }
}

TEST(AsmtextKeywordDatabase, SortsTheTableByBytes) {
  TDB db;
  const auto& t = db.SortedTable();
  ASSERT_EQ(t.size(), 526u);
  EXPECT_TRUE(std::is_sorted(t.begin(), t.end(),
                             [](const KeywordEntry& a, const KeywordEntry& b) { return a.name < b.name; }));
  EXPECT_EQ(t.front().name, ".286");
  EXPECT_EQ(t.back().name, "XOR");
}

TEST(AsmtextKeywordDatabase, LookupGivesTheFirstPositionOfTheTrimmedUpperCasedWord) {
  TDB db;
  const auto& t = db.SortedTable();
  EXPECT_EQ(db.Lookup(".286"), 1);
  EXPECT_EQ(db.Lookup("  xor\t"), 526);
  int dbPos = db.Lookup("db");
  ASSERT_GT(dbPos, 0);
  EXPECT_EQ(t[dbPos - 1].name, "DB");
  EXPECT_EQ(t[dbPos].name, "DB");  // the second copy follows; the first one is found
  EXPECT_NE(t[dbPos - 2].name, "DB");
  EXPECT_EQ(db.Lookup("rcr`"), db.Lookup("RCR") + 1);
  EXPECT_EQ(db.Lookup("jnz"), 0);
  EXPECT_EQ(db.Lookup(""), 0);
  EXPECT_EQ(db.Lookup("mo v"), 0);
  EXPECT_GT(db.Lookup(" .listMacroAll "), 0);
  EXPECT_EQ(db.Lookup(std::string(30, 'A')), 0);
  // Every stored name is found at a position that holds it.
  for (const KeywordEntry& e : kKeywordTable) {
    int pos = db.Lookup(e.name);
    ASSERT_GT(pos, 0) << e.name;
    EXPECT_EQ(t[pos - 1].name, e.name);
    EXPECT_TRUE(pos == 1 || t[pos - 2].name != e.name) << e.name;
  }
}

struct ClassifyCase {
  const char* word;
  int kind;
};
void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << printable(c.word); }


class AsmtextClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(AsmtextClassifyTest, GivesTheLayoutKind) {
  TDB db;
  EXPECT_EQ(db.Classify(GetParam().word), GetParam().kind) << GetParam().word;
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextWords, AsmtextClassifyTest,
    ::testing::Values(ClassifyCase{"mov", 2}, ClassifyCase{"MOV", 2}, ClassifyCase{".model", 0},
                      ClassifyCase{"title", 1}, ClassifyCase{"typedef", 4}, ClassifyCase{"SubTtl", 0},
                      ClassifyCase{"=", 2}, ClassifyCase{"jnz", 2}, ClassifyCase{"jump1", 2},
                      ClassifyCase{"J", 2}, ClassifyCase{"a&b", 2}, ClassifyCase{"&", 2},
                      ClassifyCase{"", -1}, ClassifyCase{"print", -1}, ClassifyCase{"start:", -1},
                      ClassifyCase{".startup", -1}, ClassifyCase{".tartup", 0}, ClassifyCase{"unioU", 2},
                      ClassifyCase{"assume", 2}, ClassifyCase{"ax", -1}));

TEST(AsmtextKeywordDatabase, MacroNamesClassifyAsInstructionsInAnyCase) {
  TDB db;
  EXPECT_EQ(db.Classify("print"), -1);
  db.AddMacro("Print");
  EXPECT_EQ(db.Classify("print"), 2);
  EXPECT_EQ(db.Classify("PRINT"), 2);
  EXPECT_EQ(db.Classify("pRiNt"), 2);
  EXPECT_EQ(db.Classify("prin"), -1);
  db.ClearNames();
  EXPECT_EQ(db.Classify("print"), -1);
}

TEST(AsmtextKeywordDatabase, AddNameStoresUpperCaseOnceAndSkipsKeywords) {
  TDB db;
  db.AddLabel("start");
  db.AddLabel("START");
  db.AddLabel("mov");
  db.AddLabel("");
  db.AddLabel("next");
  EXPECT_EQ(db.Names(NameList::Labels), (std::vector<std::string>{"START", "NEXT"}));
  // Lists are separate.
  db.AddProc("start");
  EXPECT_EQ(db.Count(NameList::Procs), 1u);
  EXPECT_EQ(db.Count(NameList::Macros), 0u);
  db.ClearNames();
  for (int l = 0; l < 5; ++l) EXPECT_EQ(db.Count(static_cast<NameList>(l)), 0u);
}

TEST(AsmtextKeywordDatabase, NamesAreCutTo20ColumnsAndNotAddedTwice) {
  TDB db;
  db.AddVariable("abcdefghijklmnopqrstuvwxy");  // 25 characters
  db.AddVariable("abcdefghijklmnopqrstuvwxy");
  db.AddVariable("ABCDEFGHIJKLMNOPQRSTZZZ");    // same first 20
  ASSERT_EQ(db.Count(NameList::Variables), 1u);
  EXPECT_EQ(db.Names(NameList::Variables)[0], "ABCDEFGHIJKLMNOPQRST");
  // A CJK character counts two columns and is never split.
  db.AddLabel("abcdefghijklmnopqrs数据");
  EXPECT_EQ(db.Names(NameList::Labels)[0], "ABCDEFGHIJKLMNOPQRS");
  db.AddLabel("数据数据数据数据数据数据");
  EXPECT_EQ(db.Names(NameList::Labels)[1], "数据数据数据数据数据");
}

TEST(AsmtextKeywordDatabase, AFullListDropsFurtherNames) {
  TDB db;
  for (int i = 0; i < 1025; ++i) db.AddSegment("S" + std::to_string(i));
  ASSERT_EQ(db.Count(NameList::Segments), 1024u);
  EXPECT_EQ(db.Names(NameList::Segments).back(), "S1023");
  db.AddSegment("other");
  EXPECT_EQ(db.Count(NameList::Segments), 1024u);
  db.AddLabel("other");  // other lists still take names
  EXPECT_EQ(db.Count(NameList::Labels), 1u);
}

}  // namespace
}  // namespace krvs::asmtext
