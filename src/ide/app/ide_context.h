#pragma once
// IdeContext: what the whole IDE shares, built once by runKorvash (or by a test) and handed down by
// reference. It owns the settings store, the keyword database, the formatter that reports names to
// it, the integrated debugger and the Prompter, so no part of the IDE reaches them through a global
// and a test can build as many independent IDEs as it likes.
#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "asmtext/TDB.h"
#include "asmtext/TFormat.h"
#include "debugger/tdebugger.h"

namespace krvs::ide {

class Prompter;
class TSet;

class IdeContext {
 public:
  // The settings of the program at `programFile` (its KRVS.Ini lies beside it). The context owns
  // `prompter`; without one it makes message boxes.
  IdeContext(const QString& programFile, QSize screen, std::unique_ptr<Prompter> prompter = {});
  // The same with a Prompter the caller keeps alive longer than the context (a test's script).
  IdeContext(const QString& programFile, QSize screen, Prompter& prompter);
  // Writes KRVS.Ini.
  ~IdeContext();
  IdeContext(const IdeContext&) = delete;
  IdeContext& operator=(const IdeContext&) = delete;

  TSet& settings() const { return *m_set; }
  asmtext::TDB& keywords() { return m_keywords; }
  asmtext::TFormat& formatter() { return m_formatter; }
  TDebugger& debugger() { return m_debugger; }
  Prompter& prompter() const { return *m_prompter; }

  // What the desktop provides; tests replace them. openUrl hands a page to the desktop (the manual
  // to the browser) and is false when no program takes it; documentsFolder is the user's documents.
  std::function<bool(const QUrl&)> openUrl;
  std::function<QString()> documentsFolder;

 private:
  std::unique_ptr<TSet> m_set;
  asmtext::TDB m_keywords;
  asmtext::TFormat m_formatter{m_keywords};
  TDebugger m_debugger;
  std::unique_ptr<Prompter> m_ownPrompter;
  Prompter* m_prompter;
};

}  // namespace krvs::ide
