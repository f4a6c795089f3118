#include "settings/association.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include "platform/files.h"
#include "prompt/prompter.h"
#include "settings/log.h"
#include "settings/tset.h"

namespace krvs::ide {

bool TSet::IsAsmAssociated() const {
  if (!OpenWithSelf) return true;
  return platform::isAsmAssociated(AssociationPaths, ProgramFile.toStdString());
}

QImage korvashIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(QPen(QColor(20, 50, 110), 2));
  p.setBrush(QColor(40, 90, 170));
  p.drawRoundedRect(QRectF(3, 3, 58, 58), 10, 10);
  QFont big(QStringLiteral("Sans"));
  big.setPixelSize(34);
  big.setBold(true);
  p.setFont(big);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 2, 64, 40), Qt::AlignCenter, QStringLiteral("K"));
  QFont small(QStringLiteral("Monospace"));
  small.setPixelSize(15);
  small.setBold(true);
  p.setFont(small);
  p.setPen(QColor(255, 220, 90));
  p.drawText(QRect(0, 38, 64, 20), Qt::AlignCenter, QStringLiteral("asm"));
  return image;
}

bool TSet::AssociateAsm() {
  platform::AsmAssociation entry;
  entry.programFile = ProgramFile.toStdString();
  // The desktop shows this picture for .asm files and the program; it is drawn into the program's
  // home the first time it is needed.
  const QString icon = ProgramDir() + "korvash.png";
  if (!QFileInfo::exists(icon)) korvashIconImage(64).save(icon, "PNG");
  entry.iconFile = icon.toStdString();
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
    WriteLog(set, QStringLiteral("AssociateAsm"), set.lastError(), 99);
    prompter.informPlain(QStringLiteral("无法修改注册表，请用手工方式建立文件关联。"));
  }
  return true;
}

}  // namespace krvs::ide
