// Formatter and highlighter scanner over a 100,000-line generated source.
//
//   bench_asmtext --benchmark_counters_tabular=true
//
// "lines/s" is what the formatter sustains; "tokens/s" what the scanner sustains.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "asmtext/TFormat.h"
#include "asmtext/TSynAsmSyn.h"

namespace {

using namespace krvs::asmtext;

constexpr std::size_t kLines = 100000;

// A student-style program: segments, data with CJK comments, procedures, macros, loops and DOS
// calls, written in mixed case and spacing as people type them.
std::vector<std::string> generateSource() {
  static const char* const kBody[] = {
      "mov ax,datas", "mov ds,ax", "  lea dx,msg{n} ;显示提示信息", "mov ah,09h", "int 21h",
      "xor cx,cx", "again{n}: mov al,[si+{n}]", "cmp al,'$'", "je done{n}", "inc si", "loop again{n}",
      "done{n}:", "push bx", "pop bx", "call print{n}", "Mov  Bx , 0x1F ; hex",
      "add ax,word ptr [bx+di]", "shl ax,1", "jnz again{n}", "out 61h,al", "in al,60h",
      "\tsub sp,2\t;预留空间", "print{n} ax", "mov dl,\"a\"", "rep movsb", "nop"};
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> body(0, std::size(kBody) - 1), shape(0, 9);
  std::vector<std::string> lines;
  lines.reserve(kLines);
  auto expand = [](std::string text, int n) {
    for (std::size_t p; (p = text.find("{n}")) != std::string::npos;) text.replace(p, 3, std::to_string(n));
    return text;
  };
  for (int n = 0; lines.size() < kLines; ++n) {
    lines.push_back(";第" + std::to_string(n) + "段程序");
    lines.push_back(expand("stk{n} segment stack ;堆栈段", n));
    lines.push_back("dw 128 dup(?)");
    lines.push_back(expand("stk{n} ends", n));
    lines.push_back(expand("dat{n} segment", n));
    lines.push_back(expand("msg{n} db 'Hello, world; 你好',0dh,0ah,'$' ;提示", n));
    lines.push_back(expand("buf{n} dw 10 dup(0)", n));
    lines.push_back(expand("dat{n} ends", n));
    lines.push_back(expand("print{n} macro x", n));
    lines.push_back("mov ax,x");
    lines.push_back("endm");
    lines.push_back(expand("cod{n} segment", n));
    lines.push_back(expand("assume cs:cod{n},ds:dat{n}", n));
    lines.push_back(expand("main{n} proc far", n));
    for (int i = 0; i < 30; ++i) {
      int s = shape(rng);
      if (s == 0) lines.push_back("");
      else if (s == 1) lines.push_back("    ;这里是注释 comment");
      else lines.push_back(expand(kBody[body(rng)], n));
    }
    lines.push_back(expand("main{n} endp", n));
    lines.push_back(expand("cod{n} ends", n));
  }
  lines.resize(kLines);
  return lines;
}

const std::vector<std::string>& source() {
  static const std::vector<std::string> lines = generateSource();
  return lines;
}

void BM_FormatLine(benchmark::State& state) {
  const auto& lines = source();
  TDB db;
  TFormat fmt(db);
  FormatSettings settings;
  std::string work;
  for (auto _ : state) {
    db.ClearNames();  // as a whole-text formatting does
    for (const std::string& line : lines) {
      work.assign(line);
      fmt.FormatLine(work, settings);
      benchmark::DoNotOptimize(work.data());
    }
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines.size()) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FormatLine)->Unit(benchmark::kMillisecond);

void BM_ScanLines(benchmark::State& state) {
  const auto& lines = source();
  TSynAsmSyn syn;
  std::size_t tokens = 0;
  for (auto _ : state) {
    for (const std::string& line : lines) {
      syn.ScanLine(line, [&](const Token& t) {
        benchmark::DoNotOptimize(t);
        ++tokens;
      });
    }
  }
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines.size()) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanLines)->Unit(benchmark::kMillisecond);

void BM_ScanCursor(benchmark::State& state) {
  const auto& lines = source();
  TSynAsmSyn syn;
  std::size_t tokens = 0;
  for (auto _ : state) {
    for (const std::string& line : lines) {
      for (syn.SetLine(line); !syn.GetEol(); syn.Next()) ++tokens;
    }
  }
  benchmark::DoNotOptimize(tokens);
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanCursor)->Unit(benchmark::kMillisecond);

}  // namespace
