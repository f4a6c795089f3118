// TIDE: the text as lines, caret and selection in the terms the rest of the IDE uses.
#include "editor/text_search.h"
#include "editor/tide.h"

namespace krvs::ide {

namespace {

constexpr int kTab = 8;

// Display width of one character starting at byte c: CJK and other non-ASCII count 2 (their GBK size).
int advance(unsigned char c, int column) {
  if (c == '\t') return (column / kTab + 1) * kTab - column;
  if (c < 0x80) return 1;
  return (c & 0xC0) == 0xC0 ? 2 : 0;
}

}  // namespace

int TIDE::LineCount() const {
  if (SendScintilla(SCI_GETLENGTH) == 0) return 0;
  return int(SendScintilla(SCI_GETLINECOUNT));
}

QByteArray TIDE::lineBytes(int index) const {
  const long from = SendScintilla(SCI_POSITIONFROMLINE, index);
  const long to = SendScintilla(SCI_GETLINEENDPOSITION, index);
  if (from < 0 || to <= from) return {};
  QByteArray buf(int(to - from) + 1, '\0');
  SendScintilla(SCI_GETTEXTRANGE, from, to, buf.data());
  buf.resize(int(to - from));
  return buf;
}

QString TIDE::Line(int index) const {
  if (index < 0 || index >= LineCount()) return {};
  return QString::fromUtf8(lineBytes(index));
}

void TIDE::PutLine(int index, const QString& text) { PutLineBytes(index, text.toUtf8()); }

void TIDE::PutLineBytes(int index, const QByteArray& bytes) {
  if (index < 0 || index >= LineCount()) return;
  if (bytes == lineBytes(index)) return;
  SendScintilla(SCI_SETTARGETSTART, SendScintilla(SCI_POSITIONFROMLINE, index));
  SendScintilla(SCI_SETTARGETEND, SendScintilla(SCI_GETLINEENDPOSITION, index));
  SendScintilla(SCI_REPLACETARGET, bytes.size(), bytes.constData());
}

QStringList TIDE::Lines() const {
  QStringList lines;
  const int n = LineCount();
  for (int i = 0; i < n; ++i) lines << Line(i);
  return lines;
}

void TIDE::SetLines(const QStringList& lines) { SetDocumentBytes(lines.join(QStringLiteral("\r\n")).toUtf8()); }

void TIDE::SetDocumentBytes(const QByteArray& bytes) {
  // A new text is no caret movement of the user's: nothing is formatted on the way.
  CaretNotifyBlock block(*this);
  ++m_bulk;
  // Replacing by length, not as a C string, so a NUL byte and everything after it stays.
  SendScintilla(SCI_SETTARGETSTART, 0L);
  SendScintilla(SCI_SETTARGETEND, SendScintilla(SCI_GETLENGTH));
  SendScintilla(SCI_REPLACETARGET, bytes.size(), bytes.constData());
  SendScintilla(SCI_SETEMPTYSELECTION, 0L);
  --m_bulk;
}

QByteArray TIDE::DocumentBytes() const {
  const long len = SendScintilla(SCI_GETLENGTH);
  QByteArray buf(int(len) + 1, '\0');
  SendScintilla(SCI_GETTEXT, len + 1, buf.data());
  buf.resize(int(len));
  return buf;
}

QByteArray TIDE::WholeTextBytes() const {
  if (SendScintilla(SCI_GETLENGTH) == 0) return {};
  return DocumentBytes() + "\r\n";
}

QString TIDE::WholeText() const { return QString::fromUtf8(WholeTextBytes()); }

QString TIDE::SelText() const { return selectedText(); }

void TIDE::ReplaceSelection(const QString& text) { replaceSelectedText(text); }

int TIDE::CaretX() const {
  const long caret = SendScintilla(SCI_GETCURRENTPOS);
  const long line = SendScintilla(SCI_LINEFROMPOSITION, caret);
  const long from = SendScintilla(SCI_POSITIONFROMLINE, line);
  const QByteArray bytes = lineBytes(int(line)).left(int(caret - from));
  int column = 0;
  for (char c : bytes) column += advance(static_cast<unsigned char>(c), column);
  return column + int(SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, 0UL)) + 1;
}

