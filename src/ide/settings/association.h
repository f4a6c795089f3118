#pragma once
// The start-up check of the .asm association and the offer to make it.
#include <QImage>

namespace krvs::ide {

// The program's picture (window icon and the desktop entry's Icon=), size pixels square.
QImage korvashIconImage(int size);

class Prompter;
class TSet;

// When `set.IsAsmAssociated()` is false, asks whether .asm files should open with Korvash and on
// Yes associates them; a failed write is reported. Returns true when a question was asked.
// Callable from any thread: the prompter shows its boxes on the GUI thread.
bool offerAsmAssociation(TSet& set, Prompter& prompter);

}  // namespace krvs::ide
