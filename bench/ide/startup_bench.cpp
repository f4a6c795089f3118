// Start-up to a shown main window: settings store read, main window created and shown, on the
// offscreen platform. Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

void prepareHome(const QString& home) {
  QDir().mkpath(home + "/Bin");
  // The toolchain the build produced, as an installation has it.
  for (const char* name : {"TASM.Exe", "TLink.Exe", "TD.Exe", "Rtm.EXe", "TDConfig.TD", "TD.Pif"}) {
    QFile::link(QStringLiteral(KRVS_TOOLS_DIR "/") + name, home + "/Bin/" + name);
  }
  QFile help(home + "/KRVS.html");
  help.open(QIODevice::WriteOnly);
  QFile ini(home + "/KRVS.Ini");
  ini.open(QIODevice::WriteOnly);
  ini.write("[编辑环境]\n用Korvash打开=0\n");
}

void BM_StartupToShownWindow(benchmark::State& state) {
  QTemporaryDir dir;
  prepareHome(dir.path());
  ScriptedPrompter prompter;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    auto context = std::make_unique<IdeContext>(dir.path() + "/korvash", QSize(1280, 1024), prompter);
    auto window = std::make_unique<TForm_Main>(*context, dir.path() + "/korvash", QStringList{});
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) state.SkipWithError("window not exposed");
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    window.reset();
    context.reset();
  }
}
BENCHMARK(BM_StartupToShownWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  // The cold cost a real start pays once, before its window: the application object itself.
  std::printf("QApplication created in %.1f ms\n", clock.nsecsElapsed() / 1e6);
  qputenv("HOME", QDir::tempPath().toUtf8() + "/krvs-bench-home");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
