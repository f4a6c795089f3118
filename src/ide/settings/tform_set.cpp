#include "settings/tform_set.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "prompt/prompter.h"
#include "settings/colors.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const QString kStandardTasm = QStringLiteral("/la/zi/c");
const QString kStandardTLink = QStringLiteral("/v/m/M/l/s");
const QString kWidthRefused = QStringLiteral("请输入一个大于零的有效正数，请注意不用使用全角字符。");

// Whole numbers in ASCII digits only: a full-width digit or any other text counts as 0, which the
// OK button then refuses.
int wholeNumber(const QString& text) {
  QString t = text.trimmed();
  int start = (t.startsWith('-') || t.startsWith('+')) ? 1 : 0;
  if (t.size() <= start || t.size() > 9) return 0;
  for (int i = start; i < t.size(); ++i) {
    if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9')) return 0;
  }
  return t.toInt();
}

void addOnce(QString& options, const QString& option) {
  if (!options.contains(option)) options += option;
}

void removeFirst(QString& options, const QString& option) {
  int at = options.indexOf(option);
  if (at >= 0) options.remove(at, option.size());
}

QComboBox* numberList(int from, int to, bool editable) {
  auto* box = new QComboBox;
  for (int i = from; i <= to; ++i) box->addItem(QString::number(i));
  box->setEditable(editable);
  return box;
}

// Selects `text`; a value the list does not offer is added in order, so OK keeps it.
void selectNumber(QComboBox* box, int value) {
  QString text = QString::number(value);
  int at = box->findText(text, Qt::MatchExactly);
  if (at < 0) {
    at = 0;
    while (at < box->count() && box->itemText(at).toInt() < value) ++at;
    box->insertItem(at, text);
  }
  box->setCurrentIndex(at);
}

QGridLayout* grid(QGroupBox* group) {
  auto* layout = new QGridLayout(group);
  layout->setHorizontalSpacing(10);
  layout->setVerticalSpacing(8);
  return layout;
}

QLabel* caption(const char* text) { return new QLabel(QString::fromUtf8(text)); }

}  // namespace

OptionStrings modeOptions(bool debug, bool com) {
  OptionStrings o{kStandardTasm, kStandardTLink};
  if (debug) {
    addOnce(o.tasm, QStringLiteral("/zi"));
    addOnce(o.tlink, QStringLiteral("/v"));
  } else {
    removeFirst(o.tasm, QStringLiteral("/zi"));
    removeFirst(o.tlink, QStringLiteral("/v"));
  }
  if (com) {
    addOnce(o.tlink, QStringLiteral("/t"));
  } else {
    removeFirst(o.tlink, QStringLiteral("/t"));
  }
  return o;
}

