// The main window's build and run commands and the error list: the handlers wire the build driver
// TRun to the editor, the list and the prompter.
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QStatusBar>
#include <Qsci/qscicommandset.h>

#include "app/tform_main.h"
#include "build/build_output.h"
#include "build/message_help.h"
#include "build/trun.h"
#include "editor/tide.h"
#include "platform/dosnames.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

using namespace std::chrono_literals;

const QColor kErrorMarkBack(255, 0, 0);
const QColor kErrorMarkText(255, 255, 255);
const QString kCannotStartTool = QStringLiteral("无法启动编译器，请重装Korvash。如仍然不能解决问题，请与作者联系。");
const QString kNoProgram = QStringLiteral("可执行文件不存在，请先链接生成可执行文件。");
const QString kErrorFileMissing = QStringLiteral("错误文件不存在，无法显示错误。");

QString withExtension(const QString& path, const char* extension) {
  return QFile::decodeName(platform::replaceExtension(QFile::encodeName(path).toStdString(), extension).c_str());
}

// The message for a build step that did not get to a verdict.
QString buildProblemText(int result, const QString& problem) {
  switch (result) {
    case kBuildNoTool: return problem.isEmpty() ? kCannotStartTool : kCannotStartTool + "\r\n" + problem;
    case kBuildTimedOut: return problem + QStringLiteral("\r\n请检查程序后重试；命令解释器已重新启动。");
    default: return problem;
  }
}

}  // namespace

void TForm_Main::createBuildDriver() {
  TRun::Options options;
  // The window waits while a tool runs; a tool that never comes back is ended after this.
  options.stepTimeLimit = 15s;
  m_run = std::make_unique<TRun>(m_set, options);
  connect(ListBox_Error, &QListWidget::itemClicked, this, [this] { ListBox_ErrorClick(); });
  connect(ListBox_Error, &QListWidget::itemDoubleClicked, this, [this] { ListBox_ErrorClick(); });
  connect(ListBox_Error, &QListWidget::currentRowChanged, this, [this](int row) {
    QString help = row >= 0 ? ExplainMessage(ListBox_Error->item(row)->text()) : QString();
    if (help.isEmpty()) {
      statusBar()->clearMessage();
    } else {
      statusBar()->showMessage(help);
    }
  });
}

void TForm_Main::freeMenuKeysFromEditor() {
  // The editing widget binds Ctrl+D to duplicating a line; here it is the menu's "TD调试...".
  if (QsciCommand* duplicate = Editor->standardCommands()->boundTo((Qt::CTRL | Qt::Key_D).toCombined())) duplicate->setKey(0);
}

void TForm_Main::MainMenu_CompileClick() {
  if (!CheckDebugging()) return;
  ListBox_Error->addItem(QStringLiteral("正在编译，请稍候……"));
  ListBox_Error->repaint();
  bool saved = SaveDocument();
  bool checked = CheckSaved();
  if (!saved || !checked) {
    ListBox_Error->clear();
    return;
  }
  QString name = m_set.SourceFile;
  int result = m_run->Compile(name);
  // A failed compile leaves no object (the assembler deletes it), so nothing is up to date.
  Editor->FCompiled = result == kBuildOk;
  Editor->FLinked = false;
  if (result >= kBuildNoTool) {
    ListBox_Error->clear();
    m_prompter.inform(buildProblemText(result, m_run->lastProblem()));
    return;
  }
  LoadErrorList();
}

void TForm_Main::MainMenu_MakeClick() {
  if (!CheckDebugging()) return;
  if (!Editor->IsObjectCurrent() &&
      m_prompter.askYesNo(QStringLiteral("汇编语言源代码已经改变，是否放弃？\r\n　　点击“是”放弃生成，请重新编译然后再生成；\r\n"
                                         "　　点击“否”继续生成，但是生成的可执行文件与现有的代\r\n码可能不符合。")) == Answer::Yes) {
    return;
  }
  ListBox_Error->clear();
  ListBox_Error->addItem(QStringLiteral("正在链接，请稍候……"));
  ListBox_Error->repaint();
  QString name = withExtension(m_set.SourceFile, ".Obj");
  int result = m_run->LinkObject(name);
  if (result == kBuildNoInput) {
    ListBox_Error->clear();
    m_prompter.inform(QStringLiteral("目标文件不存在，请先编译生成目标文件。"));
    return;
  }
  if (result >= kBuildNoTool) {
    ListBox_Error->clear();
    m_prompter.inform(buildProblemText(result, m_run->lastProblem()));
    return;
  }
  Editor->FLinked = result == kBuildOk;
  LoadErrorList();
}

