// The IDE never damages a file: every byte survives open and save, by-products go only with the
// document being left, a file changed on disk is asked about, failed saves leave the original, and
// the caption, go-to-line, F4 and the navigation tree behave as a student expects.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "debugger/tdebugger.h"
#include "editor/navigation_tree.h"
#include "editor/search_controller.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A byte string with every byte of the literal, NULs included.
template <size_t N>
QByteArray bytes(const char (&text)[N]) {
  return QByteArray(text, N - 1);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Makes a directory refuse new files, also for root (immutable flag); false when that is impossible.
bool makeUnwritable(const QString& dir, bool on) {
  if (geteuid() != 0) {
    return QFile::setPermissions(dir, on ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                         : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

class EditorSafetyTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    m_home.reset(new QTemporaryDir);
    m_files.reset(new QTemporaryDir);
    m_context.reset(new IdeContext(program(), QSize(1024, 768), m_prompter));
    m_context->settings().OpenWithSelf = false;
    m_main.reset(new TForm_Main(*m_context, program(), {}));
    m_main->chooseSaveFile = [this](const QString&) { return m_nextFile; };
    m_prompter.clear();
  }
  void cleanup() {
    m_prompter.clear();
    m_prompter.queue(Answer::No);
    m_main.reset();
    m_context.reset();
  }

  // Open and Ctrl+S give back the file's bytes; only line ends become CR LF, a final one included.
  void bytesSurviveOpenAndSave_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");
    const QByteArray nul = bytes("mov ax,1\r\n\0\0\0 x\r\nint 21h\r\n");
    QTest::newRow("nul") << nul << nul;
    const QByteArray odd("db '\x80\xff'\r\n;\xd6\xd0 \x84\x31\xa5\x30\r\n");
    QTest::newRow("bytes_no_encoding_knows") << odd << odd;
    QTest::newRow("gbk") << QByteArray(";\xd6\xd0\xce\xc4\r\n") << QByteArray(";\xd6\xd0\xce\xc4\r\n");
    QTest::newRow("utf8") << QByteArray(";\xe4\xb8\xad\r\n") << QByteArray(";\xe4\xb8\xad\r\n");
    QTest::newRow("utf8_bom") << QByteArray("\xEF\xBB\xBF;\xe4\xb8\xad\r\n") << QByteArray("\xEF\xBB\xBF;\xe4\xb8\xad\r\n");
    QTest::newRow("lf_only") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("mixed_line_ends") << QByteArray("a\r\nb\nc\rd\r\n") << QByteArray("a\r\nb\r\nc\r\nd\r\n");
    QTest::newRow("no_final_line_end") << QByteArray("a\r\nb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("gbk_no_final_line_end") << QByteArray(";\xd6\xd0") << QByteArray(";\xd6\xd0\r\n");
    QTest::newRow("empty_lines_kept") << QByteArray("a\r\n\r\n\r\n") << QByteArray("a\r\n\r\n\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
  }
  void bytesSurviveOpenAndSave() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    m_context->settings().AutoFormat = false;  // the layout on load is the one change the IDE makes by design
    const QString path = this->file("t.asm");
    writeBytes(path, file);
    QVERIFY(m_main->OpenDocument(path));
    QVERIFY(!m_main->Editor->Modified());
    m_main->MainMenu_SaveClick();
    QCOMPARE(m_prompter.texts(), QStringList());
    QCOMPARE(readAll(path), saved);
  }

  // With the layout on, a line holding a NUL keeps its bytes while the others are laid out.
  void nulLineKeepsItsBytesUnderTheLayout() {
    const QString path = file("n.asm");
    writeBytes(path, bytes("mov ax,1\r\n\0\0\0 x\r\nmov dl,'a;b' ;c\r\n"));
    QVERIFY(m_main->OpenDocument(path));
    m_main->MainMenu_SaveClick();
    QCOMPARE(readAll(path), bytes("              MOV       AX,1\r\n\0\0\0 x\r\n"
                                  "              MOV       DL,'a;b'    ;c\r\n"));
  }

  void startupDeletesNothingBesideTheFile() {
    writeBytes(file("HELLO.ASM"), "int 21h\r\n");
    writeBytes(file("NOTES.LST"), "my notes\r\n");
    const QStringList beside{"HELLO.LST", "HELLO.MAP", "HELLO.OBJ", "HELLO.XRF", "hello.tr", "HELLO.EXE"};
    for (const QString& name : beside) writeBytes(file(name), "x");
    {
      TForm_Main window(*m_context, program(), {file("HELLO.ASM")});
      QCOMPARE(m_context->settings().SourceFile, file("HELLO.ASM"));
      for (const QString& other : beside) QVERIFY2(QFileInfo::exists(file(other)), qPrintable(other));
    }
    // Closing the document removes its by-products as always, never the source or the program.
    QCOMPARE(QDir(m_files->path()).entryList(QDir::Files),
             (QStringList{"HELLO.ASM", "HELLO.EXE", "NOTES.LST"}));
    {
      TForm_Main window(*m_context, program(), {file("NOTES.LST")});
      QCOMPARE(window.Editor->Line(0), QStringLiteral("my notes"));
    }
    QCOMPARE(readAll(file("NOTES.LST")), QByteArray("my notes\r\n"));
  }

  void aFileFromTheCommandLineShowsLineOne() {
    QByteArray text;
    for (int i = 1; i <= 400; ++i) text += "mov ax," + QByteArray::number(i) + " ;line\r\n";
    writeBytes(file("LONG.ASM"), text);
    TForm_Main window(*m_context, program(), {file("LONG.ASM")});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    QCOMPARE(window.Editor->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE), 0L);
    QCOMPARE(window.Editor->CaretY(), 1);
  }

  void openingAFileNamedLikeAByProductKeepsIt() {
    writeBytes(file("a.asm"), "nop\r\n");
    QVERIFY(m_main->OpenDocument(file("a.asm")));
    for (const char* name : {"a.LST", "a.Obj"}) writeBytes(file(name), "x");
    QVERIFY(m_main->OpenDocument(file("a.LST")));
    QVERIFY(QFileInfo::exists(file("a.LST")));
    QVERIFY(!QFileInfo::exists(file("a.Obj")));
    QVERIFY(QFileInfo::exists(file("a.asm")));
  }

  void fileChangedOnDiskIsAskedAboutBeforeCtrlS() {
    const QString path = file("c.asm");
    writeBytes(path, ";mine\r\n");
    QVERIFY(m_main->OpenDocument(path));
    writeBytes(path, ";theirs, longer\r\n");
    m_main->Editor->PutLine(0, ";edited");
    m_main->MainMenu_SaveClick();  // no answer scripted: the box was closed, which cancels
    QCOMPARE(m_prompter.prompts().size(), 1);
    QCOMPARE(m_prompter.prompts()[0].kind, ScriptedPrompter::Kind::Choice);
    QCOMPARE(readAll(path), QByteArray(";theirs, longer\r\n"));
    QVERIFY(m_main->Editor->Modified());
    m_prompter.queueChoice(0);  // reload
    m_main->MainMenu_SaveClick();
    QCOMPARE(m_main->Editor->Line(0), QStringLiteral(";theirs, longer"));
    QVERIFY(!m_main->Editor->Modified());
    writeBytes(path, ";theirs again\r\n");
    m_main->Editor->PutLine(0, ";edited");
    m_prompter.queueChoice(1);  // overwrite
    m_main->MainMenu_SaveClick();
    QCOMPARE(readAll(path), QByteArray(";edited\r\n"));
    m_prompter.clear();
    m_main->Editor->PutLine(0, ";again");
    m_main->MainMenu_SaveClick();  // the file is ours now: no question
    QCOMPARE(m_prompter.texts(), QStringList());
    QCOMPARE(readAll(path), QByteArray(";again\r\n"));
  }

  // The disk fills up half way (a file-size limit stands in for it): the original stays whole, the
  // user reads why, the document stays modified and no temporary file is left behind.
  void fullDiskLeavesTheOriginal() {
    const QString path = file("f.asm");
    writeBytes(path, ";original\r\n");
    QVERIFY(m_main->OpenDocument(path));
    m_main->Editor->PutLine(0, ";" + QString(5000, 'x'));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    m_main->MainMenu_SaveClick();
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(m_prompter.texts()[0].contains("f.asm"));
    QCOMPARE(readAll(path), QByteArray(";original\r\n"));
    QVERIFY(m_main->Editor->Modified());
    QCOMPARE(QDir(m_files->path()).entryList(QDir::Files), QStringList{"f.asm"});
  }

  void unwritableDirectoryLeavesTheOriginal() {
    const QString path = file("u.asm");
    writeBytes(path, ";original\r\n");
    QVERIFY(m_main->OpenDocument(path));
    m_main->Editor->PutLine(0, ";new");
    if (!makeUnwritable(m_files->path(), true)) QSKIP("the directory cannot be made unwritable here");
    m_main->MainMenu_SaveClick();
    makeUnwritable(m_files->path(), false);
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(m_prompter.texts()[0].contains("u.asm"));
    QCOMPARE(readAll(path), QByteArray(";original\r\n"));
    QVERIFY(m_main->Editor->Modified());
  }

  void saveKeepsPermissionsAndWritesThroughALink() {
    const QString real = file("real.asm");
    writeBytes(real, ";old\r\n");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QFile::setPermissions(real, mode);
    QVERIFY(QFile::link(real, file("link.asm")));
    QVERIFY(m_main->OpenDocument(file("link.asm")));
    m_main->Editor->PutLine(0, ";new");
    m_main->MainMenu_SaveClick();
    QVERIFY(QFileInfo(file("link.asm")).isSymLink());
    QCOMPARE(readAll(real), QByteArray(";new\r\n"));
    QCOMPARE(QFileInfo(real).permissions() & 0x7077, mode);
  }

  void captionIsExactAndStarredWhileModified() {
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Korvash - NoName.asm"));
    m_main->Editor->PutLine(0, ";x");
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Korvash - NoName.asm*"));
    m_nextFile = file("s.asm");
    m_main->MainMenu_SaveClick();
    QCOMPARE(m_main->windowTitle(), "Korvash - " + file("s.asm"));
    m_main->Editor->FormatAll();  // F4 keeps the modified flag, and so the caption
    QCOMPARE(m_main->windowTitle(), "Korvash - " + file("s.asm"));
  }

  void menuSeparatorsHaveNoText() {
    for (QAction* menu : m_main->menuBar()->actions()) {
      for (QAction* a : menu->menu()->actions()) {
        if (a->isSeparator()) QCOMPARE(a->text(), QString());
      }
    }
  }

  void navigationNodesHavePictures() {
    NavigationTree* tree = m_main->TreeView;
    m_main->MainMenu_FormatClick();
    tree->rebuild();
    for (int i = 0; i < kNavigationRootCount; ++i) {
      QVERIFY(!tree->root(i)->icon(0).isNull());
      for (int c = 0; c < tree->root(i)->childCount(); ++c) QVERIFY(!tree->root(i)->child(c)->icon(0).isNull());
    }
    QVERIFY(tree->root(1)->childCount() > 0);
  }

  void helpWithoutABrowserNamesTheManual() {
    writeBytes(m_context->settings().HelpFile, "<html>");
    const QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(m_files->path()));
    qunsetenv("BROWSER");
    m_main->MainMenu_HelpContextClick();
    qputenv("PATH", path);
    if (!browser.isEmpty()) qputenv("BROWSER", browser);
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(m_prompter.texts()[0].contains(m_context->settings().HelpFile));
  }

  void secondGotoLineMarksAndLocksAndCentres() {
    m_main->resize(800, 600);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    TIDE* ed = m_main->Editor;
    QStringList lines;
    for (int i = 1; i <= 300; ++i) lines << QStringLiteral(";line %1").arg(i);
    ed->SetLines(lines);
    for (int n : {5, 200, 150}) {
      m_main->search()->GotoLine(n);
      QCOMPARE(ed->SelText(), QStringLiteral(";line %1\r\n").arg(n));
      QVERIFY(ed->FLocked);
      QVERIFY(ed->isReadOnly());
      QCOMPARE(ed->SelectedBackground(), QColor(255, 0, 0));
      const long top = ed->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE);
      const long rows = ed->SendScintilla(QsciScintilla::SCI_LINESONSCREEN);
      if (n > rows) QVERIFY2(std::abs((n - 1) - (top + rows / 2)) <= 1, qPrintable(QString::number(top)));
    }
  }

  // F4 is one undo step; the caret and the breakpoints stay where they were, also through undo.
  void formatAllIsOneUndoStepKeepingCaretAndBreakpoints() {
    TIDE* ed = m_main->Editor;
    QStringList raw;
    for (int i = 0; i < 40; ++i) raw << (i % 2 ? QStringLiteral("mov ax,%1").arg(i) : QStringLiteral("lbl%1: nop").arg(i));
    ed->SetLines(raw);
    ed->SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
    m_context->debugger().ClearBreakpoints();
    ed->ToggleBreakpoint(10);
    ed->ToggleBreakpoint(31);
    ed->SetCaretXY(4, 20);
    const QStringList before = ed->Lines();  // the caret's move laid out the line it left
    ed->FormatAll();
    QCOMPARE(ed->Line(1), QStringLiteral("              MOV       AX,1"));
    QCOMPARE(ed->CaretX(), 4);
    QCOMPARE(ed->CaretY(), 20);
    QVERIFY(ed->CanUndo());
    ed->undo();
    QCOMPARE(ed->Lines(), before);
    ed->undo();  // the line laid out when the caret left it
    QCOMPARE(ed->Lines(), raw);
    QVERIFY(!ed->CanUndo());
    ed->redo();
    ed->redo();
    QCOMPARE(ed->Line(1), QStringLiteral("              MOV       AX,1"));
    for (int line = 1; line <= 40; ++line) {
      QCOMPARE(m_context->debugger().GetBreakpoint(line), (line == 10 || line == 31) ? 1 : 0);
    }
  }

 private:
  QString program() const { return m_home->filePath("korvash"); }
  QString file(const QString& name) const { return m_files->filePath(name); }

  std::unique_ptr<QTemporaryDir> m_home;
  std::unique_ptr<QTemporaryDir> m_files;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_main;
  ScriptedPrompter m_prompter;
  QString m_nextFile;
};

QTEST_MAIN(EditorSafetyTest)
#include "editor_safety_test.moc"
