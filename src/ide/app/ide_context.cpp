#include "app/ide_context.h"

#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>

#include "app/shell_rules.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

// Without a program for HTML pages the desktop's launcher may report success and show nothing; the
// caller is told instead, so the student learns where the page is.
std::function<bool(const QUrl&)> desktopOpener() {
  return [](const QUrl& url) { return htmlHandlerKnown() && QDesktopServices::openUrl(url); };
}

// A desktop without a documents folder still has the home folder.
QString documentsLocation() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? QDir::homePath() : documents;
}

}  // namespace

IdeContext::IdeContext(const QString& programFile, QSize screen, std::unique_ptr<Prompter> prompter)
    : openUrl(desktopOpener()),
      documentsFolder(documentsLocation),
      m_set(std::make_unique<TSet>(programFile, screen)),
      m_ownPrompter(prompter ? std::move(prompter) : std::make_unique<MessageBoxPrompter>()),
      m_prompter(m_ownPrompter.get()) {}

IdeContext::IdeContext(const QString& programFile, QSize screen, Prompter& prompter)
    : openUrl(desktopOpener()),
      documentsFolder(documentsLocation),
      m_set(std::make_unique<TSet>(programFile, screen)),
      m_prompter(&prompter) {}

IdeContext::~IdeContext() {
  // A session's reader thread must not outlive the store it logs to.
  m_debugger.StopDebug();
  m_set.reset();
}

}  // namespace krvs::ide
