#include "forms/tform_about.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "forms/pictures.h"
#include "forms/transparent_skin.h"

namespace krvs::ide {

TForm_About::TForm_About(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("Form_About"));
  setWindowTitle(QStringLiteral("关于 Korvash"));
  // An about window left open must not keep the program running after the main window closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  Panel = new QFrame(this);
  Panel->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel->setLineWidth(1);
  QPalette palette = Panel->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Dark));
  Panel->setPalette(palette);
  Image_About = new QLabel(Panel);
  Image_About->setPixmap(aboutPicture());
  Image_About->setCursor(Qt::PointingHandCursor);
  Image_About->installEventFilter(this);
  auto* panelLayout = new QVBoxLayout(Panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(Image_About);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Panel);
  setFixedSize(Panel->sizeHint());
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - rect().center());

  Skin = new TTransparentSkin(this);
  Skin->FadeTime = 1;
  Skin->FadeIn(0);
}

void TForm_About::showEvent(QShowEvent* e) {
  setFixedSize(Panel->sizeHint());
  QWidget::showEvent(e);
}

void TForm_About::Image_AboutClick() { hide(); }

bool TForm_About::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Image_About && e->type() == QEvent::MouseButtonRelease) {
    Image_AboutClick();
    return true;
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace krvs::ide
