// The editor control on the offscreen platform: template, load/save, views, Enter, highlight lock,
// breakpoints in the gutter, DeleteForward.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "asmtext/TFormat.h"
#include "debugger/tdebugger.h"
#include "editor/tide.h"

using namespace krvs::ide;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

void press(QWidget* w, Qt::Key key, const QString& text = {}) {
  QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(w, &down);
  QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(w, &up);
}

const QString kFormattedStart = QStringLiteral("      START:  MOV       AX,DATAS    ;初始化");

}  // namespace

class EditorTideTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    m_ide = new TIDE(m_keywords, m_formatter, m_debugger);
    m_ide->resize(600, 400);
    m_ide->show();
  }
  void cleanup() { delete m_ide; }

  void newFileGivesFormattedUnmodifiedTemplate() {
    m_ide->SetLines({"x"});
    m_debugger.SetBreakpoint(3, 1);
    m_ide->NewFile();
    QCOMPARE(m_ide->LineCount(), 18);
    QCOMPARE(m_ide->Line(0), QStringLiteral(";这是自动生成的代码模板"));
    QCOMPARE(m_ide->Line(10), kFormattedStart);
    QCOMPARE(m_ide->Line(11), QStringLiteral("              MOV       DS,AX"));
    QCOMPARE(m_ide->Line(6), QStringLiteral(" "));
    QVERIFY(!m_ide->Modified());
    QVERIFY(!m_ide->FHasFile);
    QVERIFY(!m_ide->CanUndo());
    for (auto list : {krvs::asmtext::NameList::Segments, krvs::asmtext::NameList::Labels})
      QCOMPARE(m_keywords.Count(list), size_t(0));
    QCOMPARE(m_debugger.GetLineMark(3), 0);
  }

  void loadShowsFormattedUnmodifiedAndSavesInItsEncoding_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("gbk") << QByteArray("start: mov ax,1 ;\xd6\xd0\nint 21h")
                         << QByteArray("      START:  MOV       AX,1        ;\xd6\xd0\r\n              INT       21H\r\n");
    QTest::newRow("utf8") << QByteArray("start: mov ax,1 ;\xe6\xb3\xa8\r\nint 21h\r\n")
                          << QByteArray("      START:  MOV       AX,1        ;\xe6\xb3\xa8\r\n              INT       21H\r\n");
    QTest::newRow("utf8_bom") << QByteArray("\xEF\xBB\xBFint 21h")
                              << QByteArray("\xEF\xBB\xBF              INT       21H\r\n");
  }
  void loadShowsFormattedUnmodifiedAndSavesInItsEncoding() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.asm");
    writeBytes(path, file);
    m_debugger.SetBreakpoint(1, 1);
    QVERIFY(m_ide->LoadFromFile(path));
    QVERIFY(m_ide->Line(0).startsWith("      START:  MOV") || m_ide->Line(0).contains("INT"));
    QVERIFY(!m_ide->Modified());
    QVERIFY(m_ide->FHasFile);
    QCOMPARE(m_debugger.GetLineMark(1), 0);
    QVERIFY(m_ide->SaveToFile(path));
    QCOMPARE(readAll(path), saved);
  }

  void unreadableFileKeepsText() {
    m_ide->SetLines({"keep"});
    QTemporaryDir dir;
    QString error;
    QVERIFY(!m_ide->LoadFromFile(dir.filePath("missing.asm"), &error));
    QVERIFY(error.contains("missing.asm"));
    QVERIFY(!m_ide->LoadFromFile(dir.path(), &error));
    QCOMPARE(m_ide->Lines(), QStringList{"keep"});
  }

  void failedSaveKeepsOldFileAndText_data() {
    QTest::addColumn<bool>("directoryInTheWay");
    QTest::newRow("directory") << true;
    QTest::newRow("no_permission") << false;
  }
  void failedSaveKeepsOldFileAndText() {
    QFETCH(bool, directoryInTheWay);
    QTemporaryDir dir;
    QString path = dir.filePath("a.asm");
    if (directoryInTheWay) {
      QVERIFY(QDir(dir.path()).mkdir("a.asm"));
    } else {
      writeBytes(path, "old\r\n");
      QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
      if (QFileInfo(dir.path()).isWritable()) QSKIP("running with rights that ignore permissions");
    }
    m_ide->SetLines({"new"});
    m_ide->SetModified(true);
    QString error;
    QVERIFY(!m_ide->SaveToFile(path, &error));
    QVERIFY2(error.contains("a.asm"), qPrintable(error));
    QVERIFY(m_ide->Modified());
    QCOMPARE(m_ide->Lines(), QStringList{"new"});
    if (!directoryInTheWay) {
      QCOMPARE(readAll(path), QByteArray("old\r\n"));
      QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
  }

  void listingViewSavesSourceAndSwitchBackRestores() {
    QTemporaryDir dir;
    const QString src = dir.filePath("p.asm");
    writeBytes(src, "int 21h\r\n");
    writeBytes(dir.filePath("P.lst"), "listing line\r\nstart: mov ax,1\r\n");
    m_ide->sourcePath = [src] { return src; };
    // The main window formats the line the caret left; a listing must never be touched by that.
    connect(m_ide, &TIDE::OnCaretMove, m_ide, [this] {
      int column = 0, line = 0;
      m_ide->GetCaretPos0(&column, &line);
      if (line != m_ide->FFormatLine && m_ide->GetSelLength() == 0) m_ide->FormatLeftLine(line);
    });
    QVERIFY(m_ide->LoadFromFile(src));
    m_ide->PutLine(0, "nop");
    m_ide->FFormatLine = 1;
    m_ide->SetCaretXY(1, 1);
    m_ide->SetView(1);
    m_ide->SetCaretXY(1, 2);
    m_ide->SetCaretXY(1, 1);
    QCOMPARE(m_ide->Lines(), (QStringList{"listing line", "start: mov ax,1"}));
    QVERIFY(m_ide->isReadOnly());
    QVERIFY(m_ide->SaveToFile(src));
    QCOMPARE(readAll(src), QByteArray("nop\r\n"));
    m_ide->SetView(2);  // no map file: empty and read-only, the copy still holds the source
    QCOMPARE(m_ide->LineCount(), 0);
    QVERIFY(m_ide->isReadOnly());
    QCOMPARE(m_ide->FSourceCopy, QByteArray("nop"));
    m_ide->SetView(0);
    QCOMPARE(m_ide->Lines(), QStringList{"nop"});
    QVERIFY(!m_ide->isReadOnly());
    QCOMPARE(m_ide->GetSelStart(), 1);
  }

  void enterFormatsLineLeftAndPutsCaretAtColumnOne() {
    m_ide->SetLines({"start: mov ax,1", "nop"});
    m_ide->SetCaretXY(16, 1);
    m_ide->FFormatLine = 0;
    press(m_ide, Qt::Key_Return, "\r");
    QCOMPARE(m_ide->LineCount(), 3);
    QCOMPARE(m_ide->Line(0), QStringLiteral("      START:  MOV       AX,1"));
    QCOMPARE(m_ide->Line(1), QString());
    QCOMPARE(m_ide->CaretY(), 2);
    QCOMPARE(m_ide->CaretX(), 1);
    QCOMPARE(m_ide->FFormatLine, 1);
    QCOMPARE(m_ide->GetSelLength(), 0);
  }

  void highlightLockRefusesDeleteAndEndsOnNextKey() {
    m_ide->SetLines({"aaa", "bbb", "ccc"});
    m_ide->HighlightLine(2, Qt::red, Qt::white);
    m_ide->BeginLock();
    QCOMPARE(m_ide->SelText(), QStringLiteral("bbb\r\n"));
    QCOMPARE(m_ide->SelectedBackground(), QColor(Qt::red));
    press(m_ide, Qt::Key_Delete);
    QCOMPARE(m_ide->Lines(), (QStringList{"aaa", "bbb", "ccc"}));
    QVERIFY(m_ide->FLocked);
    press(m_ide, Qt::Key_X, "x");
    QVERIFY(!m_ide->FLocked);
    QVERIFY(!m_ide->isReadOnly());
    QCOMPARE(m_ide->SelectedBackground(), TIDE::kNavy);
    QCOMPARE(m_ide->Lines(), (QStringList{"aaa", "xbbb", "ccc"}));
  }

  void caretMoveEndsLockAndOutOfRangeHighlightsNothing() {
    m_ide->SetLines({"aaa", "bbb"});
    m_ide->HighlightLine(3, Qt::red, Qt::white);
    QCOMPARE(m_ide->GetSelLength(), 0);
    m_ide->HighlightLine(1, Qt::red, Qt::white);
    m_ide->BeginLock();
    press(m_ide, Qt::Key_Down);
    QVERIFY(!m_ide->FLocked);
    QVERIFY(!m_ide->isReadOnly());
  }

  void breakpointsFollowInsertedAndDeletedLinesAndSurviveFormatAll() {
    m_ide->NewFile();
    m_ide->ToggleBreakpoint(12);
    m_ide->ToggleBreakpoint(16);
    m_ide->ToggleBreakpoint(99);  // below the last line: nothing changes
    QCOMPARE(m_debugger.GetLineMark(12), 1);
    // Two lines typed at the start of line 5.
    m_ide->SetCaretXY(1, 5);
    m_ide->insert("nop\r\nnop\r\n");
    QCOMPARE(m_debugger.GetLineMark(12), 0);
    QCOMPARE(m_debugger.GetLineMark(14), 1);
    QCOMPARE(m_debugger.GetLineMark(18), 1);
    // ...and deleted again.
    m_ide->SendScintilla(QsciScintilla::SCI_DELETERANGE,
                         m_ide->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 4), 10L);
    QCOMPARE(m_debugger.GetLineMark(12), 1);
    QCOMPARE(m_debugger.GetLineMark(16), 1);
    QCOMPARE(m_debugger.GetLineMark(14), 0);
    m_ide->FormatAll();
    QCOMPARE(m_debugger.GetLineMark(12), 1);
    QCOMPARE(m_debugger.GetLineMark(16), 1);
    m_ide->ToggleBreakpoint(12);
    QCOMPARE(m_debugger.GetLineMark(12), 0);
  }

  void gutterClickTogglesClickedLine() {
    m_ide->SetLines({"a", "b", "c"});
    m_debugger.ClearBreakpoints();
    const int h = int(m_ide->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 0));
    QTest::mouseClick(m_ide->viewport(), Qt::LeftButton, {}, QPoint(5, h + h / 2));
    QCOMPARE(m_debugger.GetLineMark(2), 1);
    QCOMPARE(m_debugger.GetLineMark(1), 0);
    QCOMPARE(m_ide->GetSelLength(), 0);
    QTest::mouseClick(m_ide->viewport(), Qt::LeftButton, {}, QPoint(5, h + h / 2));
    QCOMPARE(m_debugger.GetLineMark(2), 0);
  }

  void colourSwitchKeepsText() {
    m_ide->SetLines({"mov ax,1 ;c"});
    QVERIFY(m_ide->ColorShown());
    m_ide->SendScintilla(QsciScintilla::SCI_COLOURISE, 0UL, -1L);
    // Styles are the token kinds: reserved word, space, identifier, number, comment.
    const std::pair<int, int> styles[] = {{0, 2}, {3, 5}, {4, 1}, {7, 4}, {10, 0}};
    for (auto [pos, kind] : styles) QCOMPARE(int(m_ide->SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos)), kind);
    m_ide->ColorOff();
    QVERIFY(!m_ide->ColorShown());
    QCOMPARE(m_ide->Lines(), QStringList{"mov ax,1 ;c"});
    m_ide->ColorOn();
    QVERIFY(m_ide->ColorShown());
  }

  void deleteForward_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("char") << QStringList{"abc", "d"} << 2 << 1 << QStringList{"ac", "d"};
    QTest::newRow("join") << QStringList{"abc", "d"} << 4 << 1 << QStringList{"abcd"};
    QTest::newRow("last_line_end") << QStringList{"abc", "d"} << 2 << 2 << QStringList{"abc", "d"};
    QTest::newRow("virtual_space") << QStringList{"abc", "d"} << 7 << 1 << QStringList{"abc", "d"};
    QTest::newRow("cjk") << QStringList{"注释x"} << 3 << 1 << QStringList{"注x"};
  }
  void deleteForward() {
    QFETCH(QStringList, lines);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QStringList, expected);
    m_ide->SetLines(lines);
    m_ide->SetCaretXY(x, y);
    QCOMPARE(m_ide->CaretX(), x);
    m_ide->DeleteForward();
    QCOMPARE(m_ide->Lines(), expected);
  }

  void positionsCountCrLfAsTwo() {
    m_ide->SetLines({"ab", "注d"});
    QCOMPARE(m_ide->WholeTextBytes(), QByteArray("ab\r\n\xe6\xb3\xa8" "d\r\n"));
    QCOMPARE(m_ide->FindText("D", 1, 0, 10), 7);
    m_ide->SetSelStart(4);
    QCOMPARE(m_ide->CaretY(), 2);
    m_ide->SetSelLength(3);
    QCOMPARE(m_ide->SelText(), QStringLiteral("注"));
  }

 private:
  krvs::asmtext::TDB m_keywords;
  krvs::asmtext::TFormat m_formatter{m_keywords};
  TDebugger m_debugger;
  TIDE* m_ide = nullptr;
};

QTEST_MAIN(EditorTideTest)
#include "editor_tide_test.moc"
