#include <gtest/gtest.h>

#include "Printable.h"

#include <string>
#include <vector>

#include "asmtext/TFormat.h"

namespace krvs::asmtext {
namespace {

std::string sp(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

struct ExtractCase {
  std::string text;
  std::string word;
  std::string rest;
};
void PrintTo(const ExtractCase& c, std::ostream* os) { *os << printable(c.text); }


class AsmtextExtractWordTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(AsmtextExtractWordTest, SplitsOffTheFirstWord) {
  std::string text = GetParam().text;
  EXPECT_EQ(TFormat::ExtractWord(text), GetParam().word) << GetParam().text;
  EXPECT_EQ(text, GetParam().rest) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextTexts, AsmtextExtractWordTest,
    ::testing::Values(ExtractCase{"mov ax,bx", "mov", "ax,bx"},
                      ExtractCase{"  mov\tax, bx  ", "mov", "ax, bx"},
                      ExtractCase{"start:mov ax,1", "start:", "mov ax,1"},
                      ExtractCase{"start :  mov", "start:", "mov"},
                      ExtractCase{"start   :", "start:", ""},
                      ExtractCase{"a b:c", "a", "b:c"},
                      ExtractCase{"start", "start", ""},
                      ExtractCase{"", "", ""},
                      ExtractCase{"   ", "", ""},
                      ExtractCase{":x", ":", "x"},
                      ExtractCase{"'abc' db 1", "", "'abc' db 1"},
                      ExtractCase{"  it's x", "", "  it's x"},
                      ExtractCase{"msg db 'a b'", "msg", "db 'a b'"},
                      ExtractCase{"数据 db 1", "数据", "db 1"}));

struct FormatCase {
  std::string line;
  std::string formatted;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << printable(c.line); }


class AsmtextFormatDefaultsTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(AsmtextFormatDefaultsTest, LaysOutTheLine) {
  TDB db;
  TFormat fmt(db);
  std::string line = GetParam().line;
  fmt.FormatLine(line, FormatSettings{});
  EXPECT_EQ(line, GetParam().formatted) << "[" << GetParam().line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextLines, AsmtextFormatDefaultsTest,
    ::testing::Values(
        FormatCase{"start: mov ax,datas ;初始化", sp(6) + "START:" + sp(2) + "MOV" + sp(7) + "AX,DATAS" + sp(4) + ";初始化"},
        FormatCase{"mov ds,ax", sp(14) + "MOV" + sp(7) + "DS,AX"},
        FormatCase{"stacks segment stack ;堆栈段",
                   sp(6) + "STACKS" + sp(2) + "SEGMENT" + sp(3) + "STACK" + sp(7) + ";堆栈段"},
        FormatCase{"start:", sp(6) + "START:"},
        FormatCase{"  start :", sp(6) + "START:"},
        FormatCase{";这是自动生成的代码模板", ";这是自动生成的代码模板"},
        FormatCase{"   ;  indented comment  ", "   ;  indented comment  "},
        FormatCase{" ", " "},
        FormatCase{"\t\t", "\t\t"},
        FormatCase{"", ""},
        FormatCase{"msg db 'Hello';text", sp(9) + "MSG" + sp(2) + "DB" + sp(8) + "'Hello'" + sp(5) + ";text"},
        FormatCase{"msg db 'a;b'", sp(9) + "MSG" + sp(2) + "DB" + sp(8) + "'a;b'"},
        FormatCase{"print macro x", sp(7) + "PRINT" + sp(2) + "MACRO" + sp(5) + "X"},
        FormatCase{"mov ax,macrov", "mov ax,macrov"},
        FormatCase{"'abc' db 1", "'abc' db 1"},
        FormatCase{"  unknown words here  ", "  unknown words here  "},
        FormatCase{"jnz again", sp(14) + "JNZ" + sp(7) + "AGAIN"},
        FormatCase{".model small", ".MODEL" + sp(6 + 2) + "SMALL"},
        FormatCase{".code ; here", ".CODE" + sp(7 + 2) + sp(8 + 2) + "; here"},
        FormatCase{"title demo ;x", sp(7) + "TITLE" + sp(2) + "DEMO" + sp(4 + 2) + ";x"},
        FormatCase{"int 21h", sp(14) + "INT" + sp(7) + "21H"},
        FormatCase{"mov ah,'a' ; Ask", sp(14) + "MOV" + sp(7) + "AH,'a'" + sp(6) + "; Ask"},
        FormatCase{"mov dl,\"a\"", sp(14) + "MOV" + sp(7) + "DL,\"a\""},
        FormatCase{"averyverylonglabel: nop", sp(5) + "AVERYVERYLONGLABEL:" + sp(2) + "NOP"},
        FormatCase{"s db '数据' ;注释", sp(11) + "S" + sp(2) + "DB" + sp(8) + "'数据'" + sp(6) + ";注释"},
        FormatCase{"数据 db 1", sp(8) + "数据" + sp(2) + "DB" + sp(8) + "1"},
        FormatCase{"pbyte typedef ptr byte", sp(7) + "PBYTE" + sp(2) + "TYPEDEF" + sp(3) + "PTR BYTE"},
        FormatCase{"typedef ptr byte", sp(14) + "TYPEDEF" + sp(3) + "PTR BYTE"}));

// What a program prints must never change: nothing between quotes of either kind is re-cased or
// re-spaced, and a semicolon there starts no comment. Outside the quotes the usual layout holds.
INSTANTIATE_TEST_SUITE_P(
    AsmtextQuotedStrings, AsmtextFormatDefaultsTest,
    ::testing::Values(
        FormatCase{"msg db \"Hello, World!\",'$'", sp(9) + "MSG" + sp(2) + "DB" + sp(8) + "\"Hello, World!\",'$'"},
        FormatCase{"m db \"It's done!\",0dh,0ah,'$'", sp(11) + "M" + sp(2) + "DB" + sp(8) + "\"It's done!\",0DH,0AH,'$'"},
        FormatCase{"m db 'Hello; world$' ;say hi",
                   sp(11) + "M" + sp(2) + "DB" + sp(8) + "'Hello; world$'" + sp(9) + ";say hi"},
        FormatCase{"m db 'say \"a;b\" ok' , x ; c",
                   sp(11) + "M" + sp(2) + "DB" + sp(8) + "'say \"a;b\" ok' , X" + sp(6) + "; c"},
        FormatCase{"m db 'it''s', 'a  b' ;c", sp(11) + "M" + sp(2) + "DB" + sp(8) + "'it''s', 'a  b'" + sp(9) + ";c"},
        FormatCase{"mov al,';'", sp(14) + "MOV" + sp(7) + "AL,';'"},
        FormatCase{"mov al,\";\" ;semi", sp(14) + "MOV" + sp(7) + "AL,\";\"" + sp(6) + ";semi"},
        FormatCase{"cmp al,'a' ;x 'q'", sp(14) + "CMP" + sp(7) + "AL,'a'" + sp(6) + ";x 'q'"},
        // A string left open runs to the end of the line: it keeps its text and holds no comment.
        FormatCase{"m db 'open; and on", sp(11) + "M" + sp(2) + "DB" + sp(8) + "'open; and on"},
        FormatCase{"\"abc\" db 1", "\"abc\" db 1"}));

INSTANTIATE_TEST_SUITE_P(
    AsmtextControlCharacters, AsmtextFormatDefaultsTest,
    ::testing::Values(FormatCase{std::string("mov ax,1\0", 9), std::string("mov ax,1\0", 9)},
                      FormatCase{std::string("\0\0\0 x", 5), std::string("\0\0\0 x", 5)},
                      FormatCase{"mov\fax,1", "mov\fax,1"},
                      FormatCase{"mov\tax,1", sp(14) + "MOV" + sp(7) + "AX,1"}));

TEST(AsmtextFormatter, LowerCaseLeavesStringsAlone) {
  TDB db;
  TFormat fmt(db);
  FormatSettings lower;
  lower.caseMode = 1;
  std::string line = "MSG DB \"NAME: \",'OK;',0DH";
  fmt.FormatLine(line, lower);
  EXPECT_EQ(line, sp(9) + "msg" + sp(2) + "db" + sp(8) + "\"NAME: \",'OK;',0dh");
}

TEST(AsmtextFormatter, AControlCharacterLineStillReportsItsNames) {
  TDB db;
  TFormat fmt(db);
  std::string line("buf db 1\0", 9);
  fmt.FormatLine(line, FormatSettings{});
  EXPECT_EQ(line, std::string("buf db 1\0", 9));
  EXPECT_EQ(db.Names(NameList::Variables), std::vector<std::string>{"BUF"});
}

TEST(AsmtextFormatter, FormatsTheNewDocumentTemplate) {
  const std::pair<std::string, std::string> lines[] = {
      {";这是自动生成的代码模板", ";这是自动生成的代码模板"},
      {"stacks segment stack ;堆栈段", sp(6) + "STACKS" + sp(2) + "SEGMENT" + sp(3) + "STACK" + sp(7) + ";堆栈段"},
      {"dw 128 dup(?);注意这里只有128个字节", sp(14) + "DW" + sp(8) + "128 DUP(?)" + sp(2) + ";注意这里只有128个字节"},
      {"stacks ends", sp(6) + "STACKS" + sp(2) + "ENDS"},
      {"datas segment ;数据段", sp(7) + "DATAS" + sp(2) + "SEGMENT" + sp(3) + sp(12) + ";数据段"},
      {";请在这里定义您的数据", ";请在这里定义您的数据"},
      {" ", " "},
      {"datas ends", sp(7) + "DATAS" + sp(2) + "ENDS"},
      {"codes segment ;代码段", sp(7) + "CODES" + sp(2) + "SEGMENT" + sp(3) + sp(12) + ";代码段"},
      {"assume cs:codes,ds:datas", sp(14) + "ASSUME" + sp(4) + "CS:CODES,DS:DATAS"},
      {"start: mov ax,datas ;初始化", sp(6) + "START:" + sp(2) + "MOV" + sp(7) + "AX,DATAS" + sp(4) + ";初始化"},
      {"mov ds,ax", sp(14) + "MOV" + sp(7) + "DS,AX"},
      {";请在这里添加您的代码", ";请在这里添加您的代码"},
      {" ", " "},
      {"mov ax,4c00h;退出程序", sp(14) + "MOV" + sp(7) + "AX,4C00H" + sp(4) + ";退出程序"},
      {"int 21h", sp(14) + "INT" + sp(7) + "21H"},
      {"codes ends", sp(7) + "CODES" + sp(2) + "ENDS"},
      {"end start", sp(14) + "END" + sp(7) + "START"}};
  TDB db;
  TFormat fmt(db);
  for (const auto& [in, out] : lines) {
    std::string line = in;
    fmt.FormatLine(line, FormatSettings{});
    EXPECT_EQ(line, out) << in;
  }
  using V = std::vector<std::string>;
  EXPECT_EQ(db.Names(NameList::Segments), (V{"STACKS", "DATAS", "CODES"}));
  EXPECT_EQ(db.Names(NameList::Labels), V{"START"});
  EXPECT_TRUE(db.Names(NameList::Variables).empty());
}

TEST(AsmtextFormatter, ReportsTheNamesALineDefines) {
  TDB db;
  TFormat fmt(db);
  const char* lines[] = {"stacks segment stack", "msg db 'Hello';text", "start: mov ax,1",
                         "main proc far", "print macro x", "buf label byte", "count dw 0",
                         "next:", "x: db 1", "mov ax,bx", "codes ends"};
  for (const char* l : lines) {
    std::string line = l;
    fmt.FormatLine(line, FormatSettings{});
  }
  using V = std::vector<std::string>;
  EXPECT_EQ(db.Names(NameList::Segments), V{"STACKS"});
  EXPECT_EQ(db.Names(NameList::Variables), (V{"MSG", "BUF", "COUNT", "X:"}));
  EXPECT_EQ(db.Names(NameList::Labels), (V{"START", "NEXT", "X"}));
  EXPECT_EQ(db.Names(NameList::Procs), V{"MAIN"});
  EXPECT_EQ(db.Names(NameList::Macros), V{"PRINT"});
}

TEST(AsmtextFormatter, AMacroDefinedEarlierMakesItsCallsInstructions) {
  TDB db;
  TFormat fmt(db);
  std::string call = "print y";
  fmt.FormatLine(call, FormatSettings{});
  EXPECT_EQ(call, "print y");
  std::string def = "print macro x";
  fmt.FormatLine(def, FormatSettings{});
  call = "print y";
  fmt.FormatLine(call, FormatSettings{});
  EXPECT_EQ(call, sp(14) + "PRINT" + sp(5) + "Y");
}

TEST(AsmtextFormatter, SwitchedOffKeepsTextButReportsNames) {
  TDB db;
  TFormat fmt(db);
  FormatSettings off;
  off.autoFormat = false;
  const std::string lines[] = {"  start:  mov ax,1", "msg db 1", "p proc", "seg1 segment", "m macro"};
  for (const std::string& l : lines) {
    std::string line = l;
    fmt.FormatLine(line, off);
    EXPECT_EQ(line, l);
  }
  EXPECT_EQ(db.Count(NameList::Labels), 1u);
  EXPECT_EQ(db.Count(NameList::Variables), 1u);
  EXPECT_EQ(db.Count(NameList::Procs), 1u);
  EXPECT_EQ(db.Count(NameList::Segments), 1u);
  EXPECT_EQ(db.Count(NameList::Macros), 1u);
}

TEST(AsmtextFormatter, FormattingTwiceChangesNothingMore) {
  TDB db;
  TFormat fmt(db);
  for (std::string line : {"start: mov ax,datas ;初始化", "stacks segment stack ;堆栈段", ".model small",
                           "title demo ;x", "msg db 'a b' ; c", "start:", "pbyte typedef ptr byte"}) {
    fmt.FormatLine(line, FormatSettings{});
    std::string again = line;
    fmt.FormatLine(again, FormatSettings{});
    EXPECT_EQ(again, line);
  }
}

struct CaseModeCase {
  int caseMode;
  std::string formatted;
};
void PrintTo(const CaseModeCase& c, std::ostream* os) { *os << "caseMode " << c.caseMode; }


class AsmtextCaseModeTest : public ::testing::TestWithParam<CaseModeCase> {};

TEST_P(AsmtextCaseModeTest, ChangesLettersOutsideSingleQuotesOnly) {
  TDB db;
  TFormat fmt(db);
  FormatSettings s;
  s.caseMode = GetParam().caseMode;
  std::string line = "Lbl: Mov Ax,'Hi' ;Cmt";
  fmt.FormatLine(line, s);
  EXPECT_EQ(line, GetParam().formatted);
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextModes, AsmtextCaseModeTest,
    ::testing::Values(CaseModeCase{0, sp(8) + "LBL:" + sp(2) + "MOV" + sp(7) + "AX,'Hi'" + sp(5) + ";Cmt"},
                      CaseModeCase{1, sp(8) + "lbl:" + sp(2) + "mov" + sp(7) + "ax,'Hi'" + sp(5) + ";Cmt"},
                      CaseModeCase{2, sp(8) + "Lbl:" + sp(2) + "Mov" + sp(7) + "Ax,'Hi'" + sp(5) + ";Cmt"},
                      CaseModeCase{7, sp(8) + "Lbl:" + sp(2) + "Mov" + sp(7) + "Ax,'Hi'" + sp(5) + ";Cmt"}));

TEST(AsmtextLayout, ColumnsFollowTheSettings) {
  FormatSettings s;
  s.column1Width = 8;
  s.column2Width = 10;
  s.column3Width = 20;
  s.gap1Width = 1;
  s.gap2Width = 3;
  EXPECT_EQ(TFormat::LayoutLine("a:", "mov", "ax,1", ";c", 2, s),
            sp(6) + "A:" + sp(1) + "MOV" + sp(7 + 3) + "AX,1" + sp(16) + ";c");
  EXPECT_EQ(TFormat::LayoutLine("", ".data", "", "", 0, s), ".DATA" + sp(3 + 1) + sp(10 + 3));
  EXPECT_EQ(TFormat::LayoutLine("", "page", "60,132", "", 1, s), sp(4) + "PAGE" + sp(1) + "60,132" + sp(4 + 3));
  // A field exactly as wide as its column is followed by a whole column of blanks.
  EXPECT_EQ(TFormat::LayoutLine("abcdefg:", "x", "", "", 2, s).substr(0, 9), sp(8) + "A");
}

TEST(AsmtextLayout, WidthsOfZeroOrLessKeepEveryWordApart) {
  for (int w : {0, -1, -100}) {
    FormatSettings s;
    s.column1Width = s.column2Width = s.column3Width = w;
    s.gap1Width = s.gap2Width = w;
    TDB db;
    TFormat fmt(db);
    std::string line = "start: mov ax,datas ;init";
    fmt.FormatLine(line, s);
    EXPECT_EQ(line, " START: MOV  AX,DATAS ;init") << w;
    std::string typedefLine = "p typedef ptr byte";
    fmt.FormatLine(typedefLine, s);
    EXPECT_EQ(typedefLine, " P TYPEDEF  PTR BYTE") << w;
  }
}

TEST(AsmtextLayout, HugeWidthsAreCapped) {
  FormatSettings s;
  s.column1Width = s.column2Width = s.column3Width = 1 << 30;
  s.gap1Width = s.gap2Width = 1 << 30;
  std::string out = TFormat::LayoutLine("a:", "mov", "ax", ";c", 2, s);
  EXPECT_LT(out.size(), 6u * kMaxColumnWidth);
  EXPECT_EQ(out.substr(out.size() - 2), ";c");
}

TEST(AsmtextLayout, FillReachesTheNextMultiple) {
  EXPECT_EQ(fillWidth(0, 12), 12);
  EXPECT_EQ(fillWidth(6, 12), 6);
  EXPECT_EQ(fillWidth(12, 12), 12);
  EXPECT_EQ(fillWidth(13, 12), 11);
  EXPECT_EQ(fillWidth(5, 0), 1);
  EXPECT_EQ(fillWidth(5, -3), 1);
}

}  // namespace
}  // namespace krvs::asmtext
