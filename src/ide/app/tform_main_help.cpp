// The Help menu: the manual KRVS.html beside the program, handed to the desktop (at the selected
// message's explanation for F1), and the example programs, opened as copies in the documents folder.
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QUrl>

#include "app/help_menu.h"
#include "app/ide_context.h"
#include "app/tform_main.h"
#include "build/message_help.h"
#include "doc/manual.h"
#include "platform/dosnames.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const char* const kNewVersionAnchor = "updates";
const char* const kBlogAnchor = "author";

}  // namespace

void TForm_Main::openManual(const QString& anchor) {
  auto help = platform::findNoCase(QFile::encodeName(m_set.HelpFile).toStdString());
  if (!help) {
    m_prompter.inform(QStringLiteral("帮助文件KRVS.html丢失，请重新安装Korvash。"));
    return;
  }
  const QString manual = QFile::decodeName(QByteArray::fromStdString(*help));
  QUrl url = manualUrl(manual);
  if (!anchor.isEmpty()) url.setFragment(anchor);
  if (!m_context.openUrl(url)) m_prompter.inform(QStringLiteral("没有找到打开网页的程序。帮助手册在：\r\n") + manual);
}

// With a message of the error list selected, F1 opens the manual at that message's explanation.
void TForm_Main::MainMenu_HelpContextClick() {
  const QList<QListWidgetItem*> selected = ListBox_Error->selectedItems();
  const MessageHelp* help = selected.isEmpty() ? nullptr : FindMessageHelp(selected.first()->text());
  openManual(help ? QString::fromStdString(doc::messageAnchor(help->message)) : QString());
}

void TForm_Main::MainItem_NewVersionClick() { openManual(QString::fromLatin1(kNewVersionAnchor)); }

void TForm_Main::MainItem_BlogClick() { openManual(QString::fromLatin1(kBlogAnchor)); }

void TForm_Main::MainMenu_ExamplesClick() {
  QMenu* submenu = action(QStringLiteral("MainMenu_Examples"))->menu();
  submenu->clear();
  const QList<ExampleProgram> examples = listExamplePrograms(m_set.ProgramDir());
  for (const ExampleProgram& e : examples) {
    QAction* item = submenu->addAction(e.name);
    const QString path = e.path;
    connect(item, &QAction::triggered, this, [this, path] { MainMenu_ExampleOpenClick(path); });
  }
  if (examples.isEmpty()) submenu->addAction(QStringLiteral("（没有找到示例程序）"))->setEnabled(false);
}

void TForm_Main::MainMenu_ExampleOpenClick(const QString& example) {
  if (!CheckSaved()) return;
  const ExampleCopy copy = copyExampleProgram(example, m_context.documentsFolder());
  if (copy.path.isEmpty()) {
    m_prompter.inform(copy.error);
    return;
  }
  OpenDocument(copy.path);
  ShowView(0);
}

}  // namespace krvs::ide
