// TIDE: the highlight lock and the keyboard.
#include <QKeyEvent>

#include "editor/tide.h"

namespace krvs::ide {

namespace {

bool isEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

// Keys whose editing command runs first and is refused under the lock, yet which still count as a
// typed key afterwards (they produce a control character).
bool endsLockAfterCommand(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
      return true;
    default:
      break;
  }
  return (e->modifiers() & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z;
}

// A key that types a character: the lock ends before the character goes in, so it takes effect.
bool typesCharacter(const QKeyEvent* e) {
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = e->text();
  return !text.isEmpty() && text.at(0).unicode() >= 0x20 && text.at(0).unicode() != 0x7F;
}

// Keys that would change the text. Under read-only the widget refuses the change but still moves the
// selection, so they are kept from it altogether.
bool isEditingCommand(const QKeyEvent* e) {
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  switch (e->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return true;
    case Qt::Key_Insert:
      return e->modifiers() & Qt::ShiftModifier;
    case Qt::Key_X:
    case Qt::Key_V:
    case Qt::Key_Z:
    case Qt::Key_Y:
      return ctrl;
    default:
      return false;
  }
}

}  // namespace

void TIDE::HighlightLine(int n, const QColor& background, const QColor& foreground) {
  CaretNotifyBlock block(*this);
  if (n < 1 || n > LineCount()) return;
  // A lock from an earlier highlight ends first; ending it later, from the caret movement below,
  // would empty the new selection and leave the new line unmarked.
  EndLock();
  const long start = SendScintilla(SCI_POSITIONFROMLINE, n - 1);
  const long lineEnd = SendScintilla(SCI_GETLINEENDPOSITION, n - 1);
  const long end = std::min<long>(lineEnd + 2, SendScintilla(SCI_GETLENGTH));
  SendScintilla(SCI_SETSEL, start, end);
  SetSelectedColors(background, foreground);
  onCaretMoved();
  viewport()->repaint();
}

void TIDE::CentreLine(int n) {
  if (n < 1 || n > LineCount()) return;
  const long onScreen = SendScintilla(SCI_LINESONSCREEN);
  SendScintilla(SCI_SETFIRSTVISIBLELINE, std::max(0L, long(n - 1) - onScreen / 2));
}

void TIDE::BeginLock() {
  setReadOnly(true);
  SendScintilla(SCI_SETCURSOR, static_cast<unsigned long>(SC_CURSORARROW));
  FLocked = true;
}

void TIDE::EndLock() {
  if (!FLocked) return;
  FLocked = false;
  SetSelLength(0);
  SetSelectedColors(kNavy, m_selFore);
  setReadOnly(false);
  SendScintilla(SCI_SETCURSOR, static_cast<unsigned long>(SC_CURSORNORMAL));
  viewport()->update();
}

bool TIDE::handleEnter(QKeyEvent* e) {
  const int before = LineCount();
  if (!isReadOnly()) QsciScintilla::keyPressEvent(e);
  EndLock();
  if (LineCount() == before) return true;
  const int y = CaretY();
  FormatLeftLine(y - 1);
  // The new line starts at column 1 whatever indentation the widget might have chosen.
  SetCaretXY(1, y);
  SetSelLength(0);
  return true;
}

void TIDE::keyPressEvent(QKeyEvent* e) {
  if (isEnter(e) && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    handleEnter(e);
    return;
  }
  if (typesCharacter(e)) {
    EndLock();
    QsciScintilla::keyPressEvent(e);
    return;
  }
  // Commands such as Delete act before any character is typed, so the lock refuses them.
  if (!(isReadOnly() && isEditingCommand(e))) QsciScintilla::keyPressEvent(e);
  if (endsLockAfterCommand(e)) EndLock();
}

void TIDE::keyReleaseEvent(QKeyEvent* e) {
  QsciScintilla::keyReleaseEvent(e);
  emit OnKeyUp(e->key());
}

}  // namespace krvs::ide
