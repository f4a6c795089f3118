#include "build/trun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "build/build_output.h"
#include "build/tcmd_handler.h"
#include "build/tsys.h"
#include "platform/dosnames.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "settings/log.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

using namespace std::chrono_literals;

std::string bytes(const QString& s) { return QFile::encodeName(s).toStdString(); }
QString text(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

bool exists(const QString& path) { return platform::findNoCase(bytes(path)).has_value(); }

QString withExtension(const QString& path, const char* extension) {
  return text(platform::replaceExtension(bytes(path), extension));
}

QString withoutExtension(const QString& path) {
  QString name = QFileInfo(path).fileName();
  int dot = name.lastIndexOf('.');
  return dot <= 0 ? path : path.left(path.size() - (name.size() - dot));
}

// What the tool printed: the lines after the interpreter echoed its command, without the prompt
// that followed.
QStringList toolOutput(const std::vector<std::string>& lines, const std::string& echo) {
  std::size_t from = lines.size();
  for (std::size_t i = lines.size(); i-- > 0;) {
    if (lines[i] == echo) {
      from = i + 1;
      break;
    }
  }
  QStringList out;
  for (std::size_t i = from; i + 1 < lines.size(); ++i) out.append(text(lines[i]));
  return out;
}

// The files the driver writes in Bin/ (tool configurations, Error.Txt, Runner.bat) are made anew
// by every step. A temporary file renamed over the old one keeps readers from seeing half a file;
// unlike the user's source they are not flushed to the disk (about 14 ms each here, most of a
// build's time), since a file lost in a crash is simply written again by the next step.
platform::Error writeGenerated(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      return "cannot write " + temp;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return "cannot rename onto " + path;
  }
  return {};
}

bool startDetached(const QString& program, const QStringList& arguments, const QString& directory) {
  return QProcess::startDetached(program, arguments, directory);
}

QString joinLines(const QStringList& lines) {
  QString all;
  for (const QString& line : lines) all += line + QStringLiteral("\r\n");
  return all;
}

}  // namespace

struct TRun::ToolRun {
  int result = kBuildOk;
  QStringList lines;
};

TRun::TRun(TSet& set, Options options) : m_set(set), m_options(std::move(options)) {
  if (!m_options.start) m_options.start = startDetached;
  restartInterpreter();
}

TRun::TRun(TSet& set) : TRun(set, Options{}) {}

TRun::~TRun() {
  m_sys.reset();  // joins the reader before the handler goes
  m_handler.reset();
}

int TRun::interpreterPid() const { return m_sys ? m_sys->ProcessId() : -1; }

void TRun::restartInterpreter() {
  m_sys.reset();
  m_handler = std::make_unique<TCMDHandler>();
  QString interpreter = text(platform::resolveNoCase(bytes(m_set.BinDir + QStringLiteral("krvscmd"))));
  platform::ProcessOptions options{bytes(interpreter), {}, bytes(m_set.BinDir), true, {}};
  auto log = [&set = m_set](const std::string& tag, const std::string& entry, int level) {
    WriteLog(set, QString::fromStdString(tag), QByteArray::fromStdString(entry), level);
  };
  m_sys = std::make_unique<TSys>(*m_handler, options, log);
}

QString TRun::shortForm(const QString& path) const {
  return text(platform::shortPath(bytes(path), nullptr, bytes(m_options.shortPathCache)));
}

bool TRun::writeErrorFile(const QStringList& lines) {
  platform::Error error = writeGenerated(bytes(m_set.ErrorFile), joinLines(lines).toStdString());
  if (!error.empty()) m_problem = text(error);
  return error.empty();
}

QString TRun::WriteToolConfigs(const QString& name) {
  QString base = withoutExtension(shortForm(withExtension(name, ".ASM")));
  QString tasm = m_set.EffectiveTasmOptions() + ' ' + base + ", " + base + ", " + base + ",\r\n";
  QString tlink = m_set.EffectiveTLinkOptions() + ' ' + base + ".Obj," + base + ".Exe," + base + ".Map,,\r\n";
  for (const auto& [file, content] : {std::pair{QStringLiteral("TASM.CFG"), tasm}, std::pair{QStringLiteral("TLink.CFG"), tlink}}) {
    std::string path = platform::resolveNoCase(bytes(m_set.BinDir + file));
    platform::Error error = writeGenerated(path, content.toStdString());
    if (!error.empty()) return QStringLiteral("无法写入%1：%2").arg(text(path), text(error));
  }
  return {};
}

