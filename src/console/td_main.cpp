// TD.Exe: the external debugger window. `TD.Exe PROGRAM [ARGS]` opens a DEBUG session on the program in a
// console window; Q or closing the window ends it.

#include <QApplication>
#include <cstdlib>

#include "console_window.h"
#include "platform/terminal.h"
#include "td_session.h"
#include "tool_main.h"

using namespace krvs::console;

int main(int argc, char** argv) {
    const auto dir = toolDirectory(argc > 0 ? argv[0] : nullptr);
    int code = 0;
    if (writeDefaultsRequested(argc, argv, dir, "TDConfig.TD", SettingsKind::Debugger, code)) return code;
    krvs::platform::ignoreBrokenPipes();
    const ConsoleSettings settings = toolSettings(dir, "TDConfig.TD", SettingsKind::Debugger);
    const std::string program = argc > 1 ? argv[1] : "";
    const std::string args = joinArguments(argc, argv, 2);

    QApplication app(argc, argv);
    TdSession session({program, args, settings});
    session.start();
    ConsoleWindow::Hooks hooks;
    hooks.snapshot = [&session](ScreenImage& image) { session.snapshot(image); };
    hooks.type = [&session](const std::vector<KeyStroke>& k) { session.type(k); };
    hooks.finished = [&session] { return session.finished(); };
    hooks.stop = [&session] { session.stop(); };
    QString title = QStringLiteral("TD - ") + QString::fromLocal8Bit(program.c_str());
    ConsoleWindow window(title, settings, hooks);
    ConsoleWindow::closeOnSignals(&window);
    window.show();
    app.exec();
    session.stop();
    if (!session.join(2000)) std::_Exit(255);
    return 0;
}
