#include "app/shell_rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/dosnames.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

const char* const kByProducts[] = {".Lst", ".Map", ".Obj", ".Xrf", ".Tr"};

bool sameFile(const QFileInfo& a, const QFileInfo& b) {
  const QString ca = a.canonicalFilePath();
  return !ca.isEmpty() && ca == b.canonicalFilePath();
}

struct RequiredFile {
  const char* name;
  bool inProgramDir;
  const char* missing;
};

const RequiredFile kRequiredFiles[] = {
    {"KRVS.html", true, "帮助文件丢失，无法提供帮助，但是不影响使用。"},
    {"TASM.Exe", false, "编译器TASM丢失，无法编译、生成、调试程序。"},
    {"TLink.Exe", false, "链接器TLink丢失，无法生成、调试程序。"},
    {"TD.Exe", false, "调试器TD丢失，无法调试程序。"},
    {"Rtm.EXe", false, "调试器TD的支持文件Rtm丢失，无法调试程序。"},
    {"TDConfig.TD", false, "调试器TD的配置文件TDHelp丢失，可以调试，但可能有影响。"},
    {"TD.Pif", false, "调试器TD的配置文件TD.Pif丢失，可以调试，但可能有影响。"},
};

}  // namespace

QString toolCheckText(const QString& programDir, const QString& binDir) {
  QString detail;
  for (const RequiredFile& f : kRequiredFiles) {
    QString path = (f.inProgramDir ? programDir : binDir) + QString::fromLatin1(f.name);
    if (!platform::findNoCase(path.toStdString())) detail += QString::fromUtf8(f.missing) + "\n\r";
  }
  return detail;
}

QString toolCheckMessage(const QString& detail) {
  return QStringLiteral("发现Korvash的运行环境不符合要求，建议重新安装。\n\r下面是详细的信息：\n\r") + detail;
}

void storeWindowPlacement(TSet& set, const WindowPlacement& p) {
  if (p.state & Qt::WindowMinimized) return;
  set.ErrorBarHeight = p.errorBarHeight;
  set.NavigatorWidth = p.navigatorWidth;
  if (p.state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
    set.Maximized = true;
    return;
  }
  set.WindowWidth = p.normalGeometry.width();
  set.WindowHeight = p.normalGeometry.height();
  set.WindowTop = p.normalGeometry.top();
  set.WindowLeft = p.normalGeometry.left();
  set.Maximized = false;
}

QString caretPanelText(int column0, int line0) {
  return QStringLiteral("第%1行\t第%2列").arg(line0 + 1).arg(column0 + 1);
}

void deleteByProducts(const QString& source, const QString& keep) {
  if (source.isEmpty() || !QFileInfo(source).isAbsolute()) return;
  const QFileInfo kept(keep);
  for (const char* ext : kByProducts) {
    // Every file whose name differs only in letter case is the by-product, unless it is the file
    // that stays (NOTES.LST opened as a document is no by-product of NOTES.ASM).
    const QFileInfo wanted(QString::fromStdString(platform::replaceExtension(source.toStdString(), ext)));
    const QDir dir = wanted.absoluteDir();
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
      if (name.compare(wanted.fileName(), Qt::CaseInsensitive) != 0) continue;
      const QFileInfo found(dir.filePath(name));
      if (!keep.isEmpty() && sameFile(found, kept)) continue;
      QFile::remove(found.filePath());  // a by-product that cannot be deleted is left
    }
  }
}

bool htmlHandlerKnown() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  if (!qEnvironmentVariableIsEmpty("BROWSER")) return true;
  const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (query.isEmpty()) return false;
  QProcess p;
  p.start(query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  if (!p.waitForFinished(3000)) {
    p.kill();
    p.waitForFinished(1000);
    return true;  // no answer in time: let the launcher try
  }
  return !p.readAllStandardOutput().trimmed().isEmpty();
#else
  return true;
#endif
}

}  // namespace krvs::ide
