#include "forms/tform_reminder.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "forms/pictures.h"
#include "settings/colors.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

constexpr int kPanelColor = 10803386;
constexpr int kLinkHover = 0xFF0000;
constexpr QSize kClientSize{482, 343};
constexpr int kShapeX = 324;
constexpr int kShapeY[] = {10, 57, 104, 151};

struct Page {
  const char* button;
  const char* title;
  bool linkShown;
  const char* text;
};

// Korvash has no paid service and no mailbox; help goes through the project's issue tracker.
constexpr Page kPages[] = {
    {"免　　费", "免费的扩展服务", false,
     "学汇编时遇到问题，或Korvash用得不顺手，\n"
     "都可以到本项目的问题跟踪页留言\n"
     "（地址见 README）。\n\n"
     "请写清楚：\n"
     "  · 源程序（或出错的几行）；\n"
     "  · 编译、生成或调试时看到的提示；\n"
     "  · 您期望的结果。\n\n"
     "回答是朋友间的交流，不收费用，\n"
     "但不承诺在多长时间内答复。"},
    {"付　　费", "付费的扩展服务", true,
     "Korvash没有付费服务。\n\n"
     "Korvash是免费软件，没有收费的答疑、\n"
     "加急或其他服务，也不会向您收取费用。\n\n"
     "有人以Korvash的名义收费，那不是本项目。\n\n"
     "所有问题都请到问题跟踪页免费留言。"},
    {"帮个忙吧", "Korvash需要您", true,
     "如果Korvash对您有用，您可以这样帮助它：\n\n"
     "  · 报告问题：程序出错、提示不清楚、\n"
     "    结果和真实的DOS不一样，都请告诉我们；\n"
     "  · 提出建议：想要的功能、更好的用法；\n"
     "  · 分享：推荐给同学和老师，\n"
     "    把您的汇编例子和心得分享出来。"},
    {"关　　闭", "点击关闭按钮退出", true,
     "联系方式：本项目的问题跟踪页\n"
     "（地址见 README）。\n\n"
     "使用方法：\n"
     "  1. 新建一个问题，标题写明遇到的情况；\n"
     "  2. 附上源程序和看到的提示；\n"
     "  3. 留意回复，问题解决后请告诉我们。\n\n"
     "点击右边的“关闭”退出本窗口。"},
};

// The link label opens the manual beside the program, which explains where to ask.
constexpr const char* kLinkCaption = "打开Korvash使用手册";

QFont namedFont(const char* family, int pixels) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

int nextLinkColor(int value) {
  switch (value) {
    case 0x808080: return 0x800000;
    case 0x800000: return 0x008080;
    case 0x008080: return 0x800080;
    default: return 0x808080;
  }
}

