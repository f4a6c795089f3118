// Ctrl+F9 then F7 on a 500-line program, from the key to the loaded error list, with the real
// toolchain in Bin/ on the offscreen platform. Run: QT_QPA_PLATFORM=offscreen build/bin/bench_ide
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include "app/ide_context.h"
#include "app/tform_main.h"
#include "editor/tide.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

using namespace krvs::ide;

namespace {

// A plain .EXE program of `lines` lines: a data segment, a stack and straight-line code.
QByteArray programOf(int lines) {
  QByteArray text = "data segment\r\n";
  for (int i = 0; i < 50; ++i) text += "v" + QByteArray::number(i) + " dw " + QByteArray::number(i) + "\r\n";
  text += "data ends\r\nstack segment stack\r\n dw 128 dup(?)\r\nstack ends\r\ncode segment\r\n"
          "assume cs:code,ds:data,ss:stack\r\nstart: mov ax,data\r\n mov ds,ax\r\n";
  int used = 50 + 11 + 4;
  for (int i = 0; used < lines; ++i, ++used) {
    const QByteArray v = "v" + QByteArray::number(i % 50);
    switch (i % 3) {
      case 0: text += " mov ax," + v + "\r\n"; break;
      case 1: text += " add ax," + QByteArray::number(i) + "\r\n"; break;
      default: text += " mov " + v + ",ax\r\n"; break;
    }
  }
  text += " mov ax,4c00h\r\n int 21h\r\ncode ends\r\nend start\r\n";
  return text;
}

void BM_CompileThenLink500Lines(benchmark::State& state) {
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
  QFile source(home + "/P500.ASM");
  source.open(QIODevice::WriteOnly);
  source.write(programOf(500));
  source.close();

  ScriptedPrompter prompter;
  IdeContext context(home + "/korvash", QSize(1280, 1024), prompter);
  TForm_Main window(context, home + "/korvash", {home + "/P500.ASM"});
  window.show();
  if (!QTest::qWaitForWindowActive(&window)) state.SkipWithError("window not active");
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(window.Editor, Qt::Key_F9, Qt::ControlModifier);
    QTest::keyClick(window.Editor, Qt::Key_F7);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    if (window.ListBox_Error->count() < 1 || window.ListBox_Error->item(0)->text() != QStringLiteral("链接成功!")) {
      state.SkipWithError("the build did not succeed");
      break;
    }
    window.ListBox_Error->clear();
  }
}
BENCHMARK(BM_CompileThenLink500Lines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