TForm_Set::TForm_Set(TSet& set, Prompter& prompter, QWidget* parent, std::function<QWidget*()> makeBanner)
    : QDialog(parent), m_set(set), m_prompter(prompter), m_makeBanner(std::move(makeBanner)) {
  setObjectName(QStringLiteral("Form_Set"));
  setWindowTitle(QStringLiteral("Korvash 设置"));
  setModal(true);
  PageControl = new QTabWidget;
  PageControl->addTab(buildEditPage(), QStringLiteral("编译编辑"));
  PageControl->addTab(buildFormatPage(), QStringLiteral("格式视图"));

  Button_OK = new QPushButton(QStringLiteral("确  定"));
  Button_Default = new QPushButton(QStringLiteral("默  认"));
  Button_Cancel = new QPushButton(QStringLiteral("取  消"));
  Button_OK->setDefault(true);
  connect(Button_OK, &QPushButton::clicked, this, [this] { Button_OKClick(); });
  connect(Button_Default, &QPushButton::clicked, this, [this] { Button_DefaultClick(); });
  connect(Button_Cancel, &QPushButton::clicked, this, [this] { Button_CancelClick(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {Button_OK, Button_Default, Button_Cancel}) {
    b->setMinimumWidth(88);
    buttons->addWidget(b);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);
  // A fixed-size dialog, exactly as large as its contents need.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (QComboBox* list : {static_cast<QComboBox*>(ComboBox_Font), ComboBox_Size}) {
    connect(list, &QComboBox::currentIndexChanged, this, [this] { updatePreview(); });
  }
  for (ColorBox* list : {ColorBox_Font, ColorBox_Back}) {
    connect(list, &QComboBox::currentIndexChanged, this, [this] { updatePreview(); });
  }
  connect(CheckBox_Define, &QCheckBox::clicked, this, [this] { CheckBox_DefineClick(); });
}

QWidget* TForm_Set::buildEditPage() {
  auto* editing = new QGroupBox(QStringLiteral(" 编辑环境 "));
  CheckBox_Color = new QCheckBox(QStringLiteral("彩色显示关键字"));
  CheckBox_Format = new QCheckBox(QStringLiteral("自动整理格式"));
  ComboBox_Format = new QComboBox;
  ComboBox_Format->addItems({QStringLiteral("大写"), QStringLiteral("小写"), QStringLiteral("不处理")});
  ComboBox_Size = numberList(5, 27, false);
  ComboBox_Size->addItem(QStringLiteral("29"));
  ColorBox_Font = new ColorBox;
  ColorBox_Back = new ColorBox;
  ComboBox_Font = new QComboBox;
  fillFontNames();
  Label_Show = new QLabel(QStringLiteral("欢迎使用Korvash"));
  Label_Show->setAlignment(Qt::AlignCenter);
  Label_Show->setAutoFillBackground(true);
  Label_Show->setFrameShape(QFrame::StyledPanel);
  Label_Show->setFixedHeight(56);

  QGridLayout* g = grid(editing);
  g->addWidget(CheckBox_Color, 0, 0, 1, 2);
  g->addWidget(CheckBox_Format, 0, 2, 1, 2);
  g->addWidget(caption("格式设定:"), 1, 0);
  g->addWidget(ComboBox_Format, 1, 1);
  g->addWidget(caption("字体大小:"), 1, 2);
  g->addWidget(ComboBox_Size, 1, 3);
  g->addWidget(caption("字体颜色:"), 2, 0);
  g->addWidget(ColorBox_Font, 2, 1);
  g->addWidget(caption("背景颜色:"), 2, 2);
  g->addWidget(ColorBox_Back, 2, 3);
  g->addWidget(caption("字体:"), 3, 0);
  g->addWidget(ComboBox_Font, 3, 1, 1, 3);
  g->addWidget(caption("示范:"), 4, 0);
  g->addWidget(Label_Show, 4, 1, 1, 3);
  g->setColumnMinimumWidth(1, 150);
  g->setColumnMinimumWidth(3, 150);

  auto* building = new QGroupBox(QStringLiteral(" 编译设置 "));
  CheckBox_Debug = new QCheckBox(QStringLiteral("采用调试模式"));
  CheckBox_Com = new QCheckBox(QStringLiteral("编译生成Com文件"));
  CheckBox_Define = new QCheckBox(QStringLiteral("自定义编译、链接参数"));
  Label_TASM = caption("编译参数：");
  Label_TLink = caption("链接参数：");
  Edit_TASM = new QLineEdit;
  Edit_TLink = new QLineEdit;
  QGridLayout* b = grid(building);
  b->addWidget(CheckBox_Debug, 0, 0, 1, 2);
  b->addWidget(CheckBox_Com, 0, 2);
  b->addWidget(CheckBox_Define, 1, 0, 1, 3);
  b->addWidget(Label_TASM, 2, 0);
  b->addWidget(Edit_TASM, 2, 1, 1, 2);
  b->addWidget(Label_TLink, 3, 0);
  b->addWidget(Edit_TLink, 3, 1, 1, 2);
  b->setColumnStretch(1, 1);

  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  v->addWidget(editing);
  v->addWidget(building);
  v->addStretch();
  return page;
}

QWidget* TForm_Set::buildFormatPage() {
  auto* format = new QGroupBox(QStringLiteral(" 程序格式 "));
  ComboBox_Separate1 = numberList(1, 10, true);
  ComboBox_Separate2 = numberList(1, 10, true);
  ComboBox_Wide1 = numberList(8, 20, true);
  ComboBox_Wide2 = numberList(8, 20, true);
  ComboBox_Wide3 = numberList(8, 20, true);
  QGridLayout* g = grid(format);
  g->addWidget(caption("一二列间隔："), 0, 0);
  g->addWidget(ComboBox_Separate1, 0, 1);
  g->addWidget(caption("二三列间隔："), 0, 2);
  g->addWidget(ComboBox_Separate2, 0, 3);
  g->addWidget(caption("第一列宽度："), 1, 0);
  g->addWidget(ComboBox_Wide1, 1, 1);
  g->addWidget(caption("第二列宽度："), 1, 2);
  g->addWidget(ComboBox_Wide2, 1, 3);
  g->addWidget(caption("第三列宽度："), 2, 0);
  g->addWidget(ComboBox_Wide3, 2, 1);
  g->setColumnStretch(1, 1);
  g->setColumnStretch(3, 1);

  auto* view = new QGroupBox(QStringLiteral(" 视图控制 "));
  CheckBox_Navi = new QCheckBox(QStringLiteral("显示导航栏"));
  CheckBox_Error = new QCheckBox(QStringLiteral("显示错误栏"));
  CheckBox_ShowAbout = new QCheckBox(QStringLiteral("开始时显示关于对话框"));
  auto* contact = caption("如果有改进意见或发现BUG，请与我联系：");
  auto* contactLine = caption("请到本项目的问题跟踪页留言（见 README），免费答复。");
  contactLine->setWordWrap(true);
  if (m_makeBanner) Banner = m_makeBanner();
  QGridLayout* v = grid(view);
  v->addWidget(CheckBox_Navi, 0, 0);
  v->addWidget(CheckBox_Error, 0, 1);
  v->addWidget(CheckBox_ShowAbout, 1, 0, 1, 2);
  v->addWidget(contact, 2, 0, 1, 2);
  v->addWidget(contactLine, 3, 0, 1, 2);
  if (Banner) v->addWidget(Banner, 4, 0, 1, 2, Qt::AlignHCenter);

  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);
  l->addWidget(format);
  l->addWidget(view);
  l->addStretch();
  return page;
}

