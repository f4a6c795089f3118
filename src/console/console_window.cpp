#include "console_window.h"

#include <QCloseEvent>
#include <QSocketNotifier>
#include <QVBoxLayout>

#include "platform/terminal.h"

namespace krvs::console {

ConsoleWindow::ConsoleWindow(const QString& title, const ConsoleSettings& settings, Hooks hooks)
    : m_screen(new ScreenWidget(this)), m_hooks(std::move(hooks)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_screen);
    m_screen->setTextFont(QString::fromStdString(settings.font), settings.cellHeight);
    m_screen->setCodePage(settings.codePage);
    m_screen->setSource(
        [this](ScreenImage& image) {
            if (m_hooks.tick) m_hooks.tick();
            m_hooks.snapshot(image);
            // The last picture is already in `image`; the window goes once the session has ended.
            if (m_hooks.finished()) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        },
        settings.refreshMs);
    connect(m_screen, &ScreenWidget::keysTyped, this, [this](const std::vector<KeyStroke>& k) { m_hooks.type(k); });
    ScreenImage first;
    m_hooks.snapshot(first);
    m_screen->showImage(first);
    resize(m_screen->sizeHint());
    m_screen->setFocus();
}

void ConsoleWindow::closeEvent(QCloseEvent* e) {
    if (!m_stopped) {
        m_stopped = true;
        m_hooks.stop();
    }
    e->accept();
}

void ConsoleWindow::closeOnSignals(ConsoleWindow* window) {
    const int fd = platform::watchEndRequests();
    if (fd < 0) return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window, fd] {
        platform::takeEndRequests(fd);
        window->close();
    });
}

}  // namespace krvs::console