TRun::ToolRun TRun::runTool(const QString& tool, const QString& name) {
  ToolRun run;
  auto fail = [&](int result, const QString& problem) {
    run.result = result;
    m_problem = problem;
    return run;
  };
  // Named by its path in Bin/, so that nothing in the program's directory can stand in for it.
  std::optional<std::string> toolPath = platform::findNoCase(bytes(m_set.BinDir + tool));
  if (!toolPath) return fail(kBuildNoTool, QStringLiteral("%1不存在。").arg(m_set.BinDir + tool));
  // The assembler writes its outputs beside the name it is given; a link standing in for a file
  // name with a blank would put them in the link's directory instead.
  if (QFileInfo(name).fileName().contains(' ')) {
    return fail(kBuildBadPath, QStringLiteral("文件名“%1”中含有空格，汇编器和链接器不能处理。请把文件另存为不含空格的文件名。")
                                   .arg(QFileInfo(name).fileName()));
  }
  std::string directory = bytes(shortForm(QFileInfo(m_set.SourceFile).absolutePath()));
  std::vector<std::string> commands{"cmd", std::string("prompt ") + kPromptMarker,
                                    directory.find(' ') == std::string::npos ? "cd " + directory
                                                                             : "cd \"" + directory + "\"",
                                    *toolPath};
  for (const std::string& command : commands) {
    if (command.size() > TSys::kMaxCommandLine) {
      return fail(kBuildBadPath, QStringLiteral("命令行超过%1个字符，不能执行：\n%2\n请把源文件移到路径较短的目录中。")
                                     .arg(TSys::kMaxCommandLine)
                                     .arg(text(command)));
    }
  }
  if (QString error = WriteToolConfigs(name); !error.isEmpty()) return fail(kBuildCannotWrite, error);

  if (!m_sys || m_sys->Ended()) restartInterpreter();
  if (!m_sys->WaitStarted(5000)) {
    restartInterpreter();  // so the next step tries again
    return fail(kBuildNoTool, QStringLiteral("命令解释器%1无法启动。").arg(m_set.BinDir + QStringLiteral("krvscmd")));
  }
  m_handler->ClearOutput();
  for (const std::string& command : commands) {
    if (!m_sys->WriteLine(command, '\n')) {
      restartInterpreter();
      return fail(kBuildInterrupted, QStringLiteral("命令解释器意外结束，已重新启动。请重试。"));
    }
  }

  auto deadline = std::chrono::steady_clock::now() + m_options.stepTimeLimit;
  TCMDHandler::Wait wait = TCMDHandler::Wait::TimedOut;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    wait = m_handler->WaitForPrompt(kPromptMarker, *toolPath, std::clamp(left, 0ms, 50ms));
    if (wait != TCMDHandler::Wait::TimedOut || left <= 0ms) break;
    // A program the interpreter started may keep the output open after the interpreter died.
    if (m_sys->Exited()) {
      wait = TCMDHandler::Wait::Ended;
      break;
    }
    if (m_options.whileWaiting) m_options.whileWaiting();
  }
  if (wait == TCMDHandler::Wait::TimedOut) {
    restartInterpreter();  // ends the tool with the interpreter that ran it
    return fail(kBuildTimedOut, QStringLiteral("%1在%2秒内没有结束，已被终止。")
                                    .arg(tool)
                                    .arg(m_options.stepTimeLimit.count() / 1000.0));
  }
  if (wait == TCMDHandler::Wait::Ended) {
    restartInterpreter();
    return fail(kBuildInterrupted, QStringLiteral("命令解释器在运行%1时意外结束，已重新启动。请重试。").arg(tool));
  }
  run.lines = toolOutput(m_handler->GetLines(), kPromptMarker + *toolPath);
  m_sys->WriteLine("exit", '\n');
  return run;
}

