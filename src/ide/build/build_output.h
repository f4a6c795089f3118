#pragma once
// The build output file's content: what the build driver keeps of a tool's output and the verdict
// line it puts on top, and how the error list reads a source line number back from a message.
// Pure functions, tested by tables of cases.
#include <QString>
#include <QStringList>

namespace krvs::ide {

inline const QString kCompileOk = QStringLiteral("编译成功！");
inline const QString kLinkOk = QStringLiteral("链接成功!");
inline const QString kLinkFailed = QStringLiteral("链接失败!");
inline const QString kRunOk = QStringLiteral("运行成功！");
inline const QString kDebugOk = QStringLiteral("调试成功！");

struct CompileReport {
  QStringList lines;  // the verdict, then one numbered line per diagnostic
  int errors = 0;
  int warnings = 0;
};

// "编译成功！", "编译成功，但是有警告N条" or "编译失败，有错误N条".
QString CompileVerdict(int errors, int warnings);

// `toolLines` are the assembler's output lines; `shortSource` is the source path as TASM.CFG
// names it, with its extension. Every line that starts with "*" is a diagnostic; one that names
// the source becomes "错误:第12行  message" (or 警告), padded so the messages line up.
CompileReport MakeCompileReport(const QStringList& toolLines, const QString& shortSource);

struct LinkReport {
  QStringList lines;  // the verdict, then the linker's messages
  bool failed = false;
};

// `toolLines` are the linker's output lines, banner first. The link failed when a message starts
// with "Error" or "Fatal" (in any case); paths and names elsewhere in the text do not count.
LinkReport MakeLinkReport(const QStringList& toolLines);

// The source line number of an error-list line: the whole number between its first "第" and
// its first "行"; -1 when there is none.
int ErrorLineNumber(const QString& line);

}  // namespace krvs::ide
