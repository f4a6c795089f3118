#include "debugger/line_marks.h"

namespace krvs::ide {

TLineMark lineMarkFor(TDebugState state, bool isCurrent, int flag, bool hasAddress) {
  // While idle or running freely only the flags are shown: the current line moves too fast to be useful.
  if (state == dsIdle || state == dsGo) return flag == 1 ? lmBreak : lmNone;
  if (isCurrent) return flag == 1 ? lmCurrentBreak : lmCurrent;
  if (flag == 1) return hasAddress ? lmBreakCode : lmBreakNoCode;
  return lmNone;
}

}  // namespace krvs::ide
