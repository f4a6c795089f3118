// The File-menu commands, the edit commands with their enabling rules, formatting, search and
// go-to-line, and the breakpoint toggle of the caret's line.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QToolButton>

#include "app/tform_main.h"
#include "editor/edit_rules.h"
#include "editor/navigation_tree.h"
#include "editor/search_controller.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const QString kFilter = QStringLiteral("汇编文件 (*.asm);;所有文件 (*)");

bool clipboardHasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText();
}

}  // namespace

QString TForm_Main::askOpenFile(const QString& preset) {
  if (chooseOpenFile) return chooseOpenFile(preset);
  return QFileDialog::getOpenFileName(this, QString(), preset, kFilter, nullptr, QFileDialog::ReadOnly);
}

QString TForm_Main::askSaveFile(const QString& preset) {
  if (chooseSaveFile) return chooseSaveFile(preset);
  QString chosen = QFileDialog::getSaveFileName(this, QString(), preset, kFilter);
  if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty()) chosen += QStringLiteral(".asm");
  return chosen;
}

void TForm_Main::MainMenu_NewClick() {
  if (!CheckSaved()) return;
  NewDocument(QStringLiteral("NoName.asm"));
  ShowView(0);
}

void TForm_Main::MainMenu_OpenClick() {
  if (!CheckSaved()) return;
  const QString chosen = askOpenFile(m_set.SourceFile);
  if (chosen.isEmpty() || !QFileInfo(chosen).isFile()) return;
  OpenDocument(chosen);
  ShowView(0);
}

void TForm_Main::MainMenu_SaveClick() {
  SaveDocument();
  ShowView(0);
}

void TForm_Main::MainMenu_SaveAsClick() {
  const QString chosen = askSaveFile(m_set.SourceFile);
  if (chosen.isEmpty()) return;
  WriteDocument(chosen);
  ShowView(0);
}

EditInputs TForm_Main::editInputs() const {
  EditInputs in;
  in.selectedLength = Editor->SelText().toUtf8().size();
  in.wholeLength = Editor->WholeTextBytes().size();
  in.canUndo = Editor->CanUndo();
  in.canRedo = Editor->CanRedo();
  in.clipboardHasText = clipboardHasText();
  in.readOnly = Editor->isReadOnly();
  return in;
}

void TForm_Main::MainMenu_EditClick() {
  const EditItems items = editMenuItems(editInputs(), action(QStringLiteral("MainMenu_Del"))->isEnabled());
  const std::pair<const char*, bool> states[] = {
      {"MainMenu_SelectAll", items.selectAll}, {"MainMenu_Copy", items.copy},   {"MainMenu_Cut", items.cut},
      {"MainMenu_Undo", items.undo},           {"MainMenu_Redo", items.redo},   {"MainMenu_Paster", items.paste},
      {"MainMenu_Del", items.del}};
  for (auto [name, on] : states) action(QString::fromLatin1(name))->setEnabled(on);
}

void TForm_Main::PopupMenuPopup() {
  const EditItems items = popupMenuItems(editInputs());
  const std::pair<const char*, bool> states[] = {
      {"Popup_SelectAll", items.selectAll}, {"Popup_Copy", items.copy}, {"Popup_Cut", items.cut},
      {"Popup_Del", items.del},             {"Popup_Undo", items.undo}, {"Popup_Paster", items.paste}};
  for (auto [name, on] : states) action(QString::fromLatin1(name))->setEnabled(on);
}

void TForm_Main::MainMenu_SelectAllClick() {
  ShowView(0);
  Editor->selectAll(true);
}

void TForm_Main::MainMenu_CopyClick() {
  ShowView(0);
  Editor->copy();
}

void TForm_Main::MainMenu_CutClick() {
  ShowView(0);
  Editor->cut();
}

void TForm_Main::MainMenu_PasterClick() {
  ShowView(0);
  Editor->paste();
}

void TForm_Main::MainMenu_DelClick() {
  ShowView(0);
  Editor->DeleteForward();
}

void TForm_Main::MainMenu_UndoClick() {
  ShowView(0);
  if (Editor->CanUndo()) Editor->undo();
}

void TForm_Main::MainMenu_RedoClick() {
  if (Editor->CanRedo()) Editor->redo();
}

void TForm_Main::MainMenu_FormatClick() {
  ShowView(0);
  Editor->FormatAll();
  TreeView->NavigationStale = true;
}

void TForm_Main::MainMenu_FindClick() { m_search->MainMenu_FindClick(); }
void TForm_Main::MainMenu_ReplaceClick() { m_search->MainMenu_ReplaceClick(); }
void TForm_Main::FindDialogFind() { m_search->FindDialogFind(); }
void TForm_Main::MainMenu_GotoLineClick() { m_search->MainMenu_GotoLineClick(); }

void TForm_Main::MainMenu_BreakClick() { Editor->ToggleBreakpoint(Editor->CaretY()); }

void TForm_Main::createSearch() {
  m_search = new SearchController(*Editor, m_prompter, this);
  m_search->showSourceView = [this] { ShowView(0); };
  m_search->sourceViewShown = [this] {
    m_view = 0;
    SpeedButton_ASM->setChecked(true);
    action(QStringLiteral("MainMenu_ASM"))->setChecked(true);
  };
  connect(PopupMenu, &QMenu::aboutToShow, this, &TForm_Main::PopupMenuPopup);
  connect(Editor, &TIDE::ModifiedChanged, this, [this] { setCaption(m_set.SourceFile); });
  // The edit keys act on the editor only; elsewhere (the debug input box, the grids) Delete, Ctrl+A and
  // the rest keep their own meaning.
  for (const char* name : {"MainMenu_SelectAll", "MainMenu_Copy", "MainMenu_Cut", "MainMenu_Paster", "MainMenu_Del",
                           "MainMenu_Undo", "MainMenu_Redo"}) {
    QAction* a = action(QString::fromLatin1(name));
    a->setShortcutContext(Qt::WidgetShortcut);
    Editor->addAction(a);
  }
  // The encoding sits in its own box to the right of the three fixed panels.
  auto* box = new QWidget(this);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(4, 0, 4, 0);
  m_encodingPanel = new QLabel(box);
  m_encodingPanel->setObjectName(QStringLiteral("StatusBar_Encoding"));
  layout->addWidget(m_encodingPanel);
  statusBar()->addPermanentWidget(box);
  updateEncodingPanel();
}

void TForm_Main::updateEncodingPanel() {
  if (m_encodingPanel) m_encodingPanel->setText(encodingName(Editor->Encoding()));
}

}  // namespace krvs::ide
