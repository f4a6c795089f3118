#pragma once
// Every question and notice of the IDE goes through one Prompter, so tests can script the
// answers. The real one shows modal message boxes and may be called from any thread.
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace krvs::ide {

enum class Answer { Ok, Yes, No, Cancel };

inline QString promptCaption() { return QStringLiteral("Korvash 提示"); }

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer askYesNo(const QString& text) = 0;
  virtual Answer askYesNoCancel(const QString& text) = 0;
  // An OK box with the caption "Korvash 提示".
  virtual void inform(const QString& text) = 0;
  // An OK box with the application's title as caption, for the few plain notices.
  virtual void informPlain(const QString& text) = 0;
  // A question whose buttons say what they do (caption "Korvash 提示"); returns the index of the
  // button chosen, or the last index (the cancelling one) when the box is closed otherwise.
  virtual int askChoice(const QString& text, const QStringList& buttons) = 0;
};

// QMessageBox on the GUI thread; calls from other threads wait for the answer there.
class MessageBoxPrompter : public Prompter {
 public:
  explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
  void setParent(QWidget* parent) { m_parent = parent; }
  Answer askYesNo(const QString& text) override;
  Answer askYesNoCancel(const QString& text) override;
  void inform(const QString& text) override;
  void informPlain(const QString& text) override;
  int askChoice(const QString& text, const QStringList& buttons) override;

 private:
  QWidget* m_parent;
};

// Answers from a queue and records every prompt; for tests.
class ScriptedPrompter : public Prompter {
 public:
  enum class Kind { YesNo, YesNoCancel, Inform, InformPlain, Choice };
  struct Prompt {
    Kind kind;
    QString text;
  };

  void queue(Answer answer) { m_answers.append(answer); }
  // The button index the next askChoice returns; without one it returns the last (cancelling) button.
  void queueChoice(int index) { m_choices.append(index); }
  const QList<Prompt>& prompts() const { return m_prompts; }
  QStringList texts() const;
  void clear() {
    m_prompts.clear();
    m_answers.clear();
    m_choices.clear();
    m_unscripted = 0;
  }
  // Questions asked when the queue was empty (they were answered No or Cancel).
  int unscripted() const { return m_unscripted; }

  Answer askYesNo(const QString& text) override;
  Answer askYesNoCancel(const QString& text) override;
  void inform(const QString& text) override;
  void informPlain(const QString& text) override;
  int askChoice(const QString& text, const QStringList& buttons) override;

 private:
  Answer next(Answer fallback);
  QList<Answer> m_answers;
  QList<int> m_choices;
  QList<Prompt> m_prompts;
  int m_unscripted = 0;
};

}  // namespace krvs::ide