void TForm_Set::fillFontNames() {
  QStringList names;
  // Names with "@" are the vertical-writing variants of CJK fonts.
  for (const QString& family : QFontDatabase::families()) {
    if (!family.contains('@')) names << family;
  }
  names.sort();
  names.removeDuplicates();
  ComboBox_Font->addItems(names);
}

void TForm_Set::LoadFromSettings() {
  CheckBox_Navi->setChecked(m_set.ShowNavigator);
  CheckBox_Error->setChecked(m_set.ShowErrorBar);
  CheckBox_ShowAbout->setChecked(m_set.ShowAboutAtStart);
  CheckBox_Format->setChecked(m_set.AutoFormat);
  CheckBox_Color->setChecked(m_set.ColorDisplay);

  ComboBox_Format->setCurrentIndex(qBound(0, m_set.CaseMode, 2));
  ComboBox_Separate2->setCurrentText(QString::number(m_set.Gap2Width));
  ComboBox_Separate1->setCurrentText(QString::number(m_set.Gap1Width));
  ComboBox_Wide1->setCurrentText(QString::number(m_set.Column1Width));
  ComboBox_Wide2->setCurrentText(QString::number(m_set.Column2Width));
  ComboBox_Wide3->setCurrentText(QString::number(m_set.Column3Width));

  // A stored font the screen does not offer stays the stored one, so OK does not replace it.
  int font = ComboBox_Font->findText(m_set.EditorFont.Name, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (font < 0 && !m_set.EditorFont.Name.isEmpty()) {
    font = 0;
    while (font < ComboBox_Font->count() && ComboBox_Font->itemText(font) < m_set.EditorFont.Name) ++font;
    ComboBox_Font->insertItem(font, m_set.EditorFont.Name);
  }
  if (font >= 0) ComboBox_Font->setCurrentIndex(font);
  if (m_set.EditorFont.Size > 0) selectNumber(ComboBox_Size, m_set.EditorFont.Size);

  ColorBox_Font->select(m_set.EditorFont.Color);
  ColorBox_Back->select(m_set.BackColor);
  updatePreview();

  QString tasm = m_set.EffectiveTasmOptions();
  QString tlink = m_set.EffectiveTLinkOptions();
  Edit_TASM->setText(tasm);
  Edit_TLink->setText(tlink);
  CheckBox_Com->setChecked(tlink.contains(QStringLiteral("/t")));
  CheckBox_Debug->setChecked(tasm.contains(QStringLiteral("/zi")) && tlink.contains(QStringLiteral("/v")));
  CheckBox_Define->setChecked(m_set.UseUserOptions);
  CheckBox_DefineClick();
}

void TForm_Set::CheckBox_DefineClick() {
  bool user = CheckBox_Define->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(Label_TASM), static_cast<QWidget*>(Edit_TASM),
                     static_cast<QWidget*>(Label_TLink), static_cast<QWidget*>(Edit_TLink)}) {
    w->setEnabled(user);
  }
  CheckBox_Com->setEnabled(!user);
  CheckBox_Debug->setEnabled(!user);
}

