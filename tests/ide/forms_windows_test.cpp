// The welcome, about and extended-services windows, the fade, and how the main window opens them.
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <memory>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "forms/about_splash.h"
#include "forms/tform_about.h"
#include "forms/tform_first.h"
#include "forms/tform_reminder.h"
#include "forms/transparent_skin.h"
#include "platform/machine_id.h"
#include "prompt/prompter.h"
#include "settings/tform_set.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

bool closeTo(double a, double b) { return qAbs(a - b) < 0.01; }

void sendEvent(QWidget* w, QEvent::Type type) {
  QEvent e(type);
  QCoreApplication::sendEvent(w, &e);
}

// Notes when a window of the given name is first shown.
class ShowWatch : public QObject {
 public:
  explicit ShowWatch(QString name) : m_name(std::move(name)) { qApp->installEventFilter(this); }
  ~ShowWatch() override { qApp->removeEventFilter(this); }
  bool seen() const { return m_clock.isValid(); }
  qint64 msSinceShown() const { return m_clock.elapsed(); }
  double opacityWhenShown = -1;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == m_name && !seen()) {
      m_clock.start();
      opacityWhenShown = static_cast<QWidget*>(o)->windowOpacity();
    }
    return false;
  }

 private:
  QString m_name;
  QElapsedTimer m_clock;
};

}  // namespace

class AuxWindowsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<IdeContext> m_context;
  std::unique_ptr<TForm_Main> m_main;
  ScriptedPrompter m_prompter;

  QString home() const { return m_dir->path(); }
  TSet& settings() {
    m_context = std::make_unique<IdeContext>(home() + "/korvash", QSize(1024, 768), m_prompter);
    return m_context->settings();
  }
  // An empty `ini` keeps the settings file the last run wrote.
  TForm_Main& startMain(const QByteArray& ini) {
    if (!ini.isEmpty()) writeFile(home() + "/KRVS.Ini", "[编辑环境]\n用Korvash打开=0\n" + ini);
    writeFile(home() + "/KRVS.html", "<html>");
    for (const char* tool : {"TASM.Exe", "TLink.Exe", "TD.Exe", "Rtm.EXe", "TDConfig.TD", "TD.Pif"}) {
      QDir().mkpath(home() + "/Bin");
      QFile::link(QStringLiteral(KRVS_TOOLS_DIR "/") + tool, home() + "/Bin/" + tool);  // the built files
    }
    settings();
    m_main = std::make_unique<TForm_Main>(*m_context, home() + "/korvash", QStringList{});
    m_main->show();
    return *m_main;
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QString user = home() + "/user";
    qputenv("HOME", user.toUtf8());
    qputenv("XDG_DATA_HOME", (user + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (user + "/config").toUtf8());
    m_prompter.clear();
  }
  void cleanup() {
    m_main.reset();
    delete TForm_First::current();
    m_context.reset();
  }

  void skinAppliesTransparencyAsWindowOpacity() {
    QWidget w;
    auto* skin = new TTransparentSkin(&w);
    QCOMPARE(int(skin->Transparency), 10);
    QCOMPARE(int(skin->FadeTime), 5);
    QVERIFY(closeTo(w.windowOpacity(), 0.9));
    skin->ApplyTransparency(40);
    QCOMPARE(int(skin->Transparency), 40);
    QVERIFY(closeTo(w.windowOpacity(), 0.6));
    skin->FadeTime = 0;
    skin->FadeIn(0);
    QVERIFY(w.isVisible());
    QCOMPARE(int(skin->Transparency), 0);
    QCOMPARE(w.windowOpacity(), 1.0);
    w.hide();
    skin->FadeIn(101);  // no steps: shown fully transparent
    QVERIFY(w.isVisible());
    QCOMPARE(int(skin->Transparency), 101);
    QCOMPARE(w.windowOpacity(), 0.0);
  }

  void aboutWindowFadesInAndHidesOnClick() {
    ShowWatch watch("Form_About");
    TForm_About about;
    QVERIFY(watch.seen());
    QCOMPARE(watch.opacityWhenShown, 0.0);  // shown transparent, then faded in
    QVERIFY(about.isVisible());
    QCOMPARE(about.windowOpacity(), 1.0);
    QCOMPARE(int(about.Skin->FadeTime), 1);
    QCOMPARE(about.size(), QSize(502, 311));
    QCOMPARE(about.Image_About->pixmap().size(), QSize(500, 309));
    QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
    QTest::mouseClick(about.Image_About, Qt::LeftButton);
    QVERIFY(!about.isVisible());
  }

  void aboutSplashStaysASecondOnlyWhenAsked_data() {
    QTest::addColumn<bool>("asked");
    QTest::newRow("asked") << true;
    QTest::newRow("not asked") << false;
  }
  void aboutSplashStaysASecondOnlyWhenAsked() {
    QFETCH(bool, asked);
    settings().ShowAboutAtStart = asked;
    ShowWatch watch("Form_About");
    showAboutSplash(m_context->settings());
    QCOMPARE(watch.seen(), asked);
    if (asked) QVERIFY2(watch.msSinceShown() >= kAboutSplashMs, qPrintable(QString::number(watch.msSinceShown())));
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(w->objectName() != "Form_About");
  }

  void welcomeWindowShowsTheDocumentOfTheProgramHome() {
    QByteArray html = "<html><body>";
    for (int i = 0; i < 30; ++i) html += "<p>line " + QByteArray::number(i) + " abcdefghijklmnopqrstuvwxyz</p>";
    writeFile(home() + "/WD.dat", html + "</body></html>");
    TForm_First* f = TForm_First::showNew(settings(), nullptr);
    QVERIFY(f->isVisible());
    QCOMPARE(f->size(), TForm_First::kNormalSize);
    QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(f->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(f->RichEdit_First->document()->findBlockByNumber(2).text(), QString("line 2 abcdefghijklmnopqrstuvwxyz"));
    QCOMPARE(f->RichEdit_First->textCursor().position(), TForm_First::kCaretPosition);
    QVERIFY(!f->RichEdit_First->textCursor().hasSelection());
    QVERIFY(f->RichEdit_First->isReadOnly());
    QCOMPARE(f->RichEdit_First->size(), QSize(649, 465));
    QCOMPARE(f->RichEdit_First->pos(), QPoint((750 - 649) / 2, (550 - 465) / 2));
    QCOMPARE(f->Label_Close->toolTip(), QString("关闭"));
    QCOMPARE(f->Label_Max->toolTip(), QString("最大化"));
  }

  void builtInWelcomeDocumentStandsInForAMissingFile() {
    TForm_First* f = TForm_First::showNew(settings(), nullptr);
    QTextDocument* doc = f->RichEdit_First->document();
    QVERIFY2(doc->blockCount() >= 22, qPrintable(QString::number(doc->blockCount())));
    QString text = doc->toPlainText();
    for (const char* key : {"Korvash", "F7", "Ctrl+F5", "F5", "F10", "F9", "F1"}) QVERIFY2(text.contains(key), key);
    QVERIFY(doc->characterCount() > TForm_First::kCaretPosition);
    QCOMPARE(f->RichEdit_First->textCursor().position(), TForm_First::kCaretPosition);
  }

  void legacyPlatformBlanksThreeLines() {
    QByteArray html;
    for (int i = 0; i < 25; ++i) html += "<p>L" + QByteArray::number(i) + "</p>";
    writeFile(home() + "/WD.dat", html);
    settings().PlatformKind = 1;
    TForm_First* f = TForm_First::showNew(m_context->settings(), nullptr);
    QTextDocument* doc = f->RichEdit_First->document();
    for (int line : {0, 3, 21}) QCOMPARE(doc->findBlockByNumber(line).text(), QString(" "));
    for (int line : {1, 2, 4, 20, 22}) QCOMPARE(doc->findBlockByNumber(line).text(), "L" + QString::number(line));
  }

  void maximiseGlyphTogglesAndCloseHides() {
    TForm_First* f = TForm_First::showNew(settings(), nullptr);
    QTest::mouseClick(f->Label_Max, Qt::LeftButton);
    QVERIFY(f->isMaximisedByGlyph());
    QCOMPARE(f->Label_Max->toolTip(), QString("还原"));
    QVERIFY(f->windowState() & Qt::WindowMaximized);
    QTest::mouseClick(f->Label_Max, Qt::LeftButton);
    QVERIFY(!f->isMaximisedByGlyph());
    QCOMPARE(f->Label_Max->toolTip(), QString("最大化"));
    QCOMPARE(f->size(), TForm_First::kNormalSize);
    QCOMPARE(f->RichEdit_First->pos(), QPoint((750 - 649) / 2, (550 - 465) / 2));
    QPointer<TForm_First> alive = f;
    QTest::mouseClick(f->Label_Close, Qt::LeftButton);
    QVERIFY(alive && !alive->isVisible());
  }

  void reminderPagesFollowTheHoveredLabel_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("link");
    QTest::newRow("free") << 0 << "免　　费" << "免费的扩展服务" << false;
    QTest::newRow("paid") << 1 << "付　　费" << "付费的扩展服务" << true;
    QTest::newRow("help") << 2 << "帮个忙吧" << "Korvash需要您" << true;
    QTest::newRow("close") << 3 << "关　　闭" << "点击关闭按钮退出" << true;
  }
  void reminderPagesFollowTheHoveredLabel() {
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(bool, link);
    TFormReminder r(settings());
    r.show();
    r.selectPage(3 - page);  // start elsewhere
    QCOMPARE(r.Buttons[page]->text(), button);
    sendEvent(r.Buttons[page], QEvent::Enter);
    QCOMPARE(r.currentPage(), page);
    QCOMPARE(r.LabelTitle->text(), title);
    QCOMPARE(r.Label_5_1->isVisible(), link);
    QVERIFY(r.ShapeBack->isVisible() && !r.PanelSet->isVisible());
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(r.Labels[i]->isVisible(), i == page);
      QCOMPARE(r.shapeColor(i), i == page ? TFormReminder::kChosenShape : TFormReminder::kOtherShape);
    }
    QVERIFY(!r.Labels[page]->text().isEmpty());
    r.hide();
    r.show();  // every showing starts on the free page
    QCOMPARE(r.currentPage(), 0);
  }

  void reminderTextsSayThereIsNoPaidService() {
    TFormReminder r(settings());
    QVERIFY(r.Labels[1]->text().contains("没有付费服务"));
    for (QLabel* l : r.Labels) {
      QVERIFY(!l->text().contains('@'));  // no mailbox of anybody
      QVERIFY(!l->text().contains("http"));
    }
    QVERIFY(r.Labels[2]->text().contains("报告问题") && r.Labels[2]->text().contains("建议") &&
            r.Labels[2]->text().contains("分享"));
  }

  void reminderHidesInsteadOfClosing() {
    TFormReminder r(settings());
    r.show();
    QVERIFY(!r.close());
    QVERIFY(!r.isVisible());
    r.show();
    QTest::mouseClick(r.Buttons[1], Qt::LeftButton);  // "付费" does nothing
    QVERIFY(r.isVisible());
    QTest::mouseClick(r.Buttons[3], Qt::LeftButton);
    QVERIFY(!r.isVisible());
  }

  void linkLabelCyclesColoursAndStopsWhileHovered() {
    const QList<QPair<int, int>> steps = {
        {0x808080, 0x800000}, {0x800000, 0x008080}, {0x008080, 0x800080}, {0x800080, 0x808080},
        {0xFF0000, 0x808080}, {0x123456, 0x808080}};
    for (const auto& [from, to] : steps) QCOMPARE(nextLinkColor(from), to);

    TFormReminder r(settings());
    r.show();
    QVERIFY(r.Timer_Reminder->isActive());
    QCOMPARE(r.Timer_Reminder->interval(), 1000);
    r.Timer_ReminderTimer();
    QCOMPARE(r.linkColor(), 0x800000);
    QCOMPARE(r.Label_5_1->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
    sendEvent(r.Label_5_1, QEvent::Enter);
    QVERIFY(!r.Timer_Reminder->isActive());
    QCOMPARE(r.linkColor(), 0xFF0000);
    QVERIFY(r.Label_5_1->font().bold() && r.Label_5_1->font().underline());
    sendEvent(r.Label_5_1, QEvent::Leave);
    QVERIFY(r.Timer_Reminder->isActive());
    QVERIFY(!r.Label_5_1->font().bold() && r.Label_5_1->font().underline());
  }

  void welcomeAtTheFirstStartOnAMachineOnly() {
    TForm_Main& f = startMain("[S]\nDIresU=*\n");
    QString serial = QString::fromStdString(krvs::platform::machineSerialText());
    QVERIFY(TForm_First::current() && TForm_First::current()->isVisible());
    QCOMPARE(m_context->settings().FirstRunMarker, serial);
    Q_UNUSED(f);
    m_main.reset();
    delete TForm_First::current();
    m_context.reset();  // writes the marker

    startMain("");
    QVERIFY(!TForm_First::current());
  }

  void mainWindowOpensAboutAndReminder() {
    TForm_Main& f = startMain("[S]\nDIresU=" + QByteArray::fromStdString(krvs::platform::machineSerialText()) + "\n");
    QVERIFY(!TForm_First::current());
    f.action("MainMenu_About")->trigger();
    QPointer<TForm_About> first = f.Form_About;
    QVERIFY(first && first->isVisible() && first->windowOpacity() == 1.0);
    QTest::mouseClick(f.Image_About, Qt::LeftButton);  // the about picture: a new window
    QVERIFY(!first);
    QVERIFY(f.Form_About && f.Form_About->isVisible());

    QVERIFY(!f.FormReminder);
    f.action("Tool_ExtAss")->trigger();
    QPointer<TFormReminder> reminder = f.FormReminder;
    QVERIFY(reminder && reminder->isVisible());
    reminder->close();
    QVERIFY(reminder && !reminder->isVisible());
    f.action("MainMenu_ExtAss")->trigger();
    QCOMPARE(f.FormReminder, reminder.data());
    QVERIFY(reminder->isVisible());
  }

  void settingsDialogResultDecidesWhetherSettingsApplyAgain() {
    TForm_Main& f = startMain("[S]\nDIresU=" + QByteArray::fromStdString(krvs::platform::machineSerialText()) + "\n");
    QVERIFY(f.PageControl_Left->isVisible());
    // The store changes behind the window's back; only an accepted dialog applies it.
    m_context->settings().ShowNavigator = false;
    QTimer::singleShot(0, this, [&] { f.Form_Set->Button_CancelClick(); });
    f.action("Tool_EnvSet")->trigger();  // cancelled: nothing stored, nothing applied
    QVERIFY(f.PageControl_Left->isVisible());

    QTimer::singleShot(0, this, [&] {
      f.Form_Set->CheckBox_Navi->setChecked(false);
      QTest::mouseClick(f.Form_Set->Button_OK, Qt::LeftButton);
    });
    f.action("MainMenu_EnvSet")->trigger();
    QVERIFY(!m_context->settings().ShowNavigator);
    QVERIFY(!f.PageControl_Left->isVisible());
  }
};

QTEST_MAIN(AuxWindowsTest)
#include "forms_windows_test.moc"
