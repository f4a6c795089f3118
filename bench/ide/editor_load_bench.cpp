// Opening a 20,000-line source: read, decode, format every line, colour and show it.
// Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide --benchmark_filter=Open
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include "editor/tide.h"

using namespace krvs::ide;

namespace {

// The student corpus repeated until it reaches the wanted length: realistic lines, comments and CJK.
QByteArray corpusSource(int lines) {
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

void BM_OpenLargeSource(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath("BIG.ASM");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(corpusSource(static_cast<int>(state.range(0)))) < 0) {
    state.SkipWithError("cannot write the source");
    return;
  }
  f.close();
  for (auto _ : state) {
    TIDE ide;
    ide.resize(1000, 700);
    ide.show();
    QString error;
    if (!ide.LoadFromFile(path, &error)) state.SkipWithError(error.toStdString().c_str());
    if (!QTest::qWaitForWindowExposed(&ide)) state.SkipWithError("editor not exposed");
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(ide.lines());
  }
  state.counters["lines"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_OpenLargeSource)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