int TRun::Compile(QString& name) {
  name = shortForm(name);
  QString object = withExtension(name, ".Obj");
  // A stale object must not pass for the result of this compile if the assembler dies.
  platform::removeNoCase(bytes(object));
  ToolRun run = runTool(QStringLiteral("TASM.Exe"), name);
  QString source = withoutExtension(shortForm(withExtension(name, ".ASM"))) + QStringLiteral(".ASM");
  name = object;
  if (run.result != kBuildOk) return run.result;
  CompileReport report = MakeCompileReport(run.lines, source);
  if (report.errors == 0 && !exists(object)) {
    report.errors = 1;
    report.lines[0] = CompileVerdict(report.errors, report.warnings);
    report.lines.append(QStringLiteral("汇编器没有生成目标文件%1。").arg(object));
  }
  if (!writeErrorFile(report.lines)) return kBuildCannotWrite;
  return report.errors == 0 ? kBuildOk : kBuildFailed;
}

int TRun::Link(QString& name) {
  name = shortForm(name);
  ToolRun run = runTool(QStringLiteral("TLink.Exe"), name);
  name = withExtension(name, m_set.EffectiveTLinkOptions().contains(QStringLiteral("/t")) ? ".Com" : ".Exe");
  if (run.result != kBuildOk) return run.result;
  LinkReport report = MakeLinkReport(run.lines);
  if (!report.failed && !exists(name)) {
    report.failed = true;
    report.lines[0] = kLinkFailed;
    report.lines.append(QStringLiteral("链接器没有生成可执行文件%1。").arg(name));
  }
  if (!writeErrorFile(report.lines)) return kBuildCannotWrite;
  return report.failed ? kBuildFailed : kBuildOk;
}

int TRun::LinkObject(QString& name) {
  if (!exists(name)) return kBuildNoInput;
  return Link(name);
}

QString TRun::ProgramOf(const QString& source) {
  std::optional<std::string> exe = platform::findNoCase(bytes(withExtension(source, ".Exe")));
  std::optional<std::string> com = platform::findNoCase(bytes(withExtension(source, ".Com")));
  // Both exist after the build mode was switched: the one linked last is the current program.
  if (exe && com && QFileInfo(text(*com)).lastModified() > QFileInfo(text(*exe)).lastModified()) return text(*com);
  if (exe) return text(*exe);
  if (com) return text(*com);
  return withExtension(source, ".Exe");
}

int TRun::RunProgram(const QString& exe) {
  std::optional<std::string> program = platform::findNoCase(bytes(exe));
  if (!program) return kStartNoProgram;
  QString runner = text(platform::resolveNoCase(bytes(m_set.BinDir + QStringLiteral("Runner.bat"))));
  platform::Error error = writeGenerated(bytes(runner), "echo off\r\ncls\r\n%1\r\necho.\r\nPause\r\n");
  if (!error.empty()) {
    m_problem = QStringLiteral("无法写入%1：%2").arg(runner, text(error));
    return kStartFailed;
  }
  std::optional<std::string> console = platform::findNoCase(bytes(m_set.BinDir + QStringLiteral("Rtm.EXe")));
  if (!console) {
    m_problem = QStringLiteral("%1不存在。").arg(m_set.BinDir + QStringLiteral("Rtm.EXe"));
    return kStartFailed;
  }
  // The batch file gets the blank-free form: the interpreter passes %1 on without quotes.
  QString path = shortForm(text(*program));
  if (!m_options.start(text(*console), {runner, path}, QFileInfo(path).absolutePath())) {
    m_problem = QStringLiteral("无法启动%1。").arg(text(*console));
    return kStartFailed;
  }
  writeErrorFile({kRunOk});
  return kStarted;
}

int TRun::StartExternalDebugger(const QString& exe) {
  std::optional<std::string> program = platform::findNoCase(bytes(exe));
  if (!program) return kStartNoProgram;
  std::optional<std::string> debugger = platform::findNoCase(bytes(m_set.BinDir + QStringLiteral("TD.Exe")));
  QString path = shortForm(text(*program));
  if (!debugger || !m_options.start(text(*debugger), {path}, QFileInfo(path).absolutePath())) {
    m_problem = QStringLiteral("无法启动%1。").arg(m_set.BinDir + QStringLiteral("TD.Exe"));
    return kStartFailed;
  }
  for (int attempt = 0; attempt < 5 && !writeErrorFile({kDebugOk}); ++attempt) std::this_thread::sleep_for(100ms);
  return kStarted;
}

}  // namespace krvs::ide
