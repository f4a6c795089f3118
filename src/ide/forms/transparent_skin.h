#pragma once
// TTransparentSkin: fades its owner window through the window opacity. Where the platform has no
// window opacity the calls change nothing and the window is drawn opaque.
#include <QObject>
#include <cstdint>

class QWidget;

namespace krvs::ide {

class TTransparentSkin : public QObject {
  Q_OBJECT
 public:
  // Starts 10 percent transparent.
  explicit TTransparentSkin(QWidget* owner);

  std::uint8_t Transparency = 10;  // percent, 0 opaque to 100 invisible
  std::uint8_t FadeTime = 5;       // milliseconds slept after each fade step

  void ApplyTransparency(int value);
  // Shows the owner fully transparent, then steps the transparency down to `target` one percent
  // at a time. A target above 100 only shows the window.
  void FadeIn(int target);

 private:
  void applyOpacity(int percent);
  QWidget* m_owner;
};

}  // namespace krvs::ide
