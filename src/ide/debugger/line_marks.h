#pragma once
// Session states and gutter mark codes shared by the debugger and the editor's gutter.

#include <cstdint>

namespace krvs::ide {

enum TDebugState : std::uint8_t { dsIdle, dsReady, dsStep, dsDump, dsGo, dsQuit };

enum TLineMark : int {
  lmNone = 0,
  lmBreak = 1,
  lmCurrent = 2,
  lmBreakNoCode = 3,
  lmBreakCode = 4,
  lmCurrentBreak = 5,
};

// The mark of one line from what the session knows about it. Kept free of the debugger object so the
// gutter's rule can be checked on its own.
TLineMark lineMarkFor(TDebugState state, bool isCurrent, int flag, bool hasAddress);

}  // namespace krvs::ide
