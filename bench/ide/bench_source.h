#pragma once
// Long realistic sources for the editor benchmarks: the student corpus repeated to the wanted length.
#include <QByteArray>
#include <QDir>
#include <QFile>

namespace krvs::ide::bench {

inline QByteArray corpusSource(int lines) {
  QByteArray all;
  const QDir corpus(QStringLiteral(KRVS_BENCH_DATA "/corpus"));
  for (const QString& name : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(corpus.filePath(name + "/" + name + ".ASM"));
    if (f.open(QIODevice::ReadOnly)) all += f.readAll();
  }
  QByteArray out;
  int count = 0;
  while (count < lines && !all.isEmpty()) {
    for (const QByteArray& line : all.split('\n')) {
      if (count++ >= lines) break;
      out += line + '\n';
    }
  }
  return out;
}

// The same lines as a student types them before any layout: no indentation, single blanks.
inline QByteArray unformattedSource(int lines) {
  QByteArray out;
  for (const QByteArray& line : corpusSource(lines).split('\n')) {
    out += line.simplified() + "\r\n";
  }
  out.chop(2);
  return out;
}

}  // namespace krvs::ide::bench
