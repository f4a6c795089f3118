#include "app/shell_rules.h"

#include "platform/dosnames.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

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

}  // namespace krvs::ide
