#pragma once
// The top-level window of Rtm.EXe and TD.Exe: a screen view that fills it, fed by a session that runs on
// its own thread. It closes itself when the session ends; closing it stops the session at once.

#include <QWidget>
#include <functional>

#include "screen_widget.h"
#include "settings.h"

class QSocketNotifier;

namespace krvs::console {

class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(ScreenImage&)> snapshot;
        std::function<void(const std::vector<KeyStroke>&)> type;
        std::function<void()> tick;   // called with every refresh (key delivery)
        std::function<bool()> finished;
        std::function<void()> stop;
    };
    ConsoleWindow(const QString& title, const ConsoleSettings& settings, Hooks hooks);
    ScreenWidget& screen() { return *m_screen; }

    // SIGTERM, SIGINT and SIGHUP close the window as its close button does.
    static void closeOnSignals(ConsoleWindow* window);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    ScreenWidget* m_screen;
    Hooks m_hooks;
    bool m_stopped = false;
};

}  // namespace krvs::console
