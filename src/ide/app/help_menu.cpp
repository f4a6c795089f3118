#include "app/help_menu.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace krvs::ide {

namespace {

constexpr int kDosStemLength = 8;
constexpr int kMaxCopyNumber = 9999;

bool nameTaken(const QDir& dir, const QString& name) {
  const QStringList present = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  return std::any_of(present.begin(), present.end(),
                     [&](const QString& p) { return p.compare(name, Qt::CaseInsensitive) == 0; });
}

}  // namespace

QList<ExampleProgram> listExamplePrograms(const QString& programDir) {
  QDir dir(QDir(programDir).filePath(QStringLiteral("Examples")));
  dir.setNameFilters({QStringLiteral("*.asm")});
  dir.setFilter(QDir::Files | QDir::Readable);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  QList<ExampleProgram> examples;
  for (const QFileInfo& f : dir.entryInfoList()) examples.append({f.fileName(), f.filePath()});
  return examples;
}

QString freeCopyName(const QString& dir, const QString& fileName) {
  const QDir target(dir);
  if (!nameTaken(target, fileName)) return fileName;
  const int dot = fileName.lastIndexOf('.');
  const QString stem = dot < 0 ? fileName : fileName.left(dot);
  const QString extension = dot < 0 ? QString() : fileName.mid(dot);
  for (int n = 1; n <= kMaxCopyNumber; ++n) {
    const QString number = QString::number(n);
    const QString name = stem.left(std::max(1, kDosStemLength - int(number.size()))) + number + extension;
    if (!nameTaken(target, name)) return name;
  }
  return {};
}

QString exampleCopyFolder(const QString& documentsDir) { return QDir(documentsDir).filePath(QStringLiteral("Korvash")); }

ExampleCopy copyExampleProgram(const QString& example, const QString& documentsDir) {
  const QString folder = exampleCopyFolder(documentsDir);
  if (!QDir().mkpath(folder)) return {{}, QStringLiteral("无法建立文件夹%1。").arg(folder)};
  const QString name = freeCopyName(folder, QFileInfo(example).fileName());
  if (name.isEmpty()) return {{}, QStringLiteral("文件夹%1中没有可用的文件名。").arg(folder)};
  const QString copy = QDir(folder).filePath(name);
  // QFile::copy refuses an existing target, so a file that appeared meanwhile is not replaced.
  if (!QFile::copy(example, copy)) return {{}, QStringLiteral("无法把%1复制到%2。").arg(example, copy)};
  QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ReadOwner | QFile::WriteOwner);
  return {copy, {}};
}

QUrl manualUrl(const QString& manual) { return QUrl::fromLocalFile(QFileInfo(manual).absoluteFilePath()); }

}  // namespace krvs::ide
