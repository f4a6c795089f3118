#include <gtest/gtest.h>

#include "Printable.h"

#include <string>
#include <vector>

#include "asmtext/TextSearch.h"

namespace krvs::asmtext {
namespace {

// The new-document template as the editor holds it: every line followed by CR LF.
std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

const std::vector<std::string> kTemplate = {
    ";这是自动生成的代码模板", "stacks segment stack ;堆栈段", "dw 128 dup(?);注意这里只有128个字节",
    "stacks ends", "datas segment ;数据段", ";请在这里定义您的数据", " ", "datas ends",
    "codes segment ;代码段", "assume cs:codes,ds:datas", "start: mov ax,datas ;初始化", "mov ds,ax",
    ";请在这里添加您的代码", " ", "mov ax,4c00h;退出程序", "int 21h", "codes ends", "end start"};

int lineStart(const std::vector<std::string>& lines, std::size_t index) {
  int pos = 1;
  for (std::size_t i = 0; i < index; ++i) pos += static_cast<int>(lines[i].size()) + 2;
  return pos;
}

TEST(AsmtextSearches, WordCharactersAreThe67Given) {
  std::string chars;
  for (int c = 0; c < 256; ++c) {
    if (isSearchWordChar(static_cast<char>(c))) chars += static_cast<char>(c);
  }
  EXPECT_EQ(chars, "$.0123456789?@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
}

TEST(AsmtextSearches, InCommentLooksFromTheLineStartToThePosition) {
  const std::string text = "a;b\r\nc d;e\nf";
  struct Case { int pos; bool inComment; };
  for (Case c : {Case{1, false}, Case{2, true}, Case{3, true}, Case{4, true}, Case{6, false},
                 Case{8, false}, Case{9, true}, Case{11, true}, Case{12, false}, Case{0, false},
                 Case{13, false}, Case{-4, false}}) {
    EXPECT_EQ(IsInComment(c.pos, text), c.inComment) << c.pos;
  }
}

TEST(AsmtextSearches, WholeWordLooksAtBothNeighbours) {
  const std::string text = "AB XAB AB1 AB.X $AB AB,AB";
  struct Case { int pos; bool whole; };
  for (Case c : {Case{1, true}, Case{5, false}, Case{8, false}, Case{12, false}, Case{18, false},
                 Case{21, true}, Case{24, true}}) {
    EXPECT_EQ(IsWholeWord(c.pos, "AB", text), c.whole) << c.pos;
  }
}

struct FindCase {
  std::string text;
  std::string word;
  int pos;
};
void PrintTo(const FindCase& c, std::ostream* os) { *os << printable(c.text); }


class AsmtextFindWholeWordTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(AsmtextFindWholeWordTest, FindsTheFirstWholeWordOutsideComments) {
  EXPECT_EQ(FindWholeWord(GetParam().word, GetParam().text), GetParam().pos) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextTexts, AsmtextFindWholeWordTest,
    ::testing::Values(FindCase{"xab ab", "AB", 5}, FindCase{"; ab\r\nab", "ab", 7},
                      FindCase{"abab ab", "ab", 6}, FindCase{"AB.X ab?", "ab", 0},
                      FindCase{"Start: mov", "START", 1}, FindCase{"x", "", 0},
                      FindCase{"", "ab", 0}, FindCase{"mov ax,ab", "Ab", 8}));

struct DefinitionCase {
  std::vector<std::string> lines;
  std::string name;
  int kind;
  int line;  // 0-based line of the expected hit, -1 for none
};
void PrintTo(const DefinitionCase& c, std::ostream* os) { *os << printable(c.name); }


class AsmtextFindDefinitionTest : public ::testing::TestWithParam<DefinitionCase> {};

TEST_P(AsmtextFindDefinitionTest, FindsTheDefiningOccurrence) {
  const DefinitionCase& c = GetParam();
  const std::string text = joinLines(c.lines);
  int expected = c.line < 0 ? -1 : lineStart(c.lines, static_cast<std::size_t>(c.line));
  if (c.line >= 0) {
    // The hit is the first occurrence on its line.
    std::string upperLine = c.lines[c.line];
    for (char& ch : upperLine) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string upperName = c.name;
    for (char& ch : upperName) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    expected += static_cast<int>(upperLine.find(upperName));
  }
  EXPECT_EQ(FindDefinition(c.name, text, c.kind), expected) << c.name << " kind " << c.kind;
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextSources, AsmtextFindDefinitionTest,
    ::testing::Values(
        DefinitionCase{kTemplate, "STACKS", 1, 1},
        DefinitionCase{kTemplate, "STACKS", 4, -1},
        DefinitionCase{kTemplate, "START", 2, 10},
        DefinitionCase{{"end start", "start: mov ax,1"}, "start", 2, 1},
        DefinitionCase{kTemplate, "DATAS", 1, 4},
        DefinitionCase{kTemplate, "datas", 1, 4},
        DefinitionCase{{"assume cs:codes,ds:datas", "datas segment ;数据段"}, "DATAS", 1, 1},
        DefinitionCase{kTemplate, "codes", 1, 8},
        DefinitionCase{{"; msg db 1", "mov ax,msg"}, "msg", 3, -1},
        DefinitionCase{{"xab db 1", "ab1 dw 2", "ab.x dd 3"}, "ab", 3, -1},
        DefinitionCase{{"xab db 1", "ab dw 2"}, "AB", 3, 1},
        DefinitionCase{{"buf LABEL byte", "x"}, "buf", 3, 0},
        DefinitionCase{{"bufx dbx 1", "buf   Real10 1.0"}, "buf", 3, 1},
        DefinitionCase{{"v dbyte 1"}, "v", 3, -1},
        DefinitionCase{{"s\tsegment", "s segment"}, "s", 1, 1},
        DefinitionCase{{"s\tsegment"}, "s", 1, -1},
        DefinitionCase{{"Print Macro x"}, "PRINT", 0, 0},
        DefinitionCase{{"print macros"}, "print", 0, -1},
        DefinitionCase{{"main proc far", "call main"}, "MAIN", 4, 0},
        DefinitionCase{{"main procx"}, "MAIN", 4, -1},
        DefinitionCase{{"x :"}, "x", 2, 0},
        DefinitionCase{{"x segment"}, "x", 9, -1},
        DefinitionCase{{"x segment"}, "x", -1, -1}));

TEST(AsmtextSearches, EndOfTextEndsTheKeyword) {
  EXPECT_EQ(FindDefinition("s", "s segment", 1), 1);
  EXPECT_EQ(FindDefinition("p", "  p proc", 4), 3);
  EXPECT_EQ(FindDefinition("v", "v dw", 3), 1);
  EXPECT_EQ(FindDefinition("l", "l", 2), -1);
  EXPECT_EQ(FindDefinition("", "x segment", 1), -1);
}

TEST(AsmtextSearches, AnOccurrenceIsJudgedByTheCharacterBeforeItInTheWholeText) {
  // After passing "ab" in "ab ab:", the hit at "ab:" must still see the blank before it, and the
  // first "xab" must never count although the search restarts inside it.
  EXPECT_EQ(FindDefinition("ab", "xab: ab:", 2), 6);
  EXPECT_EQ(FindDefinition("ab", "ab ab:", 2), 4);
  EXPECT_EQ(FindDefinition("aa", "aaa: aa:", 2), 6);
}

}  // namespace
}  // namespace krvs::asmtext
