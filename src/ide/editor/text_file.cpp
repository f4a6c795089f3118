#include "editor/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace krvs::ide {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

bool inRange(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

// Length of the GB18030 byte sequence that starts at i by its shape alone (1, 2 or 4), 0 when no
// sequence can start there.
int gbUnitLength(const QByteArray& b, qsizetype i) {
  const auto at = [&](qsizetype k) { return k < b.size() ? static_cast<unsigned char>(b[k]) : 0; };
  const unsigned char c = at(i);
  if (c < 0x80) return 1;
  if (!inRange(c, 0x81, 0xFE) || i + 1 >= b.size()) return 0;
  const unsigned char t = at(i + 1);
  if (inRange(t, 0x40, 0x7E) || inRange(t, 0x80, 0xFE)) return 2;
  if (inRange(t, 0x30, 0x39) && i + 3 < b.size() && inRange(at(i + 2), 0x81, 0xFE) && inRange(at(i + 3), 0x30, 0x39)) {
    return 4;
  }
  return 0;
}

// Length of the well-formed UTF-8 character at i (1 to 4), 0 for a byte that starts none.
int utf8UnitLength(const QByteArray& b, qsizetype i) {
  const auto at = [&](qsizetype k) { return k < b.size() ? static_cast<unsigned char>(b[k]) : 0; };
  const auto cont = [&](qsizetype k) { return inRange(at(k), 0x80, 0xBF); };
  const unsigned char c = at(i);
  if (c < 0x80) return 1;
  if (inRange(c, 0xC2, 0xDF)) return cont(i + 1) ? 2 : 0;
  if (inRange(c, 0xE0, 0xEF)) {
    const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    return inRange(at(i + 1), lo, hi) && cont(i + 2) ? 3 : 0;
  }
  if (inRange(c, 0xF0, 0xF4)) {
    const unsigned char lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return inRange(at(i + 1), lo, hi) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  }
  return 0;
}

// Appends a run of GB18030 as UTF-8 when it decodes and encodes back to itself; false otherwise.
bool decodeGbRun(const QByteArray& run, QByteArray* out) {
  QStringDecoder dec("GB18030", QStringDecoder::Flag::Stateless);
  const QString text = dec(run);
  QStringEncoder enc("GB18030", QStringEncoder::Flag::Stateless);
  if (dec.hasError() || QByteArray(enc(text)) != run) return false;
  *out += text.toUtf8();
  return true;
}

// GB18030 to UTF-8, run by run; where a run does not decode cleanly, unit by unit, and a unit that
// no character explains leaves its first byte raw.
QByteArray decodeGb(const QByteArray& bytes) {
  QByteArray out;
  out.reserve(bytes.size() + bytes.size() / 2);
  qsizetype i = 0;
  while (i < bytes.size()) {
    qsizetype end = i;
    while (end < bytes.size()) {
      const int n = gbUnitLength(bytes, end);
      if (n == 0) break;
      end += n;
    }
    const QByteArray run = bytes.mid(i, end - i);
    if (!run.isEmpty() && !decodeGbRun(run, &out)) {
      for (qsizetype k = 0; k < run.size();) {
        const int n = gbUnitLength(run, k);
        if (n > 0 && decodeGbRun(run.mid(k, n), &out)) {
          k += n;
        } else {
          out += run[k];
          ++k;
        }
      }
    }
    if (end < bytes.size()) out += bytes[end++];  // a byte that starts no sequence
    i = end;
  }
  return out;
}

// UTF-8 to GB18030; bytes that are no UTF-8 are the raw bytes kept at load and go out unchanged.
QByteArray encodeGb(const QByteArray& text) {
  QStringEncoder enc("GB18030", QStringEncoder::Flag::Stateless);
  QByteArray out;
  out.reserve(text.size());
  qsizetype i = 0;
  while (i < text.size()) {
    qsizetype end = i;
    while (end < text.size()) {
      const int n = utf8UnitLength(text, end);
      if (n == 0) break;
      end += n;
    }
    if (end > i) out += enc(QString::fromUtf8(text.constData() + i, end - i));
    if (end < text.size()) out += text[end++];
    i = end;
  }
  return out;
}

bool isUtf8(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size();) {
    const int n = utf8UnitLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace

QString encodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom: return QStringLiteral("UTF-8 BOM");
    case TextEncoding::Gbk: break;
  }
  return QStringLiteral("GBK");
}

QByteArray decodeText(const QByteArray& bytes, TextEncoding* encoding) {
  const bool bom = bytes.startsWith(kBom);
  const QByteArray body = bom ? bytes.mid(3) : bytes;
  if (isUtf8(body)) {
    *encoding = bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8;
    return body;
  }
  *encoding = TextEncoding::Gbk;
  return decodeGb(bytes);
}

QByteArray encodeText(const QByteArray& text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Gbk: return encodeGb(text);
    case TextEncoding::Utf8Bom: return QByteArray(kBom) + text;
    case TextEncoding::Utf8: break;
  }
  return text;
}

QList<QByteArray> splitLines(const QByteArray& text) {
  QList<QByteArray> lines;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines << text.mid(start, i - start);
    if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < n) lines << text.mid(start);
  return lines;
}

TextReadResult readTextFile(const QString& path) {
  TextReadResult r;
  if (QFileInfo(path).isDir()) {
    r.error = QStringLiteral("无法读取文件%1：这是一个目录。").arg(path);
    return r;
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    r.error = QStringLiteral("无法读取文件%1：%2").arg(path, f.errorString());
    return r;
  }
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    r.error = QStringLiteral("无法读取文件%1：%2").arg(path, f.errorString());
    return r;
  }
  const QByteArray text = decodeText(bytes, &r.encoding);
  r.exact = encodeText(text, r.encoding) == bytes;
  r.lines = splitLines(text);
  r.ok = true;
  return r;
}

QString writeTextFile(const QString& path, const QByteArray& text, TextEncoding encoding) {
  const QByteArray bytes = encodeText(text, encoding);
  if (QFileInfo(path).isDir()) return QStringLiteral("无法保存文件%1：同名的目录已存在。").arg(path);
  // QSaveFile writes a temporary file beside the target (through a symbolic link to its target),
  // keeps the target's permissions, flushes it and renames it over the target.
  QSaveFile f(path);
  // Writing straight into the target would lose the old file if the disk fills up half way.
  f.setDirectWriteFallback(false);
  // Unbuffered, so a short write (a full disk) shows in write()'s count: a buffered QSaveFile would
  // commit the cut file as if all had gone well.
  if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return QStringLiteral("无法保存文件%1：%2").arg(path, f.errorString());
  }
  if (f.write(bytes) != bytes.size()) {
    const QString why = f.errorString();
    f.cancelWriting();
    return QStringLiteral("无法保存文件%1：%2").arg(path, why);
  }
  if (!f.commit()) return QStringLiteral("无法保存文件%1：%2").arg(path, f.errorString());
  return {};
}

DiskStamp DiskStamp::of(const QString& path) {
  const QFileInfo info(path);
  return {path, info.lastModified(), info.exists() ? info.size() : -1};
}

bool DiskStamp::changedOnDisk(const QString& other) const {
  if (path.isEmpty() || other != path) return false;
  const DiskStamp now = of(path);
  return now.size != size || now.modified != modified;
}

}  // namespace krvs::ide
