#include <gtest/gtest.h>

#include "Printable.h"

#include <set>
#include <string>

#include "asmtext/TSynAsmSyn.h"
#include "asmtext/TextUtil.h"

namespace krvs::asmtext {
namespace {

// Tokens as "kind:text" joined by '|', e.g. "2:mov|5: |1:ax".
std::string render(const TSynAsmSyn& syn, std::string_view line) {
  std::string out;
  for (const Token& t : syn.Tokenize(line)) {
    if (!out.empty()) out += '|';
    out += std::to_string(static_cast<int>(t.kind)) + ":" + std::string(line.substr(t.start, t.length));
  }
  return out;
}

TEST(AsmtextReservedWords, AreTheGiven373WithoutRepeats) {
  std::set<std::string_view> distinct(kReservedWords.begin(), kReservedWords.end());
  EXPECT_EQ(kReservedWords.size(), 373u);
  EXPECT_EQ(distinct.size(), 373u);
  EXPECT_EQ(kReservedWords.front(), "aaa");
  EXPECT_EQ(kReservedWords.back(), "xor");
  for (std::string_view w : {"movs", "pfrcpit2", "fyl2xp1", "prefetchw", "jecxz", "setpo", "xlatb"}) {
    EXPECT_EQ(distinct.count(w), 1u) << w;
  }
  TSynAsmSyn syn;
  EXPECT_EQ(syn.Keywords().size(), 373u);
}

TEST(AsmtextKeywordHash, ChainsAreOrderedByLengthAndMatchTheirBucket) {
  TSynAsmSyn syn;
  std::size_t total = 0;
  for (std::size_t b = 0; b < KeywordHash::kBucketCount; ++b) {
    auto chain = syn.Keywords().chain(b);
    total += chain.size();
    for (std::size_t i = 0; i < chain.size(); ++i) {
      EXPECT_EQ(KeywordHash::hashIdent(chain[i]) & 1023u, b) << chain[i];
      if (i > 0) {
        EXPECT_LE(chain[i - 1].size(), chain[i].size()) << chain[i];
      }
    }
  }
  EXPECT_EQ(total, 373u);
}

TEST(AsmtextKeywordHash, HashFoldsCaseAndKeeps24Bits) {
  EXPECT_EQ(KeywordHash::hashIdent("a"), 1u);
  EXPECT_EQ(KeywordHash::hashIdent("Ab"), 1u * 7 + 2);
  EXPECT_EQ(KeywordHash::hashIdent("_9"), 36u);
  EXPECT_EQ(KeywordHash::hashIdent("MOV"), KeywordHash::hashIdent("mov"));
  EXPECT_LT(KeywordHash::hashIdent(std::string(40, 'z')), 1u << 24);
}

TEST(AsmtextKeywordHash, InsertsSameLengthAfterAndLongerBefore) {
  // Words that share a bucket: hashes differ by a multiple of 1024.
  KeywordHash h;
  std::vector<std::string> sameBucket;
  std::uint32_t target = KeywordHash::hashIdent("ab") & 1023u;
  for (char a = 'a'; a <= 'z' && sameBucket.size() < 4; ++a)
    for (char b = 'a'; b <= 'z'; ++b)
      for (char c = 'a'; c <= 'z'; ++c) {
        std::string w{a, b, c};
        if ((KeywordHash::hashIdent(w) & 1023u) == target && sameBucket.size() < 3) sameBucket.push_back(w);
      }
  ASSERT_EQ(sameBucket.size(), 3u);
  EXPECT_FALSE(h.add(sameBucket[0]));
  EXPECT_FALSE(h.add("ab"));
  EXPECT_FALSE(h.add(sameBucket[1]));
  auto chain = h.chain(target);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[0], "ab");
  EXPECT_EQ(chain[1], sameBucket[0]);
  EXPECT_EQ(chain[2], sameBucket[1]);
  EXPECT_TRUE(h.contains("AB"));
  EXPECT_FALSE(h.contains(sameBucket[2]));
}

TEST(AsmtextKeywordHash, RepeatedWordIsAnError) {
  std::string error;
  EXPECT_FALSE(TSynAsmSyn::FromWordList("mov push MOV", &error));
  EXPECT_EQ(error, "Keyword \"MOV\" already in list");
  auto syn = TSynAsmSyn::FromWordList("mov,push;pop\tmov_x 1st", &error);
  ASSERT_TRUE(syn);
  EXPECT_EQ(syn->Keywords().size(), 5u);
  EXPECT_EQ(render(*syn, "Pop mov_x"), "2:Pop|5: |2:mov_x");
}

struct ScanCase {
  const char* line;
  const char* tokens;
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << printable(c.line); }


class AsmtextScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(AsmtextScanTest, GivesTheTokenSequence) {
  TSynAsmSyn syn;
  EXPECT_EQ(render(syn, GetParam().line), GetParam().tokens) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextLines, AsmtextScanTest,
    ::testing::Values(
        ScanCase{"mov ax,4c00h;退出程序", "2:mov|5: |1:ax|1:,|4:4c00h|0:;退出程序"},
        ScanCase{"MOV Mov movs movsx", "2:MOV|5: |2:Mov|5: |2:movs|5: |2:movsx"},
        ScanCase{"assume segment db proc ax", "1:assume|5: |1:segment|5: |1:db|5: |1:proc|5: |1:ax"},
        ScanCase{"0x1F", "4:0|1:x1F"},
        ScanCase{"10b 1.5 0ffh 12H", "4:10b|5: |4:1.5|5: |4:0ffh|5: |4:12H"},
        ScanCase{"[bx+si]", "1:[|1:bx|7:+|1:si|1:]"},
        ScanCase{"'it''s'", "6:'it'|6:'s'"},
        ScanCase{"'abc", "6:'abc"},
        ScanCase{"\"a'b\" 'x\"y'", "6:\"a'b\"|5: |6:'x\"y'"},
        ScanCase{"'''ab'", "6:'''ab'"},
        ScanCase{"''", "6:''"},
        ScanCase{"a<=b<>c>=d<e>f", "1:a|7:<=|1:b|7:<>|1:c|7:>=|1:d|7:<|1:e|7:>|1:f"},
        ScanCase{"x // note", "1:x|5: |0:// note"},
        ScanCase{"a/b", "1:a|7:/|1:b"},
        ScanCase{"# all", "0:# all"},
        ScanCase{"&()*+-.:=^{}", "7:&|7:(|7:)|7:*|7:+|7:-|7:.|7::|7:=|7:^|7:{|7:}"},
        ScanCase{"$?@!", "1:$|1:?|1:@|1:!"},
        ScanCase{"\t \x01x", "5:\t \x01|1:x"},
        ScanCase{"a\r\nb\nc\rd", "1:a|5:\r\n|1:b|5:\n|1:c|5:\r|1:d"},
        ScanCase{"'ab\rc", "6:'ab\r|1:c"},
        ScanCase{"; x\r y", "0:; x|5:\r|5: |1:y"},
        ScanCase{"数据 db", "1:数|1:据|5: |1:db"},
        ScanCase{"_start:", "1:_start|7::"},
        ScanCase{"int 21h", "2:int|5: |4:21h"},
        ScanCase{"lock_x jz2 JZ", "1:lock_x|5: |1:jz2|5: |2:JZ"},
        ScanCase{"", ""}));

TEST(AsmtextScanner, OddBytesAreSingleIdentifierTokens) {
  TSynAsmSyn syn;
  // A lone lead byte, a stray continuation byte and a NUL inside the line: one byte each.
  std::string line = std::string("a\xE6") + "\x80" + std::string(1, '\0') + "b";
  EXPECT_EQ(render(syn, line), std::string("1:a|1:\xE6|1:\x80|1:") + std::string(1, '\0') + "|1:b");
}

TEST(AsmtextScanner, CursorWalksTheSameTokensAndEndsWithEndOfLine) {
  TSynAsmSyn syn;
  const std::string line = "start: mov ax,datas ;初始化";
  auto bulk = syn.Tokenize(line);
  syn.SetLine(line);
  std::size_t i = 0;
  for (; !syn.GetEol(); syn.Next(), ++i) {
    ASSERT_LT(i, bulk.size());
    EXPECT_EQ(syn.GetTokenKind(), bulk[i].kind);
    EXPECT_EQ(syn.GetTokenPos(), bulk[i].start);
    EXPECT_EQ(syn.GetToken(), line.substr(bulk[i].start, bulk[i].length));
    ASSERT_NE(syn.GetTokenAttribute(), nullptr);
  }
  EXPECT_EQ(i, bulk.size());
  EXPECT_EQ(syn.GetTokenKind(), TokenKind::EndOfLine);
  EXPECT_EQ(syn.GetTokenAttribute(), nullptr);
  syn.Next();
  EXPECT_TRUE(syn.GetEol());
}

TEST(AsmtextAttributes, NamesStylesAndIndexes) {
  const std::pair<TokenKind, std::string_view> byKind[] = {
      {TokenKind::Comment, "Comment"}, {TokenKind::Identifier, "Identifier"},
      {TokenKind::ReservedWord, "Reserved Word"}, {TokenKind::Number, "Number"},
      {TokenKind::Space, "Space"}, {TokenKind::String, "String"}, {TokenKind::Symbol, "Symbol"}};
  for (auto [kind, name] : byKind) EXPECT_EQ(attributeOf(kind)->name, name);
  EXPECT_EQ(attributeOf(TokenKind::EndOfLine), nullptr);
  EXPECT_TRUE(attributeOf(TokenKind::Comment)->italic);
  EXPECT_TRUE(attributeOf(TokenKind::ReservedWord)->bold);
  EXPECT_FALSE(attributeOf(TokenKind::Number)->bold || attributeOf(TokenKind::Number)->italic);
  const std::string_view byIndex[] = {"Comment", "Identifier", "Reserved Word", "String", "Space", "Symbol"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(attributeByIndex(i)->name, byIndex[i]);
  EXPECT_EQ(attributeByIndex(6), nullptr);
  EXPECT_EQ(attributeByIndex(-1), nullptr);
  EXPECT_EQ(kLanguageName, "x86 Assembly");
  EXPECT_EQ(kDefaultFilter, "x86 Assembly Files (*.asm)|*.asm");
}

TEST(AsmtextAttributes, IdentifierCharactersAreLettersDigitsAndUnderscore) {
  int count = 0;
  for (int c = 0; c < 256; ++c) count += isIdentifierChar(static_cast<char>(c)) ? 1 : 0;
  EXPECT_EQ(count, 63);
  EXPECT_TRUE(isIdentifierChar('_') && isIdentifierChar('z') && isIdentifierChar('0'));
  EXPECT_FALSE(isIdentifierChar('$') || isIdentifierChar('.') || isIdentifierChar('@'));
}

}  // namespace
}  // namespace krvs::asmtext
