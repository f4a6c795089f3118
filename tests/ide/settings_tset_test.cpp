// The settings store: defaults, the file it writes, what it keeps, the recent list, log rotation.
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "settings/colors.h"
#include "settings/tset.h"

using krvs::ide::TSet;

namespace {

const QSize kScreen(1024, 768);

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// The "key=value" lines of one section of a saved file, in order.
QStringList sectionLines(const QByteArray& file, const QString& section) {
  QStringList result;
  bool inside = false;
  for (const QString& line : QString::fromUtf8(file).split('\n')) {
    if (line.startsWith('[')) {
      inside = line == "[" + section + "]";
    } else if (inside && line.contains('=')) {
      result << line;
    }
  }
  return result;
}

}  // namespace

class TSetTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_home;
  QString m_dir;  // the program's home for one test
  std::unique_ptr<QTemporaryDir> m_program;

  QString programFile() const { return m_dir + "/korvash"; }
  QString iniPath() const { return m_dir + "/KRVS.Ini"; }

 private slots:
  void initTestCase() {
    // Nothing of the user's own configuration is read or written.
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (m_home.path() + "/cache").toUtf8());
  }

  void init() {
    m_program = std::make_unique<QTemporaryDir>();
    m_dir = m_program->path();
  }

  void firstStartWritesEveryKeyExceptTheLogLevel() {
    {
      TSet set(programFile(), kScreen);
      QCOMPARE(set.RecentFiles.size(), 10);
      QCOMPARE(set.RecentCount(), 0);
      QCOMPARE(set.LogLevel, 99);
      QCOMPARE(set.BinDir, m_dir + "/Bin/");
      QCOMPARE(set.ErrorFile, m_dir + "/Bin/Error.Txt");
      QCOMPARE(set.IniFileName, iniPath());
      QCOMPARE(set.LogFile, m_dir + "/KRVSLOG_1.dump");
      QCOMPARE(set.HelpFile, m_dir + "/KRVS.html");
      QVERIFY(!QFile::exists(iniPath()));  // nothing is written before exit
    }
    QByteArray file = readAll(iniPath());
    QCOMPARE(sectionLines(file, "编辑环境"),
             QStringList({"用Korvash打开=1", "格式化程序=1", "彩色显示=1", "字体=Courier New", "字体颜色=0",
                          "字体大小=10", "背景颜色=-2147483624"}));
    QCOMPARE(sectionLines(file, "S"), QStringList({"DIresU=*"}));
    QCOMPARE(sectionLines(file, "编译参数"),
             QStringList({"TASM参数=/la/zi/c", "TLink参数=/v/m/M/l/s", "使用用户参数=0", "用户TASM参数=",
                          "用户TLink参数="}));
    QCOMPARE(sectionLines(file, "界面控制"),
             QStringList({"显示导航栏=1", "导航栏宽度=169", "显示错误栏=1", "错误栏宽度=109", "显示关于对话框=0",
                          "窗口宽度=848", "窗口高度=656", "窗口高位置=56", "窗口左位置=88", "最大化=0"}));
    QCOMPARE(sectionLines(file, "格式设置"),
             QStringList({"格式处理=0", "第一列宽度=12", "第二列宽度=8", "第三列宽度=12", "第一间隔宽度=2",
                          "第二间隔宽度=2"}));
    QCOMPARE(sectionLines(file, "最近使用的文件"),
             QStringList({"0=", "1=", "2=", "3=", "4=", "5=", "6=", "7=", "8=", "9="}));
    QVERIFY(!file.contains("日志级别"));
    QVERIFY(!file.contains("[调试]"));
  }

  void windowDefaultsFollowTheScreen_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QList<int>>("expected");  // width, height, left, top, navigator, error bar
    QTest::newRow("1024x768") << QSize(1024, 768) << QList<int>{848, 656, 88, 56, 169, 109};
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QList<int>{1520, 890, 200, 95, 304, 148};
    QTest::newRow("odd 801x601") << QSize(801, 601) << QList<int>{680, 530, 60, 35, 136, 88};
  }
  void windowDefaultsFollowTheScreen() {
    QFETCH(QSize, screen);
    QFETCH(QList<int>, expected);
    TSet set(programFile(), screen);
    QCOMPARE((QList<int>{set.WindowWidth, set.WindowHeight, set.WindowLeft, set.WindowTop, set.NavigatorWidth,
                         set.ErrorBarHeight}),
             expected);
  }

  void logLevelIsReadButNeverWritten() {
    writeFile(iniPath(), "[调试]\n日志级别=1\n[其他]\n自己的键=保留\n");
    {
      TSet set(programFile(), kScreen);
      QCOMPARE(set.LogLevel, 1);
      set.LogLevel = 50;  // even a changed level stays out of the file
    }
    QByteArray file = readAll(iniPath());
    QCOMPARE(sectionLines(file, "调试"), QStringList({"日志级别=1"}));
    QCOMPARE(sectionLines(file, "其他"), QStringList({"自己的键=保留"}));
  }

  void storedValuesAreReadAndBadOnesFallBack_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer") << QByteArray("[界面控制]\n窗口宽度=700\n") << "WindowWidth" << "700";
    QTest::newRow("integer not a number") << QByteArray("[界面控制]\n窗口宽度=7x\n") << "WindowWidth" << "848";
    QTest::newRow("negative integer") << QByteArray("[界面控制]\n窗口左位置=-8\n") << "WindowLeft" << "-8";
    QTest::newRow("bool any non-zero") << QByteArray("[界面控制]\n最大化=2\n") << "Maximized" << "1";
    QTest::newRow("bool zero") << QByteArray("[界面控制]\n显示导航栏=0\n") << "ShowNavigator" << "0";
    QTest::newRow("bool garbage") << QByteArray("[界面控制]\n显示导航栏=yes\n") << "ShowNavigator" << "1";
    QTest::newRow("fixed default on garbage")
        << QByteArray("[界面控制]\n显示关于对话框=yes\n") << "ShowAboutAtStart" << "0";
    QTest::newRow("text as is") << QByteArray("[编译参数]\n用户TASM参数=/ml /zi\n") << "UserTasmOptions"
                                << "/ml /zi";
    QTest::newRow("font name") << QByteArray("[编辑环境]\n字体=宋体\n") << "FontName" << "宋体";
    QTest::newRow("font size") << QByteArray("[编辑环境]\n字体大小=14\n") << "FontSize" << "14";
    QTest::newRow("marker") << QByteArray("[S]\nDIresU=12345\n") << "FirstRunMarker" << "12345";
    QTest::newRow("recent") << QByteArray("[最近使用的文件]\n3=/a/b.asm\n") << "Recent3" << "/a/b.asm";
    QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[[[\n=\x01\x02\n", 11) << "WindowWidth"
                                    << "848";
  }
  void storedValuesAreReadAndBadOnesFallBack() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    writeFile(iniPath(), ini);
    TSet set(programFile(), kScreen);
    const QMap<QString, QString> values{
        {"WindowWidth", QString::number(set.WindowWidth)},
        {"WindowLeft", QString::number(set.WindowLeft)},
        {"Maximized", QString::number(set.Maximized)},
        {"ShowNavigator", QString::number(set.ShowNavigator)},
        {"ShowAboutAtStart", QString::number(set.ShowAboutAtStart)},
        {"UserTasmOptions", set.UserTasmOptions},
        {"FontName", set.EditorFont.Name},
        {"FontSize", QString::number(set.EditorFont.Size)},
        {"FirstRunMarker", set.FirstRunMarker},
        {"Recent3", set.RecentFiles.value(3)},
    };
    QCOMPARE(values.value(field), expected);
    QCOMPARE(set.RecentFiles.size(), 10);
  }

  void gbkFileFromAnotherSystemIsUnderstood() {
    QStringEncoder gbk("GB18030");
    writeFile(iniPath(), gbk(QStringLiteral("[编辑环境]\r\n字体=宋体\r\n[界面控制]\r\n窗口宽度=777\r\n")));
    {
      TSet set(programFile(), kScreen);
      QCOMPARE(set.EditorFont.Name, QStringLiteral("宋体"));
      QCOMPARE(set.WindowWidth, 777);
    }
    QByteArray file = readAll(iniPath());
    QCOMPARE(sectionLines(file, "界面控制").count(QStringLiteral("窗口宽度=777")), 1);
  }

  // One byte that is neither UTF-8 nor GBK costs only its own line: the rest is read, the damaged
  // original is kept as KRVS.Ini.bad, and the new file has the right section names.
  void damagedLineLosesOnlyItselfAndTheOriginalIsKept() {
    const QByteArray original("[界面控制]\n窗口宽度=777\n窗口高度=6\xff\n[编辑环境]\n字体=宋体\n");
    writeFile(iniPath(), original);
    {
      TSet set(programFile(), kScreen);
      QCOMPARE(set.WindowWidth, 777);
      QCOMPARE(set.EditorFont.Name, QStringLiteral("宋体"));
      QCOMPARE(set.WindowHeight, 656);  // the damaged line's key keeps its default
    }
    QCOMPARE(readAll(iniPath() + ".bad"), original);
    const QByteArray file = readAll(iniPath());
    QVERIFY(sectionLines(file, "界面控制").contains(QStringLiteral("窗口宽度=777")));
    QVERIFY(sectionLines(file, "编辑环境").contains(QStringLiteral("字体=宋体")));
  }

  void binaryGarbageIsKeptAsBad() {
    const QByteArray garbage("\x00\xff\xfe[[[\n=\x01\x02\n", 11);
    writeFile(iniPath(), garbage);
    { TSet set(programFile(), kScreen); }
    QCOMPARE(readAll(iniPath() + ".bad"), garbage);
    QVERIFY(!sectionLines(readAll(iniPath()), "界面控制").isEmpty());
  }

  void aSymbolicLinkIsWrittenThroughToItsTarget() {
    const QString target = QFileInfo(iniPath()).absolutePath() + "/real.ini";
    writeFile(target, "[界面控制]\n窗口宽度=701\n");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(QFile::link(target, iniPath()));
    {
      TSet set(programFile(), kScreen);
      QCOMPARE(set.WindowWidth, 701);
      set.WindowWidth = 702;
    }
    QVERIFY(QFileInfo(iniPath()).isSymLink());
    QVERIFY(sectionLines(readAll(target), "界面控制").contains(QStringLiteral("窗口宽度=702")));
    QCOMPARE(QFileInfo(target).permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!QFileInfo::exists(iniPath() + ".bad"));
  }

  void unreadableSettingsGiveDefaultsAndAreNotLost() {
    // A directory where the file should be: it cannot be read, and saving reports the failure.
    QVERIFY(QDir().mkpath(iniPath()));
    TSet set(programFile(), kScreen);
    QCOMPARE(set.WindowWidth, 848);
    QVERIFY(!set.SaveSettings());
    QVERIFY(!set.lastError().isEmpty());
    QVERIFY(QFileInfo(iniPath()).isDir());
  }

  void savedValuesComeBack() {
    {
      TSet set(programFile(), kScreen);
      set.Maximized = true;
      set.EditorFont = {QStringLiteral("宋体"), 12, 255};
      set.UserTLinkOptions = QStringLiteral("/t");
      set.FirstRunMarker = QStringLiteral("42");
      set.AddRecent(QStringLiteral("/a/程序.asm"));
    }
    TSet set(programFile(), kScreen);
    QVERIFY(set.Maximized);
    QCOMPARE(set.EditorFont.Name, QStringLiteral("宋体"));
    QCOMPARE(set.EditorFont.Size, 12);
    QCOMPARE(set.EditorFont.Color, 255);
    QCOMPARE(set.UserTLinkOptions, QStringLiteral("/t"));
    QCOMPARE(set.FirstRunMarker, QStringLiteral("42"));
    QCOMPARE(set.RecentFiles.first(), QStringLiteral("/a/程序.asm"));
    QCOMPARE(set.RecentCount(), 1);
  }

  void addRecentFoldsCaseAndKeepsOrder() {
    TSet set(programFile(), kScreen);
    set.RecentFiles = {"p0", "p1", "p2", "c:\\a\\x.asm", "p4", "", "", "", "", ""};
    set.AddRecent("C:\\A\\X.ASM");
    QCOMPARE(set.RecentFiles, QStringList({"C:\\A\\X.ASM", "p0", "p1", "p2", "p4", "", "", "", "", ""}));
    QCOMPARE(set.RecentCount(), 5);
    set.DeleteRecent(1);
    set.DeleteRecent(99);
    set.DeleteRecent(-1);
    QCOMPARE(set.RecentFiles.size(), 9);
    QCOMPARE(set.RecentFiles.mid(0, 2), QStringList({"C:\\A\\X.ASM", "p1"}));
    set.ClearRecent();
    QCOMPARE(set.RecentFiles.size(), 9);
    QCOMPARE(set.RecentCount(), 0);
  }

  void onlyTheTenMostRecentAreStored() {
    {
      TSet set(programFile(), kScreen);
      for (int i = 0; i < 11; ++i) set.AddRecent(QString("/p/%1.asm").arg(i));
      QCOMPARE(set.RecentFiles.size(), 21);
      QCOMPARE(set.RecentCount(), 10);
    }
    QStringList expected;
    for (int i = 0; i < 10; ++i) expected << QString("%1=/p/%2.asm").arg(i).arg(10 - i);
    QCOMPARE(sectionLines(readAll(iniPath()), "最近使用的文件"), expected);
  }

  void restoreDefaultsKeepsRecentAndMarker() {
    TSet set(programFile(), kScreen);
    set.AddRecent("/x.asm");
    set.FirstRunMarker = "7";
    set.WindowWidth = 10;
    set.TasmOptions = "/la";
    set.CaseMode = 2;
    set.RestoreDefaults();
    QCOMPARE(set.RecentFiles.first(), QStringLiteral("/x.asm"));
    QCOMPARE(set.FirstRunMarker, QStringLiteral("7"));
    QCOMPARE(set.WindowWidth, 848);
    QCOMPARE(set.TasmOptions, QStringLiteral("/la/zi/c"));
    QCOMPARE(set.CaseMode, 0);
    QCOMPARE(set.BackColor, krvs::ide::kColorInfoBk);
  }

  void effectiveOptions_data() {
    QTest::addColumn<bool>("useUser");
    QTest::addColumn<QString>("tasm");
    QTest::addColumn<QString>("tlink");
    QTest::newRow("standard") << false << "/la/zi/c" << "/v/m/M/l/s";
    QTest::newRow("user") << true << "/mx" << "/t";
  }
  void effectiveOptions() {
    QFETCH(bool, useUser);
    TSet set(programFile(), kScreen);
    set.UserTasmOptions = "/mx";
    set.UserTLinkOptions = "/t";
    set.UseUserOptions = useUser;
    QTEST(set.EffectiveTasmOptions(), "tasm");
    QTEST(set.EffectiveTLinkOptions(), "tlink");
  }

  void logRotatesAboveTheLimit_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("rotated");
    QTest::newRow("512000 stays") << 512000 << false;
    QTest::newRow("512001 rotates") << 512001 << true;
    QTest::newRow("empty stays") << 0 << false;
  }
  void logRotatesAboveTheLimit() {
    QFETCH(int, size);
    QFETCH(bool, rotated);
    writeFile(m_dir + "/KRVSLOG_1.dump", QByteArray(size, 'A'));
    writeFile(m_dir + "/KRVSLOG_2.log", "older");
    TSet set(programFile(), kScreen);
    QCOMPARE(QFile::exists(m_dir + "/KRVSLOG_1.dump"), !rotated);
    QCOMPARE(QFileInfo(m_dir + "/KRVSLOG_2.log").size(), rotated ? qint64(size) : qint64(5));
  }

  void colorsDecode_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QColor>("color");
    QTest::newRow("black") << 0 << QColor(0, 0, 0);
    QTest::newRow("red is low byte") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("blue is high byte") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("info background") << krvs::ide::kColorInfoBk
                                     << QGuiApplication::palette().color(QPalette::ToolTipBase);
  }
  void colorsDecode() {
    QFETCH(int, stored);
    QFETCH(QColor, color);
    QCOMPARE(krvs::ide::colorFromStored(stored), color);
    if (!krvs::ide::isSystemColor(stored)) QCOMPARE(krvs::ide::storedFromColor(color), stored);
  }
};

QTEST_MAIN(TSetTest)
#include "settings_tset_test.moc"
