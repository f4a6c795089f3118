// Rtm.EXe: the console window. `Rtm.EXe COMMAND LINE` runs the command line (Runner.bat "prog.exe", a
// program, a batch file) in an interpreter session on the emulated text screen and closes when it ends;
// without a command line it is an interactive prompt until EXIT.

#include <QApplication>
#include <cstdlib>

#include "console_window.h"
#include "platform/terminal.h"
#include "rtm_session.h"
#include "tool_main.h"

using namespace krvs::console;

int main(int argc, char** argv) {
    const auto dir = toolDirectory(argc > 0 ? argv[0] : nullptr);
    int code = 0;
    if (writeDefaultsRequested(argc, argv, dir, "TD.Pif", SettingsKind::Console, code)) return code;
    krvs::platform::ignoreBrokenPipes();
    const ConsoleSettings settings = toolSettings(dir, "TD.Pif", SettingsKind::Console);
    const std::string commandLine = joinArguments(argc, argv, 1);

    QApplication app(argc, argv);
    RtmSession session({commandLine, dir, settings, {}});
    session.start();
    ConsoleWindow::Hooks hooks;
    hooks.snapshot = [&session](ScreenImage& image) { session.snapshot(image); };
    hooks.type = [&session](const std::vector<KeyStroke>& k) { session.type(k); };
    hooks.tick = [&session] { session.pump(); };
    hooks.finished = [&session] { return session.finished(); };
    hooks.stop = [&session] { session.stop(); };
    QString title = commandLine.empty() ? QStringLiteral("Rtm") : QStringLiteral("Rtm - ") + QString::fromLocal8Bit(commandLine.c_str());
    ConsoleWindow window(title, settings, hooks);
    ConsoleWindow::closeOnSignals(&window);
    window.show();
    app.exec();
    session.stop();
    // A session held up in a host program that ignores its input cannot be waited for: the window is
    // closed, so the process ends now and takes everything it runs with it.
    if (!session.join(2000)) std::_Exit(255);
    return session.exitCode() & 0xFF;
}
