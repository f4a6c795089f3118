#include "editor/debug_plugin.h"

#include <QPainter>

#include "debugger/tdebugger.h"
#include "editor/mark_images.h"
#include "editor/tide.h"

namespace krvs::ide {

void shiftBreakpointsDown(TDebugger& dbg, int first, int count, int oldLastLine) {
  if (count <= 0) return;
  for (int line = oldLastLine; line >= first; --line) dbg.SetBreakpoint(line + count, dbg.GetBreakpoint(line));
  for (int line = first; line < first + count; ++line) dbg.SetBreakpoint(line, 0);
}

void shiftBreakpointsUp(TDebugger& dbg, int first, int count, int newLastLine) {
  if (count <= 0) return;
  for (int line = first; line <= newLastLine; ++line) dbg.SetBreakpoint(line, dbg.GetBreakpoint(line + count));
  for (int line = newLastLine + 1; line <= newLastLine + count; ++line) dbg.SetBreakpoint(line, 0);
}

void TDebugSupportPlugin::PaintLineMarks(QPainter& painter, int firstRow, int lastRow) {
  if (m_editor.FView != 0 || m_editor.FMarkImages.isEmpty()) return;
  const int topRow = int(m_editor.SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE));
  const int lineHeight = int(m_editor.SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 0));
  const int lineCount = m_editor.LineCount();
  const TDebugger& dbg = m_editor.Debugger();
  for (int row = firstRow; row <= lastRow; ++row) {
    const int line0 = int(m_editor.SendScintilla(QsciScintilla::SCI_DOCLINEFROMVISIBLE, row));
    if (line0 >= lineCount) break;
    const int mark = dbg.GetLineMark(line0 + 1);
    if (mark < 0 || mark >= m_editor.FMarkImages.size()) continue;
    const int y = (row - topRow) * lineHeight + (lineHeight - kMarkImageSize) / 2;
    painter.drawPixmap(kMarkX, y, m_editor.FMarkImages[mark]);
  }
}

void TDebugSupportPlugin::LinesInsertedAt(int first, int count) {
  shiftBreakpointsDown(m_editor.Debugger(), first, count, m_editor.LineCount() - count);
}

void TDebugSupportPlugin::LinesDeletedAt(int first, int count) {
  shiftBreakpointsUp(m_editor.Debugger(), first, count, m_editor.LineCount());
}

}  // namespace krvs::ide
