// Editing a 20,000-line source: F4 over the whole text, one search step in each direction, and a
// typed key (a letter, and Enter with the layout of the line left).
// Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide --benchmark_filter='Format|Search|Type'
#include <QCoreApplication>
#include <QTest>
#include <benchmark/benchmark.h>

#include "bench_source.h"
#include "editor/search_controller.h"
#include "debugger/tdebugger.h"
#include "editor/tide.h"
#include "prompt/prompter.h"

using namespace krvs::ide;
using krvs::ide::bench::unformattedSource;

namespace {

QStringList sourceLines(int count) {
  QStringList lines;
  for (const QByteArray& l : unformattedSource(count).split('\n')) lines << QString::fromUtf8(l.chopped(l.endsWith('\r') ? 1 : 0));
  return lines;
}

// An editor shown on screen with the unformatted text, the caret on line 1.
struct ShownEditor {
  krvs::asmtext::TDB keywords;
  krvs::asmtext::TFormat formatter{keywords};
  TDebugger debugger;
  TIDE ide{keywords, formatter, debugger};
  explicit ShownEditor(int lines) {
    ide.resize(1000, 700);
    ide.show();
    (void)QTest::qWaitForWindowExposed(&ide);
    ide.SetLines(sourceLines(lines));
    ide.SetCaretXY(1, 1);
    QCoreApplication::processEvents();
  }
};

void BM_FormatAll(benchmark::State& state) {
  ShownEditor e(static_cast<int>(state.range(0)));
  const QStringList original = e.ide.Lines();
  for (auto _ : state) {
    e.ide.FormatAll();
    QCoreApplication::processEvents();  // the repaint that shows the result
    state.PauseTiming();
    e.ide.SetLines(original);
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["lines"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_FormatAll)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every step of a search that walks the whole text; the caret starts at the far end each time.
void searchSteps(benchmark::State& state, bool down) {
  ShownEditor e(20000);
  ScriptedPrompter quiet;
  SearchController search(e.ide, quiet, nullptr);
  const QString text = QStringLiteral("int");
  const int end = int(e.ide.WholeTextBytes().size());
  int from = down ? 0 : end;
  for (auto _ : state) {
    const bool found = down ? search.FindForward(text, from, 0) : search.FindBackward(text, from, 0);
    const int start = e.ide.GetSelStart();
    from = !found ? (down ? 0 : end) : (down ? start + 1 : start);
  }
}
void BM_SearchDown(benchmark::State& state) { searchSteps(state, true); }
void BM_SearchUp(benchmark::State& state) { searchSteps(state, false); }
BENCHMARK(BM_SearchDown)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_SearchUp)->Unit(benchmark::kMillisecond)->Iterations(50);

// A key typed in the middle of the text, the repaint included.
void BM_TypeLetter(benchmark::State& state) {
  ShownEditor e(20000);
  e.ide.SetCaretXY(1, 10000);
  for (auto _ : state) {
    QTest::keyClick(&e.ide, Qt::Key_A);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_TypeLetter)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_TypeEnter(benchmark::State& state) {
  ShownEditor e(20000);
  e.ide.SetCaretXY(1, 10000);
  for (auto _ : state) {
    state.PauseTiming();
    QTest::keyClicks(&e.ide, QStringLiteral("mov ax,1"));
    state.ResumeTiming();
    QTest::keyClick(&e.ide, Qt::Key_Return);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_TypeEnter)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
