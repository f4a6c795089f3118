// The integrated debugger from the main window, with the real toolchain in Bin/: F5, F10, F9, pause,
// abort, the register grid, watches, the stack view and input typed for the program.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "debugger/tdebugger.h"
#include "debugger_test_build.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

const QString kToolsDir = QStringLiteral(KRVS_TOOLS_DIR);
const QString kPrograms = QStringLiteral(KRVS_TEST_DATA "/ide-debugger/");
const QString kWaitPrompt = QStringLiteral("您的汇编程序正在等待输入，请在此输入使程序继续执行");

void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

}  // namespace

class DebuggerMainTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_form;
  std::unique_ptr<TestBuild> m_build;
  ScriptedPrompter m_prompter;

  QString home() const { return m_dir->path(); }
  TDebugger& dbg() { return m_context->debugger(); }
  void trigger(const char* name) { m_form->action(QString::fromLatin1(name))->trigger(); }
  bool waitState(TDebugState s, int ms = 10000) {
    return QTest::qWaitFor([&] { return dbg().GetState() == s; }, ms);
  }

  // Builds `name` from the test programs (or the corpus) and opens it in a fresh window.
  TForm_Main& open(const QString& source) {
    m_build = std::make_unique<TestBuild>();
    std::string exe = m_build->program(source.toStdString());
    if (exe.empty()) qWarning("%s", m_build->log.c_str());
    m_context = std::make_unique<IdeContext>(home() + "/korvash", QSize(1024, 768), m_prompter);
    QString copy = QString::fromStdString(m_build->dir()) + "/" + QFileInfo(source).fileName();
    m_form = std::make_unique<TForm_Main>(*m_context, home() + "/korvash", QStringList{copy});
    m_form->chooseSaveFile = [](const QString&) { return QString(); };
    m_form->chooseOpenFile = [](const QString&) { return QString(); };
    m_form->Editor->FCompiled = m_form->Editor->FLinked = true;
    m_prompter.clear();
    return *m_form;
  }
  QString reg(int row) const {
    QTableWidgetItem* item = m_form->StringGrid_Reg->item(row, 1);
    return item ? item->text() : QString();
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(home() + "/Bin");
    // Only the tools: an IDE started from the build tree leaves its build driver's files (TASM.CFG
    // naming its own program, ...) in that Bin, and linked here they would steer this test's builds.
    const QStringList driverFiles{"TASM.CFG", "TLink.CFG", "Error.Txt", "Runner.bat"};
    for (const QFileInfo& tool : QDir(kToolsDir).entryInfoList(QDir::Files)) {
      if (driverFiles.contains(tool.fileName(), Qt::CaseInsensitive)) continue;
      QFile::link(tool.absoluteFilePath(), home() + "/Bin/" + tool.fileName());
    }
    write(home() + "/KRVS.html", "<html>");
    write(home() + "/KRVS.Ini", QStringLiteral("[编辑环境]\n用Korvash打开=0\n").toUtf8());
  }
  void cleanup() {
    if (m_form) m_form->MainMenu_AbortClick();
    m_form.reset();
    m_context.reset();
    m_build.reset();
    m_dir.reset();
  }

  void f5WithoutBreakpointsRunsToTheEndAndClearsThePanels() {
    open(kPrograms + "LONGOUT.ASM");
    trigger("MainMenu_DebugAss");
    QVERIFY(waitState(dsIdle));
    QTRY_COMPARE(m_form->StringGrid_Reg->rowCount(), 0);
    QVERIFY(m_prompter.texts().isEmpty());
    QCOMPARE(m_form->Edit_Next->text(), QString());
    QCOMPARE(m_form->PageControlBottom->tabText(m_form->PageControlBottom->currentIndex()), QStringLiteral("编译输出"));
    QVERIFY(!m_form->Button_Add->isEnabled());
  }

  void f10StepsAndTheGridShowsWhatChanged() {
    open(kPrograms + "CALLS.ASM");
    trigger("MainMenu_Trace");
    QVERIFY(waitState(dsReady));
    QTRY_COMPARE(dbg().GetCurrentLine(), 8);
    QTRY_COMPARE(reg(0), QStringLiteral("1234"));
    QCOMPARE(m_form->StringGrid_Reg->rowCount(), 15);
    QCOMPARE(m_form->StringGrid_Reg->item(12, 0)->text(), QStringLiteral("IP"));
    QCOMPARE(m_form->Edit_Next->text(), QStringLiteral("PUSH    AX"));
    QCOMPARE(m_form->Edit_Next->cursorPosition(), 0);  // the mnemonic in sight when the text is wider
    QVERIFY(m_form->Label_Note->text().contains(QStringLiteral("该指令的二进制码：\n\n50")));
    QCOMPARE(m_form->StringGrid_Reg->item(0, 1)->background().color(), QColor(255, 224, 138));
    QVERIFY(m_form->StringGrid_Reg->item(0, 1)->toolTip().contains(QStringLiteral("0000 变为 1234")));
    QVERIFY(m_form->StringGrid_Reg->item(1, 1)->toolTip().isEmpty());
    auto* zf = m_form->StringGrid_Reg->findChild<QLabel*>(QStringLiteral("Flag_4"));
    QVERIFY(zf);
    QVERIFY(zf->toolTip().startsWith(QStringLiteral("ZF 零标志")));
    QCOMPARE(dbg().GetLineMark(8), int(lmCurrent));
    QVERIFY2(m_form->Editor->SelText().contains(QStringLiteral("push"), Qt::CaseInsensitive),  // the current line is selected
             qPrintable(m_form->Editor->SelText()));
    QCOMPARE(m_form->action("MainMenu_DebugAss")->text(), QStringLiteral("Go"));
    QVERIFY(!m_form->action("MainMenu_Pause")->isEnabled());
    QVERIFY(m_form->action("MainMenu_Abort")->isEnabled());

    // Into outer and inner: the stack shows where each CALL returns to.
    for (int i = 0; i < 3; ++i) trigger("MainMenu_Trace");
    QCOMPARE(dbg().GetCurrentLine(), 18);
    QStringList notes;
    for (int r = 0; r < m_form->StringGrid_Stack->rowCount(); ++r) notes << m_form->StringGrid_Stack->item(r, 2)->text();
    QVERIFY2(notes.contains(QStringLiteral("返回地址：返回到第15行")), qPrintable(notes.join('|')));
    QVERIFY2(notes.contains(QStringLiteral("返回地址：返回到第10行")), qPrintable(notes.join('|')));
    trigger("MainMenu_Abort");
    QCOMPARE(dbg().GetState(), dsIdle);
    QCOMPARE(m_form->StringGrid_Reg->rowCount(), 0);
    QCOMPARE(m_form->action("MainMenu_DebugAss")->text(), QStringLiteral("集成调试"));
  }

  void breakpointsStopARunAndPauseStopsALoop() {
    open(kPrograms + "LOOP.ASM");
    m_form->Editor->SetCaretXY(1, 9);
    trigger("MainMenu_Break");
    QCOMPARE(dbg().GetLineMark(9), int(lmBreak));
    trigger("MainMenu_DebugAss");
    QVERIFY(waitState(dsReady, 30000));
    QTRY_COMPARE(dbg().GetCurrentLine(), 9);
    QTRY_COMPARE(reg(3), QStringLiteral("0000"));  // DX counted down
    QCOMPARE(dbg().GetLineMark(9), int(lmCurrentBreak));
    trigger("MainMenu_Abort");

    trigger("MainMenu_Break");  // off again
    trigger("MainMenu_DebugAss");
    QCOMPARE(dbg().GetState(), dsGo);
    m_form->MainMenu_DebugMangerClick();
    QVERIFY(m_form->action("MainMenu_Pause")->isEnabled());
    QVERIFY(!m_form->action("MainMenu_Trace")->isEnabled());
    m_form->setStatusText(2, QString());
    m_form->TimerTimer();
    QCOMPARE(m_form->statusText(2), QStringLiteral("程序正在调试"));
    m_form->TimerTimer();
    QCOMPARE(m_form->statusText(2), QStringLiteral("程序正在调试 ."));
    trigger("MainMenu_Pause");
    QVERIFY(waitState(dsReady));
    int line = dbg().GetCurrentLine();
    QVERIFY2(line >= 5 && line <= 8, qPrintable(QString::number(line)));
    trigger("MainMenu_Abort");
    QCOMPARE(dbg().GetState(), dsIdle);
  }

  void watchesFollowTheirRules() {
    open(QStringLiteral(KRVS_TEST_DATA "/corpus/HELLOEXE/HELLOEXE.ASM"));
    trigger("MainMenu_Trace");
    QVERIFY(waitState(dsReady));
    trigger("MainMenu_Trace");  // DS now holds the data segment
    QCOMPARE(m_form->ComboBox_Addr->itemText(0), QStringLiteral("MSG"));
    m_form->ComboBox_Addr->setCurrentText(QStringLiteral("MSG"));
    QCOMPARE(m_form->Edit_Addr->text(), QStringLiteral("0x0000"));
    m_form->Edit_Size->setText(QStringLiteral("4"));
    m_form->Button_Add->click();
    m_form->Edit_Addr->setText(QStringLiteral("0X0010"));
    m_form->Edit_Size->setText(QStringLiteral("2"));
    m_form->Button_Add->click();
    QVERIFY(m_prompter.texts().value(0).startsWith(QStringLiteral("地址的设置不合法")));
    m_form->Edit_Addr->setText(QStringLiteral("0x0010"));
    m_form->Edit_Size->setText(QStringLiteral("-2"));
    m_form->Button_Add->click();
    QVERIFY(m_prompter.texts().value(1).startsWith(QStringLiteral("地址的长度设置不合法")));
    m_form->Edit_Size->setText(QStringLiteral("2"));
    m_form->Button_Add->click();
    m_form->Edit_Addr->setText(QStringLiteral("0x000e"));
    m_form->Edit_Size->setText(QStringLiteral("4"));  // spans the two dump lines
    m_form->Button_Add->click();
    QCOMPARE(m_form->StringGrid_Mem->rowCount(), 5);
    QCOMPARE(m_form->StringGrid_Mem->item(1, 0)->text(), QStringLiteral("MSG"));
    QCOMPARE(m_form->StringGrid_Mem->item(1, 1)->text(), QStringLiteral("DS:0X0000(0x0004)"));
    QCOMPARE(m_form->StringGrid_Mem->item(1, 2)->text(), QStringLiteral("48 65 6C 6C "));
    QCOMPARE(m_form->StringGrid_Mem->item(2, 0)->text(), QStringLiteral("自定义"));
    QCOMPARE(m_form->StringGrid_Mem->item(2, 2)->text().size(), 6);
    QCOMPARE(m_form->StringGrid_Mem->item(3, 2)->text().left(6), QStringLiteral("0A 24 "));
    QCOMPARE(dbg().GetMemLines().back().substr(0, 4), std::string("0010"));
    // Deleting two selected rows removes both watches.
    m_form->StringGrid_Mem->clearSelection();
    m_form->StringGrid_Mem->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 2), true);
    m_form->Button_Del->click();
    QCOMPARE(m_form->StringGrid_Mem->rowCount(), 3);
    QCOMPARE(m_form->StringGrid_Mem->item(1, 1)->text(), QStringLiteral("DS:0X000E(0x0004)"));
  }

  void inputTypedInTheBoxReachesTheProgram() {
    open(kPrograms + "KEY.ASM");
    trigger("MainMenu_DebugAss");
    QTRY_COMPARE_WITH_TIMEOUT(m_form->MemoDebugInput->toPlainText(), kWaitPrompt, 6000);
    QTest::keyClicks(m_form->MemoDebugInput, QStringLiteral("A"));
    QCOMPARE(m_form->MemoDebugInput->toPlainText(), QStringLiteral("您已经往汇编程序里输入了一个ASC字符，ASC码是65"));
    QVERIFY(waitState(dsIdle));
    QTRY_COMPARE(m_form->StringGrid_Reg->rowCount(), 0);

    // F10 onto the read returns with the prompt; the key then completes the step.
    trigger("MainMenu_Trace");
    QVERIFY2(waitState(dsReady), qPrintable(QString("state %1, prompts %2, last reply %3")
                                                 .arg(int(dbg().GetState()))
                                                 .arg(m_prompter.texts().join('|'))
                                                 .arg(QString::fromStdString(dbg().GetTraceInfo(TTraceInfo::ALL)))));
    QCOMPARE(dbg().GetCurrentLine(), 5);
    trigger("MainMenu_Trace");
    QCOMPARE(dbg().GetState(), dsStep);
    QCOMPARE(m_form->MemoDebugInput->toPlainText(), kWaitPrompt);
    m_form->MainMenu_DebugMangerClick();
    QVERIFY(!m_form->action("MainMenu_Trace")->isEnabled());
    QTest::keyClicks(m_form->MemoDebugInput, QStringLiteral("B"));
    QCOMPARE(dbg().GetState(), dsReady);
    QCOMPARE(dbg().GetCurrentLine(), 6);
    QCOMPARE(m_form->MemoDebugOutput->toPlainText(), QStringLiteral("B"));
  }

  void startRefusals() {
    open(kPrograms + "KEY.ASM");
    QFile::remove(QString::fromStdString(m_build->dir()) + "/KEY.MAP");
    trigger("MainMenu_DebugAss");
    QCOMPARE(m_prompter.texts().value(0), QStringLiteral("程序不是调试模式编译生成的，请用调试模式重新编译以后继续。"));
    QCOMPARE(dbg().GetState(), dsIdle);
    QFile::remove(QString::fromStdString(m_build->dir()) + "/KEY.EXE");
    trigger("MainMenu_Trace");
    QCOMPARE(m_prompter.texts().value(1), QStringLiteral("可执行文件不存在，请先链接生成可执行文件。"));
    // A source changed since the build is asked about; Yes gives the start up.
    m_form->Editor->FLinked = false;
    m_prompter.queue(Answer::Yes);
    trigger("MainMenu_DebugAss");
    QCOMPARE(m_prompter.texts().size(), 3);
    QVERIFY(m_prompter.texts().value(2).startsWith(QStringLiteral("汇编语言源代码已经改变")));
  }
};

QTEST_MAIN(DebuggerMainTest)
#include "debugger_main_test.moc"
