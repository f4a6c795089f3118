#include "settings/colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <array>

namespace krvs::ide {

namespace {

struct SystemColor {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// System colour index -> the palette entry that plays the same part.
constexpr std::array<SystemColor, 31> kSystemColors = {{
    {QPalette::Active, QPalette::Dark},             // 0 scroll bar
    {QPalette::Active, QPalette::Window},           // 1 background (desktop)
    {QPalette::Active, QPalette::Highlight},        // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},      // 3 inactive caption
    {QPalette::Active, QPalette::Window},           // 4 menu
    {QPalette::Active, QPalette::Base},             // 5 window
    {QPalette::Active, QPalette::Shadow},           // 6 window frame
    {QPalette::Active, QPalette::WindowText},       // 7 menu text
    {QPalette::Active, QPalette::Text},             // 8 window text
    {QPalette::Active, QPalette::HighlightedText},  // 9 caption text
    {QPalette::Active, QPalette::Mid},              // 10 active border
    {QPalette::Inactive, QPalette::Mid},            // 11 inactive border
    {QPalette::Active, QPalette::Dark},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},  // 14 highlight text
    {QPalette::Active, QPalette::Button},           // 15 button face
    {QPalette::Active, QPalette::Dark},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},           // 17 grey text
    {QPalette::Active, QPalette::ButtonText},       // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText},// 19 inactive caption text
    {QPalette::Active, QPalette::Light},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow},           // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},      // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},      // 24 info background
    {QPalette::Active, QPalette::Window},           // 25 (unused)
    {QPalette::Active, QPalette::Link},             // 26 hot light
    {QPalette::Active, QPalette::Highlight},        // 27 gradient active caption
    {QPalette::Inactive, QPalette::Highlight},      // 28 gradient inactive caption
    {QPalette::Active, QPalette::Highlight},        // 29 menu highlight
    {QPalette::Active, QPalette::Window},           // 30 menu bar
}};

}  // namespace

bool isSystemColor(int stored) { return (static_cast<unsigned>(stored) & 0xFF000000u) == 0x80000000u; }

QColor colorFromStored(int stored) {
  if (stored == kColorNone) return Qt::transparent;
  QPalette palette = QGuiApplication::palette();
  if (stored == kColorDefault) return palette.color(QPalette::Base);
  if (isSystemColor(stored)) {
    unsigned index = static_cast<unsigned>(stored) & 0xFFu;
    if (index >= kSystemColors.size()) return palette.color(QPalette::Base);
    const SystemColor& c = kSystemColors[index];
    return palette.color(c.group, c.role);
  }
  unsigned v = static_cast<unsigned>(stored);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

int storedFromColor(const QColor& color) {
  return color.red() | (color.green() << 8) | (color.blue() << 16);
}

}  // namespace krvs::ide
