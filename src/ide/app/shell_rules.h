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

// Deletes the by-products of the document `source` (an absolute path): every file named like it with
// ".Lst", ".Map", ".Obj", ".Xrf" or ".Tr", letter case ignored, except the file `keep`, which is
// never deleted whatever its extension (the document itself, or the one being opened). Failures are
// ignored. A relative or empty source deletes nothing.
void deleteByProducts(const QString& source, const QString& keep);

// Whether the desktop names a program that opens HTML pages. Opening a page starts the desktop's
// launcher, which reports success even when no program is set up for the page; on a freedesktop
// system the answer comes from $BROWSER or from xdg-mime, elsewhere it is taken as yes.
bool htmlHandlerKnown();

// The status panel text of a caret position (0-based column and line).
QString caretPanelText(int column0, int line0);

}  // namespace krvs::ide
