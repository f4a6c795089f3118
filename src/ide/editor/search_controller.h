#pragma once
// Find, find next, replace and go to line over the editor's whole text. The main window owns one and
// binds its menu items to it; every message goes through the Prompter.

#include <QObject>
#include <QPointer>
#include <functional>

#include "editor/find_dialogs.h"

namespace krvs::ide {

class Prompter;
class TIDE;

class SearchController : public QObject {
  Q_OBJECT
 public:
  static inline const QString kSearchDone = QStringLiteral("已经完成了对文档的搜索。");
  static inline const QString kAskReplace = QStringLiteral("是否替换此处？");

  SearchController(TIDE& editor, Prompter& prompter, QWidget* dialogParent);

  // Called whenever a search puts the editor back to the source view, so the main window can bring
  // its view buttons and menu marks in line.
  std::function<void()> sourceViewShown = [] {};
  // Called by the menu commands before they open a dialog (the full source-view switch).
  std::function<void()> showSourceView = [] {};

  FindDialog& findDialog() { return *m_find; }
  ReplaceDialog& replaceDialog() { return *m_replace; }
  TForm_GetInfo& gotoDialog() { return *m_goto; }

  void MainMenu_FindClick();
  void MainMenu_ReplaceClick();
  void FindDialogFind();
  void ReplaceDialogFind();
  void ReplaceDialogReplace(bool all);
  void MainMenu_GotoLineClick();
  // Highlights line n (1-based) white on red and locks the editor; out of range highlights nothing.
  void GotoLine(int n);

  bool DoFind(const QString& text, bool down, int flags);
  bool FindForward(const QString& text, int from, int flags);
  bool FindBackward(const QString& text, int from, int flags);
  bool ReplaceOne(bool single);

 private:
  void selectMatch(int index, const QString& text);

  TIDE& m_editor;
  Prompter& m_prompter;
  QPointer<FindDialog> m_find;
  QPointer<ReplaceDialog> m_replace;
  QPointer<TForm_GetInfo> m_goto;
};

}  // namespace krvs::ide
