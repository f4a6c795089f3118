#include "prompt/prompter.h"

#include <QApplication>
#include <QAbstractButton>
#include <QPushButton>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace krvs::ide {

namespace {

bool onGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

// Runs `show` on the GUI thread and returns its answer; a worker thread blocks until then.
template <typename Show>
Answer onGui(Show show) {
  if (onGuiThread()) return show();
  Answer answer = Answer::Cancel;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { answer = show(); }, Qt::BlockingQueuedConnection);
  return answer;
}

// Texts keep the line breaks they were written with ("\n\r" or "\r\n"); a message box shows
// each pair as one break.
QString shown(const QString& text) {
  QString result = text;
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  return result;
}

Answer fromButton(int button) {
  switch (button) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return Answer::Cancel;
  }
}

}  // namespace

Answer MessageBoxPrompter::askYesNo(const QString& text) {
  return onGui([&] {
    return fromButton(QMessageBox::question(m_parent, promptCaption(), shown(text),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes));
  });
}

Answer MessageBoxPrompter::askYesNoCancel(const QString& text) {
  return onGui([&] {
    return fromButton(QMessageBox::question(m_parent, promptCaption(), shown(text),
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                            QMessageBox::Yes));
  });
}

void MessageBoxPrompter::inform(const QString& text) {
  onGui([&] { return fromButton(QMessageBox::information(m_parent, promptCaption(), shown(text))); });
}

void MessageBoxPrompter::informPlain(const QString& text) {
  onGui([&] {
    QString title = QApplication::applicationDisplayName();
    return fromButton(QMessageBox::information(m_parent, title.isEmpty() ? QStringLiteral("Korvash") : title, shown(text)));
  });
}

int MessageBoxPrompter::askChoice(const QString& text, const QStringList& buttons) {
  int chosen = int(buttons.size()) - 1;
  onGui([&] {
    QMessageBox box(QMessageBox::Question, promptCaption(), shown(text), QMessageBox::NoButton, m_parent);
    QList<QAbstractButton*> made;
    for (int i = 0; i < buttons.size(); ++i) {
      const bool last = i + 1 == buttons.size();
      made << box.addButton(buttons[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    }
    if (!made.isEmpty()) box.setEscapeButton(made.last());
    box.exec();
    const int index = int(made.indexOf(box.clickedButton()));
    if (index >= 0) chosen = index;
    return Answer::Ok;
  });
  return chosen;
}

QStringList ScriptedPrompter::texts() const {
  QStringList result;
  for (const Prompt& p : m_prompts) result << p.text;
  return result;
}

Answer ScriptedPrompter::next(Answer fallback) {
  if (m_answers.isEmpty()) {
    ++m_unscripted;
    return fallback;
  }
  return m_answers.takeFirst();
}

Answer ScriptedPrompter::askYesNo(const QString& text) {
  m_prompts.append({Kind::YesNo, text});
  return next(Answer::No);
}

Answer ScriptedPrompter::askYesNoCancel(const QString& text) {
  m_prompts.append({Kind::YesNoCancel, text});
  return next(Answer::Cancel);
}

void ScriptedPrompter::inform(const QString& text) { m_prompts.append({Kind::Inform, text}); }
void ScriptedPrompter::informPlain(const QString& text) { m_prompts.append({Kind::InformPlain, text}); }

int ScriptedPrompter::askChoice(const QString& text, const QStringList& buttons) {
  m_prompts.append({Kind::Choice, text});
  if (m_choices.isEmpty()) {
    ++m_unscripted;
    return int(buttons.size()) - 1;
  }
  return m_choices.takeFirst();
}

}  // namespace krvs::ide
