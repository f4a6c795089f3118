#pragma once
// TSet: the process-wide record of the environment's settings and of the paths derived from the
// program's home. Read from KRVS.Ini once at creation, written back once when it is destroyed;
// everything in between reads and assigns the fields directly.
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/association.h"

namespace krvs::ide {

// A font as the settings file keeps it; Color uses the stored colour encoding (see colors.h).
struct TFontSetting {
  QString Name;
  int Size = 10;
  int Color = 0;
};

class TSet {
 public:
  // `programFile` is the program's path (made blank-free here); `screen` sizes the window
  // defaults. Reads `IniFileName` and rotates the log.
  TSet(const QString& programFile, QSize screen);
  // Writes the settings file.
  ~TSet();
  TSet(const TSet&) = delete;
  TSet& operator=(const TSet&) = delete;

  // Derived at creation, never stored.
  int PlatformKind = 2;  // this port always takes the pipe build path
  QString ProgramFile;
  QString BinDir;     // ends with '/'
  QString ErrorFile;
  QString HelpFile;
  QString IniFileName;
  QString LogFile;
  QString SourceFile;
  int RecentMax = 10;

  // Stored in KRVS.Ini.
  bool OpenWithSelf = true;
  QString FirstRunMarker = QStringLiteral("*");
  QString TasmOptions;
  QString TLinkOptions;
  bool UseUserOptions = false;
  QString UserTasmOptions;
  QString UserTLinkOptions;
  bool AutoFormat = true;
  bool ColorDisplay = true;
  TFontSetting EditorFont;
  int BackColor = 0;
  bool ShowNavigator = true;
  int NavigatorWidth = 0;
  bool ShowErrorBar = true;
  int ErrorBarHeight = 0;
  bool ShowAboutAtStart = false;
  int WindowWidth = 0;
  int WindowHeight = 0;
  int WindowTop = 0;
  int WindowLeft = 0;
  bool Maximized = false;
  int CaseMode = 0;  // keyword case: 0 upper, 1 lower, 2 unchanged
  int Column1Width = 12;
  int Column2Width = 8;
  int Column3Width = 12;
  int Gap1Width = 2;
  int Gap2Width = 2;
  int LogLevel = 99;  // read, never written
  QStringList RecentFiles;

  void LoadSettings();
  // Writes the file atomically. False when it could not be written; lastError() says why.
  bool SaveSettings();
  // Every stored field back to its default, except FirstRunMarker and RecentFiles.
  void RestoreDefaults();

  QString EffectiveTasmOptions() const { return UseUserOptions ? UserTasmOptions : TasmOptions; }
  QString EffectiveTLinkOptions() const { return UseUserOptions ? UserTLinkOptions : TLinkOptions; }

  int RecentCount() const;
  void ClearRecent();
  void AddRecent(const QString& path);
  void DeleteRecent(int index);

  // The .asm association (association.cpp).
  bool IsAsmAssociated() const;
  bool AssociateAsm();
  platform::AssociationPaths AssociationPaths = platform::userAssociationPaths();

  // The program's home directory, ending with '/'.
  QString ProgramDir() const { return m_programDir; }
  QSize screenSize() const { return m_screen; }
  QString lastError() const { return m_lastError; }

  static constexpr qint64 kLogRotateBytes = 512000;

 private:
  void deriveFilePaths();
  void rotateLog();
  struct Ini;
  std::unique_ptr<Ini> m_ini;
  QString m_programDir;
  QSize m_screen;
  QString m_lastError;
};

}  // namespace krvs::ide
