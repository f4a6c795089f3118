// Building and running from the main window with the real toolchain in Bin/: Ctrl+F9, F7, Ctrl+F5
// and TD, the error list and its marking, the questions, and the corpus through the IDE's path.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <thread>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "build/build_output.h"
#include "build/message_help.h"
#include "build/trun.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tform_set.h"
#include "settings/tset.h"

using namespace krvs::ide;
using namespace std::chrono_literals;

namespace {

const QString kToolsDir = QStringLiteral(KRVS_TOOLS_DIR);
const QString kCorpus = QStringLiteral(KRVS_TEST_DATA "/corpus");

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A source of `lines` lines: every line a comment except the ones given.
QByteArray sourceWith(int lines, const QMap<int, QByteArray>& at) {
  QByteArray text;
  for (int i = 1; i <= lines; ++i) text += at.value(i, "; line") + "\r\n";
  return text;
}

struct StartCall {
  QString program;
  QStringList arguments;
  QString directory;
};

}  // namespace

class BuildMainTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_form;
  ScriptedPrompter m_prompter;
  QList<StartCall> m_starts;

  QString home() const { return m_dir->path(); }
  QString bin() const { return home() + "/Bin/"; }
  // Sources live in a directory whose name has a blank and Chinese characters.
  QString work() const { return home() + QStringLiteral("/学生 程序"); }

  // Bin/ links every file the build put beside the tools.
  void install() {
    QDir().mkpath(bin());
    // Only the tools: an IDE started from the build tree leaves its build driver's files (TASM.CFG
    // naming its own program, ...) in that Bin, and linked here they would steer this test's builds.
    const QStringList driverFiles{"TASM.CFG", "TLink.CFG", "Error.Txt", "Runner.bat"};
    for (const QFileInfo& tool : QDir(kToolsDir).entryInfoList(QDir::Files)) {
      if (driverFiles.contains(tool.fileName(), Qt::CaseInsensitive)) continue;
      QFile::link(tool.absoluteFilePath(), bin() + tool.fileName());
    }
    write(home() + "/KRVS.html", "<html>");
    write(home() + "/KRVS.Ini", QStringLiteral("[编辑环境]\n用Korvash打开=0\n").toUtf8());
  }

  TForm_Main& start(const QString& source = {}) {
    m_context = std::make_unique<IdeContext>(home() + "/korvash", QSize(1024, 768), m_prompter);
    m_form = std::make_unique<TForm_Main>(*m_context, home() + "/korvash",
                                          source.isEmpty() ? QStringList() : QStringList{source});
    // No test may wait on a real file dialog.
    m_form->chooseSaveFile = [](const QString&) { return QString(); };
    m_form->chooseOpenFile = [](const QString&) { return QString(); };
    m_form->buildDriver()->setStarter([this](const QString& p, const QStringList& a, const QString& d) {
      m_starts.append({p, a, d});
      return true;
    });
    m_prompter.clear();
    return *m_form;
  }

  QStringList list() const {
    QStringList texts;
    for (int i = 0; i < m_form->ListBox_Error->count(); ++i) texts << m_form->ListBox_Error->item(i)->text();
    return texts;
  }
  void trigger(const char* name) { m_form->action(QString::fromLatin1(name))->trigger(); }
  void setModes(bool debug, bool com) {
    OptionStrings o = modeOptions(debug, com);
    m_context->settings().TasmOptions = o.tasm;
    m_context->settings().TLinkOptions = o.tlink;
  }
  // The first line of the selection, where a mark starts.
  int markedLine() const {
    int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
    m_form->Editor->getSelection(&l1, &c1, &l2, &c2);
    return l1 + 1;
  }
  QString caretText() const {
    int column = 0, line = 0;
    m_form->Editor->GetCaretPos0(&column, &line);
    return QStringLiteral("第%1行\t第%2列").arg(line + 1).arg(column + 1);
  }

  // Runs `exe` the way the console window does: the Runner.bat the IDE wrote, in krvscmd.
  QByteArray runThroughRunner(const QString& exe, const QString& args, const QString& stdinFile) {
    QProcess p;
    p.setWorkingDirectory(QFileInfo(exe).absolutePath());
    p.setStandardInputFile(stdinFile);
    QString command = args.isEmpty() ? exe : exe + " " + args;
    p.start(bin() + "krvscmd", {"/c", bin() + "Runner.bat", command});
    if (!p.waitForFinished(30000)) p.kill();
    QByteArray out = p.readAllStandardOutput();
    const QByteArray tail = "\r\n" + QStringLiteral("请按任意键继续. . .").toUtf8() + "\r\n";
    int from = out.indexOf('\f');  // cls
    if (from < 0 || !out.endsWith(tail)) return "unexpected runner output: " + out;
    return out.mid(from + 1, out.size() - from - 1 - tail.size());
  }
  QByteArray runDirect(const QString& exe, const QString& args, const QString& stdinFile) {
    QProcess p;
    p.setWorkingDirectory(QFileInfo(exe).absolutePath());
    p.setStandardInputFile(stdinFile);
    p.start(bin() + "krvscmd", {"/c", exe + " " + args});
    if (!p.waitForFinished(30000)) p.kill();
    return p.readAllStandardOutput();
  }
  int exitCodeOf(const QString& exe, const QString& args, const QString& stdinFile) {
    QProcess p;
    p.setWorkingDirectory(QFileInfo(exe).absolutePath());
    p.setStandardInputFile(stdinFile);
    p.start(bin() + "krvscmd", {"/c", args.isEmpty() ? exe : exe + " " + args});
    if (!p.waitForFinished(30000)) p.kill();
    return p.exitCode();
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QString user = home() + "/user";
    qputenv("HOME", user.toUtf8());
    qputenv("XDG_DATA_HOME", (user + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (user + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (user + "/cache").toUtf8());
    m_prompter.clear();
    m_starts.clear();
    install();
    QDir().mkpath(work());
  }
  void cleanup() {
    m_form.reset();
    m_context.reset();
  }

  void theNewFileTemplateCompilesAndLinksFromTheKeys() {
    TForm_Main& f = start();
    f.chooseSaveFile = [this](const QString&) { return work() + "/NONAME.ASM"; };
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(f.Editor, Qt::Key_F9, Qt::ControlModifier);
    QCOMPARE(list(), QStringList{"编译成功！"});
    QVERIFY(f.Editor->FCompiled);
    QVERIFY(QFileInfo::exists(work() + "/NONAME.OBJ"));
    QTest::keyClick(f.Editor, Qt::Key_F7);
    QCOMPARE(list().value(0), QStringLiteral("链接成功!"));
    QVERIFY(f.Editor->FLinked);
    QVERIFY(QFileInfo::exists(work() + "/NONAME.Exe"));
    QTest::keyClick(f.Editor, Qt::Key_F5, Qt::ControlModifier);
    QCOMPARE(list(), QStringList{"运行成功！"});
    // Ctrl+D is the external debugger's, not the editing widget's line duplication.
    int lines = f.Editor->LineCount();
    QTest::keyClick(f.Editor, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(list(), QStringList{"调试成功！"});
    QCOMPARE(f.Editor->LineCount(), lines);
    QCOMPARE(m_starts.size(), 2);
    QCOMPARE(m_prompter.prompts().size(), 0);
  }

  void errorsAreNumberedSelectedAndMarked() {
    QString source = work() + "/ERRS.ASM";
    QMap<int, QByteArray> at{{1, "code segment"},
                             {2, "assume cs:code"},
                             {3, "start:"},
                             {12, "mov ax,undef1"},
                             {20, "mov al,[0]"},
                             {30, "mov bx,undef2"},
                             {33, "mov ax,4c00h"},
                             {34, "int 21h"},
                             {35, "code ends"},
                             {36, "end start"}};
    write(source, sourceWith(36, at));
    TForm_Main& f = start(source);
    trigger("MainMenu_Compile");
    QStringList l = list();
    QCOMPARE(l.value(0), QStringLiteral("编译失败，有错误2条"));
    QCOMPARE(l.size(), 4);
    QVERIFY2(l[1].startsWith(QStringLiteral("错误:第12行  Undefined symbol")), qPrintable(l[1]));
    QVERIFY2(l[2].startsWith(QStringLiteral("警告:第20行  Brackets ignored")), qPrintable(l[2]));
    QVERIFY2(l[3].startsWith(QStringLiteral("错误:第30行  Undefined symbol")), qPrintable(l[3]));
    QCOMPARE(f.ListBox_Error->currentRow(), 1);
    QCOMPARE(markedLine(), 12);
    QVERIFY(f.Editor->FLocked);
    QVERIFY(!f.Editor->FCompiled);
    for (int i = 1; i < 4; ++i) QVERIFY(!f.ListBox_Error->item(i)->toolTip().isEmpty());
    QVERIFY(!f.statusBar()->currentMessage().isEmpty());  // the selected message's explanation

    f.ListBox_Error->setCurrentRow(3);
    f.ListBox_ErrorClick();
    QCOMPARE(markedLine(), 30);
    QCOMPARE(f.statusText(0), caretText());
    QVERIFY(f.Editor->FLocked);

    // The verdict line only focuses the editor.
    f.Editor->EndLock();
    QString caret = caretText();
    f.ListBox_Error->setCurrentRow(0);
    f.ListBox_ErrorClick();
    QCOMPARE(caretText(), caret);
    QVERIFY(!f.Editor->FLocked);

    // The failed compile left no object: F7 asks (the object is not current), then says so.
    m_prompter.queue(Answer::No);
    trigger("MainMenu_Make");
    QCOMPARE(m_prompter.texts().value(1), QStringLiteral("目标文件不存在，请先编译生成目标文件。"));
    QVERIFY(m_prompter.texts().value(0).startsWith(QStringLiteral("汇编语言源代码已经改变，是否放弃？")));
  }

  void aMessageForALineBeyondTheTextMarksNothing() {
    QString source = work() + "/SHORT.ASM";
    write(source, sourceWith(3, {{1, "code segment"}, {2, "code ends"}, {3, "end"}}));
    TForm_Main& f = start(source);
    write(m_context->settings().ErrorFile, QStringLiteral("编译失败，有错误1条\r\n错误:第99行  Need expression\r\n").toUtf8());
    f.LoadErrorList();
    QCOMPARE(f.ListBox_Error->currentRow(), 1);
    QVERIFY(!f.Editor->FLocked);
    QFile::remove(m_context->settings().ErrorFile);
    f.LoadErrorList();
    QCOMPARE(list(), QStringList{"错误文件不存在，无法显示错误。"});
  }

  void staleObjectAndProgramQuestions() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    TForm_Main& f = start(source);
    // Without an object F7 says so, after asking (nothing was compiled yet).
    m_prompter.queue(Answer::No);
    trigger("MainMenu_Make");
    QCOMPARE(m_prompter.texts().value(1), QStringLiteral("目标文件不存在，请先编译生成目标文件。"));
    // Ctrl+F5 without a program.
    m_prompter.clear();
    m_prompter.queue(Answer::No);
    trigger("MainMenu_RunPro");
    QCOMPARE(m_prompter.texts().value(1), QStringLiteral("可执行文件不存在，请先链接生成可执行文件。"));
    m_prompter.clear();
    trigger("MainMenu_Compile");
    trigger("MainMenu_Make");
    QCOMPARE(list().value(0), QStringLiteral("链接成功!"));
    QCOMPARE(m_prompter.prompts().size(), 0);

    f.Editor->insert(QStringLiteral("; changed\r\n"));
    m_prompter.queue(Answer::Yes);  // give up linking
    trigger("MainMenu_Make");
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(m_prompter.texts()[0].contains(QStringLiteral("点击“是”放弃生成")));
    QCOMPARE(list().value(0), QStringLiteral("链接成功!"));  // untouched
    m_prompter.clear();
    m_prompter.queue(Answer::Yes);  // give up running
    trigger("MainMenu_RunPro");
    QVERIFY(m_prompter.texts().value(0).contains(QStringLiteral("点击“是”放弃执行")));
    QVERIFY(m_starts.isEmpty());
    m_prompter.clear();
    m_prompter.queue(Answer::No);  // run the existing program anyway
    trigger("MainMenu_RunPro");
    QCOMPARE(m_starts.size(), 1);
  }

  void runWritesTheRunnerAndOpensTheConsoleOnTheProgram() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    start(source);
    trigger("MainMenu_Compile");
    trigger("MainMenu_Make");
    trigger("MainMenu_RunPro");
    QCOMPARE(m_prompter.prompts().size(), 0);
    QCOMPARE(readAll(bin() + "Runner.bat"), QByteArray("echo off\r\ncls\r\n%1\r\necho.\r\nPause\r\n"));
    QCOMPARE(m_starts.size(), 1);
    QCOMPARE(QFileInfo(m_starts[0].program).fileName(), QStringLiteral("Rtm.EXe"));
    QCOMPARE(QFileInfo(m_starts[0].program).absolutePath(), QFileInfo(bin()).absolutePath());
    QCOMPARE(m_starts[0].arguments.size(), 2);
    QCOMPARE(m_starts[0].arguments[0], bin() + "Runner.bat");
    QString exe = m_starts[0].arguments[1];
    QVERIFY2(!exe.contains(' '), qPrintable(exe));  // the interpreter passes %1 on unquoted
    QCOMPARE(QFileInfo(exe).canonicalFilePath(), QFileInfo(work() + "/HELLO.Exe").canonicalFilePath());
    QCOMPARE(list(), QStringList{"运行成功！"});
    // What the console window runs: the batch the IDE wrote, in the interpreter.
    QCOMPARE(runThroughRunner(exe, {}, "/dev/null"), QByteArray("Hello, World!\r\n"));

    trigger("MainMenu_TD");
    QCOMPARE(m_starts.size(), 2);
    QCOMPARE(QFileInfo(m_starts[1].program).fileName(), QStringLiteral("TD.Exe"));
    QCOMPARE(m_starts[1].arguments, QStringList{exe});
    QCOMPARE(list(), QStringList{"调试成功！"});
  }

  void theProgramLinkedLastIsRunWhenBothKindsExist() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOCOM/HELLOCOM.ASM"));
    start(source);
    setModes(false, false);
    trigger("MainMenu_Compile");
    trigger("MainMenu_Make");
    QVERIFY(QFileInfo::exists(work() + "/HELLO.Exe"));
    std::this_thread::sleep_for(20ms);
    setModes(false, true);
    trigger("MainMenu_Make");
    QCOMPARE(list().value(0), QStringLiteral("链接成功!"));
    QVERIFY(QFileInfo::exists(work() + "/HELLO.Com"));
    trigger("MainMenu_RunPro");
    QCOMPARE(m_starts.size(), 1);
    QVERIFY2(m_starts[0].arguments[1].endsWith(".Com"), qPrintable(m_starts[0].arguments[1]));
  }

  void everyCorpusProgramBuildsAndRunsInAllFourModes() {
    const QStringList programs = QDir(kCorpus).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY(programs.size() >= 10);
    start();
    for (const QString& name : programs) {
      QString dir = kCorpus + "/" + name;
      bool comProgram = QFileInfo::exists(dir + "/expected.com");
      QString source = work() + "/" + name + "/" + name + ".ASM";
      write(source, readAll(dir + "/" + name + ".ASM"));
      QString args = QString::fromUtf8(readAll(dir + "/args.txt")).trimmed();
      for (bool debug : {false, true}) {
        for (bool com : {false, true}) {
          QString what = QStringLiteral("%1 debug=%2 com=%3").arg(name).arg(debug).arg(com);
          m_prompter.clear();
          QVERIFY2(m_form->OpenDocument(source), qPrintable(what));
          setModes(debug, com);
          trigger("MainMenu_Compile");
          QVERIFY2(list().value(0) == QStringLiteral("编译成功！"), qPrintable(what + ": " + list().join('|')));
          trigger("MainMenu_Make");
          QCOMPARE(m_prompter.prompts().size(), 0);
          QStringList l = list();
          if (com && !comProgram) {
            // An .EXE-style program cannot become a .COM; the linker says why, and the list explains it.
            QVERIFY2(l.value(0) == QStringLiteral("链接失败!"), qPrintable(what + ": " + l.join('|')));
            for (int i = 1; i < l.size(); ++i) QVERIFY2(!ExplainMessage(l[i]).isEmpty(), qPrintable(l[i]));
            continue;
          }
          QVERIFY2(l.value(0) == QStringLiteral("链接成功!"), qPrintable(what + ": " + l.join('|')));
          if (comProgram != com) continue;  // a .COM source linked as .EXE has no expected run
          QString exe = TRun::ProgramOf(source);
          QCOMPARE(readAll(exe), readAll(dir + (com ? "/expected.com" : "/expected.exe")));
          m_starts.clear();
          trigger("MainMenu_RunPro");
          QCOMPARE(m_starts.size(), 1);
          QString shortExe = m_starts[0].arguments.value(1);
          // Runner.bat passes the program no arguments; a program that needs some is run with them.
          QByteArray out = args.isEmpty() ? runThroughRunner(shortExe, args, dir + "/stdin.txt")
                                          : runDirect(shortExe, args, dir + "/stdin.txt");
          QVERIFY2(out == readAll(dir + "/expected.stdout"), qPrintable(what + ": " + QString::fromUtf8(out)));
          QCOMPARE(exitCodeOf(shortExe, args, dir + "/stdin.txt"), readAll(dir + "/expected.rc").trimmed().toInt());
        }
      }
    }
  }

  void aToolThatNeverReturnsIsEndedAndTheNextBuildWorks() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    TForm_Main& f = start(source);
    // DEBUG.EXE in the assembler's place waits for commands on the interpreter's input: a tool of
    // the toolchain that never comes back.
    QString realTasm = QFile::symLinkTarget(bin() + "TASM.Exe");
    QFile::remove(bin() + "TASM.Exe");
    QVERIFY(QFile::link(kToolsDir + "/DEBUG.EXE", bin() + "TASM.Exe"));
    f.buildDriver()->setStepTimeLimit(500ms);
    trigger("MainMenu_Compile");
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY2(m_prompter.texts()[0].contains(QStringLiteral("没有结束")), qPrintable(m_prompter.texts()[0]));
    QVERIFY(list().isEmpty());
    QVERIFY(!f.Editor->FCompiled);

    QFile::remove(bin() + "TASM.Exe");
    QFile::link(realTasm, bin() + "TASM.Exe");
    m_prompter.clear();
    trigger("MainMenu_Compile");
    QCOMPARE(list(), QStringList{"编译成功！"});

    // An interpreter killed between builds is started again for the next one.
    int pid = f.buildDriver()->interpreterPid();
    QVERIFY(pid > 0);
    ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(100ms);
    trigger("MainMenu_Compile");
    QCOMPARE(list(), QStringList{"编译成功！"});
    QVERIFY(f.buildDriver()->interpreterPid() != pid);
  }

  void anInterpreterKilledDuringABuildEndsTheStepWithAMessage() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    TForm_Main& f = start(source);
    // DEBUG.EXE in the assembler's place waits for commands on the interpreter's input: a tool of
    // the toolchain that never comes back.
    QString realTasm = QFile::symLinkTarget(bin() + "TASM.Exe");
    QFile::remove(bin() + "TASM.Exe");
    QVERIFY(QFile::link(kToolsDir + "/DEBUG.EXE", bin() + "TASM.Exe"));
    // The interpreter starts in the background and has no pid until it runs; a pid of -1 would make
    // kill() signal every process the user may reach, so only a real one is killed.
    QTRY_VERIFY_WITH_TIMEOUT(f.buildDriver()->interpreterPid() > 0, 10000);
    int pid = f.buildDriver()->interpreterPid();
    QVERIFY(pid > 0);
    std::thread killer([pid] {
      std::this_thread::sleep_for(300ms);
      ::kill(pid, SIGKILL);
    });
    trigger("MainMenu_Compile");
    killer.join();
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY2(m_prompter.texts()[0].contains(QStringLiteral("意外结束")), qPrintable(m_prompter.texts()[0]));
    QFile::remove(bin() + "TASM.Exe");
    QFile::link(realTasm, bin() + "TASM.Exe");
    m_prompter.clear();
    trigger("MainMenu_Compile");
    QCOMPARE(list(), QStringList{"编译成功！"});
  }

  void aCommandLineOver255CharactersIsRefusedNotCut() {
    QString deep = home();
    while (deep.size() < 300) deep += "/directory_name_part";
    QString source = deep + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    start(source);
    QString before = QString::fromUtf8(readAll(bin() + "TASM.CFG"));
    trigger("MainMenu_Compile");
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY2(m_prompter.texts()[0].contains("255"), qPrintable(m_prompter.texts()[0]));
    QVERIFY(list().isEmpty());
    QVERIFY(!QFileInfo::exists(deep + "/HELLO.OBJ"));
  }

  // The real console window: Rtm.EXe runs Runner.bat on a program that never ends; closing the
  // window (here by the signal a desktop sends at logout) stops the program and leaves no process.
  void theConsoleWindowRunsTheProgramAndClosingItStopsIt() {
    if (!QFileInfo::exists(bin() + "Rtm.EXe")) QSKIP("Rtm.EXe is not built");
    QString source = work() + "/LOOP.ASM";
    write(source, sourceWith(5, {{1, "code segment"}, {2, "assume cs:code"}, {3, "start: jmp start"},
                                 {4, "code ends"}, {5, "end start"}}));
    TForm_Main& f = start(source);
    trigger("MainMenu_Compile");
    trigger("MainMenu_Make");
    QCOMPARE(list().value(0), QStringLiteral("链接成功!"));
    qint64 pid = 0;
    f.buildDriver()->setStarter([&pid](const QString& p, const QStringList& a, const QString& d) {
      return QProcess::startDetached(p, a, d, &pid);
    });
    trigger("MainMenu_RunPro");
    QCOMPARE(list(), QStringList{"运行成功！"});
    QVERIFY(pid > 0);
    auto alive = [pid] {
      QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
      if (!stat.open(QIODevice::ReadOnly)) return false;
      QByteArray line = stat.readAll();
      return !line.mid(line.lastIndexOf(')') + 2, 1).startsWith('Z');
    };
    QTest::qWait(1500);
    QVERIFY2(alive(), "the console window ended on its own");
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!alive(), 10000);
  }

  void aMissingToolIsNoSuccess() {
    QString source = work() + "/HELLO.ASM";
    write(source, readAll(kCorpus + "/HELLOEXE/HELLOEXE.ASM"));
    start(source);
    QFile::remove(bin() + "TLink.Exe");
    trigger("MainMenu_Compile");
    m_prompter.clear();
    trigger("MainMenu_Make");
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(m_prompter.texts()[0].startsWith(QStringLiteral("无法启动编译器，请重装Korvash。")));
    QVERIFY(!QFileInfo::exists(work() + "/HELLO.Exe"));
  }
};

QTEST_MAIN(BuildMainTest)
#include "build_main_test.moc"
