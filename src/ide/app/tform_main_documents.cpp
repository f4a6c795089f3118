// The document operations the shell needs at start and at close.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/ide_context.h"
#include "app/shell_rules.h"
#include "app/tform_main.h"
#include "debugger/tdebugger.h"
#include "editor/navigation_tree.h"
#include "editor/tide.h"
#include "platform/dosnames.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const QString kReload = QStringLiteral("重新载入");
const QString kOverwrite = QStringLiteral("覆盖");
const QString kCancel = QStringLiteral("取消");

// Before the document's own file is replaced: when another program changed it since it was loaded
// or saved, the user chooses. True when the save may go on; a reload puts the disk's text in the
// editor and the save does not happen.
bool confirmOverwriteOnDisk(TIDE& editor, Prompter& prompter, const QString& path) {
  if (!editor.FileChangedOnDisk(path)) return true;
  const QString text =
      QStringLiteral("文件%1已被其他程序修改。\r\n重新载入：放弃这里的修改，读入磁盘上的文件；\r\n覆盖：用这里的内容替换磁盘上的文件。")
          .arg(path);
  switch (prompter.askChoice(text, {kReload, kOverwrite, kCancel})) {
    case 0: {
      QString error;
      if (!editor.LoadFromFile(path, &error)) prompter.inform(error);
      return false;
    }
    case 1:
      return true;
    default:
      return false;
  }
}

// A file whose bytes would not come back unchanged is saved only when the user agrees, once.
bool confirmByteChanges(TIDE& editor, Prompter& prompter, const QString& path) {
  if (editor.SavesBytesExactly()) return true;
  const QString text = QStringLiteral("文件%1中有些字节无法按原编码保存，保存后这些字节会改变。是否仍然保存？").arg(path);
  if (prompter.askYesNo(text) != Answer::Yes) return false;
  editor.AcceptByteChanges();
  return true;
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

bool TForm_Main::OpenDocument(const QString& given) {
  // A name from the command line may be relative; the document is always named by its full path.
  const QString path = QFileInfo(given).absoluteFilePath();
  // Only a document that came from a file or went to one is left behind with by-products; at start
  // the editor holds none, whatever name the command line gave.
  const QString old = Editor->FHasFile ? m_set.SourceFile : QString();
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
  deleteByProducts(old, path);
  return true;
}

bool TForm_Main::WriteDocument(const QString& path) {
  if (!confirmOverwriteOnDisk(*Editor, m_prompter, path) || !confirmByteChanges(*Editor, m_prompter, path)) {
    updateEncodingPanel();
    return false;
  }
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
  if (m_context.debugger().GetState() == dsIdle) return true;
  Answer a = m_prompter.askYesNoCancel(QStringLiteral("程序") + m_set.SourceFile + QStringLiteral("正在调试，是否退出调试？"));
  if (a != Answer::Yes) return false;
  MainMenu_AbortClick();
  return true;
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
