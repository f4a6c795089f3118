#pragma once
// Colours as the settings file stores them: 0x00BBGGRR for a plain colour, 0x800000nn for the
// system colour nn, plus the two special values "none" and "default".
#include <QColor>

namespace krvs::ide {

inline constexpr int kColorNone = 0x1FFFFFFF;
inline constexpr int kColorDefault = 0x20000000;
inline constexpr int kSystemColorFlag = static_cast<int>(0x80000000u);
inline constexpr int kColorInfoBk = static_cast<int>(0x80000018u);  // tool-tip background

// The colour to paint for a stored value; system colours come from the application's palette.
QColor colorFromStored(int stored);
// A plain colour's stored value (alpha is dropped).
int storedFromColor(const QColor& color);
bool isSystemColor(int stored);

}  // namespace krvs::ide
