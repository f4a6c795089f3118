#include "forms/about_splash.h"

#include <QThread>

#include "forms/tform_about.h"
#include "settings/tset.h"

namespace krvs::ide {

void showAboutSplash(const TSet& set) {
  if (!set.ShowAboutAtStart) return;
  TForm_About about;
  QThread::msleep(kAboutSplashMs);
  about.hide();
}

}  // namespace krvs::ide
