#include "settings/association.h"

#include "app/prompter.h"
#include "platform/files.h"
#include "settings/log.h"
#include "settings/tset.h"

namespace krvs::ide {

bool TSet::IsAsmAssociated() const {
  if (!OpenWithSelf) return true;
  return platform::isAsmAssociated(AssociationPaths, ProgramFile.toStdString());
}

bool TSet::AssociateAsm() {
  platform::AsmAssociation entry;
  entry.programFile = ProgramFile.toStdString();
  entry.iconFile = (ProgramDir() + "korvash.png").toStdString();
  if (!platform::fileExists(entry.iconFile)) entry.iconFile.clear();
  entry.typeName = "汇编文件";
  entry.description = "汇编源程序";
  platform::Error error = platform::associateAsm(AssociationPaths, entry);
  m_lastError = QString::fromStdString(error);
  return error.empty();
}

bool offerAsmAssociation(TSet& set, Prompter& prompter) {
  if (set.IsAsmAssociated()) return false;
  const QString question = QStringLiteral(
      "汇编文件的打开方式在当前的设置中，\r\n不是用Korvash打开，要设置成用Korvash\r\n打开吗？");
  if (prompter.askYesNo(question) == Answer::Yes && !set.AssociateAsm()) {
    WriteLog(QStringLiteral("AssociateAsm"), set.lastError(), 99);
    prompter.informPlain(QStringLiteral("无法修改注册表，请用手工方式建立文件关联。"));
  }
  return true;
}

}  // namespace krvs::ide
