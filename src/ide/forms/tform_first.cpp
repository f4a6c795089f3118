#include "forms/tform_first.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>

#include "settings/colors.h"
#include "settings/tset.h"

// The built-in resources live in a static library, so they are registered by hand.
static void registerFormResources() { Q_INIT_RESOURCE(forms); }

namespace krvs::ide {

namespace {

constexpr int kGlyphBack = 13160660;  // colour value of the two glyph labels
constexpr int kBoxBack = 14811135;    // colour value of the text box
constexpr QSize kBoxSize{649, 465};
// Maximise and restore glyphs; the symbol font the glyphs were once drawn with is not on every
// system, so they are plain characters here.
const QString kMaxGlyph = QStringLiteral("□");
const QString kRestoreGlyph = QStringLiteral("❐");

QPointer<TForm_First> g_current;

QLabel* glyph(QWidget* parent, const QString& text, const QString& hint) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedSize(16, 19);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, colorFromStored(kGlyphBack));
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  label->setToolTip(hint);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

// Blanks the given lines, highest first so the lower numbers still name the same lines.
void blankLines(QTextDocument* document, std::initializer_list<int> lines) {
  for (int line : lines) {
    QTextBlock block = document->findBlockByNumber(line);
    if (!block.isValid()) continue;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QStringLiteral(" "));
  }
}

}  // namespace

QString welcomeDocumentPath(const TSet& set) {
  static const bool registered = (registerFormResources(), true);
  Q_UNUSED(registered);
  QString onDisk = set.ProgramDir() + QStringLiteral("WD.dat");
  return QFile::exists(onDisk) ? onDisk : QStringLiteral(":/forms/WD.dat");
}

TForm_First::TForm_First(TSet& set, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_set(set) {
  setObjectName(QStringLiteral("Form_First"));
  setWindowTitle(QStringLiteral("欢迎使用Korvash"));
  setAttribute(Qt::WA_QuitOnClose, false);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, colorFromStored(kColorInfoBk));
  setPalette(palette);
  setAutoFillBackground(true);
  resize(754, 534);

  Label_Close = glyph(this, QStringLiteral("×"), QStringLiteral("关闭"));
  Label_Max = glyph(this, kMaxGlyph, QStringLiteral("最大化"));
  Label_Close->installEventFilter(this);
  Label_Max->installEventFilter(this);

  RichEdit_First = new QTextBrowser(this);
  RichEdit_First->setFrameShape(QFrame::NoFrame);
  RichEdit_First->setReadOnly(true);
  RichEdit_First->setOpenExternalLinks(true);
  RichEdit_First->setFixedSize(kBoxSize);
  QPalette box = RichEdit_First->palette();
  box.setColor(QPalette::Base, colorFromStored(kBoxBack));
  RichEdit_First->setPalette(box);
}

TForm_First* TForm_First::showNew(TSet& set, QWidget* owner) {
  delete g_current.data();
  g_current = new TForm_First(set, owner);
  g_current->setAttribute(Qt::WA_DeleteOnClose, false);
  g_current->show();
  return g_current.data();
}

TForm_First* TForm_First::current() { return g_current.data(); }

void TForm_First::showEvent(QShowEvent* e) {
  FormShow();
  QWidget::showEvent(e);
}

void TForm_First::FormShow() {
  if (!m_maximised) resize(kNormalSize);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  loadDocument();
  QTextCursor cursor = RichEdit_First->textCursor();
  cursor.setPosition(qMin(kCaretPosition, RichEdit_First->document()->characterCount() - 1));
  RichEdit_First->setTextCursor(cursor);
  if (m_set.PlatformKind == 1) blankLines(RichEdit_First->document(), {21, 3, 0});
}

void TForm_First::loadDocument() {
  QFile file(welcomeDocumentPath(m_set));
  if (!file.open(QIODevice::ReadOnly)) {
    RichEdit_First->setHtml(QStringLiteral("<p>欢迎使用Korvash。</p><p>欢迎文件 WD.dat 无法读取：%1</p>"
                                           "<p>请重新安装Korvash；编辑、编译和调试不受影响。</p>")
                                .arg(file.errorString().toHtmlEscaped()));
    return;
  }
  RichEdit_First->setHtml(QString::fromUtf8(file.readAll()));
}

void TForm_First::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  FormResize();
}

void TForm_First::FormResize() {
  RichEdit_First->move((width() - RichEdit_First->width()) / 2, (height() - RichEdit_First->height()) / 2);
  placeGlyphs();
}

void TForm_First::placeGlyphs() {
  Label_Close->move(width() - Label_Close->width() - 2, 2);
  Label_Max->move(Label_Close->x() - Label_Max->width() - 2, 2);
}

void TForm_First::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), colorFromStored(kColorInfoBk));
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TForm_First::Label_MaxClick() {
  if (!m_maximised) {
    m_maximised = true;
    Label_Max->setText(kRestoreGlyph);
    Label_Max->setToolTip(QStringLiteral("还原"));
    showMaximized();
  } else {
    m_maximised = false;
    Label_Max->setText(kMaxGlyph);
    Label_Max->setToolTip(QStringLiteral("最大化"));
    showNormal();
    resize(kNormalSize);
  }
}

void TForm_First::Label_CloseClick() { hide(); }

bool TForm_First::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease) {
    if (watched == Label_Close) {
      Label_CloseClick();
      return true;
    }
    if (watched == Label_Max) {
      Label_MaxClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace krvs::ide
