// Opening a 20,000-line source: read, decode, format every line, colour and show it.
// Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide --benchmark_filter=Open
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include "bench_source.h"
#include "debugger/tdebugger.h"
#include "editor/tide.h"

using namespace krvs::ide;
using krvs::ide::bench::corpusSource;

namespace {

void BM_OpenLargeSource(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath("BIG.ASM");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(corpusSource(static_cast<int>(state.range(0)))) < 0) {
    state.SkipWithError("cannot write the source");
    return;
  }
  f.close();
  krvs::asmtext::TDB keywords;
  krvs::asmtext::TFormat formatter(keywords);
  TDebugger debugger;
  for (auto _ : state) {
    TIDE ide(keywords, formatter, debugger);
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
