// The main window shell: layout and captions, start-up checks, geometry, closing, notifications.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <thread>

#include "app/debug_notify.h"
#include "app/ide_context.h"
#include "app/shell_rules.h"
#include "app/tform_main.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

const char* const kTools[] = {"TASM.Exe", "TLink.Exe", "TD.Exe", "Rtm.EXe", "TDConfig.TD", "TD.Pif"};

void touch(const QString& path, const QByteArray& bytes = "x") {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QStringList captions(const QList<QAction*>& actions) {
  QStringList result;
  for (QAction* a : actions) {
    if (a->isSeparator()) {
      result << "-";
    } else {
      result << a->text() + (a->shortcut().isEmpty() ? QString() : "|" + a->shortcut().toString());
    }
  }
  return result;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_form;
  ScriptedPrompter m_prompter;

  QString home() const { return m_dir->path(); }
  QString program() const { return home() + "/korvash"; }

  // A complete installation whose settings do not ask about the association.
  void install(bool withHelp = true, const QStringList& skipTools = {}) {
    if (withHelp) touch(home() + "/KRVS.html", "<html>");
    for (const char* tool : kTools) {
      // The files the build put in Bin/, so a complete installation is a real one.
      if (!skipTools.contains(tool)) {
        QDir().mkpath(home() + "/Bin");
        QVERIFY(QFile::link(QStringLiteral(KRVS_TOOLS_DIR "/") + tool, home() + "/Bin/" + tool));
      }
    }
  }
  void setIni(const QByteArray& text) { touch(home() + "/KRVS.Ini", text); }

  TForm_Main& start(const QStringList& args = {}) {
    m_context = std::make_unique<IdeContext>(program(), QSize(1024, 768), m_prompter);
    m_form = std::make_unique<TForm_Main>(*m_context, program(), args);
    return *m_form;
  }
  void finish() {
    m_form.reset();
    m_context.reset();
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
  }
  void cleanup() { finish(); }

  void firstStartWritesTheSettingsFileAtExit() {
    install();
    TForm_Main& f = start();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QVERIFY(f.close());
    QVERIFY(!QFile::exists(home() + "/KRVS.Ini"));  // written once, when the store goes
    finish();
    QFile ini(home() + "/KRVS.Ini");
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(ini.readAll());
    for (const char* line : {"[界面控制]", "窗口宽度=848", "最大化=0", "[S]", "[最近使用的文件]", "9="}) {
      QVERIFY2(text.contains(QString::fromUtf8(line)), line);
    }
    QVERIFY(!text.contains(QStringLiteral("日志级别")));
  }

  void menusToolBarAndPopupAreLaidOutAsDesigned() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    QStringList menus;
    for (QAction* a : f.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"文件(&F)", "编辑(&E)", "查找(&F)", "运行(&R)", "调试(&R)", "设置(&S)", "窗口(&W)",
                                 "帮助(&H)"}));
    const QList<QStringList> items = {
        {"新建(&N)|Ctrl+N", "打开(&O)|Ctrl+O", "保存(&S)|Ctrl+S", "另存为(&A)...", "-", "最近的文件(&R)", "-",
         "退出(&X)"},
        {"全选(A)|Ctrl+A", "-", "复制(&C)|Ctrl+C", "剪切(&X)|Ctrl+X", "粘贴(&P)|Ctrl+P", "删除(&D)|Del", "-",
         "撤消(&Z)|Ctrl+Z", "重复(&Y)|Ctrl+Y"},
        {"查找(&F)...|Ctrl+F", "替换(&R)|Ctrl+R", "-", "查找下一个|F3", "-", "行定位|Ctrl+G"},
        {"整理格式|F4", "刷新彩显|F2", "-", "编译|Ctrl+F9", "生成|F7", "运行...|Ctrl+F5"},
        {"TD调试...|Ctrl+D", "-", "集成调试|F5", "单步|F10", "设置/取消断点|F9", "终止调试", "暂停"},
        {"环境设置(&S)...", "-", "彩色显示", "整理格式"},
        {"汇编程序", "映象文件", "交叉文件", "-", "导航框", "错误窗口"},
        {"帮助主题(&H)...|F1", "示例程序", "-", "扩展服务", "-", "最近更新", "作者博客", "关于(&A)..."},
    };
    for (int i = 0; i < items.size(); ++i) {
      QCOMPARE(captions(f.menuBar()->actions()[i]->menu()->actions()), items[i]);
    }
    QVERIFY(!f.action("MainMenu_Recent")->isVisible());
    QVERIFY(!f.action("MainMenu_RecentSep")->isVisible());
    QVERIFY(!f.action("MainMenu_WindowSep")->isVisible());
    for (const char* checked : {"MainMenu_ASM", "MainMenu_ColorShow", "MainMenu_FormatText", "MainMenu_Navi",
                                "MainMenu_ErrorList"}) {
      QVERIFY2(f.action(checked)->isChecked(), checked);
    }
    QVERIFY(!f.action("MainMenu_MAP")->isChecked());

    QStringList hints;
    for (QAction* a : f.ToolBar->actions()) hints << (a->isSeparator() ? "-" : a->toolTip());
    QCOMPARE(hints, QStringList({"新建", "打开", "保存", "-", "查找", "-", "整理格式", "编译", "生成", "运行", "调试", "-",
                                 "设置", "-", "扩展服务", "帮助"}));
    QCOMPARE(captions(f.PopupMenu->actions()),
             QStringList({"全选            Ctrl+A", "复制            Ctrl+C", "剪切            Ctrl+X",
                          "粘贴            Ctrl+P", "删除            Del", "撤消            Ctrl+Z", "-",
                          "查找            Ctrl+F", "替换            Ctrl+R", "-", "运行            F5",
                          "调试            Ctrl+D", "整理格式    F4", "刷新彩显    F2"}));
  }

  void panesPagesButtonsAndStatusPanels() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    QCOMPARE(f.windowTitle(), QStringLiteral("Korvash - NoName.asm"));
    QCOMPARE(f.settings().SourceFile, QStringLiteral("NoName.asm"));
    QCOMPARE(f.PageControl_Left->count(), 3);
    QCOMPARE((QStringList{f.PageControl_Left->tabText(0), f.PageControl_Left->tabText(1), f.PageControl_Left->tabText(2)}),
             QStringList({"导航", "调试", "查看"}));
    QCOMPARE((QStringList{f.PageControlBottom->tabText(0), f.PageControlBottom->tabText(1)}),
             QStringList({"编译输出", "调试窗口"}));
    QCOMPARE(f.PageControl_Left->currentIndex(), 0);
    QCOMPARE(f.PageControlBottom->currentIndex(), 0);
    QCOMPARE((QStringList{f.SpeedButton_LST->text(), f.SpeedButton_MAP->text(), f.SpeedButton_ASM->text()}),
             QStringList({"交叉文件", "映象文件", "汇编程序"}));
    QCOMPARE((QStringList{f.SpeedButton_LST->toolTip(), f.SpeedButton_MAP->toolTip(), f.SpeedButton_ASM->toolTip()}),
             QStringList({"显示交叉文件", "显示映象文件", "显示汇编程序"}));
    QVERIFY(f.SpeedButton_ASM->isChecked());
    QCOMPARE(f.SpeedButton_ASM->height(), 24);
    QCOMPARE(f.Panel_Right->height(), 24);
    QCOMPARE(f.Panel_Back->height(), 28);
    QCOMPARE(f.Image_About->toolTip(), QStringLiteral("关于"));
    QCOMPARE(f.ListBox_Error->toolTip(), QStringLiteral("单击跳转到错误行"));
    QCOMPARE(f.StringGrid_Reg->columnWidth(0), 48);
    QCOMPARE(f.StringGrid_Reg->columnWidth(1), 480);
    QCOMPARE(f.StringGrid_Mem->columnWidth(1), 128);
    QCOMPARE(f.StringGrid_Mem->horizontalHeaderItem(2)->text(), QStringLiteral("内容"));
    QCOMPARE(f.RecentItems.size(), 10);
    QCOMPARE(f.statusText(0), QStringLiteral("第1行\t第1列"));  // the new document put the caret there
    QCOMPARE(f.statusText(1), QStringLiteral("插入状态"));
    QCOMPARE(f.statusText(2), QString());
    QList<QLabel*> panels = f.statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(panels.size(), 3);
    QCOMPARE((QList<int>{panels[0]->width(), panels[1]->width(), panels[2]->width()}), (QList<int>{150, 70, 50}));
    QVERIFY(panels[1]->alignment() & Qt::AlignHCenter);
  }

  void itemsBuiltElsewhereStayDisabled() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    for (const char* name : {"MainMenu_Color"}) {  // "刷新彩显" has no action
      QVERIFY2(!f.action(name)->isEnabled(), name);
    }
    for (const char* name : {"MainMenu_Exit", "MainMenu_HelpContext", "Tool_HelpContext", "MainMenu_Navi", "MainMenu_Make",
                             "MainMenu_Compile", "Tool_Make", "Popup_RunPro"}) {
      QVERIFY2(f.action(name)->isEnabled(), name);
    }
  }

  void toolCheckNamesEachMissingFile_data() {
    QTest::addColumn<bool>("help");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QString>("detail");
    QTest::newRow("complete") << true << QStringList{} << QString();
    QTest::newRow("only TD.Pif") << true << QStringList{"TD.Pif"}
                                 << QStringLiteral("调试器TD的配置文件TD.Pif丢失，可以调试，但可能有影响。\n\r");
    QTest::newRow("help and TASM") << false << QStringList{"TASM.Exe"}
                                   << QStringLiteral("帮助文件丢失，无法提供帮助，但是不影响使用。\n\r"
                                                     "编译器TASM丢失，无法编译、生成、调试程序。\n\r");
  }
  void toolCheckNamesEachMissingFile() {
    QFETCH(bool, help);
    QFETCH(QStringList, missing);
    QFETCH(QString, detail);
    install(help, missing);
    setIni("[编辑环境]\n用Korvash打开=0\n");
    start();
    if (detail.isEmpty()) {
      QVERIFY(m_prompter.prompts().isEmpty());
    } else {
      QCOMPARE(m_prompter.texts(),
               QStringList{"发现Korvash的运行环境不符合要求，建议重新安装。\n\r下面是详细的信息：\n\r" + detail});
      QCOMPARE(m_prompter.prompts().first().kind, ScriptedPrompter::Kind::Inform);
    }
    QVERIFY(m_form->Editor);  // start-up went on
  }

  void toolNamesIgnoreCase() {
    install();
    QFile::rename(home() + "/Bin/TASM.Exe", home() + "/Bin/tasm.exe");
    QCOMPARE(toolCheckText(home() + "/", home() + "/Bin/"), QString());
  }

  void placementKeptAtExit_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QList<int>>("expected");  // width, height, top, left, maximized, error bar, navigator
    QTest::newRow("normal") << int(Qt::WindowNoState) << QList<int>{600, 500, 20, 10, 0, 90, 150};
    QTest::newRow("maximised") << int(Qt::WindowMaximized) << QList<int>{848, 656, 56, 88, 1, 90, 150};
    QTest::newRow("minimised") << int(Qt::WindowMinimized) << QList<int>{848, 656, 56, 88, 0, 109, 169};
  }
  void placementKeptAtExit() {
    QFETCH(int, state);
    QFETCH(QList<int>, expected);
    TSet set(program(), QSize(1024, 768));
    storeWindowPlacement(set, {Qt::WindowStates(state), QRect(10, 20, 600, 500), 90, 150});
    QCOMPARE((QList<int>{set.WindowWidth, set.WindowHeight, set.WindowTop, set.WindowLeft, int(set.Maximized),
                         set.ErrorBarHeight, set.NavigatorWidth}),
             expected);
  }

  void paneSizesAreRestoredAndStored() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n[界面控制]\n导航栏宽度=230\n错误栏宽度=120\n");
    TForm_Main& f = start();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTRY_COMPARE(f.PageControl_Left->width(), 230);
    QCOMPARE(f.PageControlBottom->height(), 120);
    f.Splitter1->setSizes({260, f.Splitter1->width() - 262});
    QCOMPARE(f.PageControl_Left->width(), 260);
    QVERIFY(f.close());
    m_form.reset();
    QCOMPARE(m_context->settings().NavigatorWidth, 260);
    QCOMPARE(m_context->settings().ErrorBarHeight, 120);
    QCOMPARE(m_context->settings().WindowWidth, 848);
    QVERIFY(!m_context->settings().Maximized);
  }

  void commandLineFileIsOpened_data() {
    QTest::addColumn<bool>("exists");
    QTest::newRow("existing") << true;
    QTest::newRow("missing is dropped") << false;
  }
  void commandLineFileIsOpened() {
    QFETCH(bool, exists);
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    QString source = home() + "/src/prog.asm";
    if (exists) touch(source, "        mov     ax, 1\r\n");
    TForm_Main& f = start({source});
    QCOMPARE(f.windowTitle(), "Korvash - " + (exists ? source : QStringLiteral("NoName.asm")));
    QCOMPARE(f.Editor->FHasFile, exists);
    QVERIFY(m_prompter.prompts().isEmpty());
  }

  void closingAsksAboutUnsavedText() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    QString source = home() + "/src/prog.asm";
    touch(source, "        mov     ax, 1\r\n");
    for (const char* ext : {".Lst", ".MAP", ".obj", ".Xrf", ".Tr", ".Exe"}) touch(home() + "/src/prog" + ext);
    TForm_Main& f = start({source});
    f.show();
    f.Editor->SetModified(true);
    m_prompter.queue(Answer::Cancel);
    QVERIFY(!f.close());
    QCOMPARE(m_prompter.texts(), QStringList{"文件" + source + "还没有保存，是否保存？"});
    QVERIFY(f.isVisible());
    m_prompter.queue(Answer::No);
    QVERIFY(f.close());
    m_form.reset();
    QStringList left = QDir(home() + "/src").entryList(QDir::Files, QDir::Name);
    QCOMPARE(left, QStringList({"prog.Exe", "prog.asm"}));
  }

  void associationIsOfferedAtStart() {
    install();
    m_prompter.queue(Answer::Yes);
    start();
    const QString question = QStringLiteral(
        "汇编文件的打开方式在当前的设置中，\r\n不是用Korvash打开，要设置成用Korvash\r\n打开吗？");
    QCOMPARE(m_prompter.texts(), QStringList{question});
    finish();
    m_prompter.clear();
    start();
    QVERIFY(m_prompter.prompts().isEmpty());
  }

  void failedAssociationIsReportedAndStartGoesOn() {
    install();
    touch(home() + "/blocker");
    qputenv("XDG_DATA_HOME", (home() + "/blocker/data").toUtf8());
    m_prompter.queue(Answer::Yes);
    TForm_Main& f = start();
    QCOMPARE(m_prompter.texts().value(1), QStringLiteral("无法修改注册表，请用手工方式建立文件关联。"));
    QCOMPARE(f.windowTitle(), QStringLiteral("Korvash - NoName.asm"));
  }

  void insertKeyChangesPanelOneOnlyOnRelease() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    f.show();
    f.Editor->setFocus();
    QTest::keyPress(f.Editor, Qt::Key_Insert);
    QCOMPARE(f.statusText(1), QStringLiteral("插入状态"));
    QTest::keyRelease(f.Editor, Qt::Key_Insert);
    QCOMPARE(f.statusText(1), QStringLiteral("改写状态"));
    QTest::keyClick(f.Editor, Qt::Key_A);
    QCOMPARE(f.statusText(1), QStringLiteral("改写状态"));
    QTest::keyClick(f.Editor, Qt::Key_Insert);
    QCOMPARE(f.statusText(1), QStringLiteral("插入状态"));
  }

  void paneTogglesAndViews() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    f.show();
    f.action("MainMenu_Navi")->trigger();
    QVERIFY(!f.PageControl_Left->isVisible());
    QVERIFY(!f.settings().ShowNavigator);
    f.action("MainMenu_ErrorList")->trigger();
    QVERIFY(!f.PageControlBottom->isVisible());
    QVERIFY(!f.settings().ShowErrorBar);
    f.action("MainMenu_Navi")->trigger();
    QVERIFY(f.PageControl_Left->isVisible());
    f.action("MainMenu_MAP")->trigger();
    QVERIFY(!f.PageControl_Left->isVisible());  // even with the navigator checked
    QVERIFY(f.SpeedButton_MAP->isChecked());
    QCOMPARE(f.viewKind(), 2);
    f.SpeedButton_ASM->click();
    QVERIFY(f.PageControl_Left->isVisible());
    QVERIFY(f.action("MainMenu_ASM")->isChecked());
    f.action("MainMenu_ColorShow")->trigger();
    QVERIFY(!f.settings().ColorDisplay);
    QVERIFY(!f.Editor->ColorShown());
  }

  void missingHelpIsReported() {
    install(false);
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    m_prompter.clear();
    f.action("MainMenu_HelpContext")->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{"帮助文件KRVS.html丢失，请重新安装Korvash。"});
  }

  void debugNotificationsArriveOnTheGuiThread() {
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    QList<std::pair<int, int>> seen;
    bool onGui = true;
    for (auto [w, l] : {std::pair{1, 0}, {1, 1}, {1, 2}, {2, 0}}) {
      f.setDebugNotifyHandler(w, l, [&, w, l] {
        onGui = onGui && QThread::currentThread() == f.thread();
        seen.append({w, l});
      });
    }
    std::thread poster([&] {
      postDebugNotify(&f, 1, 2);
      postDebugNotify(&f, 2, 0);
      postDebugNotify(&f, 7, 7);  // unknown pairs pass without effect
      postDebugNotify(&f, 1, 0);
    });
    poster.join();
    QTRY_COMPARE(seen.size(), 3);
    QCOMPARE(seen, (QList<std::pair<int, int>>{{1, 2}, {2, 0}, {1, 0}}));
    QVERIFY(onGui);
  }

  void screenshotOnRequest() {
    // Set KRVS_SCREENSHOT to a file name to look at the window as it is laid out.
    QString target = qEnvironmentVariable("KRVS_SCREENSHOT");
    if (target.isEmpty()) QSKIP("KRVS_SCREENSHOT not set");
    install();
    setIni("[编辑环境]\n用Korvash打开=0\n");
    TForm_Main& f = start();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTest::qWait(200);
    QVERIFY(f.grab().save(target));
  }
};

QTEST_MAIN(MainWindowTest)
#include "app_main_test.moc"
