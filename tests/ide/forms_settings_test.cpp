// The settings dialog: loading the store into the controls, the OK rules for widths and option
// strings, defaults, cancel and the window's close button.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "forms/banner.h"
#include "forms/tform_first.h"
#include "prompt/prompter.h"
#include "settings/colors.h"
#include "settings/tform_set.h"
#include "settings/tset.h"

using namespace krvs::ide;

class SettingsDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<TSet> m_set;
  std::unique_ptr<TForm_Set> m_form;
  ScriptedPrompter m_prompter;

  TForm_Set& open() {
    if (!m_form) m_form = std::make_unique<TForm_Set>(*m_set, m_prompter);
    m_form->show();
    return *m_form;
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_set = std::make_unique<TSet>(m_dir->path() + "/korvash", QSize(1024, 768));
    m_prompter.clear();
  }
  void cleanup() {
    m_form.reset();
    m_set.reset();
  }

  void modeSwitchesEditTheStandardStrings_data() {
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("com");
    QTest::addColumn<QString>("tasm");
    QTest::addColumn<QString>("tlink");
    QTest::newRow("debug exe") << true << false << "/la/zi/c" << "/v/m/M/l/s";
    QTest::newRow("debug com") << true << true << "/la/zi/c" << "/v/m/M/l/s/t";
    QTest::newRow("plain exe") << false << false << "/la/c" << "/m/M/l/s";
    QTest::newRow("plain com") << false << true << "/la/c" << "/m/M/l/s/t";
  }
  void modeSwitchesEditTheStandardStrings() {
    QFETCH(bool, debug);
    QFETCH(bool, com);
    QFETCH(QString, tasm);
    QFETCH(QString, tlink);
    // Start from the opposite state so every switch has to act.
    m_set->TasmOptions = debug ? "/la/c" : "/la/zi/c";
    m_set->TLinkOptions = com ? "/v/m/M/l/s" : "/v/m/M/l/s/t";
    TForm_Set& f = open();
    f.CheckBox_Debug->setChecked(debug);
    f.CheckBox_Com->setChecked(com);
    QTest::mouseClick(f.Button_OK, Qt::LeftButton);
    QCOMPARE(f.result(), int(QDialog::Accepted));
    QVERIFY(!f.isVisible());
    QCOMPARE(m_set->TasmOptions, tasm);
    QCOMPARE(m_set->TLinkOptions, tlink);
    QCOMPARE(m_set->EffectiveTLinkOptions(), tlink);

    f.CheckBox_Debug->setChecked(!debug);
    f.CheckBox_Com->setChecked(!com);
    open();  // reopening shows the stored modes again
    QCOMPARE(f.CheckBox_Debug->isChecked(), debug);
    QCOMPARE(f.CheckBox_Com->isChecked(), com);
    QCOMPARE(f.Edit_TASM->text(), tasm);
    QCOMPARE(f.Edit_TLink->text(), tlink);
  }

  void refusedWidthKeepsTheDialogOpenAndStoresNothing_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << "ComboBox_Wide1" << "0";
    QTest::newRow("full-width digit") << "ComboBox_Wide2" << "１２";
    QTest::newRow("negative") << "ComboBox_Wide3" << "-4";
    QTest::newRow("words") << "ComboBox_Separate1" << "two";
    QTest::newRow("empty") << "ComboBox_Separate2" << "";
  }
  void refusedWidthKeepsTheDialogOpenAndStoresNothing() {
    QFETCH(QString, list);
    QFETCH(QString, text);
    TForm_Set& f = open();
    QMap<QString, QComboBox*> lists{{"ComboBox_Wide1", f.ComboBox_Wide1},
                                    {"ComboBox_Wide2", f.ComboBox_Wide2},
                                    {"ComboBox_Wide3", f.ComboBox_Wide3},
                                    {"ComboBox_Separate1", f.ComboBox_Separate1},
                                    {"ComboBox_Separate2", f.ComboBox_Separate2}};
    f.ComboBox_Wide1->setCurrentText("15");
    f.CheckBox_ShowAbout->setChecked(true);
    f.CheckBox_Debug->setChecked(false);
    lists[list]->setCurrentText(text);
    QVERIFY(!f.Button_OKClick());
    QCOMPARE(m_prompter.texts(), QStringList{"请输入一个大于零的有效正数，请注意不用使用全角字符。"});
    QCOMPARE(m_prompter.prompts().first().kind, ScriptedPrompter::Kind::Inform);
    QVERIFY(f.isVisible());
    QCOMPARE(m_set->Column1Width, 12);
    QVERIFY(!m_set->ShowAboutAtStart);
    QCOMPARE(m_set->TasmOptions, QString("/la/zi/c"));
  }

  void okStoresEveryControl() {
    TForm_Set& f = open();
    f.CheckBox_Navi->setChecked(false);
    f.CheckBox_Error->setChecked(false);
    f.CheckBox_ShowAbout->setChecked(true);
    f.CheckBox_Color->setChecked(false);
    f.CheckBox_Format->setChecked(false);
    f.ComboBox_Format->setCurrentIndex(2);
    f.ComboBox_Wide1->setCurrentText(" 20 ");
    f.ComboBox_Wide2->setCurrentText("9");
    f.ComboBox_Wide3->setCurrentText("14");
    f.ComboBox_Separate1->setCurrentText("3");
    f.ComboBox_Separate2->setCurrentText("4");
    f.ComboBox_Size->setCurrentText("29");
    f.ColorBox_Font->select(0x0000FF);
    f.ColorBox_Back->select(0xFFFFFF);
    f.Edit_TASM->setText("/la/c/ml");  // stored although user options stay off
    QVERIFY(f.Button_OKClick());
    QVERIFY(!m_set->ShowNavigator);
    QVERIFY(!m_set->ShowErrorBar);
    QVERIFY(m_set->ShowAboutAtStart);
    QVERIFY(!m_set->ColorDisplay);
    QVERIFY(!m_set->AutoFormat);
    QCOMPARE(m_set->CaseMode, 2);
    QCOMPARE(QList<int>({m_set->Column1Width, m_set->Column2Width, m_set->Column3Width, m_set->Gap1Width,
                         m_set->Gap2Width}),
             QList<int>({20, 9, 14, 3, 4}));
    QCOMPARE(m_set->EditorFont.Size, 29);
    QCOMPARE(m_set->EditorFont.Color, 0x0000FF);
    QCOMPARE(m_set->BackColor, 0xFFFFFF);
    QCOMPARE(m_set->UserTasmOptions, QString("/la/c/ml"));
    QVERIFY(!m_set->UseUserOptions);
    QCOMPARE(m_set->EffectiveTasmOptions(), QString("/la/zi/c"));
  }

  void userOptionsEnableTheEditsAndDisableTheModeBoxes() {
    m_set->UseUserOptions = true;
    m_set->UserTasmOptions = "/zi/ml";
    m_set->UserTLinkOptions = "/v/t";
    TForm_Set& f = open();
    QCOMPARE(f.Edit_TASM->text(), QString("/zi/ml"));
    QCOMPARE(f.Edit_TLink->text(), QString("/v/t"));
    QVERIFY(f.CheckBox_Define->isChecked());
    QVERIFY(f.Edit_TASM->isEnabled() && f.Edit_TLink->isEnabled());
    QVERIFY(f.Label_TASM->isEnabled() && f.Label_TLink->isEnabled());
    QVERIFY(!f.CheckBox_Debug->isEnabled() && !f.CheckBox_Com->isEnabled());
    QVERIFY(f.CheckBox_Debug->isChecked() && f.CheckBox_Com->isChecked());

    f.CheckBox_Define->click();
    QVERIFY(!f.Edit_TASM->isEnabled() && !f.Label_TLink->isEnabled());
    QVERIFY(f.CheckBox_Debug->isEnabled() && f.CheckBox_Com->isEnabled());
    f.CheckBox_Define->click();
    QVERIFY(f.Edit_TLink->isEnabled() && !f.CheckBox_Com->isEnabled());
  }

  void defaultsThenCancelKeepsTheDefaults() {
    m_set->Column1Width = 19;
    m_set->ShowNavigator = false;
    m_set->TLinkOptions = "/m";
    m_set->UseUserOptions = true;
    m_set->FirstRunMarker = "4242";
    m_set->AddRecent("/tmp/a.asm");
    TForm_Set& f = open();
    QCOMPARE(f.ComboBox_Wide1->currentText(), QString("19"));
    QTest::mouseClick(f.Button_Default, Qt::LeftButton);
    QCOMPARE(f.ComboBox_Wide1->currentText(), QString("12"));
    QVERIFY(f.CheckBox_Navi->isChecked());
    QVERIFY(f.isVisible());
    QTest::mouseClick(f.Button_Cancel, Qt::LeftButton);
    QCOMPARE(f.result(), int(QDialog::Rejected));
    QCOMPARE(m_set->Column1Width, 12);
    QVERIFY(m_set->ShowNavigator);
    QCOMPARE(m_set->TLinkOptions, QString("/v/m/M/l/s"));
    QVERIFY(!m_set->UseUserOptions);
    QCOMPARE(m_set->FirstRunMarker, QString("4242"));
    QCOMPARE(m_set->RecentFiles.value(0), QString("/tmp/a.asm"));
  }

  void cancelAndCloseButtonStoreNothing_data() {
    QTest::addColumn<bool>("viaCloseButton");
    QTest::addColumn<int>("result");
    QTest::newRow("cancel") << false << int(QDialog::Rejected);
    QTest::newRow("close button") << true << int(QDialog::Accepted);
  }
  void cancelAndCloseButtonStoreNothing() {
    QFETCH(bool, viaCloseButton);
    QFETCH(int, result);
    TForm_Set& f = open();
    f.CheckBox_Navi->setChecked(false);
    f.ComboBox_Wide1->setCurrentText("17");
    f.CheckBox_Com->setChecked(true);
    if (viaCloseButton) {
      f.close();
    } else {
      f.Button_CancelClick();
    }
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), result);
    QVERIFY(m_set->ShowNavigator);
    QCOMPARE(m_set->Column1Width, 12);
    QCOMPARE(m_set->TLinkOptions, QString("/v/m/M/l/s"));
  }

  void opensOnTheFirstPageWithOkFocused() {
    TForm_Set& f = open();
    f.PageControl->setCurrentIndex(1);
    f.hide();
    open();
    QCOMPARE(f.PageControl->currentIndex(), 0);
    QCOMPARE(f.PageControl->tabText(0), QString("编译编辑"));
    QCOMPARE(f.PageControl->tabText(1), QString("格式视图"));
    QCOMPARE(f.windowTitle(), QString("Korvash 设置"));
    QVERIFY(f.Button_OK->isDefault());
    QCOMPARE(f.ComboBox_Format->count(), 3);
    QVERIFY(f.ComboBox_Size->findText("28") < 0);
    QCOMPARE(f.ComboBox_Size->count(), 24);
    QStringList fonts;
    for (int i = 0; i < f.ComboBox_Font->count(); ++i) fonts << f.ComboBox_Font->itemText(i);
    QVERIFY(!fonts.join("").contains('@'));
  }

  void valuesTheListsDoNotOfferAreKept() {
    m_set->EditorFont = {"No Such Font Here", 28, 0x123456};
    m_set->BackColor = 0x654321;
    TForm_Set& f = open();
    QCOMPARE(f.ComboBox_Font->currentText(), QString("No Such Font Here"));
    QCOMPARE(f.ComboBox_Size->currentText(), QString("28"));
    QCOMPARE(f.ColorBox_Font->selected(), 0x123456);
    QCOMPARE(f.ColorBox_Back->selected(), 0x654321);
    QVERIFY(f.Button_OKClick());
    QCOMPARE(m_set->EditorFont.Name, QString("No Such Font Here"));
    QCOMPARE(m_set->EditorFont.Size, 28);
    QCOMPARE(m_set->EditorFont.Color, 0x123456);
    QCOMPARE(m_set->BackColor, 0x654321);
  }

  void colourListsSelectTheStoredEntryAndThePreviewFollows() {
    TForm_Set& f = open();
    QCOMPARE(f.ColorBox_Back->selected(), kColorInfoBk);
    QCOMPARE(f.ColorBox_Back->currentText(), QString("系统:提示背景"));
    QCOMPARE(f.ColorBox_Font->currentText(), QString("黑色"));
    QCOMPARE(f.ColorBox_Font->count(), f.ColorBox_Back->count());
    QVERIFY(f.ColorBox_Back->findData(kColorNone) >= 0 && f.ColorBox_Back->findData(kColorDefault) >= 0);
    QCOMPARE(f.Label_Show->text(), QString("欢迎使用Korvash"));

    f.ColorBox_Back->select(0x00FFFF);
    f.ColorBox_Font->select(0xFF0000);
    f.ComboBox_Size->setCurrentText("20");
    QCOMPARE(f.Label_Show->palette().color(QPalette::Window), QColor(255, 255, 0));
    QCOMPARE(f.Label_Show->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(f.Label_Show->font().pointSize(), 20);
  }

  void bannerOpensANewWelcomeWindow() {
    m_form = std::make_unique<TForm_Set>(*m_set, m_prompter, nullptr, [this] {
      return new FormsBanner([this] { TForm_First::showNew(*m_set, nullptr); });
    });
    m_form->show();
    TForm_Set& f = *m_form;
    f.PageControl->setCurrentIndex(1);
    QTest::mouseClick(f.Banner, Qt::LeftButton);
    QPointer<TForm_First> first = TForm_First::current();
    QVERIFY(first && first->isVisible());
    QTest::mouseClick(f.Banner, Qt::LeftButton);
    QVERIFY(!first);  // the earlier one is destroyed
    QVERIFY(TForm_First::current() && TForm_First::current()->isVisible());
    delete TForm_First::current();
  }
};

QTEST_MAIN(SettingsDialogTest)
#include "forms_settings_test.moc"
