#include "editor/edit_rules.h"

namespace krvs::ide {

namespace {
constexpr int kRecentItems = 10;

EditItems common(const EditInputs& in) {
  EditItems items;
  items.selectAll = in.selectedLength != in.wholeLength;
  items.copy = in.selectedLength > 0;
  items.cut = in.selectedLength > 0;
  items.undo = in.canUndo;
  items.redo = in.canRedo;
  items.paste = in.clipboardHasText;
  return items;
}
}  // namespace

EditItems editMenuItems(const EditInputs& in, bool currentDelete) {
  EditItems items = common(in);
  if (in.readOnly) items.cut = false;
  items.del = currentDelete;
  return items;
}

EditItems popupMenuItems(const EditInputs& in) {
  EditItems items = common(in);
  items.del = in.selectedLength > 0;
  return items;
}

RecentMenu recentMenu(const QStringList& recentFiles, int count, const QString& sourceFile) {
  RecentMenu menu;
  menu.items.resize(kRecentItems);
  for (int i = 0; i < kRecentItems && i < count; ++i) {
    menu.items[size_t(i)].caption = QStringLiteral("%1. ").arg(i) + recentFiles.value(i);
    menu.items[size_t(i)].visible = true;
  }
  menu.firstIsDefault = !recentFiles.isEmpty() && sourceFile == recentFiles.first();
  return menu;
}

}  // namespace krvs::ide
