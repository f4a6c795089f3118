#include "editor/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace krvs::ide {

namespace {
constexpr char kBom[] = "\xEF\xBB\xBF";
}

QString encodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom: return QStringLiteral("UTF-8 BOM");
    case TextEncoding::Gbk: break;
  }
  return QStringLiteral("GBK");
}

QString decodeText(const QByteArray& bytes, TextEncoding* encoding) {
  const bool bom = bytes.startsWith(kBom);
  const QByteArray body = bom ? bytes.mid(3) : bytes;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(body);
  if (!utf8.hasError()) {
    *encoding = bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8;
    return text;
  }
  QStringDecoder gb("GB18030");
  *encoding = TextEncoding::Gbk;
  return gb(bytes);
}

QByteArray encodeText(const QString& text, TextEncoding encoding) {
  if (encoding == TextEncoding::Gbk) {
    QStringEncoder gb("GB18030");
    return gb(text);
  }
  QByteArray out = encoding == TextEncoding::Utf8Bom ? QByteArray(kBom) : QByteArray();
  return out + text.toUtf8();
}

QStringList splitLines(const QString& text) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    if (c != u'\r' && c != u'\n') continue;
    lines << text.mid(start, i - start);
    if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ++i;
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
  r.lines = splitLines(decodeText(bytes, &r.encoding));
  r.ok = true;
  return r;
}

QString writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding) {
  QString text;
  for (const QString& l : lines) text += l + QStringLiteral("\r\n");
  const QByteArray bytes = encodeText(text, encoding);
  if (QFileInfo(path).isDir()) return QStringLiteral("无法保存文件%1：同名的目录已存在。").arg(path);
  QSaveFile f(path);
  // Writing straight into the target would lose the old file if the disk fills up half way.
  f.setDirectWriteFallback(false);
  if (!f.open(QIODevice::WriteOnly)) return QStringLiteral("无法保存文件%1：%2").arg(path, f.errorString());
  if (f.write(bytes) != bytes.size()) {
    const QString why = f.errorString();
    f.cancelWriting();
    return QStringLiteral("无法保存文件%1：%2").arg(path, why);
  }
  if (!f.commit()) return QStringLiteral("无法保存文件%1：%2").arg(path, f.errorString());
  return {};
}

}  // namespace krvs::ide
