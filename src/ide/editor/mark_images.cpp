#include "editor/mark_images.h"

#include <QPainter>
#include <QPainterPath>

namespace krvs::ide {

namespace {

using Painter = void (*)(QPainter&);

void redBall(QPainter& p) {
  QRadialGradient g(QPointF(4.5, 4.5), 7);
  g.setColorAt(0, QColor(255, 140, 140));
  g.setColorAt(1, QColor(190, 0, 0));
  p.setPen(QColor(120, 0, 0));
  p.setBrush(g);
  p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
}

void arrow(QPainter& p, const QColor& fill) {
  QPainterPath path;
  path.moveTo(1, 4);
  path.lineTo(6, 4);
  path.lineTo(6, 1);
  path.lineTo(11, 6);
  path.lineTo(6, 11);
  path.lineTo(6, 8);
  path.lineTo(1, 8);
  path.closeSubpath();
  p.setPen(fill.darker(160));
  p.setBrush(fill);
  p.drawPath(path);
}

void paintNone(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(160, 160, 160));
  p.drawEllipse(QRectF(4, 4, 4, 4));
}

void paintBreak(QPainter& p) { redBall(p); }

void paintCurrent(QPainter& p) { arrow(p, QColor(0, 220, 220)); }

void paintBreakNoCode(QPainter& p) {
  redBall(p);
  p.setPen(QPen(Qt::white, 1.6));
  p.drawLine(QPointF(3.5, 3.5), QPointF(8.5, 8.5));
  p.drawLine(QPointF(8.5, 3.5), QPointF(3.5, 8.5));
}

void paintBreakCode(QPainter& p) {
  redBall(p);
  p.setPen(QPen(QColor(0, 200, 0), 1.8));
  p.drawLine(QPointF(3, 6), QPointF(5.5, 8.5));
  p.drawLine(QPointF(5.5, 8.5), QPointF(9.5, 3));
}

void paintCurrentBreak(QPainter& p) {
  redBall(p);
  p.scale(0.75, 0.75);
  p.translate(2, 2);
  arrow(p, QColor(40, 80, 255));
}

constexpr Painter kPainters[] = {paintNone, paintBreak, paintCurrent, paintBreakNoCode, paintBreakCode,
                                 paintCurrentBreak};

}  // namespace

QList<QPixmap> makeMarkImages() {
  QList<QPixmap> images;
  for (Painter paint : kPainters) {
    QPixmap pm(kMarkImageSize, kMarkImageSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    images << pm;
  }
  return images;
}

}  // namespace krvs::ide
