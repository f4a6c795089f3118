#include "forms/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace krvs::ide {

namespace {

// Kept in step with the version in the top-level CMakeLists.txt.
constexpr const char* kVersionText = "版本 0.1.0";

QFont pixelFont(const char* family, int pixels, bool bold = false) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void drawChip(QPainter& p, QRectF r) {
  qreal pin = r.width() / 10;
  p.setPen(QPen(QColor(0x9A, 0xA4, 0xB0), pin * 0.6));
  for (int i = 1; i <= 4; ++i) {
    qreal at = r.left() + r.width() * i / 5;
    p.drawLine(QPointF(at, r.top()), QPointF(at, r.top() + pin * 1.5));
    p.drawLine(QPointF(at, r.bottom() - pin * 1.5), QPointF(at, r.bottom()));
    qreal y = r.top() + r.height() * i / 5;
    p.drawLine(QPointF(r.left(), y), QPointF(r.left() + pin * 1.5, y));
    p.drawLine(QPointF(r.right() - pin * 1.5, y), QPointF(r.right(), y));
  }
  QRectF body = r.adjusted(pin * 1.5, pin * 1.5, -pin * 1.5, -pin * 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2B, 0x35, 0x42));
  p.drawRoundedRect(body, pin, pin);
  p.setPen(QColor(0xE8, 0xC5, 0x5A));
  p.setFont(pixelFont("DejaVu Sans Mono", qMax(6, int(body.height() / 3)), true));
  p.drawText(body, Qt::AlignCenter, QStringLiteral("8086"));
}

void drawSource(QPainter& p, QRectF r) {
  QRectF sheet = r.adjusted(r.width() * 0.12, 0, -r.width() * 0.12, 0);
  p.setPen(QColor(0x8C, 0x99, 0xA8));
  p.setBrush(Qt::white);
  p.drawRect(sheet);
  const QColor kinds[] = {QColor(0x2E, 0x6F, 0xD0), QColor(0x3A, 0x3A, 0x3A), QColor(0x2F, 0x9E, 0x55)};
  qreal step = sheet.height() / 7;
  for (int i = 1; i < 7; ++i) {
    qreal y = sheet.top() + step * i;
    qreal indent = (i % 3 == 1) ? 0 : sheet.width() * 0.18;
    p.setPen(QPen(kinds[i % 3], qMax(1.0, step * 0.35)));
    p.drawLine(QPointF(sheet.left() + 3 + indent, y), QPointF(sheet.right() - 3 - (i % 2) * sheet.width() * 0.2, y));
  }
}

}  // namespace

QPixmap chipPicture(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  drawChip(p, QRectF(0, 0, side, side));
  return pixmap;
}

QPixmap sourcePicture(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  drawSource(p, QRectF(0.5, 0.5, side - 1, side - 1));
  return pixmap;
}

QPixmap aboutPicture() {
  QPixmap pixmap(500, 309);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient sky(0, 0, 0, 309);
  sky.setColorAt(0, QColor(0x12, 0x2B, 0x4A));
  sky.setColorAt(1, QColor(0x2C, 0x5C, 0x8E));
  p.fillRect(pixmap.rect(), sky);
  // A faint column of source text, as on a DOS screen, behind the title.
  p.setFont(pixelFont("DejaVu Sans Mono", 13));
  p.setPen(QColor(255, 255, 255, 34));
  const char* lines[] = {"code    segment", "        assume  cs:code", "start:  mov     ax,data",
                         "        mov     ds,ax",  "        mov     ah,9",    "        int     21h",
                         "        mov     ax,4c00h", "        int     21h", "code    ends", "        end     start"};
  int y = 24;
  for (const char* line : lines) {
    p.drawText(250, y, QString::fromLatin1(line));
    y += 18;
  }
  drawChip(p, QRectF(36, 42, 92, 92));
  p.setPen(Qt::white);
  p.setFont(pixelFont("DejaVu Sans", 52, true));
  p.drawText(QRect(150, 40, 330, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Korvash"));
  p.setPen(QColor(0xE8, 0xC5, 0x5A));
  p.setFont(pixelFont("Noto Sans CJK SC", 18));
  p.drawText(QRect(154, 108, 330, 28), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(kVersionText));
  p.setPen(QColor(0xDD, 0xE6, 0xF0));
  p.setFont(pixelFont("Noto Sans CJK SC", 17));
  p.drawText(QRect(36, 170, 430, 28), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("16 位 DOS 汇编语言的学习与调试环境"));
  p.setFont(pixelFont("Noto Sans CJK SC", 14));
  p.drawText(QRect(36, 204, 430, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("自带工具链：TASM.Exe 汇编器 · TLink.Exe 链接器 · DEBUG.EXE"));
  p.drawText(QRect(36, 228, 430, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("以及模拟的 8086 PC（BIOS、DOS、文本屏幕）"));
  p.setPen(QColor(0x9F, 0xB6, 0xCE));
  p.setFont(pixelFont("Noto Sans CJK SC", 12));
  p.drawText(QRect(36, 272, 430, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("单击本图关闭"));
  return pixmap;
}

QPixmap reminderBackdrop(int side) {
  QPixmap pixmap(side, side);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, side);
  fill.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
  fill.setColorAt(1, QColor(0xF1, 0xF7, 0xEE));
  p.fillRect(pixmap.rect(), fill);
  p.setPen(QColor(0xD8, 0xE8, 0xD0));
  p.drawLine(QPointF(14, 46), QPointF(side - 14, 46));
  return pixmap;
}

}  // namespace krvs::ide
