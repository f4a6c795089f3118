#pragma once
// What the Edit menu, the editor's pop-up menu and the recent-files submenu show, decided from plain
// inputs so the rules can be checked without widgets.

#include <QString>
#include <QStringList>
#include <vector>

namespace krvs::ide {

struct EditInputs {
  long long selectedLength = 0;  // bytes of the selected text
  long long wholeLength = 0;     // bytes of the whole text, every line followed by CR LF
  bool canUndo = false;
  bool canRedo = false;
  bool clipboardHasText = false;
  bool readOnly = false;
};

struct EditItems {
  bool selectAll = false;
  bool copy = false;
  bool cut = false;
  bool paste = false;
  bool undo = false;
  bool redo = false;
  bool del = true;  // the menu never changes it; the pop-up follows the selection
};

// Opening the Edit menu: Cut is also disabled in a read-only editor; Delete keeps its state.
EditItems editMenuItems(const EditInputs& in, bool currentDelete);
// Opening the pop-up menu: no read-only rule, Delete follows the selection.
EditItems popupMenuItems(const EditInputs& in);

struct RecentItem {
  QString caption;
  bool visible = false;
};

struct RecentMenu {
  std::vector<RecentItem> items;  // always ten
  bool firstIsDefault = false;
};

// Item i of the first count entries reads "i. " + entry i; the rest are hidden. Item 0 is the default
// when the document is exactly entry 0.
RecentMenu recentMenu(const QStringList& recentFiles, int count, const QString& sourceFile);

}  // namespace krvs::ide
