// The document operations the shell needs at start and at close.
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/prompter.h"
#include "app/tform_main.h"
#include "debugger/tdebugger.h"
#include "editor/navigation_tree.h"
#include "editor/tide.h"
#include "platform/dosnames.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const char* const kByProducts[] = {".Lst", ".Map", ".Obj", ".Xrf", ".Tr"};

void deleteByProducts(const QString& source) {
  if (source.isEmpty()) return;
  for (const char* ext : kByProducts) {
    platform::removeNoCase(platform::replaceExtension(source.toStdString(), ext));
  }
}

}  // namespace

void TForm_Main::ShowView(int kind) {
  Editor->SetView(kind);
  struct View {
    QToolButton* button;
    const char* item;
  };
  const View views[] = {{SpeedButton_ASM, "MainMenu_ASM"}, {SpeedButton_LST, "MainMenu_LST"},
                        {SpeedButton_MAP, "MainMenu_MAP"}};
  if (kind < 0 || kind > 2) return;
  m_view = kind;
  views[kind].button->setChecked(true);
  action(QString::fromLatin1(views[kind].item))->setChecked(true);
}

void TForm_Main::MainMenu_ASMClick() {
  if (action(QStringLiteral("MainMenu_Navi"))->isChecked()) setLeftPaneShown(true);
  ShowView(0);
}

void TForm_Main::MainMenu_MAPClick() {
  setLeftPaneShown(false);
  ShowView(2);
}

void TForm_Main::MainMenu_LSTClick() {
  setLeftPaneShown(false);
  ShowView(1);
}

void TForm_Main::adoptDocument(const QString& path) {
  setCaption(path);
  updateEncodingPanel();
  m_set.SourceFile = path;
}

void TForm_Main::NewDocument(const QString& name) {
  ShowView(0);
  Editor->NewFile();
  adoptDocument(name);
  ListBox_Error->clear();
  TreeView->NavigationStale = true;
  TreeView->clearNames();
}

bool TForm_Main::OpenDocument(const QString& path) {
  QString old = m_set.SourceFile;
  ShowView(0);
  TreeView->NavigationStale = true;
  TreeView->collapseAll();
  QString error;
  if (!Editor->LoadFromFile(path, &error)) {
    m_prompter.inform(error);
    return false;
  }
  adoptDocument(path);
  m_set.AddRecent(path);
  ListBox_Error->clear();
  MemoDebugOutput->clear();
  if (QFileInfo(old).isAbsolute()) deleteByProducts(old);
  return true;
}

bool TForm_Main::WriteDocument(const QString& path) {
  QString error;
  if (!Editor->SaveToFile(path, &error)) {
    m_prompter.inform(error);
    return false;
  }
  adoptDocument(path);
  m_set.AddRecent(path);
  return true;
}

bool TForm_Main::SaveDocument() {
  if (Editor->FHasFile) return WriteDocument(m_set.SourceFile);
  const QString chosen = askSaveFile(m_set.SourceFile);
  if (chosen.isEmpty()) return false;
  return WriteDocument(chosen);
}

bool TForm_Main::CheckDebugging() {
  if (GetDebugger().GetState() == dsIdle) return true;
  Answer a = m_prompter.askYesNoCancel(QStringLiteral("程序") + m_set.SourceFile + QStringLiteral("正在调试，是否退出调试？"));
  // Stopping a session comes with the integrated debugger; until then a session cannot run.
  return a == Answer::Yes;
}

bool TForm_Main::CheckSaved() {
  bool first = true;
  if (Editor->Modified()) {
    switch (m_prompter.askYesNoCancel(QStringLiteral("文件") + m_set.SourceFile + QStringLiteral("还没有保存，是否保存？"))) {
      case Answer::Yes: first = SaveDocument(); break;
      case Answer::No: first = true; break;
      default: first = false; break;
    }
  }
  bool second = CheckDebugging();
  return first && second;
}

}  // namespace krvs::ide
