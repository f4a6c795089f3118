#pragma once
// The modeless find and replace dialogs (the fields of the classic common dialogs; the whole-word box
// is not offered) and the go-to-line dialog TForm_GetInfo.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace krvs::ide {

class FindDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FindDialog(QWidget* parent = nullptr);
  QString findText() const;
  void setFindText(const QString& text);
  bool matchCase() const;
  void setMatchCase(bool on);
  bool down() const;
  void setDown(bool down);
  // Search flags: 2 with match case.
  int flags() const;

 signals:
  void find();

 private:
  QLineEdit* m_text;
  QCheckBox* m_case;
  QRadioButton* m_up;
  QRadioButton* m_down;
};

class ReplaceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ReplaceDialog(QWidget* parent = nullptr);
  QString findText() const;
  void setFindText(const QString& text);
  QString replaceText() const;
  void setReplaceText(const QString& text);
  bool matchCase() const;
  void setMatchCase(bool on);
  int flags() const;

 signals:
  void find();
  // all: the replace-all button, else the single replace button.
  void replace(bool all);

 private:
  QLineEdit* m_text;
  QLineEdit* m_replace;
  QCheckBox* m_case;
};

// Go to line: a spin box 0..65536; the button or releasing Enter in the spin box ends the dialog with
// its value, or -1 for 0. Closing it otherwise gives -1 too (no jump).
class TForm_GetInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TForm_GetInfo(QWidget* parent = nullptr);
  // Lays the dialog out, shows it modally and returns the line number or -1.
  int ask();
  QSpinBox* SpinEdit_LineNo = nullptr;
  QPushButton* Button_LineNo = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Button_LineNoClick();
  QWidget* Panel_LineNo = nullptr;
};

}  // namespace krvs::ide
