#include "forms/transparent_skin.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

namespace krvs::ide {

TTransparentSkin::TTransparentSkin(QWidget* owner) : QObject(owner), m_owner(owner) { ApplyTransparency(10); }

void TTransparentSkin::ApplyTransparency(int value) {
  Transparency = static_cast<std::uint8_t>(qBound(0, value, 255));
  applyOpacity(100 - value);
}

void TTransparentSkin::applyOpacity(int percent) {
  if (m_owner) m_owner->setWindowOpacity(qBound(0, percent, 100) / 100.0);
}

void TTransparentSkin::FadeIn(int target) {
  ApplyTransparency(100);
  if (!m_owner) return;
  m_owner->show();
  for (int t = 100; t >= target; --t) {
    applyOpacity(100 - t);
    m_owner->repaint();
    // Lets the window system map and expose the window; user input waits until the fade is done.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(FadeTime);
  }
  Transparency = static_cast<std::uint8_t>(qBound(0, target, 255));
}

}  // namespace krvs::ide