void TForm_Main::MainMenu_RunProClick() {
  if (!CheckDebugging()) return;
  if (!Editor->IsProgramCurrent() &&
      m_prompter.askYesNo(QStringLiteral("汇编语言源代码已经改变，是否放弃？\r\n　　点击“是”放弃执行，请重新生成然后再执行；\r\n"
                                         "　　点击“否”继续执行，但是执行的结果与现有的程序\r\n可能不符合。")) == Answer::Yes) {
    return;
  }
  int result = m_run->RunProgram(TRun::ProgramOf(m_set.SourceFile));
  if (result == kStartFailed) {
    QString problem = m_run->lastProblem();
    m_prompter.inform(QStringLiteral("由于未知原因，不能运行程序。请重试，如仍然不能解决问题，请与作者联系。") +
                      (problem.isEmpty() ? QString() : "\r\n" + problem));
  } else if (result == kStartNoProgram) {
    m_prompter.inform(kNoProgram);
  } else {
    LoadErrorList();
  }
}

void TForm_Main::TSpinEdit() {
  if (!Editor->IsProgramCurrent() &&
      m_prompter.askYesNo(QStringLiteral("汇编语言源代码已经改变，是否放弃？\r\n　　点击“是”（推荐！）放弃调试，请重新生成然后再\r\n调试；\r\n"
                                         "　　点击“否”继续调试（不推荐！），但是调试的情况\r\n与现有的代码可能不符合。")) == Answer::Yes) {
    return;
  }
  int result = m_run->StartExternalDebugger(TRun::ProgramOf(m_set.SourceFile));
  if (result == kStartFailed) {
    m_prompter.inform(buildProblemText(kBuildNoTool, m_run->lastProblem()));
  } else if (result == kStartNoProgram) {
    m_prompter.inform(kNoProgram);
  } else {
    LoadErrorList();
  }
}

bool TForm_Main::markErrorLine(int line) {
  MainMenu_ASMClick();
  Editor->HighlightLine(line, kErrorMarkBack, kErrorMarkText);
  // A line beyond the text gets no mark, and then no lock either: a locked editor with nothing
  // marked would refuse edits without showing why.
  return line >= 1 && line <= Editor->LineCount();
}

void TForm_Main::LoadErrorList() {
  ListBox_Error->clear();
  QFile file(m_set.ErrorFile);
  if (!file.open(QIODevice::ReadOnly)) {
    ListBox_Error->addItem(kErrorFileMissing);
    return;
  }
  QString all = QString::fromUtf8(file.readAll());
  QStringList lines = all.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (const QString& line : lines) {
    auto* item = new QListWidgetItem(line, ListBox_Error);
    QString help = ExplainMessage(line);
    if (!help.isEmpty()) item->setToolTip(help);
  }
  for (int i = 0; i < lines.size(); ++i) {
    int n = ErrorLineNumber(lines[i]);
    if (n < 0) continue;
    ListBox_Error->setCurrentRow(i);
    if (markErrorLine(n)) Editor->BeginLock();
    Editor->setFocus();
    break;
  }
}

void TForm_Main::ListBox_ErrorClick() {
  QListWidgetItem* item = ListBox_Error->currentItem();
  int n = item ? ErrorLineNumber(item->text()) : -1;
  if (n >= 0) {
    bool marked = markErrorLine(n);
    int column = 0, line = 0;
    Editor->GetCaretPos0(&column, &line);
    setStatusText(0, QStringLiteral("第%1行\t第%2列").arg(line + 1).arg(column + 1));
    if (marked) Editor->BeginLock();
  }
  Editor->setFocus();
}

}  // namespace krvs::ide
