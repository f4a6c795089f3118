// The colour lists of the settings dialog.
#include <QColorDialog>
#include <QPainter>

#include "settings/colors.h"
#include "settings/tform_set.h"

namespace krvs::ide {

namespace {

struct NamedColor {
  int stored;
  const char* name;
};

// Plain colours are 0x00BBGGRR, as the settings file keeps them.
constexpr NamedColor kColors[] = {
    {0x000000, "黑色"}, {0x000080, "褐红"}, {0x008000, "绿色"}, {0x008080, "橄榄绿"},
    {0x800000, "藏青"}, {0x800080, "紫色"}, {0x808000, "青色"}, {0x808080, "灰色"},
    {0xC0C0C0, "银色"}, {0x0000FF, "红色"}, {0x00FF00, "亮绿"}, {0x00FFFF, "黄色"},
    {0xFF0000, "蓝色"}, {0xFF00FF, "紫红"}, {0xFFFF00, "水绿"}, {0xFFFFFF, "白色"},
    // extended colours
    {0xC0DCC0, "钱币绿"}, {0xF0CAA6, "天蓝"}, {0xF0FBFF, "奶油色"}, {0xA4A0A0, "中灰"},
    // system colours
    {kSystemColorFlag | 0, "系统:滚动条"}, {kSystemColorFlag | 1, "系统:桌面"},
    {kSystemColorFlag | 2, "系统:活动标题栏"}, {kSystemColorFlag | 3, "系统:非活动标题栏"},
    {kSystemColorFlag | 4, "系统:菜单"}, {kSystemColorFlag | 5, "系统:窗口"},
    {kSystemColorFlag | 6, "系统:窗口边框"}, {kSystemColorFlag | 7, "系统:菜单文字"},
    {kSystemColorFlag | 8, "系统:窗口文字"}, {kSystemColorFlag | 9, "系统:标题文字"},
    {kSystemColorFlag | 10, "系统:活动边框"}, {kSystemColorFlag | 11, "系统:非活动边框"},
    {kSystemColorFlag | 12, "系统:程序工作区"}, {kSystemColorFlag | 13, "系统:高亮"},
    {kSystemColorFlag | 14, "系统:高亮文字"}, {kSystemColorFlag | 15, "系统:按钮表面"},
    {kSystemColorFlag | 16, "系统:按钮阴影"}, {kSystemColorFlag | 17, "系统:灰色文字"},
    {kSystemColorFlag | 18, "系统:按钮文字"}, {kSystemColorFlag | 19, "系统:非活动标题文字"},
    {kSystemColorFlag | 20, "系统:按钮高光"}, {kSystemColorFlag | 21, "系统:三维深阴影"},
    {kSystemColorFlag | 22, "系统:三维浅色"}, {kSystemColorFlag | 23, "系统:提示文字"},
    {kSystemColorFlag | 24, "系统:提示背景"}, {kSystemColorFlag | 26, "系统:热点"},
    {kSystemColorFlag | 27, "系统:渐变活动标题栏"}, {kSystemColorFlag | 28, "系统:渐变非活动标题栏"},
    {kSystemColorFlag | 29, "系统:菜单高亮"}, {kSystemColorFlag | 30, "系统:菜单栏"},
    {kColorNone, "无"}, {kColorDefault, "默认"},
};

constexpr int kCustomPickerRole = Qt::UserRole + 1;

QIcon swatch(int stored) {
  QPixmap pixmap(18, 12);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.fillRect(pixmap.rect().adjusted(0, 0, -1, -1), colorFromStored(stored));
  p.setPen(Qt::darkGray);
  p.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
  if (stored == kColorNone) p.drawLine(0, pixmap.height() - 1, pixmap.width() - 1, 0);
  return QIcon(pixmap);
}

QString customName(int stored) {
  QColor c = colorFromStored(stored);
  return QStringLiteral("自定义 %1").arg(c.name().toUpper());
}

}  // namespace

ColorBox::ColorBox(QWidget* parent) : QComboBox(parent) {
  for (const NamedColor& c : kColors) addItem(swatch(c.stored), QString::fromUtf8(c.name), c.stored);
  addItem(QStringLiteral("自定义..."));
  setItemData(count() - 1, true, kCustomPickerRole);
  setMaxVisibleItems(16);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && !itemData(index, kCustomPickerRole).toBool()) m_lastIndex = index;
  });
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (itemData(index, kCustomPickerRole).toBool()) pickCustom(index);
  });
}

int ColorBox::colorAt(int index) const { return itemData(index).toInt(); }

int ColorBox::selected() const { return colorAt(currentIndex()); }

void ColorBox::select(int stored) {
  for (int i = 0; i < count(); ++i) {
    if (!itemData(i, kCustomPickerRole).toBool() && colorAt(i) == stored) {
      setCurrentIndex(i);
      return;
    }
  }
  // A colour the list does not offer (picked earlier, or written into the file) stays selectable.
  int at = count() - 1;
  insertItem(at, swatch(stored), customName(stored), stored);
  setCurrentIndex(at);
}

void ColorBox::pickCustom(int index) {
  QColor initial = colorFromStored(colorAt(m_lastIndex));
  QColor chosen = QColorDialog::getColor(initial, this, QStringLiteral("自定义颜色"));
  if (!chosen.isValid()) {
    setCurrentIndex(m_lastIndex);
    return;
  }
  Q_UNUSED(index);
  select(storedFromColor(chosen));
}

}  // namespace krvs::ide
