#include "editor/text_search.h"

#include <algorithm>

namespace krvs::ide {

namespace {
QByteArray upperAscii(QByteArray s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}
}  // namespace

int findText(const QByteArray& whole, const QByteArray& pattern, int start1, int flags, int count) {
  const qsizetype from = std::max(0, start1 - 1);
  if (from > whole.size() || count <= 0 || pattern.isEmpty()) return -1;
  QByteArray piece = whole.mid(from, count);
  if (flags & kMatchCase) return int(piece.indexOf(pattern));
  return int(upperAscii(piece).indexOf(upperAscii(pattern)));
}

int findForwardIn(const QByteArray& whole, const QByteArray& pattern, int from, int flags) {
  const int q = findText(whole, pattern, from + 1, flags, int(whole.size()) - from);
  return q < 0 ? -1 : from + q;
}

// The same answer as calling findText from the start again and again after each occurrence, in one
// pass from the end.
int findBackwardIn(const QByteArray& whole, const QByteArray& pattern, int from, int flags) {
  if (pattern.isEmpty() || from < pattern.size()) return -1;
  const QByteArray before = whole.left(std::min<qsizetype>(from, whole.size()));
  const qsizetype lastStart = before.size() - pattern.size();
  if (flags & kMatchCase) return int(before.lastIndexOf(pattern, lastStart));
  return int(upperAscii(before).lastIndexOf(upperAscii(pattern), lastStart));
}

}  // namespace krvs::ide
