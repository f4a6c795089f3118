// The Help menu: F1 and its items hand the manual beside the program to the desktop through the
// context's opener, and "示例程序" opens copies of the program's example programs in the documents
// folder, never the examples themselves.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/help_menu.h"
#include "app/ide_context.h"
#include "app/tform_main.h"
#include "build/message_help.h"
#include "doc/manual.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

const QByteArray kHello = "; hello\r\ncodes segment\r\nassume cs:codes\r\nstart: mov ax,4c00h\r\nint 21h\r\ncodes ends\r\nend start\r\n";

QStringList captions(const QMenu* menu) {
  QStringList result;
  for (const QAction* a : menu->actions()) result << a->text() + (a->isEnabled() ? "" : " (disabled)");
  return result;
}

}  // namespace

class HelpMenuTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_form;
  ScriptedPrompter m_prompter;
  QList<QUrl> m_opened;
  bool m_openerTakes = true;

  QString home() const { return m_dir->path() + "/home"; }
  QString documents() const { return m_dir->path() + QStringLiteral("/我的 文档"); }
  QString copies() const { return documents() + "/Korvash"; }
  QString examples() const { return home() + "/Examples"; }

  TForm_Main& start() {
    m_context = std::make_unique<IdeContext>(home() + "/korvash", QSize(1024, 768), m_prompter);
    m_context->openUrl = [this](const QUrl& url) {
      m_opened << url;
      return m_openerTakes;
    };
    m_context->documentsFolder = [this] { return documents(); };
    m_form = std::make_unique<TForm_Main>(*m_context, home() + "/korvash", QStringList{});
    m_form->chooseSaveFile = [](const QString&) { return QString(); };
    m_form->chooseOpenFile = [](const QString&) { return QString(); };
    m_prompter.clear();
    return *m_form;
  }
  QMenu* examplesMenu() {
    QAction* item = m_form->action(QStringLiteral("MainMenu_Examples"));
    if (!item || !item->menu()) return nullptr;
    emit item->menu()->aboutToShow();
    return item->menu();
  }
  void chooseExample(const QString& caption) {
    QMenu* menu = examplesMenu();
    QVERIFY(menu);
    for (QAction* a : menu->actions()) {
      if (a->text() == caption) return a->trigger();
    }
    QFAIL(qPrintable("no example item " + caption));
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_opened.clear();
    m_openerTakes = true;
    write(home() + "/KRVS.Ini", QStringLiteral("[编辑环境]\n用Korvash打开=0\n").toUtf8());
    write(home() + "/KRVS.html", "<html>");
    write(examples() + "/HELLO.ASM", kHello);
    write(examples() + "/loops.asm", "; loops\r\n");
    write(examples() + "/HELLO.OUT", "Hello\r\n");  // expected output beside the example: not listed
    QDir().mkpath(examples() + "/SUB.ASM");            // a folder, whatever its name: not listed
  }
  void cleanup() {
    m_prompter.clear();
    m_prompter.queue(Answer::No);  // closing may ask about unsaved text
    m_form.reset();
    m_context.reset();
  }

  void f1WithNoMessageSelectedHandsTheManualBesideTheProgramToTheDesktop() {
    TForm_Main& f = start();
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(f.action("MainMenu_HelpContext")->shortcut(), QKeySequence(Qt::Key_F1));
    QTest::keyClick(f.Editor, Qt::Key_F1);
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(home() + "/KRVS.html")});
    QVERIFY(m_prompter.prompts().isEmpty());
  }

  // A message selected in the error list takes F1 to its explanation; a line the table does not know
  // takes it to the manual's start.
  void f1WithAMessageSelectedOpensItsExplanation() {
    int count = 0;
    const MessageHelp* entry = MessageHelpTable(&count);
    QVERIFY(count > 0);
    TForm_Main& f = start();
    f.ListBox_Error->addItem(QStringLiteral("编译成功！"));
    f.ListBox_Error->addItem(QString::fromUtf8(entry->message));
    f.ListBox_Error->setCurrentRow(1);
    f.action("MainMenu_HelpContext")->trigger();
    f.ListBox_Error->setCurrentRow(0);
    f.action("MainMenu_HelpContext")->trigger();
    QCOMPARE(m_opened.size(), 2);
    QCOMPARE(m_opened[0].fragment(), QString::fromStdString(krvs::doc::messageAnchor(entry->message)));
    QVERIFY(!m_opened[0].fragment().isEmpty());
    QCOMPARE(m_opened[1], QUrl::fromLocalFile(home() + "/KRVS.html"));
  }

  void helpItemsOpenTheirPlaceInTheManual_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("tool button") << "Tool_HelpContext" << QString();
    QTest::newRow("latest changes") << "MainItem_NewVersion" << "updates";
    QTest::newRow("author") << "MainItem_Blog" << "author";
  }
  void helpItemsOpenTheirPlaceInTheManual() {
    QFETCH(QString, item);
    QFETCH(QString, fragment);
    start().action(item)->trigger();
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_opened[0].toLocalFile(), home() + "/KRVS.html");
    QCOMPARE(m_opened[0].fragment(), fragment);
  }

  // The manual's name is a DOS-style name: any letter case is found, and a missing one is named.
  void manualIsFoundInAnyCaseAndAMissingOneIsReported() {
    QVERIFY(QFile::rename(home() + "/KRVS.html", home() + "/krvs.HTML"));
    start().action("MainMenu_HelpContext")->trigger();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(home() + "/krvs.HTML")});

    QVERIFY(QFile::remove(home() + "/krvs.HTML"));
    m_opened.clear();
    m_form->action("MainItem_Blog")->trigger();
    m_form->action("MainMenu_HelpContext")->trigger();
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(m_prompter.texts(), QStringList(2, QStringLiteral("帮助文件KRVS.html丢失，请重新安装Korvash。")));
  }

  void aDesktopWithoutABrowserIsToldWhereTheManualIs() {
    m_openerTakes = false;
    start().action("MainMenu_HelpContext")->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("没有找到打开网页的程序。帮助手册在：\r\n") + home() + "/KRVS.html"});
  }

  void examplesSubmenuListsTheProgramsOfTheExamplesFolder() {
    start();
    QCOMPARE(captions(examplesMenu()), (QStringList{"HELLO.ASM", "loops.asm"}));
    // The list follows the folder each time the submenu opens.
    QVERIFY(QFile::remove(examples() + "/loops.asm"));
    QCOMPARE(captions(examplesMenu()), QStringList{"HELLO.ASM"});
    QVERIFY(QDir(examples()).removeRecursively());
    QCOMPARE(captions(examplesMenu()), QStringList{QStringLiteral("（没有找到示例程序） (disabled)")});
  }

  void anExampleOpensAsACopyAndTheOriginalStaysAsItWas() {
    TForm_Main& f = start();
    chooseExample("HELLO.ASM");
    QCOMPARE(f.settings().SourceFile, copies() + "/HELLO.ASM");
    QCOMPARE(f.Editor->Line(0), QStringLiteral("; hello"));
    QCOMPARE(f.windowTitle(), "Korvash - " + copies() + "/HELLO.ASM");

    f.Editor->PutLine(0, "; mine");
    QVERIFY(f.SaveDocument());
    QCOMPARE(readAll(examples() + "/HELLO.ASM"), kHello);

    // A second copy never replaces the first, which holds the student's work.
    chooseExample("HELLO.ASM");
    QCOMPARE(f.settings().SourceFile, copies() + "/HELLO1.ASM");
    QCOMPARE(f.Editor->Line(0), QStringLiteral("; hello"));
    QVERIFY(readAll(copies() + "/HELLO.ASM").startsWith("; mine\r\n"));
    QVERIFY(m_prompter.prompts().isEmpty());
  }

  // A read-only installed example gives a copy the student can save.
  void theCopyOfAReadOnlyExampleIsWritable() {
    QFile::setPermissions(examples() + "/HELLO.ASM", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    TForm_Main& f = start();
    chooseExample("HELLO.ASM");
    QVERIFY(QFile::permissions(copies() + "/HELLO.ASM") & QFile::WriteOwner);
    f.Editor->PutLine(0, "; mine");
    QVERIFY(f.SaveDocument());
    QVERIFY(readAll(copies() + "/HELLO.ASM").startsWith("; mine\r\n"));
    QVERIFY(m_prompter.prompts().isEmpty());
  }

  void unsavedWorkKeptByCancelMeansNoCopy() {
    TForm_Main& f = start();
    f.Editor->PutLine(0, "; unsaved");
    m_prompter.queue(Answer::Cancel);
    chooseExample("HELLO.ASM");
    QCOMPARE(m_prompter.prompts().size(), 1);
    QCOMPARE(f.Editor->Line(0), QStringLiteral("; unsaved"));
    QVERIFY(!QFile::exists(copies() + "/HELLO.ASM"));
  }

  void aCopyThatCannotBeMadeIsReportedAndTheDocumentStays() {
    write(copies(), "a file where the folder should be");
    TForm_Main& f = start();
    const QString before = f.settings().SourceFile;
    chooseExample("HELLO.ASM");
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("无法建立文件夹%1。").arg(copies())});
    QCOMPARE(f.settings().SourceFile, before);
    QCOMPARE(readAll(copies()), QByteArray("a file where the folder should be"));
  }

  void copyNamesStayDosNamesAndSkipTakenOnesInAnyCase_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{} << "HELLO.ASM" << "HELLO.ASM";
    QTest::newRow("taken in another case") << QStringList{"hello.asm"} << "HELLO.ASM" << "HELLO1.ASM";
    QTest::newRow("first number taken") << QStringList{"HELLO.ASM", "HELLO1.ASM"} << "HELLO.ASM" << "HELLO2.ASM";
    QTest::newRow("eight-letter stem shortened") << QStringList{"LOOPSARR.ASM"} << "LOOPSARR.ASM" << "LOOPSAR1.ASM";
    QStringList nine{"LOOPSARR.ASM"};
    for (int i = 1; i <= 9; ++i) nine << QStringLiteral("LOOPSAR%1.ASM").arg(i);
    QTest::newRow("two digits shorten further") << nine << "LOOPSARR.ASM" << "LOOPSA10.ASM";
  }
  void copyNamesStayDosNamesAndSkipTakenOnesInAnyCase() {
    QFETCH(QStringList, present);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    for (const QString& p : present) write(copies() + "/" + p, "x");
    QDir().mkpath(copies());
    QCOMPARE(freeCopyName(copies(), name), expected);
  }
};

QTEST_MAIN(HelpMenuTest)
#include "app_help_test.moc"