TFormReminder::TFormReminder(TSet& set, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_set(set) {
  setObjectName(QStringLiteral("FormReminder"));
  setWindowTitle(QStringLiteral("扩展服务"));
  setAttribute(Qt::WA_QuitOnClose, false);
  // The corners outside the rounded panel are see-through.
  setAttribute(Qt::WA_TranslucentBackground);
  setFont(namedFont("Tahoma", 12));
  setFixedSize(kClientSize);
  buildLeft();
  buildRight();
  Timer_Reminder = new QTimer(this);
  Timer_Reminder->setInterval(1000);
  connect(Timer_Reminder, &QTimer::timeout, this, [this] { Timer_ReminderTimer(); });
  setLinkColor(0x808080);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFormReminder::buildLeft() {
  ShapeBack = new QFrame(this);
  ShapeBack->setGeometry(8, 8, 310, 310);
  ShapeBack->setStyleSheet(QStringLiteral("QFrame{background:white;border:1px solid white;}"));
  ImageReminder = new QLabel(ShapeBack);
  ImageReminder->setGeometry(0, 0, 310, 310);
  ImageReminder->setScaledContents(true);
  ImageReminder->setPixmap(reminderBackdrop(310));
  LabelTitle = new QLabel(QStringLiteral("贴心小闹"), ShapeBack);
  LabelTitle->setFont(namedFont("黑体", 19));
  LabelTitle->setGeometry(14, 12, 282, 30);
  LabelTitle->setStyleSheet(QStringLiteral("color:#1F3F6A;background:transparent;border:none;"));
  for (int i = 0; i < 4; ++i) {
    auto* text = new QLabel(QString::fromUtf8(kPages[i].text), ShapeBack);
    text->setObjectName(QStringLiteral("Label_%1_1").arg(i + 1));
    text->setGeometry(14, 52, 288, 240);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setWordWrap(true);
    text->setFont(namedFont("Noto Sans CJK SC", 12));
    text->setStyleSheet(QStringLiteral("color:#303030;background:transparent;border:none;"));
    text->hide();
    Labels[i] = text;
  }
  Label_5_1 = new QLabel(QString::fromUtf8(kLinkCaption), this);
  Label_5_1->setGeometry(14, 320, 300, 20);
  Label_5_1->setCursor(Qt::PointingHandCursor);
  QFont linkFont = Label_5_1->font();
  linkFont.setUnderline(true);
  Label_5_1->setFont(linkFont);
  Label_5_1->installEventFilter(this);
  PanelSet = new QWidget(this);
  PanelSet->setGeometry(8, 8, 310, 310);
  PanelSet->setStyleSheet(QStringLiteral("background:white;"));
  PanelSet->hide();
}

void TFormReminder::buildRight() {
  const char* names[] = {"LabelOK", "LabelWait", "LabelWhile", "LabelNext"};
  for (int i = 0; i < 4; ++i) {
    auto* label = new QLabel(QString::fromUtf8(kPages[i].button), this);
    label->setObjectName(QString::fromLatin1(names[i]));
    label->setGeometry(kShapeX, kShapeY[i], 150, 41);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(namedFont("黑体", 21));
    label->setStyleSheet(QStringLiteral("color:#808080;background:transparent;"));
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    Buttons[i] = label;
  }
  Image1 = new QLabel(this);
  Image1->setGeometry(kShapeX + 22, 212, 106, 106);
  Image1->setPixmap(chipPicture(106));
}

void TFormReminder::selectPage(int page) {
  m_page = qBound(0, page, 3);
  for (int i = 0; i < 4; ++i) m_shapeColors[i] = i == m_page ? kChosenShape : kOtherShape;
  LabelTitle->setText(QString::fromUtf8(kPages[m_page].title));
  ShapeBack->show();
  PanelSet->hide();
  for (int i = 0; i < 4; ++i) Labels[i]->setVisible(i == m_page);
  Label_5_1->setVisible(kPages[m_page].linkShown);
  update();
}

void TFormReminder::showEvent(QShowEvent* e) {
  selectPage(0);
  Timer_Reminder->start();
  QWidget::showEvent(e);
}

void TFormReminder::closeEvent(QCloseEvent* e) {
  e->ignore();
  hide();
}

void TFormReminder::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(colorFromStored(kPanelColor));
  p.drawRoundedRect(QRectF(rect()), 5, 5);
  for (int i = 0; i < 4; ++i) {
    QColor c = colorFromStored(m_shapeColors[i]);
    p.setPen(c);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(kShapeX, kShapeY[i], 150, 41).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
  }
}

void TFormReminder::Timer_ReminderTimer() { setLinkColor(nextLinkColor(m_linkColor)); }

void TFormReminder::setLinkColor(int value) {
  m_linkColor = value;
  QPalette palette = Label_5_1->palette();
  palette.setColor(QPalette::WindowText, colorFromStored(value));
  Label_5_1->setPalette(palette);
}

void TFormReminder::setLinkHovered(bool hovered) {
  QFont font = Label_5_1->font();
  font.setUnderline(true);
  font.setBold(hovered);
  Label_5_1->setFont(font);
  if (hovered) {
    Timer_Reminder->stop();
    setLinkColor(kLinkHover);
  } else {
    Timer_Reminder->start();
  }
}

void TFormReminder::Label_5_1Click() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(m_set.HelpFile));
}

bool TFormReminder::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Label_5_1) {
    if (e->type() == QEvent::Enter) setLinkHovered(true);
    if (e->type() == QEvent::Leave) setLinkHovered(false);
    if (e->type() == QEvent::MouseButtonRelease) Label_5_1Click();
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (watched != Buttons[i]) continue;
    if (e->type() == QEvent::Enter) selectPage(i);
    // "关闭" hides the window; "付费" does nothing.
    if (e->type() == QEvent::MouseButtonRelease && i == 3) hide();
    return false;
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace krvs::ide
