#include "editor/search_controller.h"

#include "editor/find_dialogs.h"
#include "editor/text_search.h"
#include "editor/tide.h"
#include "prompt/prompter.h"

namespace krvs::ide {

namespace {
const QColor kMarkBack(255, 0, 0);
const QColor kMarkText(255, 255, 255);

QByteArray upperAscii(QByteArray s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}
}  // namespace

SearchController::SearchController(TIDE& editor, Prompter& prompter, QWidget* dialogParent)
    : QObject(dialogParent), m_editor(editor), m_prompter(prompter) {
  m_find = new FindDialog(dialogParent);
  m_replace = new ReplaceDialog(dialogParent);
  m_goto = new TForm_GetInfo(dialogParent);
  connect(m_find, &FindDialog::find, this, &SearchController::FindDialogFind);
  connect(m_replace, &ReplaceDialog::find, this, &SearchController::ReplaceDialogFind);
  connect(m_replace, &ReplaceDialog::replace, this, &SearchController::ReplaceDialogReplace);
}

void SearchController::MainMenu_FindClick() {
  showSourceView();
  if (!m_find) {
    m_prompter.inform(QStringLiteral("查找对话框创建失败！"));
    return;
  }
  m_find->setFindText(m_editor.SelText());
  m_find->show();
  m_find->raise();
}

void SearchController::MainMenu_ReplaceClick() {
  showSourceView();
  if (!m_replace) {
    m_prompter.inform(QStringLiteral("替换对话框创建失败！"));
    return;
  }
  m_replace->setFindText(m_editor.SelText());
  m_replace->show();
  m_replace->raise();
}

void SearchController::FindDialogFind() {
  m_editor.SetView(0);
  sourceViewShown();
  const QString text = m_find->findText();
  // The match already selected is stepped over so that F3 moves on to the next one.
  if (upperAscii(m_editor.SelText().toUtf8()) == upperAscii(text.toUtf8())) {
    const int start = m_editor.GetSelStart();
    m_editor.SetSelStart(m_find->down() ? start + 1 : std::max(0, start - 1));
  }
  DoFind(text, m_find->down(), m_find->flags());
}

bool SearchController::DoFind(const QString& text, bool down, int flags) {
  const int from = m_editor.GetSelStart();
  return down ? FindForward(text, from, flags) : FindBackward(text, from, flags);
}

void SearchController::selectMatch(int index, const QString& text) {
  m_editor.SetSelStart(index);
  m_editor.SetSelLength(int(text.toUtf8().size()));
}

bool SearchController::FindForward(const QString& text, int from, int flags) {
  const int found = findForwardIn(m_editor.WholeTextBytes(), text.toUtf8(), from, flags);
  if (found < 0) {
    m_prompter.inform(kSearchDone);
    return false;
  }
  selectMatch(found, text);
  return true;
}

bool SearchController::FindBackward(const QString& text, int from, int flags) {
  const int found = findBackwardIn(m_editor.WholeTextBytes(), text.toUtf8(), from, flags);
  if (found < 0) {
    m_prompter.inform(kSearchDone);
    return false;
  }
  selectMatch(found, text);
  return true;
}

void SearchController::ReplaceDialogFind() {
  FindForward(m_replace->findText(), m_editor.GetSelStart(), m_replace->flags());
}

bool SearchController::ReplaceOne(bool single) {
  const QString text = m_replace->findText();
  const QString replacement = m_replace->replaceText();
  if (!FindForward(text, m_editor.GetSelStart(), m_replace->flags())) return false;
  const int start = m_editor.GetSelStart();
  switch (m_prompter.askYesNoCancel(kAskReplace)) {
    case Answer::Yes:
      if (m_editor.isReadOnly()) return false;
      m_editor.ReplaceSelection(replacement);
      // Go on after the inserted text, so a replacement that contains the search text is not found again.
      m_editor.SetSelStart(start + int(replacement.toUtf8().size()));
      return true;
    case Answer::No:
      if (single) m_replace->close();
      m_editor.SetSelStart(start + 1);
      return true;
    default:
      m_replace->close();
      return false;
  }
}

void SearchController::ReplaceDialogReplace(bool all) {
  // Replacing only makes sense in the source, never in a listing or map shown meanwhile.
  m_editor.SetView(0);
  sourceViewShown();
  if (!all) {
    ReplaceOne(true);
    return;
  }
  m_editor.SetSelStart(0);
  while (ReplaceOne(false)) {
  }
}

void SearchController::MainMenu_GotoLineClick() { GotoLine(m_goto->ask()); }

void SearchController::GotoLine(int n) {
  if (n < 1 || n > m_editor.LineCount()) return;
  m_editor.HighlightLine(n, kMarkBack, kMarkText);
  m_editor.CentreLine(n);
  m_editor.BeginLock();
}

}  // namespace krvs::ide