int TIDE::CaretY() const { return int(SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETCURRENTPOS))) + 1; }

long TIDE::positionOfColumn(int line0, int column0, int* virtualSpace) const {
  const long from = SendScintilla(SCI_POSITIONFROMLINE, line0);
  const QByteArray bytes = lineBytes(line0);
  int column = 0;
  int i = 0;
  for (; i < bytes.size(); ++i) {
    const int w = advance(static_cast<unsigned char>(bytes[i]), column);
    if (w > 0 && column + w > column0) break;
    column += w;
  }
  // Continuation bytes belong to the character before them.
  while (i < bytes.size() && (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80) ++i;
  *virtualSpace = i >= bytes.size() ? std::max(0, column0 - column) : 0;
  return from + i;
}

void TIDE::SetCaretXY(int x, int y) {
  const int lines = std::max(1, LineCount());
  const int line0 = std::clamp(y, 1, lines) - 1;
  int vs = 0;
  const long pos = positionOfColumn(line0, std::max(0, x - 1), &vs);
  SendScintilla(SCI_SETEMPTYSELECTION, pos);
  SendScintilla(SCI_SETSELECTIONNCARETVIRTUALSPACE, 0UL, long(vs));
  SendScintilla(SCI_SETSELECTIONNANCHORVIRTUALSPACE, 0UL, long(vs));
  SendScintilla(SCI_SCROLLCARET);
  onCaretMoved();
}

void TIDE::GetCaretPos0(int* column, int* line) const {
  *column = CaretX() - 1;
  *line = CaretY() - 1;
}

int TIDE::GetSelStart() const { return int(SendScintilla(SCI_GETSELECTIONSTART)); }

void TIDE::SetSelStart(int index) {
  const long len = SendScintilla(SCI_GETLENGTH);
  SendScintilla(SCI_SETEMPTYSELECTION, std::clamp<long>(index, 0, len));
  SendScintilla(SCI_SCROLLCARET);
  onCaretMoved();
}

int TIDE::GetSelLength() const {
  return int(SendScintilla(SCI_GETSELECTIONEND) - SendScintilla(SCI_GETSELECTIONSTART));
}

void TIDE::SetSelLength(int n) {
  const long start = SendScintilla(SCI_GETSELECTIONSTART);
  const long len = SendScintilla(SCI_GETLENGTH);
  SendScintilla(SCI_SETSEL, start, std::clamp<long>(start + n, 0, len));
  onCaretMoved();
}

int TIDE::FindText(const QString& pattern, int start1, int flags, int count) const {
  return findText(WholeTextBytes(), pattern.toUtf8(), start1, flags, count);
}

void TIDE::ClearText() { SetLines({}); }

void TIDE::DeleteForward() {
  if (isReadOnly()) return;
  if (GetSelLength() > 0) {
    removeSelectedText();
    return;
  }
  int c = 0;
  int r = 0;
  GetCaretPos0(&c, &r);
  if (r >= LineCount()) return;
  const bool inVirtualSpace = SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, 0UL) > 0;
  const long caret = SendScintilla(SCI_GETCURRENTPOS);
  const long lineEnd = SendScintilla(SCI_GETLINEENDPOSITION, r);
  if (inVirtualSpace) return;
  if (caret == lineEnd) {
    if (r + 1 >= LineCount()) return;
    // Joining removes the line break only; the caret stays where it was.
    SendScintilla(SCI_DELETERANGE, lineEnd, SendScintilla(SCI_POSITIONFROMLINE, r + 1) - lineEnd);
  } else {
    SendScintilla(SCI_DELETERANGE, caret, SendScintilla(SCI_POSITIONAFTER, caret) - caret);
  }
}

}  // namespace krvs::ide
