#pragma once
// Decisions of the main window that need no widget: the tool check and the geometry kept at exit.
#include <QRect>
#include <QString>
#include <Qt>

namespace krvs::ide {

class TSet;

// The text of the one combined message about missing files, empty when nothing is missing. The
// help file is looked for in the program's home, the tools in BinDir, names ignoring case.
QString toolCheckText(const QString& programDir, const QString& binDir);

// The message's fixed head, followed by the detail lines.
QString toolCheckMessage(const QString& detail);

struct WindowPlacement {
  Qt::WindowStates state;
  QRect normalGeometry;  // position and size in the normal state
  int errorBarHeight;
  int navigatorWidth;
};

// Stores what the next start restores: everything when the window was normal, the pane sizes and
// the flag when it was maximised (the normal place stays as loaded), nothing when minimised.
void storeWindowPlacement(TSet& set, const WindowPlacement& placement);

// The status panel text of a caret position (0-based column and line).
QString caretPanelText(int column0, int line0);

}  // namespace krvs::ide
