#include "editor/find_dialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "editor/text_search.h"

namespace krvs::ide {

namespace {
QPushButton* addButton(QVBoxLayout* column, const QString& caption) {
  auto* b = new QPushButton(caption);
  column->addWidget(b);
  return b;
}
}  // namespace

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("查找"));
  setModal(false);
  auto* row = new QHBoxLayout(this);
  auto* fields = new QVBoxLayout;
  auto* textRow = new QHBoxLayout;
  textRow->addWidget(new QLabel(QStringLiteral("查找内容(&N):")));
  m_text = new QLineEdit;
  textRow->addWidget(m_text);
  fields->addLayout(textRow);
  auto* options = new QHBoxLayout;
  m_case = new QCheckBox(QStringLiteral("区分大小写(&C)"));
  options->addWidget(m_case);
  auto* direction = new QGroupBox(QStringLiteral("方向"));
  auto* dirLayout = new QHBoxLayout(direction);
  m_up = new QRadioButton(QStringLiteral("向上(&U)"));
  m_down = new QRadioButton(QStringLiteral("向下(&D)"));
  m_down->setChecked(true);
  dirLayout->addWidget(m_up);
  dirLayout->addWidget(m_down);
  options->addWidget(direction);
  fields->addLayout(options);
  row->addLayout(fields);
  auto* buttons = new QVBoxLayout;
  QPushButton* next = addButton(buttons, QStringLiteral("查找下一个(&F)"));
  next->setDefault(true);
  QPushButton* cancel = addButton(buttons, QStringLiteral("取消"));
  buttons->addStretch();
  row->addLayout(buttons);
  connect(next, &QPushButton::clicked, this, &FindDialog::find);
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

QString FindDialog::findText() const { return m_text->text(); }
void FindDialog::setFindText(const QString& text) { m_text->setText(text); }
bool FindDialog::matchCase() const { return m_case->isChecked(); }
void FindDialog::setMatchCase(bool on) { m_case->setChecked(on); }
bool FindDialog::down() const { return m_down->isChecked(); }
void FindDialog::setDown(bool down) { (down ? m_down : m_up)->setChecked(true); }
int FindDialog::flags() const { return matchCase() ? kMatchCase : 0; }

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("替换"));
  setModal(false);
  auto* row = new QHBoxLayout(this);
  auto* fields = new QVBoxLayout;
  auto* findRow = new QHBoxLayout;
  findRow->addWidget(new QLabel(QStringLiteral("查找内容(&N):")));
  m_text = new QLineEdit;
  findRow->addWidget(m_text);
  fields->addLayout(findRow);
  auto* replaceRow = new QHBoxLayout;
  replaceRow->addWidget(new QLabel(QStringLiteral("替换为(&P):")));
  m_replace = new QLineEdit;
  replaceRow->addWidget(m_replace);
  fields->addLayout(replaceRow);
  m_case = new QCheckBox(QStringLiteral("区分大小写(&C)"));
  fields->addWidget(m_case);
  row->addLayout(fields);
  auto* buttons = new QVBoxLayout;
  QPushButton* next = addButton(buttons, QStringLiteral("查找下一个(&F)"));
  next->setDefault(true);
  QPushButton* one = addButton(buttons, QStringLiteral("替换(&R)"));
  QPushButton* all = addButton(buttons, QStringLiteral("全部替换(&A)"));
  QPushButton* cancel = addButton(buttons, QStringLiteral("取消"));
  buttons->addStretch();
  row->addLayout(buttons);
  connect(next, &QPushButton::clicked, this, &ReplaceDialog::find);
  connect(one, &QPushButton::clicked, this, [this] { emit replace(false); });
  connect(all, &QPushButton::clicked, this, [this] { emit replace(true); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

QString ReplaceDialog::findText() const { return m_text->text(); }
void ReplaceDialog::setFindText(const QString& text) { m_text->setText(text); }
QString ReplaceDialog::replaceText() const { return m_replace->text(); }
void ReplaceDialog::setReplaceText(const QString& text) { m_replace->setText(text); }
bool ReplaceDialog::matchCase() const { return m_case->isChecked(); }
void ReplaceDialog::setMatchCase(bool on) { m_case->setChecked(on); }
int ReplaceDialog::flags() const { return matchCase() ? kMatchCase : 0; }

TForm_GetInfo::TForm_GetInfo(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Korvash"));
  setFont(QFont(QStringLiteral("宋体"), -1));
  QFont f = font();
  f.setPixelSize(14);
  setFont(f);
  Panel_LineNo = new QWidget(this);
  auto* row = new QHBoxLayout(Panel_LineNo);
  row->addWidget(new QLabel(QStringLiteral("输入行号：")));
  SpinEdit_LineNo = new QSpinBox;
  SpinEdit_LineNo->setRange(0, 65536);
  SpinEdit_LineNo->setValue(0);
  row->addWidget(SpinEdit_LineNo);
  Button_LineNo = new QPushButton(QStringLiteral("确定"));
  row->addWidget(Button_LineNo);
  Panel_LineNo->adjustSize();
  SpinEdit_LineNo->installEventFilter(this);
  connect(Button_LineNo, &QPushButton::clicked, this, &TForm_GetInfo::Button_LineNoClick);
}

void TForm_GetInfo::Button_LineNoClick() {
  const int v = SpinEdit_LineNo->value();
  done(v == 0 ? -1 : v);
}

bool TForm_GetInfo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == SpinEdit_LineNo) {
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        // The key press would trigger the default button; the dialog ends on release instead.
        if (type == QEvent::KeyRelease) Button_LineNoClick();
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

int TForm_GetInfo::ask() {
  Panel_LineNo->move(0, 0);
  Panel_LineNo->adjustSize();
  setFixedSize(Panel_LineNo->width(), Panel_LineNo->height() + 30);
  Panel_LineNo->setVisible(true);
  SpinEdit_LineNo->setFocus();
  SpinEdit_LineNo->selectAll();
  const int result = exec();
  // Rejected (close box, Escape) means no jump.
  return result == QDialog::Rejected ? -1 : result;
}

}  // namespace krvs::ide
