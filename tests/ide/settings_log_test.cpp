// The scrambled log and the .asm association offer at start.
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "prompt/prompter.h"
#include "settings/association.h"
#include "settings/log.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

const QString kQuestion =
    QStringLiteral("汇编文件的打开方式在当前的设置中，\r\n不是用Korvash打开，要设置成用Korvash\r\n打开吗？");

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Splits a log back into its pieces: every piece restarts the key and ends with CR LF.
QList<QByteArray> logPieces(const QByteArray& hex) {
  QList<QByteArray> pieces;
  qsizetype start = 0;
  for (qsizetype end = start + 4; end <= hex.size(); end += 2) {
    QByteArray plain = unscrambleLogPiece(hex.mid(start, end - start));
    if (plain.endsWith("\r\n")) {
      pieces << plain;
      start = end;
      end = start + 2;
    }
  }
  return pieces;
}

}  // namespace

class LogAndAssociationTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_home;
  std::unique_ptr<QTemporaryDir> m_program;

  QString programFile() const { return m_program->path() + "/korvash"; }

 private slots:
  void init() {
    m_program = std::make_unique<QTemporaryDir>();
    // A fresh user for every test: no association, no configuration.
    QString home = m_program->path() + "/home";
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/cache").toUtf8());
  }

  void scrambledPieceIsTwiceAsLongAndHexOnly_data() {
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("ascii") << QByteArray("RunCMDLine:12:00:01:5\t9\r\n");
    QTest::newRow("longer than the key") << QByteArray(100, '\0');
    QTest::newRow("chinese") << QStringLiteral("正在链接，请稍候……\r\n").toUtf8();
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\x80\x7f", 4);
  }
  void scrambledPieceIsTwiceAsLongAndHexOnly() {
    QFETCH(QByteArray, piece);
    QByteArray hex = scrambleLogPiece(piece);
    QCOMPARE(hex.size(), piece.size() * 2);
    QVERIFY(QRegularExpression("^[0-9A-F]*$").match(QString::fromLatin1(hex)).hasMatch());
    QCOMPARE(unscrambleLogPiece(hex), piece);
    QVERIFY(piece.isEmpty() || hex != piece.toHex().toUpper());  // actually scrambled
  }

  void headerAndTextPieces() {
    QCOMPARE(logHeaderPiece("GetStartAddr", QTime(9, 5, 7, 42), 13), QByteArray("GetStartAddr:9:05:07:42\t13\r\n"));
    QCOMPARE(logTextPiece(""), QByteArray("[EMPTYSTRING]\r\n"));
    QCOMPARE(logTextPiece("abc"), QByteArray("abc\r\n"));
  }

  void writeLogHonoursTheLevel_data() {
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("written");
    QTest::newRow("default skips the runner") << 99 << 1 << false;
    QTest::newRow("default writes the debugger") << 99 << 99 << true;
    QTest::newRow("default writes 100") << 99 << 100 << true;
    QTest::newRow("1 writes everything") << 1 << 1 << true;
    QTest::newRow("101 writes nothing") << 101 << 100 << false;
  }
  void writeLogHonoursTheLevel() {
    QFETCH(int, threshold);
    QFETCH(int, level);
    QFETCH(bool, written);
    TSet set(programFile(), QSize(800, 600));
    set.LogLevel = threshold;
    WriteLog(set, "Tag", QByteArray("text"), level);
    QCOMPARE(QFile::exists(set.LogFile), written);
  }

  void entriesReadBack() {
    TSet set(programFile(), QSize(800, 600));
    WriteLog(set, "", QByteArray("only text"), 99);
    WriteLog(set, "Load Lst File", QByteArray(), 99);
    QList<QByteArray> pieces = logPieces(readAll(set.LogFile));
    QCOMPARE(pieces.size(), 3);
    QCOMPARE(pieces[0], QByteArray("only text\r\n"));
    QVERIFY(pieces[1].startsWith("Load Lst File:"));
    QVERIFY(pieces[1].endsWith("\t0\r\n"));
    QCOMPARE(pieces[2], QByteArray("[EMPTYSTRING]\r\n"));
  }

  void entriesFromTwoThreadsDoNotInterleave() {
    TSet set(programFile(), QSize(800, 600));
    set.LogLevel = 1;
    auto writer = [&set](const char* tag, const char* text) {
      for (int i = 0; i < 200; ++i) WriteLog(set, tag, QByteArray(text), 1);
    };
    std::thread a(writer, "A", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    std::thread b(writer, "B", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
    a.join();
    b.join();
    QList<QByteArray> pieces = logPieces(readAll(set.LogFile));
    QCOMPARE(pieces.size(), 800);
    for (int i = 0; i < pieces.size(); i += 2) {
      char tag = pieces[i].at(0);
      QVERIFY2(pieces[i + 1].startsWith(tag == 'A' ? "aaa" : "bbb"), pieces[i].constData());
    }
  }

  void associationWrittenIsRecognisedAtTheNextStart() {
    ScriptedPrompter prompter;
    {
      TSet set(programFile(), QSize(800, 600));
      QVERIFY(!set.IsAsmAssociated());
      prompter.queue(Answer::Yes);
      QVERIFY(offerAsmAssociation(set, prompter));
      QCOMPARE(prompter.texts(), QStringList{kQuestion});
      QCOMPARE(prompter.prompts().first().kind, ScriptedPrompter::Kind::YesNo);
      // The desktop entry names a picture that exists.
      QFile desktop(QString::fromStdString(set.AssociationPaths.applicationsDir) + "/korvash.desktop");
      QVERIFY(desktop.open(QIODevice::ReadOnly));
      QString icon;
      for (const QByteArray& line : desktop.readAll().split('\n')) {
        if (line.startsWith("Icon=")) icon = QString::fromUtf8(line.mid(5));
      }
      QVERIFY(!icon.isEmpty());
      QVERIFY(!QImage(icon).isNull());
    }
    prompter.clear();
    TSet next(programFile(), QSize(800, 600));
    QVERIFY(next.IsAsmAssociated());
    QVERIFY(!offerAsmAssociation(next, prompter));
    QVERIFY(prompter.prompts().isEmpty());
  }

  void answeringNoAsksAgainNextTime() {
    ScriptedPrompter prompter;
    for (int start = 0; start < 2; ++start) {
      TSet set(programFile(), QSize(800, 600));
      prompter.queue(Answer::No);
      QVERIFY(offerAsmAssociation(set, prompter));
    }
    QCOMPARE(prompter.texts(), QStringList({kQuestion, kQuestion}));
  }

  void switchedOffInTheFileNeverAsks() {
    QFile ini(m_program->path() + "/KRVS.Ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[编辑环境]\n用Korvash打开=0\n");
    ini.close();
    ScriptedPrompter prompter;
    TSet set(programFile(), QSize(800, 600));
    QVERIFY(set.IsAsmAssociated());
    QVERIFY(!offerAsmAssociation(set, prompter));
    QVERIFY(prompter.prompts().isEmpty());
  }

  void failedWriteShowsTheManualHint() {
    QFile blocker(m_program->path() + "/blocker");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", (blocker.fileName() + "/data").toUtf8());
    ScriptedPrompter prompter;
    prompter.queue(Answer::Yes);
    TSet set(programFile(), QSize(800, 600));
    QVERIFY(offerAsmAssociation(set, prompter));
    QCOMPARE(prompter.texts(), QStringList({kQuestion, QStringLiteral("无法修改注册表，请用手工方式建立文件关联。")}));
    QCOMPARE(prompter.prompts().last().kind, ScriptedPrompter::Kind::InformPlain);
    QVERIFY(!set.IsAsmAssociated());
  }
};

QTEST_MAIN(LogAndAssociationTest)
#include "settings_log_test.moc"
