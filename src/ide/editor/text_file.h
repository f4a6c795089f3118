#pragma once
// Source files on disk: decoding on load, encoding and atomic replacement on save.
// A file is UTF-8 when its bytes are valid UTF-8 (with or without BOM), else GB18030, which contains GBK.
// It is written back in the encoding it was read with; a new document is written as GBK.
//
// The editor holds UTF-8 bytes. A byte of a GBK file that no GB18030 character explains stays in the
// document as that raw byte (the editor shows it as a marked hex byte), and saving writes it back as
// it was, so opening and saving never changes a byte the user did not edit.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace krvs::ide {

enum class TextEncoding { Gbk, Utf8, Utf8Bom };

QString encodingName(TextEncoding encoding);

struct TextReadResult {
  bool ok = false;
  QList<QByteArray> lines;  // document bytes; CR, LF and CR LF each end a line; a final line break adds no empty line
  TextEncoding encoding = TextEncoding::Gbk;
  // False when saving the text unchanged would not give back the file's bytes (besides line ends).
  bool exact = true;
  QString error;  // names the path and the system's reason when !ok
};

TextReadResult readTextFile(const QString& path);

// Splits text into lines the way files are read.
QList<QByteArray> splitLines(const QByteArray& text);
// File bytes to document bytes (UTF-8, raw bytes where no character fits), telling the encoding found.
QByteArray decodeText(const QByteArray& bytes, TextEncoding* encoding);
// Document bytes back to file bytes; raw bytes are written as they are.
QByteArray encodeText(const QByteArray& text, TextEncoding encoding);

// Writes the text (document bytes, every line followed by CR LF by the caller) into a temporary file
// beside path, then renames it over path; the file's permissions are kept and a symbolic link is
// written through to its target. Returns an empty string on success, else a message naming the
// error; the old file is then untouched.
QString writeTextFile(const QString& path, const QByteArray& text, TextEncoding encoding);

// What the editor remembers of the file it loaded or saved, to notice another program's change.
struct DiskStamp {
  QString path;
  QDateTime modified;
  qint64 size = -1;

  static DiskStamp of(const QString& path);
  // True when path is the remembered file and it now differs on disk (it was replaced, rewritten or
  // removed). A path never stamped gives false.
  bool changedOnDisk(const QString& path) const;
};

}  // namespace krvs::ide
