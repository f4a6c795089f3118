// The main window's handlers that open the settings dialog, the extended-services window and the
// about window.
#include "app/tform_main.h"
#include "forms/banner.h"
#include "forms/tform_about.h"
#include "forms/tform_first.h"
#include "forms/tform_reminder.h"
#include "settings/tform_set.h"

namespace krvs::ide {

void TForm_Main::MainMenu_EnvSetClick() {
  if (!Form_Set) {
    // The banner at the foot of the view page opens the welcome window.
    Form_Set = new TForm_Set(m_set, m_prompter, this, [this] { return new FormsBanner([this] { showWelcomeWindow(); }); });
  }
  if (Form_Set->exec() == QDialog::Accepted) ApplySettings();
}

void TForm_Main::MainMenu_ExtAssClick() {
  if (!FormReminder) FormReminder = new TFormReminder(m_set, this);
  FormReminder->show();
  FormReminder->raise();
}

void TForm_Main::MainMenu_AboutClick() {
  delete Form_About.data();
  Form_About = new TForm_About(this);
}

void TForm_Main::showWelcomeWindow() { TForm_First::showNew(m_set, this); }

}  // namespace krvs::ide
