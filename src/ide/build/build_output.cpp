#include "build/build_output.h"

namespace krvs::ide {

namespace {

// Cuts a diagnostic down to its message and returns the source line it names (0 for none).
int cutDiagnostic(QString& line, const QString& shortSource) {
  int n = 0;
  int at = line.toUpper().indexOf(shortSource.toUpper());
  if (at >= 0) {
    line = line.mid(at + shortSource.size() + 1);  // past the name and its "("
    bool ok = false;
    int value = line.left(line.indexOf(')')).toInt(&ok);
    n = ok && value > 0 ? value : 0;
  }
  int close = line.indexOf(QStringLiteral(") "));
  line = close >= 0 ? line.mid(close + 2) : line.mid(1);
  return n;
}

QString padding(int n) {
  if (n >= 1 && n <= 9) return QStringLiteral("   ");
  if (n >= 10 && n <= 99) return QStringLiteral("  ");
  if (n >= 100 && n <= 999) return QStringLiteral(" ");
  return {};
}

}  // namespace

CompileReport MakeCompileReport(const QStringList& toolLines, const QString& shortSource) {
  CompileReport report;
  for (QString line : toolLines) {
    if (!line.startsWith('*')) continue;
    // The severity is the first word ("*Warning*", "**Error**"), so a path or a message that
    // holds the word does not change it.
    bool warning = line.section(' ', 0, 0).toUpper().contains(QStringLiteral("WARNING"));
    ++(warning ? report.warnings : report.errors);
    int n = cutDiagnostic(line, shortSource);
    line = padding(n) + line;
    if (n >= 1) {
      line = (warning ? QStringLiteral("警告:第") : QStringLiteral("错误:第")) + QString::number(n) + QStringLiteral("行") + line;
    }
    report.lines.append(line);
  }
  report.lines.prepend(CompileVerdict(report.errors, report.warnings));
  return report;
}

QString CompileVerdict(int errors, int warnings) {
  if (errors > 0) return QStringLiteral("编译失败，有错误%1条").arg(errors);
  if (warnings > 0) return QStringLiteral("编译成功，但是有警告%1条").arg(warnings);
  return kCompileOk;
}

LinkReport MakeLinkReport(const QStringList& toolLines) {
  LinkReport report;
  for (int i = 1; i < toolLines.size(); ++i) {  // the first line is the banner
    QString line = toolLines[i];
    if (line.trimmed().isEmpty()) continue;
    QString word = line.trimmed().toUpper();
    if (word.startsWith(QStringLiteral("ERROR")) || word.startsWith(QStringLiteral("FATAL"))) report.failed = true;
    report.lines.append(line);
  }
  report.lines.prepend(report.failed ? kLinkFailed : kLinkOk);
  return report;
}

int ErrorLineNumber(const QString& line) {
  int a = line.indexOf(QStringLiteral("第"));
  int b = line.indexOf(QStringLiteral("行"));
  if (a < 0 || b < 0 || b <= a + 1) return -1;
  QString digits = line.mid(a + 1, b - a - 1);
  for (QChar c : digits) {
    if (c < '0' || c > '9') return -1;
  }
  bool ok = false;
  int n = digits.toInt(&ok);
  return ok ? n : -1;
}

}  // namespace krvs::ide
