#include "console_window.h"

#include <QCloseEvent>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace krvs::console {

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
    char b = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
}

}  // namespace

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
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char b;
        while (::read(g_signalPipe[0], &b, 1) == 1) {}
        window->close();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

}  // namespace krvs::console