void TForm_Set::updatePreview() {
  QFont font(ComboBox_Font->currentText());
  bool ok = false;
  int size = ComboBox_Size->currentText().toInt(&ok);
  if (ok && size > 0) font.setPointSize(size);
  Label_Show->setFont(font);
  QPalette palette = Label_Show->palette();
  palette.setColor(QPalette::WindowText, colorFromStored(ColorBox_Font->selected()));
  palette.setColor(QPalette::Window, colorFromStored(ColorBox_Back->selected()));
  Label_Show->setPalette(palette);
}

bool TForm_Set::Button_OKClick() {
  const int widths[] = {wholeNumber(ComboBox_Wide1->currentText()), wholeNumber(ComboBox_Wide2->currentText()),
                        wholeNumber(ComboBox_Wide3->currentText()), wholeNumber(ComboBox_Separate1->currentText()),
                        wholeNumber(ComboBox_Separate2->currentText())};
  for (int w : widths) {
    if (w <= 0) {
      m_prompter.inform(kWidthRefused);
      return false;
    }
  }
  m_set.ShowAboutAtStart = CheckBox_ShowAbout->isChecked();
  m_set.UseUserOptions = CheckBox_Define->isChecked();
  m_set.UserTasmOptions = Edit_TASM->text();
  m_set.UserTLinkOptions = Edit_TLink->text();
  m_set.ColorDisplay = CheckBox_Color->isChecked();
  m_set.AutoFormat = CheckBox_Format->isChecked();
  m_set.Column1Width = widths[0];
  m_set.Column2Width = widths[1];
  m_set.Column3Width = widths[2];
  m_set.Gap1Width = widths[3];
  m_set.Gap2Width = widths[4];

  if (!ComboBox_Font->currentText().isEmpty()) m_set.EditorFont.Name = ComboBox_Font->currentText();
  if (int size = wholeNumber(ComboBox_Size->currentText()); size > 0) m_set.EditorFont.Size = size;
  m_set.EditorFont.Color = ColorBox_Font->selected();
  m_set.BackColor = ColorBox_Back->selected();
  m_set.ShowNavigator = CheckBox_Navi->isChecked();
  m_set.ShowErrorBar = CheckBox_Error->isChecked();

  // The mode boxes act on the standard strings even while user options are in use.
  OptionStrings standard = modeOptions(CheckBox_Debug->isChecked(), CheckBox_Com->isChecked());
  m_set.TasmOptions = standard.tasm;
  m_set.TLinkOptions = standard.tlink;
  m_set.CaseMode = ComboBox_Format->currentIndex();
  done(Accepted);
  return true;
}

void TForm_Set::Button_DefaultClick() {
  m_set.RestoreDefaults();
  LoadFromSettings();
}

void TForm_Set::Button_CancelClick() { done(Rejected); }

void TForm_Set::showEvent(QShowEvent* e) {
  PageControl->setCurrentIndex(0);
  LoadFromSettings();
  QDialog::showEvent(e);
  Button_OK->setFocus();
}

void TForm_Set::closeEvent(QCloseEvent* e) {
  e->accept();
  done(Accepted);
}

}  // namespace krvs::ide
