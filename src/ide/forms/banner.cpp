#include "forms/banner.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "forms/pictures.h"

namespace krvs::ide {

FormsBanner::FormsBanner(std::function<void()> onRelease, QWidget* parent)
    : QWidget(parent), m_onRelease(std::move(onRelease)) {
  setObjectName(QStringLiteral("Banner"));
  setFixedSize(300, 64);
  setCursor(Qt::PointingHandCursor);
  setToolTip(QStringLiteral("欢迎使用Korvash"));
}

void FormsBanner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, QColor(0xEE, 0xF4, 0xFB));
  fill.setColorAt(1, QColor(0xC9, 0xDC, 0xF0));
  p.setBrush(fill);
  p.setPen(QColor(0x7A, 0x98, 0xBC));
  p.drawRoundedRect(r, 12, 12);
  int side = height() - 16;
  p.drawPixmap(10, 8, chipPicture(side));
  p.drawPixmap(width() - side - 10, 8, sourcePicture(side));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(24);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0x1F, 0x3F, 0x6A));
  p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Korvash II"));
}

void FormsBanner::mouseReleaseEvent(QMouseEvent* e) {
  if (rect().contains(e->position().toPoint()) && m_onRelease) m_onRelease();
  QWidget::mouseReleaseEvent(e);
}

}  // namespace krvs::ide
