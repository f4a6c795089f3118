#include "settings/log.h"

#include <QFile>

#include "settings/tset.h"

namespace krvs::ide {

namespace {

constexpr unsigned char kLogKey[8] = {0x4B, 0x72, 0x76, 0x53, 0x2E, 0x6C, 0x6F, 0x67};

}  // namespace

std::mutex& logMutex() {
  static std::mutex mutex;
  return mutex;
}

QByteArray logHeaderPiece(const QString& tag, const QTime& time, qsizetype textBytes) {
  return tag.toUtf8() + ':' + time.toString(QStringLiteral("H:mm:ss")).toUtf8() + ':' +
         QByteArray::number(time.msec()) + '\t' + QByteArray::number(textBytes) + "\r\n";
}

QByteArray logTextPiece(const QByteArray& text) {
  return (text.isEmpty() ? QByteArray("[EMPTYSTRING]") : text) + "\r\n";
}

QByteArray scrambleLogPiece(const QByteArray& piece) {
  QByteArray plain(piece.size(), '\0');
  for (qsizetype i = 0; i < piece.size(); ++i) {
    plain[i] = static_cast<char>(static_cast<unsigned char>(piece[i]) ^ kLogKey[i % 8]);
  }
  return plain.toHex().toUpper();
}

QByteArray unscrambleLogPiece(const QByteArray& hex) {
  QByteArray bytes = QByteArray::fromHex(hex);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ kLogKey[i % 8]);
  }
  return bytes;
}

void appendLogEntry(const QString& path, const QString& tag, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::Append)) return;
  if (!tag.isEmpty()) {
    file.write(scrambleLogPiece(logHeaderPiece(tag, QTime::currentTime(), text.size())));
    file.flush();
  }
  file.write(scrambleLogPiece(logTextPiece(text)));
  file.flush();
}

void WriteLog(const TSet& set, const QString& tag, const QByteArray& text, int level) {
  std::lock_guard lock(logMutex());
  if (level < set.LogLevel) return;
  appendLogEntry(set.LogFile, tag, text);
}

void WriteLog(const TSet& set, const QString& tag, const QString& text, int level) {
  WriteLog(set, tag, text.toUtf8(), level);
}

}  // namespace krvs::ide
