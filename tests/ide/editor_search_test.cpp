// Find, F3, replace all, go to line and the navigation tree, with a scripted Prompter.
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "asmtext/TDB.h"
#include "asmtext/TFormat.h"
#include "debugger/tdebugger.h"
#include "editor/find_dialogs.h"
#include "editor/navigation_tree.h"
#include "editor/search_controller.h"
#include "editor/tide.h"
#include "prompt/prompter.h"

using namespace krvs::ide;

class EditorSearchTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    m_prompter.clear();
    m_window = new QWidget;
    m_ide = new TIDE(m_keywords, m_formatter, m_debugger, m_window);
    m_search = new SearchController(*m_ide, m_prompter, m_window);
    m_tree = new NavigationTree(*m_ide, m_keywords, m_window);
  }
  void cleanup() {
    delete m_window;
  }

  void findDownThenF3MovesOn() {
    m_ide->SetLines({"mov ax,bx", "mov cx,dx"});
    m_ide->SetSelStart(0);
    m_search->findDialog().setFindText("mov");
    m_search->FindDialogFind();
    QCOMPARE(m_ide->GetSelStart(), 0);
    QCOMPARE(m_ide->SelText(), QStringLiteral("mov"));
    m_search->FindDialogFind();
    QCOMPARE(m_ide->GetSelStart(), 11);
    QVERIFY(m_prompter.texts().isEmpty());
    m_search->FindDialogFind();
    QCOMPARE(m_prompter.texts(), QStringList{SearchController::kSearchDone});
    QCOMPARE(m_ide->GetSelStart(), 12);  // left where the step over the selected match put it
  }

  void findUpFromEndThenF3() {
    m_ide->SetLines({"mov ax,bx", "mov cx,dx", "mov ax,4c00h"});
    m_ide->SetSelStart(int(m_ide->WholeTextBytes().size()));
    m_search->findDialog().setDown(false);
    m_search->findDialog().setFindText("MOV");
    m_search->FindDialogFind();
    QCOMPARE(m_ide->GetSelStart(), 22);
    m_search->FindDialogFind();
    QCOMPARE(m_ide->GetSelStart(), 11);
  }

  void matchCase() {
    m_ide->SetLines({"mov ax,bx"});
    m_ide->SetSelStart(0);
    m_search->findDialog().setFindText("MOV");
    m_search->findDialog().setMatchCase(true);
    m_search->FindDialogFind();
    QCOMPARE(m_prompter.texts(), QStringList{SearchController::kSearchDone});
    QCOMPARE(m_ide->GetSelLength(), 0);
  }

  void replaceAllAsksEachOccurrence_data() {
    QTest::addColumn<QList<int>>("answers");  // Answer values
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("endsWithDone");
    const int yes = int(Answer::Yes), no = int(Answer::No), cancel = int(Answer::Cancel);
    QTest::newRow("all_yes") << QList<int>{yes, yes, yes} << QStringList{"mov bx,bx", "add bx,1", "bx"} << 3 << true;
    QTest::newRow("no_skips") << QList<int>{yes, no, yes} << QStringList{"mov bx,bx", "add ax,1", "bx"} << 3 << true;
    QTest::newRow("cancel_stops") << QList<int>{no, cancel} << QStringList{"mov ax,bx", "add ax,1", "ax"} << 2 << false;
  }
  void replaceAllAsksEachOccurrence() {
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, expected);
    QFETCH(int, asked);
    QFETCH(bool, endsWithDone);
    m_ide->SetLines({"mov ax,bx", "add ax,1", "ax"});
    for (int a : answers) m_prompter.queue(Answer(a));
    m_search->replaceDialog().setFindText("ax");
    m_search->replaceDialog().setReplaceText("bx");
    m_search->replaceDialog().show();
    m_search->ReplaceDialogReplace(true);
    QCOMPARE(m_ide->Lines(), expected);
    QStringList texts = m_prompter.texts();
    QCOMPARE(texts.count(SearchController::kAskReplace), asked);
    QCOMPARE(texts.last() == SearchController::kSearchDone, endsWithDone);
    QCOMPARE(m_search->replaceDialog().isVisible(), endsWithDone);
    QCOMPARE(m_prompter.unscripted(), 0);
  }

  void replaceWithTextContainingPatternEnds() {
    m_ide->SetLines({"ax ax"});
    for (int i = 0; i < 2; ++i) m_prompter.queue(Answer::Yes);
    m_search->replaceDialog().setFindText("ax");
    m_search->replaceDialog().setReplaceText("axax");
    m_search->ReplaceDialogReplace(true);
    QCOMPARE(m_ide->Lines(), QStringList{"axax axax"});
    QCOMPARE(m_prompter.unscripted(), 0);
  }

  void gotoLine_data() {
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("marked");
    QTest::newRow("zero") << -1 << false;  // the dialog turns 0 into -1
    QTest::newRow("out_of_range") << 11 << false;
    QTest::newRow("fifth") << 5 << true;
  }
  void gotoLine() {
    QFETCH(int, line);
    QFETCH(bool, marked);
    QStringList lines;
    for (int i = 1; i <= 10; ++i) lines << QStringLiteral("nop ;%1").arg(i);
    m_ide->SetLines(lines);
    m_search->GotoLine(line);
    QCOMPARE(m_ide->FLocked, marked);
    QCOMPARE(m_ide->SelText(), marked ? QStringLiteral("nop ;5\r\n") : QString());
    if (marked) QCOMPARE(m_ide->SelectedBackground(), QColor(255, 0, 0));
  }

  void gotoDialogReturnsValueOrMinusOne() {
    TForm_GetInfo& dlg = m_search->gotoDialog();
    QTimer::singleShot(0, [&] {
      dlg.SpinEdit_LineNo->setValue(7);
      QTest::keyRelease(dlg.SpinEdit_LineNo, Qt::Key_Return);
    });
    QCOMPARE(dlg.ask(), 7);
    QTimer::singleShot(0, [&] {
      dlg.SpinEdit_LineNo->setValue(0);
      dlg.Button_LineNo->click();
    });
    QCOMPARE(dlg.ask(), -1);
    QTimer::singleShot(0, [&] { dlg.reject(); });
    QCOMPARE(dlg.ask(), -1);
  }

  void treeEmptyAfterNewDocumentFilledAfterFormatAll() {
    m_ide->NewFile();
    m_tree->clearNames();
    m_tree->NavigationStale = true;
    m_tree->rebuild();
    for (int i = 0; i < kNavigationRootCount; ++i) QCOMPARE(m_tree->root(i)->childCount(), 0);
    m_tree->root(1)->setExpanded(true);
    m_ide->FormatAll();
    m_tree->NavigationStale = true;
    m_tree->rebuild();
    QVERIFY(!m_tree->NavigationStale);
    QCOMPARE(childTexts(1), (QStringList{"STACKS", "DATAS", "CODES"}));
    QCOMPARE(childTexts(2), QStringList{"START"});
    QCOMPARE(m_tree->root(1)->child(0)->data(0, Qt::UserRole).toInt(), 16);
    QVERIFY(m_tree->root(1)->isExpanded());
    QVERIFY(!m_tree->root(2)->isExpanded());
    // Not stale: a further rebuild changes nothing even though the lists were emptied.
    m_keywords.ClearNames();
    m_tree->rebuild();
    QCOMPARE(m_tree->root(1)->childCount(), 3);
  }

  void clickJumpsToDefinitionAndLocks() {
    m_ide->NewFile();
    m_ide->FormatAll();
    m_tree->NavigationStale = true;
    m_tree->rebuild();
    m_tree->TreeViewClick(m_tree->root(1));  // a root: nothing
    QVERIFY(!m_ide->FLocked);
    m_tree->TreeViewClick(m_tree->root(2)->child(0));  // START
    QVERIFY(m_ide->FLocked);
    QCOMPARE(m_ide->SelText(), m_ide->Line(10) + "\r\n");
    QVERIFY(!jumpToDefinition(*m_ide, "NOWHERE", 2));
    QVERIFY(!m_ide->FLocked);
  }

 private:
  QStringList childTexts(int root) const {
    QStringList out;
    for (int i = 0; i < m_tree->root(root)->childCount(); ++i) out << m_tree->root(root)->child(i)->text(0);
    return out;
  }

  krvs::asmtext::TDB m_keywords;
  krvs::asmtext::TFormat m_formatter{m_keywords};
  TDebugger m_debugger;
  ScriptedPrompter m_prompter;
  QWidget* m_window = nullptr;
  TIDE* m_ide = nullptr;
  SearchController* m_search = nullptr;
  NavigationTree* m_tree = nullptr;
};

QTEST_MAIN(EditorSearchTest)
#include "editor_search_test.moc"
