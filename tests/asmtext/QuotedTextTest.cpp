// The formatter, the highlighter and the definition search read quotes and comments alike: a string
// opens with either quote, only the same quote closes it, and a semicolon inside it is text.
#include <gtest/gtest.h>

#include <string>

#include "Printable.h"
#include "asmtext/TFormat.h"
#include "asmtext/TSynAsmSyn.h"
#include "asmtext/TextSearch.h"
#include "asmtext/TextUtil.h"

namespace krvs::asmtext {
namespace {

struct QuoteCase {
  std::string line;
  std::size_t comment;  // index of the comment's semicolon, npos for none
};
void PrintTo(const QuoteCase& c, std::ostream* os) { *os << printable(c.line); }

class AsmtextQuotesTest : public ::testing::TestWithParam<QuoteCase> {};

// Where the highlighter paints the first comment token, if any.
std::size_t highlighterComment(std::string_view line) {
  TSynAsmSyn syn;
  for (const Token& t : syn.Tokenize(line)) {
    if (t.kind == TokenKind::Comment) return t.start;
  }
  return std::string::npos;
}

TEST_P(AsmtextQuotesTest, AllReadersAgreeWhereTheCommentStarts) {
  const QuoteCase& c = GetParam();
  EXPECT_EQ(findCommentStart(c.line), c.comment);
  EXPECT_EQ(highlighterComment(c.line), c.comment);
  const std::string text = c.line + "\r\n";
  for (std::size_t i = 0; i < c.line.size(); ++i) {
    EXPECT_EQ(IsInComment(static_cast<int>(i) + 1, text), i >= c.comment) << "at " << i;
  }
  // The formatter keeps the comment's text as it stands, from that semicolon on.
  TDB db;
  TFormat fmt(db);
  std::string formatted = c.line;
  fmt.FormatLine(formatted, FormatSettings{});
  if (c.comment != std::string::npos) {
    const std::string comment(trim(std::string_view(c.line).substr(c.comment)));
    EXPECT_EQ(formatted.substr(formatted.size() - comment.size()), comment);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AsmtextLines, AsmtextQuotesTest,
    ::testing::Values(QuoteCase{"msg db 'a;b'", std::string::npos},
                      QuoteCase{"msg db 'a;b' ;c", 13},
                      QuoteCase{"msg db \"x;y\";c", 12},
                      QuoteCase{"msg db \"It's;\" ;q", 15},
                      QuoteCase{"msg db 'say \"hi;\"' ;q", 19},
                      QuoteCase{"msg db 'it''s;' ;q", 16},
                      QuoteCase{"msg db 'open;", std::string::npos},
                      QuoteCase{"mov ax,1 ;it's 'x", 9},
                      QuoteCase{";'quoted'", 0}));

TEST(AsmtextQuotes, ANameInsideAStringIsNoDefinition) {
  const std::string text = "msg db 'data segment',0\r\ndata segment\r\n";
  EXPECT_EQ(FindDefinition("data", text, DefinitionKind::Segment), 26);
  EXPECT_EQ(FindWholeWord("data", "m db \"data\"\r\n;data\r\nmov ax,data\r\n"), 28);
  EXPECT_EQ(FindDefinition("x", "m db \"x:\"\r\n", DefinitionKind::Label), -1);
}

TEST(AsmtextQuotes, LinePartOfEveryByte) {
  const std::string_view line = "a 'b;' \"c'\" ;d";
  const std::string parts = "CCSSSSCSSSSCKK";  // Code, String, comment (K)
  for (std::size_t i = 0; i < line.size(); ++i) {
    const LinePart want = parts[i] == 'C' ? LinePart::Code : parts[i] == 'S' ? LinePart::String : LinePart::Comment;
    EXPECT_EQ(linePartAt(line, i), want) << i;
  }
}

}  // namespace
}  // namespace krvs::asmtext
