// What the build driver keeps of the tools' output, how the error list reads line numbers back,
// and the table that explains every message the assembler and the linker can print.
#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "build/build_output.h"
#include "build/message_help.h"

namespace krvs::ide {
namespace {

const QString kSource = QStringLiteral("/home/u/A/T.ASM");

TEST(CompileReport, NumbersPadsAndCountsEachDiagnostic) {
  struct Case {
    QString toolLine;
    QString listLine;
  } cases[] = {
      {"**Error** /home/u/A/T.ASM(12) Undefined symbol: X", "错误:第12行  Undefined symbol: X"},
      {"**Error** /home/u/a/t.asm(5) Need expression", "错误:第5行   Need expression"},  // any letter case
      {"**Error** /home/u/A/T.ASM(100) Constant too large", "错误:第100行 Constant too large"},
      {"**Error** /home/u/A/T.ASM(1000) Illegal number", "错误:第1000行Illegal number"},
      {"*Warning* /home/u/A/T.ASM(7) Open segment: CODE", "警告:第7行   Open segment: CODE"},
      // A diagnostic in an included file keeps no number and only its message.
      {"**Error** /home/u/A/INC.ASM(5) Need colon", "Need colon"},
      {"**Fatal** Too many nested includes", "*Fatal** Too many nested includes"},
  };
  for (const auto& c : cases) {
    CompileReport r = MakeCompileReport({c.toolLine}, kSource);
    ASSERT_EQ(r.lines.size(), 2) << c.toolLine.toStdString();
    EXPECT_EQ(r.lines[1], c.listLine) << c.toolLine.toStdString();
  }
}

TEST(CompileReport, VerdictFromTheCounts) {
  const QStringList banner = {"Korvash TASM  Version 1.0", "", "Assembling file:   /home/u/A/T.ASM"};
  struct Case {
    QStringList diagnostics;
    QString verdict;
  } cases[] = {
      {{}, "编译成功！"},
      {{"*Warning* /home/u/A/T.ASM(7) No stack"}, "编译成功，但是有警告1条"},
      {{"**Error** /home/u/A/T.ASM(3) Undefined symbol: X", "*Warning* /home/u/A/T.ASM(7) W",
        "**Error** /home/u/A/T.ASM(30) Undefined symbol: Y"},
       "编译失败，有错误2条"},
      // The word in a path or a message does not make an error a warning.
      {{"**Error** /home/u/warning/T.ASM(3) Undefined symbol: WARNING"}, "编译失败，有错误1条"},
  };
  for (const auto& c : cases) {
    CompileReport r = MakeCompileReport(banner + c.diagnostics + QStringList{"Error messages:    None"}, kSource);
    EXPECT_EQ(r.lines.value(0), c.verdict);
    EXPECT_EQ(r.lines.size(), c.diagnostics.size() + 1);
  }
}

TEST(LinkReport, FailsOnlyOnErrorOrFatalMessages) {
  struct Case {
    QStringList tool;
    QStringList list;
  } cases[] = {
      {{"Korvash Link  Version 1.0"}, {"链接成功!"}},
      {{"Korvash Link  Version 1.0", "", "Warning: No stack"}, {"链接成功!", "Warning: No stack"}},
      {{"Korvash Link  Version 1.0", "Error: Undefined symbol X in module T.ASM"},
       {"链接失败!", "Error: Undefined symbol X in module T.ASM"}},
      {{"Korvash Link  Version 1.0", "Fatal: Unable to open file 'T.OBJ'"}, {"链接失败!", "Fatal: Unable to open file 'T.OBJ'"}},
      // A module or directory named ERROR is no failure.
      {{"Korvash Link  Version 1.0", "Warning: No stack in module ERRORS.ASM"},
       {"链接成功!", "Warning: No stack in module ERRORS.ASM"}},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeLinkReport(c.tool).lines, c.list);
}

TEST(ErrorLineNumber, TheNumberBetweenDiAndHang) {
  struct Case {
    QString line;
    int n;
  } cases[] = {
      {"错误:第12行  Undefined symbol: X", 12}, {"警告:第7行   No stack", 7}, {"编译失败，有错误2条", -1},
      {"编译成功！", -1},  {"第x行", -1},  {"第行", -1}, {"行第12", -1}, {"第0行", 0}, {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorLineNumber(c.line), c.n) << c.line.toStdString();
}

TEST(MessageHelp, FindsTheLongestMatchingEntryBehindAnyPrefix) {
  auto key = [](const QString& text) {
    const MessageHelp* e = FindMessageHelp(text);
    return e ? QString::fromUtf8(e->message) : QString();
  };
  EXPECT_EQ(key("错误:第12行  Undefined symbol: X"), "Undefined symbol:");
  EXPECT_EQ(key("Error: Undefined symbol X in module T.ASM"), "Undefined symbol");
  EXPECT_EQ(key("错误:第3行   Illegal instruction for currently selected processor(s)"),
            "Illegal instruction for currently selected processor(s)");
  EXPECT_EQ(key("错误:第3行   Illegal instruction"), "Illegal instruction");
  EXPECT_EQ(key("Fatal: Cannot generate COM file : stack segment present"),
            "Cannot generate COM file : stack segment present");
  EXPECT_EQ(key("编译成功！"), "");
  EXPECT_FALSE(ExplainMessage("错误:第5行   Relative jump out of range by 0012h bytes").isEmpty());
}

// The fixed beginnings of every message in the assembler's and the linker's sources: string
// literals that start an argument of error/warning/fatal/fail/report, or are assigned to an
// error or message text, or are the format of a message formatted with snprintf; and the texts
// of the encoder's errors the assembler passes on.
std::set<std::string> messagesInSources() {
  namespace fs = std::filesystem;
  fs::path src = fs::path(KRVS_TEST_DATA) / ".." / ".." / "src";
  std::vector<fs::path> files;
  for (const char* dir : {"tasm", "tlink"}) {
    for (const auto& entry : fs::directory_iterator(src / dir)) {
      if (entry.path().extension() == ".cpp") files.push_back(entry.path());
    }
  }
  static const std::regex kComment(R"re(//[^\n]*)re");
  static const std::regex kLiteral(R"re("((?:[^"\\]|\\.)*)")re");
  static const std::regex kCall(
      R"re(\b(?:error|warning|fatal|fail|report)\s*\(|\b(?:error|message|err|m_error|prefix)\s*=\s*(?!=)|snprintf\s*\(|return\s+std::string\()re");
  std::set<std::string> stems;
  auto addStem = [&](std::string text) {
    text = text.substr(0, text.find('%'));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    bool lower = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && lower) stems.insert(text);
  };
  for (const fs::path& file : files) {
    std::ifstream in(file);
    std::stringstream all;
    all << in.rdbuf();
    std::string s = std::regex_replace(all.str(), kComment, "");
    for (std::sregex_iterator m(s.begin(), s.end(), kCall), end; m != end; ++m) {
      std::size_t from = static_cast<std::size_t>(m->position());
      std::string span = s.substr(from, s.find(';', from + m->length() - 1) - from);
      bool format = m->str().starts_with("snprintf");
      for (std::sregex_iterator l(span.begin(), span.end(), kLiteral); l != end; ++l) {
        std::string before = span.substr(0, static_cast<std::size_t>(l->position()));
        while (!before.empty() && std::isspace(static_cast<unsigned char>(before.back()))) before.pop_back();
        if (before.empty() || std::string("(,?:=").find(before.back()) == std::string::npos) continue;
        if (format && std::count(before.begin(), before.end(), ',') < 2) continue;
        addStem((*l)[1]);
      }
    }
  }
  std::ifstream encoder(src / "x86" / "encoder.cpp");
  std::stringstream text;
  text << encoder.rdbuf();
  std::string s = text.str();
  std::size_t at = s.find("encodeErrorText");
  std::string body = s.substr(at, s.find("\n}", at) - at);
  static const std::regex kReturn(R"re(return\s+"((?:[^"\\]|\\.)*)")re");
  for (std::sregex_iterator m(body.begin(), body.end(), kReturn), end; m != end; ++m) addStem((*m)[1]);
  return stems;
}

TEST(MessageHelp, EveryMessageTheToolsCanPrintHasAnEntry) {
  std::set<std::string> stems = messagesInSources();
  ASSERT_GT(stems.size(), 50u);  // the scan found the tools' messages at all
  int count = 0;
  const MessageHelp* table = MessageHelpTable(&count);
  std::set<std::string> keys;
  for (int i = 0; i < count; ++i) {
    keys.insert(table[i].message);
    EXPECT_FALSE(std::string(table[i].help).empty()) << table[i].message;
  }
  for (const std::string& stem : stems) EXPECT_TRUE(keys.count(stem)) << "no explanation for: " << stem;
}

}  // namespace
}  // namespace krvs::ide
