#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QElapsedTimer>
#include <QTimer>
#include <QLibraryInfo>
#include <QTranslator>
#include <QScreen>
#include <cstdio>
#include <memory>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "forms/about_splash.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "prompt/prompter.h"
#include "settings/association.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

// Where the program is taken to live: its own file inside the program home.
struct ProgramLocation {
  QString inHome;  // the program's path in its home; the settings' paths derive from it
};

ProgramLocation locateProgram(const char* argv0) {
  std::string exeDir = platform::executableDirectory();
  std::string exeName = platform::fileNameOf(argv0 ? argv0 : "korvash");
  if (exeDir.empty()) exeDir = platform::directoryOf(argv0 ? argv0 : "");
  platform::ProgramHome home = platform::programHome(exeDir, platform::xdgDataHome());
  if (!home.error.empty()) std::fprintf(stderr, "korvash: %s\n", home.error.c_str());
  return {QString::fromStdString(platform::joinPath(home.dir, exeName))};
}

}  // namespace

int runKorvash(int argc, char** argv) {
  QElapsedTimer startClock;
  startClock.start();
  QApplication app(argc, argv);
  // No display name: the desktop would append it to every window and message-box title.
  QApplication::setApplicationName(QStringLiteral("Korvash"));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(korvashIconImage(64))));
  // The interface is Chinese throughout, so the standard buttons and dialogs are too.
  QTranslator qtTranslations;
  if (qtTranslations.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslations);
  }

  ProgramLocation program = locateProgram(argc > 0 ? argv[0] : nullptr);
  QScreen* screen = QGuiApplication::primaryScreen();
  QSize screenSize = screen ? screen->size() : QSize(1024, 768);
  auto boxes = std::make_unique<MessageBoxPrompter>();
  MessageBoxPrompter& messageBoxes = *boxes;
  auto context = std::make_unique<IdeContext>(program.inHome, screenSize, std::move(boxes));
  showAboutSplash(context->settings());

  QStringList arguments = QApplication::arguments().mid(1);
  auto window = std::make_unique<TForm_Main>(*context, program.inHome, arguments);
  messageBoxes.setParent(window.get());
  window->show();
  // KRVS_MEASURE_STARTUP=1 prints the time to a shown main window and ends the run there.
  if (qEnvironmentVariableIntValue("KRVS_MEASURE_STARTUP") == 1) {
    QTimer::singleShot(0, window.get(), [&] {
      std::printf("main window shown after %.1f ms\n", startClock.nsecsElapsed() / 1e6);
      window->close();
    });
  }
  int rc = app.exec();

  window.reset();   // stores the geometry in the settings store
  context.reset();  // writes KRVS.Ini
  return rc;
}

}  // namespace krvs::ide
