// F5 over a loop of 100,000 instructions with a breakpoint past it, from the menu to the stop shown
// in the window: every step goes IDE -> krvscmd -> DEBUG -> reply parsed -> line looked up -> next
// step. Reports steps per second and the longest the window's event loop went without a turn.
// Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide --benchmark_filter=Debugger
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "debugger/tdebugger.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

constexpr double kLoopSteps = 100000 + 2;  // the loop, its first instruction and the step onto `done`
constexpr int kDoneLine = 9;

bool runTool(const QString& dir, const QString& tool, const QStringList& args) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(dir + "/Bin/" + tool, args);
  return p.waitForFinished(30000) && p.exitCode() == 0;
}

void BM_DebuggerGoOver100kInstructions(benchmark::State& state) {
  QTemporaryDir dir;
  QString home = dir.path();
  QDir().mkpath(home + "/Bin");
  for (const QFileInfo& tool : QDir(QStringLiteral(KRVS_TOOLS_DIR)).entryInfoList(QDir::Files)) {
    QFile::link(tool.absoluteFilePath(), home + "/Bin/" + tool.fileName());
  }
  QFile ini(home + "/KRVS.Ini");
  ini.open(QIODevice::WriteOnly);
  ini.write("[编辑环境]\n用Korvash打开=0\n");
  ini.close();
  QFile::copy(QStringLiteral(KRVS_BENCH_DATA "/ide-debugger/LOOP.ASM"), home + "/LOOP.ASM");
  if (!runTool(home, "TASM.Exe", {"/la/zi/c", "LOOP.ASM"}) || !runTool(home, "TLink.Exe", {"/v", "/m", "/l", "/s", "LOOP"})) {
    state.SkipWithError("cannot build LOOP.ASM");
    return;
  }

  ScriptedPrompter prompter;
  IdeContext context(home + "/korvash", QSize(1280, 1024), prompter);
  TForm_Main window(context, home + "/korvash", {home + "/LOOP.ASM"});
  window.show();
  window.Editor->FCompiled = window.Editor->FLinked = true;
  window.Editor->ToggleBreakpoint(kDoneLine);
  TDebugger& dbg = context.debugger();

  qint64 longestGapMs = 0;
  double seconds = 0;
  for (auto _ : state) {
    QElapsedTimer clock, gap;
    QTimer pulse;
    pulse.setInterval(5);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
      longestGapMs = std::max(longestGapMs, gap.restart());
    });
    clock.start();
    gap.start();
    pulse.start();
    window.action(QStringLiteral("MainMenu_DebugAss"))->trigger();
    bool stopped = QTest::qWaitFor(
        [&] { return dbg.GetState() == dsReady && dbg.GetCurrentLine() == kDoneLine && !window.Edit_Next->text().isEmpty(); },
        120000);
    seconds += clock.nsecsElapsed() / 1e9;
    pulse.stop();
    if (!stopped) state.SkipWithError("the run did not stop at the breakpoint");
    window.MainMenu_AbortClick();
  }
  state.counters["steps_per_second"] = benchmark::Counter(kLoopSteps * double(state.iterations()) / seconds);
  state.counters["longest_event_gap_ms"] = double(longestGapMs);
}

}  // namespace

BENCHMARK(BM_DebuggerGoOver100kInstructions)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
