#pragma once
// Source files on disk: decoding on load, encoding and atomic replacement on save.
// A file is UTF-8 when its bytes are valid UTF-8 (with or without BOM), else GB18030, which contains GBK.
// It is written back in the encoding it was read with; a new document is written as GBK.

#include <QString>
#include <QStringList>

namespace krvs::ide {

enum class TextEncoding { Gbk, Utf8, Utf8Bom };

QString encodingName(TextEncoding encoding);

struct TextReadResult {
  bool ok = false;
  QStringList lines;  // CR, LF and CR LF each end a line; a final line break adds no empty line
  TextEncoding encoding = TextEncoding::Gbk;
  QString error;      // names the path and the system's reason when !ok
};

TextReadResult readTextFile(const QString& path);

// Splits decoded text into lines the way files are read.
QStringList splitLines(const QString& text);
// Decodes file bytes, telling which encoding was found.
QString decodeText(const QByteArray& bytes, TextEncoding* encoding);
QByteArray encodeText(const QString& text, TextEncoding encoding);

// Writes every line followed by CR LF into a temporary file beside path, then renames it over path.
// Returns an empty string on success, else a message naming the error; the old file is then untouched.
QString writeTextFile(const QString& path, const QStringList& lines, TextEncoding encoding);

}  // namespace krvs::ide
