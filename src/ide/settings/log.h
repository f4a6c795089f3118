#pragma once
// The diagnostic log KRVSLOG_1.dump: each entry is one or two scrambled pieces, appended under
// one lock so that entries from the pipe reader thread and the GUI thread never interleave.
#include <QByteArray>
#include <QString>
#include <QTime>
#include <mutex>

namespace krvs::ide {

class TSet;

// Appends an entry to the store's LogFile when `level` is at least its LogLevel. Callable from any
// thread; failures are ignored.
void WriteLog(const TSet& set, const QString& tag, const QByteArray& text, int level);
void WriteLog(const TSet& set, const QString& tag, const QString& text, int level);

// The pieces of one entry, before scrambling.
QByteArray logHeaderPiece(const QString& tag, const QTime& time, qsizetype textBytes);
QByteArray logTextPiece(const QByteArray& text);

// Each byte XORed with the key byte at its position mod 8, as two upper-case hex digits.
QByteArray scrambleLogPiece(const QByteArray& piece);
// The inverse, for reading a log back; bytes that are not hex pairs end the piece.
QByteArray unscrambleLogPiece(const QByteArray& hex);

// Appends one entry to `path` now; the lock is the caller's.
void appendLogEntry(const QString& path, const QString& tag, const QByteArray& text);

// Guards the log file: entries from the pipe reader thread and the GUI thread never interleave.
std::mutex& logMutex();

}  // namespace krvs::ide
