#include "debugger/tdebugger.h"

namespace krvs::ide {

int TDebugger::GetLineMark(int line) const {
  if (!inRange(line)) return lmNone;
  return lineMarkFor(m_state, line == m_currentLine, m_breakpoints[line], !m_lineTable[line].empty());
}

void TDebugger::SetBreakpoint(int line, int value) {
  if (!inRange(line) || value < 0 || value > kMaxBreakValue) return;
  m_breakpoints[line] = value;
}

void TDebugger::ClearBreakpoints() { m_breakpoints.fill(0); }

int TDebugger::GetBreakpoint(int line) const { return inRange(line) ? m_breakpoints[line] : 0; }

TDebugger& GetDebugger() {
  static TDebugger instance;
  return instance;
}

}  // namespace krvs::ide
