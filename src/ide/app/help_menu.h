#pragma once
// What the Help menu hands out: the manual beside the program and the example programs in its
// Examples folder. A student works on a copy of an example in the documents folder, so the
// program's own examples stay as they were installed.
#include <QList>
#include <QString>
#include <QUrl>

namespace krvs::ide {

struct ExampleProgram {
  QString name;  // the file name, as the menu shows it
  QString path;
};

// The .ASM files (any letter case) of `programDir`/Examples in name order; none when the folder
// is missing.
QList<ExampleProgram> listExamplePrograms(const QString& programDir);

// `fileName` when no file of that name (any letter case) is in `dir`, else the first free
// NAME1.ASM, NAME2.ASM, …, its stem shortened so that the name stays a DOS 8.3 name.
QString freeCopyName(const QString& dir, const QString& fileName);

struct ExampleCopy {
  QString path;   // the copy, empty on failure
  QString error;  // why there is no copy
};

// Copies `example` into `documentsDir`/Korvash (made when missing) under a free name; an existing
// file there is never replaced. The copy is writable by its owner even when the example is not.
ExampleCopy copyExampleProgram(const QString& example, const QString& documentsDir);

// The folder examples are copied into, in `documentsDir`.
QString exampleCopyFolder(const QString& documentsDir);

// The address the desktop is given for the manual file `manual`.
QUrl manualUrl(const QString& manual);

}  // namespace krvs::ide
