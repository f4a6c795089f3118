#pragma once
// Plain substring searches over the editor's whole text (every line followed by CR LF). Positions are
// byte offsets into that UTF-8 text, the same offsets the editor's selection uses.

#include <QByteArray>

namespace krvs::ide {

inline constexpr int kMatchCase = 2;

// The piece of count bytes starting at the 1-based position start1 is searched for pattern; without
// kMatchCase both are compared with ASCII letters upper-cased. Returns the 0-based offset of the first
// occurrence within the piece, or -1.
int findText(const QByteArray& whole, const QByteArray& pattern, int start1, int flags, int count);

// The first occurrence at or after from, or -1.
int findForwardIn(const QByteArray& whole, const QByteArray& pattern, int from, int flags);
// The last occurrence that ends at or before from, or -1.
int findBackwardIn(const QByteArray& whole, const QByteArray& pattern, int from, int flags);

}  // namespace krvs::ide
