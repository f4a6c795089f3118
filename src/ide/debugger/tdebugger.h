#pragma once
// The process-wide debugger object. This part holds the breakpoint flags and the line marks the editor's
// gutter draws; the session itself (runner, protocol, stepping) builds on these fields.

#include <array>
#include <string>

#include "debugger/line_marks.h"

namespace krvs::ide {

class TDebugger {
 public:
  static constexpr int kMaxLine = 32768;
  static constexpr int kMaxBreakValue = 1;

  TDebugger() = default;
  TDebugger(const TDebugger&) = delete;
  TDebugger& operator=(const TDebugger&) = delete;

  TDebugState GetState() const { return m_state; }
  int GetCurrentLine() const { return m_currentLine; }

  // Mark code of a source line (0 for a line outside 0..32768).
  int GetLineMark(int line) const;
  // Changes nothing unless 0 <= line <= 32768 and value is 0 or 1.
  void SetBreakpoint(int line, int value);
  void ClearBreakpoints();
  // The raw flag, as the gutter moves it with inserted and deleted lines.
  int GetBreakpoint(int line) const;

 protected:
  static bool inRange(int line) { return line >= 0 && line <= kMaxLine; }

  TDebugState m_state = dsIdle;
  int m_currentLine = -1;
  std::array<int, kMaxLine + 1> m_breakpoints{};
  // Address text of every source line from the map's line table; empty when the line has no code.
  std::array<std::string, kMaxLine + 1> m_lineTable{};
};

// The single instance, created on first use.
TDebugger& GetDebugger();

}  // namespace krvs::ide
