#pragma once
// TDebugSupportPlugin: paints every line's breakpoint/current-line picture in the gutter of the source
// view and moves breakpoints with their lines when editing inserts or deletes lines.

class QPainter;

namespace krvs::ide {

class TIDE;
class TDebugger;

// Breakpoints of lines first..oldLastLine move down by count; the new lines first..first+count-1
// get none. Lines are 1-based.
void shiftBreakpointsDown(TDebugger& dbg, int first, int count, int oldLastLine);
// Line first+k takes the flag of old line first+count+k up to newLastLine; the count lines after
// newLastLine get none.
void shiftBreakpointsUp(TDebugger& dbg, int first, int count, int newLastLine);

class TDebugSupportPlugin {
 public:
  explicit TDebugSupportPlugin(TIDE& editor) : m_editor(editor) {}

  // x of the pictures inside the gutter.
  static constexpr int kMarkX = 2;

  void PaintLineMarks(QPainter& painter, int firstRow, int lastRow);
  void LinesInsertedAt(int first, int count);
  void LinesDeletedAt(int first, int count);

 private:
  TIDE& m_editor;
};

}  // namespace krvs::ide
