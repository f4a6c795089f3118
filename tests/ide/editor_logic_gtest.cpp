// Pure logic of the editor: text searches, line marks, breakpoint moves, file decoding.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "debugger/line_marks.h"
#include "debugger/tdebugger.h"
#include "editor/debug_plugin.h"
#include "editor/text_file.h"
#include "editor/text_search.h"

namespace krvs::ide {
namespace {

struct FindCase {
  const char* name;
  const char* whole;
  const char* pattern;
  int start1;
  int flags;
  int count;
  int expected;
};

// A case prints as its name, so test names and failures do not show the struct's bytes.
void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class FindTextTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, OffsetWithinPiece) {
  const FindCase& c = GetParam();
  EXPECT_EQ(findText(c.whole, c.pattern, c.start1, c.flags, c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    ::testing::Values(FindCase{"first", "mov ax,bx\r\nmov cx,dx\r\n", "mov", 1, 0, 22, 0},
                      FindCase{"skips_before_start", "mov ax,bx\r\nmov cx,dx\r\n", "mov", 2, 0, 21, 10},
                      FindCase{"case_folded", "mov ax\r\n", "MOV", 1, 0, 8, 0},
                      FindCase{"match_case_refuses", "mov ax\r\n", "MOV", 1, kMatchCase, 8, -1},
                      FindCase{"match_case_finds", "MOV ax\r\n", "MOV", 1, kMatchCase, 8, 0},
                      FindCase{"count_cuts_piece", "abcabc", "bc", 1, 0, 2, -1},
                      FindCase{"at_very_end", "xx ax", "ax", 2, 0, 4, 2},
                      FindCase{"non_ascii_not_folded", "é", "É", 1, 0, 2, -1},
                      FindCase{"start_past_end", "abc", "a", 9, 0, 3, -1},
                      FindCase{"empty_pattern", "abc", "", 1, 0, 3, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindDirectionTest, ForwardAndBackward) {
  const QByteArray t = "mov ax,bx\r\nmov cx,dx\r\nmov ax,4c00h\r\n";
  EXPECT_EQ(findForwardIn(t, "mov", 0, 0), 0);
  EXPECT_EQ(findForwardIn(t, "mov", 1, 0), 11);
  EXPECT_EQ(findForwardIn(t, "4C00H", 0, 0), 29);
  EXPECT_EQ(findForwardIn(t, "zz", 0, 0), -1);
  // Backward: the last occurrence that ends at or before the start.
  EXPECT_EQ(findBackwardIn(t, "mov", int(t.size()), 0), 22);
  EXPECT_EQ(findBackwardIn(t, "mov", 22, 0), 11);
  EXPECT_EQ(findBackwardIn(t, "mov", 13, 0), 0);
  EXPECT_EQ(findBackwardIn(t, "mov", 2, 0), -1);
}

// The one-pass backward search answers exactly as the classic loop of findText calls from the start,
// overlapping occurrences, letter case and every start position included.
TEST(FindDirectionTest, BackwardAgreesWithTheRepeatedForwardLoop) {
  const auto loop = [](const QByteArray& whole, const QByteArray& pattern, int from, int flags) {
    int found = -1;
    for (int c = 0;;) {
      const int q = findText(whole, pattern, c + 1, flags, from - c);
      if (q < 0) return found;
      found = c + q;
      c = found + 1;
    }
  };
  const QByteArray texts[] = {"aaaa", "Mov mov MOV", "x\r\naAa\r\n", "", "ab"};
  const QByteArray patterns[] = {"a", "aa", "mov", "MOV", "\r\n", "b"};
  for (const QByteArray& t : texts) {
    for (const QByteArray& p : patterns) {
      for (int flags : {0, kMatchCase}) {
        for (int from = 0; from <= t.size(); ++from) {
          EXPECT_EQ(findBackwardIn(t, p, from, flags), loop(t, p, from, flags)) << t.constData() << "|" << p.constData() << "|" << from;
        }
      }
    }
  }
}

struct MarkCase {
  TDebugState state;
  bool current;
  int flag;
  bool hasAddress;
  TLineMark expected;
};

// "Step_breakpoint_code": the state, then what holds for the line.
std::string markCaseName(const MarkCase& c) {
  static const char* const kStates[] = {"Idle", "Ready", "Step", "Dump", "Go", "Quit"};
  std::string name = kStates[c.state];
  if (c.current) name += "_current";
  if (c.flag) name += "_breakpoint";
  name += c.hasAddress ? "_code" : "_nocode";
  return name;
}

void PrintTo(const MarkCase& c, std::ostream* os) { *os << markCaseName(c); }

class LineMarkTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(LineMarkTest, Code) {
  const MarkCase& c = GetParam();
  EXPECT_EQ(lineMarkFor(c.state, c.current, c.flag, c.hasAddress), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineMarkTest,
                         ::testing::Values(MarkCase{dsIdle, true, 0, true, lmNone},
                                           MarkCase{dsIdle, false, 1, false, lmBreak},
                                           MarkCase{dsGo, true, 1, true, lmBreak},
                                           MarkCase{dsReady, true, 0, true, lmCurrent},
                                           MarkCase{dsReady, true, 1, false, lmCurrentBreak},
                                           MarkCase{dsStep, false, 1, false, lmBreakNoCode},
                                           MarkCase{dsStep, false, 1, true, lmBreakCode},
                                           MarkCase{dsDump, false, 0, true, lmNone}),
                         [](const auto& info) { return markCaseName(info.param); });

TEST(BreakpointFlagsTest, RangeAndValueChecked) {
  TDebugger dbg;
  dbg.SetBreakpoint(0, 1);
  dbg.SetBreakpoint(TDebugger::kMaxLine, 1);
  dbg.SetBreakpoint(TDebugger::kMaxLine + 1, 1);
  dbg.SetBreakpoint(-1, 1);
  dbg.SetBreakpoint(5, 2);
  EXPECT_EQ(dbg.GetLineMark(0), lmBreak);
  EXPECT_EQ(dbg.GetLineMark(TDebugger::kMaxLine), lmBreak);
  EXPECT_EQ(dbg.GetLineMark(TDebugger::kMaxLine + 1), lmNone);
  EXPECT_EQ(dbg.GetLineMark(-1), lmNone);
  EXPECT_EQ(dbg.GetLineMark(5), lmNone);
  dbg.ClearBreakpoints();
  EXPECT_EQ(dbg.GetLineMark(0), lmNone);
}

TEST(BreakpointShiftTest, InsertThenDeleteRestores) {
  TDebugger dbg;
  dbg.SetBreakpoint(3, 1);
  dbg.SetBreakpoint(7, 1);
  // Ten lines; two new lines inserted at line 2 (the text now has twelve).
  shiftBreakpointsDown(dbg, 2, 2, 10);
  EXPECT_EQ(dbg.GetBreakpoint(3), 0);
  EXPECT_EQ(dbg.GetBreakpoint(5), 1);
  EXPECT_EQ(dbg.GetBreakpoint(9), 1);
  EXPECT_EQ(dbg.GetBreakpoint(2), 0);
  shiftBreakpointsUp(dbg, 2, 2, 10);
  EXPECT_EQ(dbg.GetBreakpoint(3), 1);
  EXPECT_EQ(dbg.GetBreakpoint(7), 1);
  EXPECT_EQ(dbg.GetBreakpoint(5), 0);
  EXPECT_EQ(dbg.GetBreakpoint(9), 0);
  EXPECT_EQ(dbg.GetBreakpoint(11), 0);
}

TEST(BreakpointShiftTest, DeletedLinesLoseTheirBreakpoints) {
  TDebugger dbg;
  dbg.SetBreakpoint(4, 1);
  dbg.SetBreakpoint(6, 1);
  shiftBreakpointsUp(dbg, 4, 2, 8);  // lines 4 and 5 of ten removed
  EXPECT_EQ(dbg.GetBreakpoint(4), 1);  // old line 6
  EXPECT_EQ(dbg.GetBreakpoint(6), 0);
  EXPECT_EQ(dbg.GetBreakpoint(10), 0);
}

TEST(BreakpointShiftTest, MovesBeyondLastSlotAreDropped) {
  TDebugger dbg;
  dbg.SetBreakpoint(TDebugger::kMaxLine, 1);
  shiftBreakpointsDown(dbg, 1, 1, TDebugger::kMaxLine);
  EXPECT_EQ(dbg.GetBreakpoint(TDebugger::kMaxLine), 0);
}

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  TextEncoding encoding;
  QByteArray text;  // the document's UTF-8 bytes
};

// Bytes that no GB18030 character explains stay in the document raw and are written back raw, so a
// file's bytes round-trip; the raw bytes never join into a UTF-8 character of their own.
TEST(TextFileTest, DecodesUtf8WithAndWithoutBomElseGb18030KeepingUnknownBytes) {
  const DecodeCase cases[] = {
      {"utf8", QByteArray("mov ;\xe4\xb8\xad"), TextEncoding::Utf8, QByteArray("mov ;\xe4\xb8\xad")},
      {"utf8_bom", QByteArray("\xEF\xBB\xBFmov"), TextEncoding::Utf8Bom, QByteArray("mov")},
      {"gbk", QByteArray("mov ;\xd6\xd0"), TextEncoding::Gbk, QByteArray("mov ;\xe4\xb8\xad")},
      {"ascii", QByteArray("int 21h"), TextEncoding::Utf8, QByteArray("int 21h")},
      {"nul", QByteArray("a\0b", 3), TextEncoding::Utf8, QByteArray("a\0b", 3)},
      {"gbk_0x80", QByteArray("\xd6\xd0\x80x"), TextEncoding::Gbk, QByteArray("\xe4\xb8\xad\x80x")},
      {"gbk_0xff", QByteArray("\xff\xd6\xd0"), TextEncoding::Gbk, QByteArray("\xff\xe4\xb8\xad")},
      {"lead_then_ascii", QByteArray("\xd6;\xd6\xd0"), TextEncoding::Gbk, QByteArray("\xd6;\xe4\xb8\xad")},
      {"cut_lead", QByteArray("x\xd6"), TextEncoding::Gbk, QByteArray("x\xd6")},
      {"four_byte_unmapped", QByteArray("\xd6\xd0\x84\x31\xa5\x30"), TextEncoding::Gbk,
       QByteArray("\xe4\xb8\xad\x84\x31\xa5\x30")},
  };
  for (const DecodeCase& c : cases) {
    TextEncoding enc = TextEncoding::Gbk;
    EXPECT_EQ(decodeText(c.bytes, &enc), c.text) << c.name;
    EXPECT_EQ(enc, c.encoding) << c.name;
    EXPECT_EQ(encodeText(c.text, enc), c.bytes) << c.name;
  }
}

TEST(TextFileTest, EveryLineEndEndsALine) {
  EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (QList<QByteArray>{"a", "b", "c", "d"}));
  EXPECT_EQ(splitLines("a\r\n\r\n"), (QList<QByteArray>{"a", ""}));
  EXPECT_EQ(splitLines(QByteArray()), QList<QByteArray>());
}

}  // namespace
}  // namespace krvs::ide

#include "editor/edit_rules.h"

namespace krvs::ide {
namespace {

struct EditCase {
  const char* name;
  EditInputs in;
  bool selectAll, copyCut, cutInMenu, paste, undo, redo, popupDelete;
};

TEST(EditRulesTest, MenuAndPopupEnabling) {
  const EditCase cases[] = {
      // No lines: the whole text is empty, so "select all" has nothing to add.
      {"empty_text", {0, 0, false, false, false, false}, false, false, false, false, false, false, false},
      // Everything selected still leaves select-all on: the whole text ends with a CR LF the selection lacks.
      {"all_but_last_crlf", {9, 11, true, false, true, false}, true, true, true, true, true, false, true},
      {"whole_selected", {11, 11, false, true, false, false}, false, true, true, false, false, true, true},
      {"read_only_selection", {3, 11, false, false, false, true}, true, true, false, false, false, false, true},
  };
  for (const EditCase& c : cases) {
    const EditItems menu = editMenuItems(c.in, true);
    EXPECT_EQ(menu.selectAll, c.selectAll) << c.name;
    EXPECT_EQ(menu.copy, c.copyCut) << c.name;
    EXPECT_EQ(menu.cut, c.cutInMenu) << c.name;
    EXPECT_EQ(menu.paste, c.paste) << c.name;
    EXPECT_EQ(menu.undo, c.undo) << c.name;
    EXPECT_EQ(menu.redo, c.redo) << c.name;
    EXPECT_TRUE(menu.del) << c.name;
    EXPECT_FALSE(editMenuItems(c.in, false).del) << c.name;
    const EditItems popup = popupMenuItems(c.in);
    EXPECT_EQ(popup.cut, c.copyCut) << c.name;  // no read-only rule in the pop-up
    EXPECT_EQ(popup.del, c.popupDelete) << c.name;
  }
}

TEST(EditRulesTest, RecentMenuShowsCountedEntriesEmptyOnesIncluded) {
  const QStringList recent{"/p.asm", "", "/q.asm", "", "", "", "", "", "", ""};
  const RecentMenu menu = recentMenu(recent, 2, "/p.asm");
  ASSERT_EQ(menu.items.size(), 10u);
  EXPECT_EQ(menu.items[0].caption, "0. /p.asm");
  EXPECT_EQ(menu.items[1].caption, "1. ");
  EXPECT_TRUE(menu.items[1].visible);
  for (size_t i = 2; i < 10; ++i) EXPECT_FALSE(menu.items[i].visible) << i;
  EXPECT_TRUE(menu.firstIsDefault);
  EXPECT_FALSE(recentMenu(recent, 2, "/P.asm").firstIsDefault);  // compared with case
  EXPECT_FALSE(recentMenu({}, 0, "NoName.asm").firstIsDefault);
}

}  // namespace
}  // namespace krvs::ide
