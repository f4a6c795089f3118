#pragma once
// TForm_Set: the modal settings dialog "Korvash 设置". It edits the settings store in place; the
// store writes its file only at exit, so Cancel after Defaults still leaves the defaults in it.
#include <QComboBox>
#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace krvs::ide {

class Prompter;
class TSet;

// A colour list whose items carry the settings file's colour values: the standard, extended and
// system colours, "none", "default" and a custom entry that asks for any colour.
class ColorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit ColorBox(QWidget* parent = nullptr);
  int colorAt(int index) const;
  // The stored value of the selected entry.
  int selected() const;
  // Selects the entry holding `stored`, adding it as a custom entry when no entry holds it.
  void select(int stored);

 private:
  void pickCustom(int index);
  int m_lastIndex = 0;
};

class TForm_Set : public QDialog {
  Q_OBJECT
 public:
  // `makeBanner` builds the picture at the foot of the view page (the main window's welcome banner);
  // without one the page has none.
  TForm_Set(TSet& set, Prompter& prompter, QWidget* parent = nullptr, std::function<QWidget*()> makeBanner = {});

  void LoadFromSettings();
  // The OK button: checks the widths, stores every control, closes accepted. False when a width
  // was refused and the dialog stays open.
  bool Button_OKClick();
  void Button_DefaultClick();
  void Button_CancelClick();
  void CheckBox_DefineClick();

  QTabWidget* PageControl = nullptr;
  QCheckBox* CheckBox_Color = nullptr;
  QCheckBox* CheckBox_Format = nullptr;
  QComboBox* ComboBox_Format = nullptr;
  QComboBox* ComboBox_Size = nullptr;
  ColorBox* ColorBox_Font = nullptr;
  ColorBox* ColorBox_Back = nullptr;
  QComboBox* ComboBox_Font = nullptr;
  QLabel* Label_Show = nullptr;
  QCheckBox* CheckBox_Debug = nullptr;
  QCheckBox* CheckBox_Com = nullptr;
  QCheckBox* CheckBox_Define = nullptr;
  QLabel* Label_TASM = nullptr;
  QLineEdit* Edit_TASM = nullptr;
  QLabel* Label_TLink = nullptr;
  QLineEdit* Edit_TLink = nullptr;
  QComboBox* ComboBox_Separate1 = nullptr;
  QComboBox* ComboBox_Separate2 = nullptr;
  QComboBox* ComboBox_Wide1 = nullptr;
  QComboBox* ComboBox_Wide2 = nullptr;
  QComboBox* ComboBox_Wide3 = nullptr;
  QCheckBox* CheckBox_Navi = nullptr;
  QCheckBox* CheckBox_Error = nullptr;
  QCheckBox* CheckBox_ShowAbout = nullptr;
  QWidget* Banner = nullptr;
  QPushButton* Button_OK = nullptr;
  QPushButton* Button_Default = nullptr;
  QPushButton* Button_Cancel = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  // The window's close button closes accepted, so the main window applies the settings again.
  void closeEvent(QCloseEvent* e) override;

 private:
  QWidget* buildEditPage();
  QWidget* buildFormatPage();
  void updatePreview();
  void fillFontNames();

  TSet& m_set;
  Prompter& m_prompter;
  std::function<QWidget*()> m_makeBanner;
};

// The option strings after the dialog's mode switches: the standard strings with the debug
// options added or taken out and "/t" added or taken out.
struct OptionStrings {
  QString tasm;
  QString tlink;
};
OptionStrings modeOptions(bool debug, bool com);

}  // namespace krvs::ide
