// Document operations of the main window: new, open, save as, failed saves and loads, recent files,
// Edit-menu enabling, F4 and the navigation tree, with a scripted Prompter and scripted file dialogs.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "editor/navigation_tree.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class EditorDocumentTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    m_home.reset(new QTemporaryDir);
    m_files.reset(new QTemporaryDir);
    const QString program = m_home->filePath("korvash");
    m_context.reset(new IdeContext(program, QSize(1024, 768), m_prompter));
    m_context->settings().OpenWithSelf = false;
    m_prompter.clear();
    m_main.reset(new TForm_Main(*m_context, program, {}));
    m_main->chooseOpenFile = [this](const QString&) { return m_nextFile; };
    m_main->chooseSaveFile = [this](const QString&) { return m_nextFile; };
    m_prompter.clear();
  }
  void cleanup() {
    m_prompter.clear();
    m_prompter.queue(Answer::No);  // closing may ask about unsaved text
    m_main.reset();
    m_context.reset();
  }

  void startsWithTemplate() {
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Korvash - NoName.asm"));
    QCOMPARE(m_main->findChild<QLabel*>("StatusBar_Encoding")->text(), QStringLiteral("GBK"));
    QCOMPARE(m_main->Editor->LineCount(), 18);
    QVERIFY(!m_main->Editor->Modified());
  }

  void saveAsWritesWithoutQuestionsAndBecomesCurrent() {
    m_main->Editor->PutLine(0, ";x");
    m_nextFile = file("b.asm");
    m_main->MainMenu_SaveAsClick();
    QVERIFY(m_prompter.prompts().isEmpty());
    QCOMPARE(m_main->windowTitle(), "Korvash - " + m_nextFile);
    QCOMPARE(m_context->settings().SourceFile, m_nextFile);
    QCOMPARE(m_context->settings().RecentFiles.value(0), m_nextFile);
    QVERIFY(readAll(m_nextFile).startsWith(";x\r\n"));
    QVERIFY(!m_main->Editor->Modified());
  }

  void failedSaveNamesErrorAndKeepsDocument() {
    QVERIFY(QDir(m_files->path()).mkdir("d.asm"));
    m_main->Editor->PutLine(0, ";changed");
    m_nextFile = file("d.asm");
    m_main->MainMenu_SaveAsClick();
    QCOMPARE(m_prompter.prompts().size(), 1);
    QVERIFY(m_prompter.texts().first().contains("d.asm"));
    QCOMPARE(m_context->settings().SourceFile, QStringLiteral("NoName.asm"));
    QVERIFY(m_main->Editor->Modified());
    QCOMPARE(m_main->Editor->Line(0), QStringLiteral(";changed"));
  }

  void openingAnotherFileDeletesOldByProducts() {
    writeBytes(file("a.asm"), "nop\r\n");
    writeBytes(file("b.asm"), "int 21h\r\n");
    m_main->OpenDocument(file("a.asm"));
    for (const char* ext : {".Lst", ".MAP", ".obj", ".Xrf", ".Tr", ".Exe"}) writeBytes(file(QStringLiteral("a") + ext), "x");
    m_nextFile = file("b.asm");
    m_main->MainMenu_OpenClick();
    QCOMPARE(m_main->windowTitle(), "Korvash - " + file("b.asm"));
    QCOMPARE(m_main->Editor->Line(0), QStringLiteral("              INT       21H"));
    QCOMPARE(m_main->findChild<QLabel*>("StatusBar_Encoding")->text(), QStringLiteral("UTF-8"));
    QVERIFY(!m_main->Editor->Modified());
    QStringList left = QDir(m_files->path()).entryList(QDir::Files);
    left.sort();
    QCOMPARE(left, (QStringList{"a.Exe", "a.asm", "b.asm"}));
  }

  void unsavedQuestionCancelKeepsDocument() {
    m_main->Editor->PutLine(0, ";mine");
    m_prompter.queue(Answer::Cancel);
    m_main->MainMenu_NewClick();
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("文件NoName.asm还没有保存，是否保存？")});
    QCOMPARE(m_main->Editor->Line(0), QStringLiteral(";mine"));
    m_prompter.queue(Answer::No);
    m_main->MainMenu_NewClick();
    QCOMPARE(m_main->Editor->Line(0), QStringLiteral(";这是自动生成的代码模板"));
  }

  void recentFiles() {
    writeBytes(file("p.asm"), "nop\r\n");
    m_context->settings().RecentFiles = QStringList{file("p.asm"), "", file("gone.asm")};
    m_main->MainMenu_FileClick();
    QVERIFY(m_main->MainMenu_Recent->menuAction()->isVisible());
    m_main->MainMenu_RecentClick();
    QCOMPARE(m_main->RecentItems[0]->text(), "0. " + file("p.asm"));
    QCOMPARE(m_main->RecentItems[1]->text(), QStringLiteral("1. "));
    QVERIFY(!m_main->RecentItems[2]->isVisible());
    // The empty entry is removed with a message; the document is untouched.
    m_main->MainMenu_RecentReadClick(1);
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("该文件不存在，无法打开。")});
    QCOMPARE(m_context->settings().SourceFile, QStringLiteral("NoName.asm"));
    QCOMPARE(m_context->settings().RecentFiles.value(1), file("gone.asm"));
    m_main->MainMenu_RecentReadClick(1);  // the vanished file
    QCOMPARE(m_prompter.texts().size(), 2);
    m_main->MainMenu_RecentReadClick(0);
    QCOMPARE(m_context->settings().SourceFile, file("p.asm"));
    m_main->MainMenu_ClearRecentClick();
    m_main->MainMenu_FileClick();
    QVERIFY(!m_main->MainMenu_Recent->menuAction()->isVisible());
    m_nextFile = file("p.asm");
    m_main->MainMenu_OpenClick();
    m_main->MainMenu_FileClick();
    m_main->MainMenu_RecentClick();
    QVERIFY(m_main->MainMenu_Recent->menuAction()->isVisible());
    QVERIFY(m_main->RecentItems[0]->isVisible());
    QVERIFY(!m_main->RecentItems[1]->isVisible());
  }

  void editMenuEnabling() {
    QAction* selectAll = m_main->action("MainMenu_SelectAll");
    QAction* cut = m_main->action("MainMenu_Cut");
    QAction* copy = m_main->action("MainMenu_Copy");
    m_main->Editor->SetSelStart(0);
    m_main->MainMenu_EditClick();
    QVERIFY(selectAll->isEnabled());
    QVERIFY(!copy->isEnabled());
    m_main->MainMenu_SelectAllClick();
    m_main->MainMenu_EditClick();
    QVERIFY(selectAll->isEnabled());  // the whole text ends with a CR LF the selection lacks
    QVERIFY(copy->isEnabled());
    QVERIFY(cut->isEnabled());
    // In the map view cut follows the read-only state; select all comes back to the source.
    m_nextFile = file("m.asm");
    m_main->MainMenu_SaveAsClick();
    writeBytes(file("m.MAP"), "map\r\n");
    m_main->MainMenu_MAPClick();
    QCOMPARE(m_main->Editor->Lines(), QStringList{"map"});
    m_main->Editor->selectAll(true);
    m_main->MainMenu_EditClick();
    QVERIFY(!cut->isEnabled());
    QVERIFY(copy->isEnabled());
    m_main->MainMenu_SelectAllClick();
    QCOMPARE(m_main->viewKind(), 0);
    QCOMPARE(m_main->Editor->LineCount(), 18);
    QCOMPARE(m_main->Editor->GetSelLength(), int(m_main->Editor->WholeTextBytes().size()) - 2);
    m_main->Editor->ClearText();
    m_main->MainMenu_EditClick();
    QVERIFY(!selectAll->isEnabled());
  }

  void navigationTreeAfterFormatAndNewDocument() {
    NavigationTree* tree = m_main->TreeView;
    tree->rebuild();
    for (int i = 0; i < kNavigationRootCount; ++i) QCOMPARE(tree->root(i)->childCount(), 0);
    m_main->MainMenu_FormatClick();
    QVERIFY(tree->NavigationStale);
    QTest::mouseMove(tree->viewport(), QPoint(5, 5));
    tree->rebuild();
    QCOMPARE(tree->root(1)->childCount(), 3);
    QCOMPARE(tree->root(2)->childCount(), 1);
    m_prompter.queue(Answer::No);
    m_main->MainMenu_NewClick();
    for (int i = 0; i < kNavigationRootCount; ++i) QCOMPARE(tree->root(i)->childCount(), 0);
  }

 private:
  QString file(const QString& name) const { return m_files->filePath(name); }

  std::unique_ptr<QTemporaryDir> m_home;
  std::unique_ptr<QTemporaryDir> m_files;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_main;
  ScriptedPrompter m_prompter;
  QString m_nextFile;
};

QTEST_MAIN(EditorDocumentTest)
#include "editor_document_test.moc"
