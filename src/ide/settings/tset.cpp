#include "settings/tset.h"

#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
// Bytes pass through unchanged; the file is checked and converted to UTF-8 before parsing.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <cstdio>
#include <optional>
#include <variant>

#include "platform/dosnames.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "settings/colors.h"
#include "settings/log.h"

namespace krvs::ide {

struct TSet::Ini {
  CSimpleIniA data{true};  // UTF-8 text, single keys
  // The file existed but could not be read, or some of its lines not: on save its bytes are kept
  // as KRVS.Ini.bad beside it before the readable settings replace it.
  bool loadFailed = false;
  std::string original;  // the bytes as read
};

namespace {

using Field = std::variant<bool TSet::*, int TSet::*, QString TSet::*, QString TFontSetting::*,
                           int TFontSetting::*>;

struct Entry {
  const char* section;
  const char* key;
  Field field;
  // A key with a fixed default ignores the field's current value when the key is absent.
  std::optional<QString> fixedDefault = std::nullopt;
};

// Stored fields in file order; the font is read name, colour, size. LogLevel is read only.
const Entry kEntries[] = {
    {"编辑环境", "用Korvash打开", &TSet::OpenWithSelf},
    {"S", "DIresU", &TSet::FirstRunMarker, QStringLiteral("*")},
    {"编译参数", "TASM参数", &TSet::TasmOptions},
    {"编译参数", "TLink参数", &TSet::TLinkOptions},
    {"编译参数", "使用用户参数", &TSet::UseUserOptions},
    {"编译参数", "用户TASM参数", &TSet::UserTasmOptions},
    {"编译参数", "用户TLink参数", &TSet::UserTLinkOptions},
    {"编辑环境", "格式化程序", &TSet::AutoFormat},
    {"编辑环境", "彩色显示", &TSet::ColorDisplay},
    {"编辑环境", "字体", &TFontSetting::Name},
    {"编辑环境", "字体颜色", &TFontSetting::Color},
    {"编辑环境", "字体大小", &TFontSetting::Size},
    {"编辑环境", "背景颜色", &TSet::BackColor},
    {"界面控制", "显示导航栏", &TSet::ShowNavigator},
    {"界面控制", "导航栏宽度", &TSet::NavigatorWidth},
    {"界面控制", "显示错误栏", &TSet::ShowErrorBar},
    {"界面控制", "错误栏宽度", &TSet::ErrorBarHeight},
    {"界面控制", "显示关于对话框", &TSet::ShowAboutAtStart, QStringLiteral("0")},
    {"界面控制", "窗口宽度", &TSet::WindowWidth},
    {"界面控制", "窗口高度", &TSet::WindowHeight},
    {"界面控制", "窗口高位置", &TSet::WindowTop},
    {"界面控制", "窗口左位置", &TSet::WindowLeft},
    {"界面控制", "最大化", &TSet::Maximized},
    {"格式设置", "格式处理", &TSet::CaseMode, QStringLiteral("0")},
    {"格式设置", "第一列宽度", &TSet::Column1Width},
    {"格式设置", "第二列宽度", &TSet::Column2Width},
    {"格式设置", "第三列宽度", &TSet::Column3Width},
    {"格式设置", "第一间隔宽度", &TSet::Gap1Width},
    {"格式设置", "第二间隔宽度", &TSet::Gap2Width},
};
const Entry kLogLevelEntry{"调试", "日志级别", &TSet::LogLevel};
const char* const kRecentSection = "最近使用的文件";

std::optional<int> parseInt(const QString& text) {
  bool ok = false;
  int value = text.trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

// Applies a stored text to the field; a text that does not parse leaves the field alone.
struct Assign {
  TSet& set;
  const QString& text;
  void operator()(bool TSet::*f) const {
    if (auto v = parseInt(text)) set.*f = *v != 0;
  }
  void operator()(int TSet::*f) const {
    if (auto v = parseInt(text)) set.*f = *v;
  }
  void operator()(QString TSet::*f) const { set.*f = text; }
  void operator()(QString TFontSetting::*f) const { set.EditorFont.*f = text; }
  void operator()(int TFontSetting::*f) const {
    if (auto v = parseInt(text)) set.EditorFont.*f = *v;
  }
};

struct Render {
  const TSet& set;
  QString operator()(bool TSet::*f) const { return set.*f ? QStringLiteral("1") : QStringLiteral("0"); }
  QString operator()(int TSet::*f) const { return QString::number(set.*f); }
  QString operator()(QString TSet::*f) const { return set.*f; }
  QString operator()(QString TFontSetting::*f) const { return set.EditorFont.*f; }
  QString operator()(int TFontSetting::*f) const { return QString::number(set.EditorFont.*f); }
};

void readEntry(TSet& set, const CSimpleIniA& ini, const Entry& e) {
  const char* value = ini.GetValue(e.section, e.key, nullptr);
  if (value) {
    QString text = QString::fromUtf8(value);
    // A value that does not parse falls back to the fixed default where there is one.
    if (e.fixedDefault) std::visit(Assign{set, *e.fixedDefault}, e.field);
    std::visit(Assign{set, text}, e.field);
  } else if (e.fixedDefault) {
    std::visit(Assign{set, *e.fixedDefault}, e.field);
  }
}

bool isValidUtf8(std::string_view bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  QString ignored = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return !decoder.hasError();
}

// One line of the file as UTF-8: as it is when it is UTF-8, converted when it is GBK (a settings file
// carried over from a GBK system); nullopt when it is neither or holds control characters (garbage).
std::optional<std::string> lineAsUtf8(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') return std::nullopt;
  }
  if (isValidUtf8(line)) return std::string(line);
  QStringDecoder gbk("GB18030", QStringDecoder::Flag::Stateless);
  const QByteArrayView bytes(line.data(), static_cast<qsizetype>(line.size()));
  const QString text = gbk(bytes);
  QStringEncoder back("GB18030", QStringEncoder::Flag::Stateless);
  if (gbk.hasError() || QByteArray(back(text)) != bytes) return std::nullopt;
  return text.toStdString();
}

// The readable lines of the file as UTF-8 text; *damaged tells whether any line had to be left out.
std::string readableText(const std::string& bytes, bool* damaged) {
  std::string text;
  *damaged = false;
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    if (auto line = lineAsUtf8(std::string_view(bytes).substr(start, end - start))) {
      text += *line;
      text += '\n';
    } else {
      *damaged = true;
    }
    start = end + 1;
  }
  return text;
}

// Writes through a symbolic link to its target and keeps the file's permissions.
QString writeSettingsFile(const QString& path, const std::string& bytes) {
  QSaveFile f(path);
  f.setDirectWriteFallback(false);
  // Unbuffered, so a short write (a full disk) shows in write()'s count and nothing is committed.
  if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
  }
  if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    const QString why = f.errorString();
    f.cancelWriting();
    return QStringLiteral("cannot write %1: %2").arg(path, why);
  }
  if (!f.commit()) return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
  return {};
}

}  // namespace

TSet::TSet(const QString& programFile, QSize screen) : m_ini(std::make_unique<Ini>()), m_screen(screen) {
  SourceFile.clear();
  ProgramFile.clear();
  EditorFont = TFontSetting{};
  PlatformKind = 2;
  ProgramFile = QString::fromStdString(platform::shortPath(programFile.toStdString()));
  deriveFilePaths();
  RestoreDefaults();
  LoadSettings();
  rotateLog();
}

TSet::~TSet() {
  if (!SaveSettings()) std::fprintf(stderr, "korvash: %s\n", qPrintable(m_lastError));
}

void TSet::deriveFilePaths() {
  std::string dir = platform::directoryOf(ProgramFile.toStdString());
  m_programDir = QString::fromStdString(dir.empty() || dir.back() == '/' ? dir : dir + "/");
  auto inHome = [&](const char* name) {
    return QString::fromStdString(platform::resolveNoCase((m_programDir + name).toStdString()));
  };
  LogFile = inHome("KRVSLOG_1.dump");
  ErrorFile = m_programDir + "Bin/Error.Txt";
  BinDir = m_programDir + "Bin/";
  HelpFile = inHome("KRVS.html");
  IniFileName = inHome("KRVS.Ini");
}

void TSet::RestoreDefaults() {
  OpenWithSelf = true;
  TasmOptions = QStringLiteral("/la/zi/c");
  TLinkOptions = QStringLiteral("/v/m/M/l/s");
  UseUserOptions = false;
  UserTasmOptions.clear();
  UserTLinkOptions.clear();
  AutoFormat = true;
  ColorDisplay = true;
  EditorFont.Name = QStringLiteral("Courier New");
  EditorFont.Color = 0;
  EditorFont.Size = 10;
  BackColor = kColorInfoBk;
  ShowNavigator = true;
  ShowErrorBar = true;
  ShowAboutAtStart = false;
  // Integer division truncates toward zero, as the stored geometry has always been computed.
  WindowWidth = m_screen.width() * 3 / 4 + 80;
  WindowHeight = m_screen.height() * 3 / 4 + 80;
  WindowTop = (m_screen.height() - WindowHeight) / 2;
  WindowLeft = (m_screen.width() - WindowWidth) / 2;
  NavigatorWidth = WindowWidth / 5;
  ErrorBarHeight = WindowHeight / 6;
  Maximized = false;
  CaseMode = 0;
  Column1Width = 12;
  Column2Width = 8;
  Column3Width = 12;
  Gap1Width = 2;
  Gap2Width = 2;
  LogLevel = 99;
}

void TSet::LoadSettings() {
  m_ini->data.Reset();
  m_ini->loadFailed = false;
  std::string path = IniFileName.toStdString();
  m_ini->original.clear();
  if (platform::fileExists(path)) {
    auto bytes = platform::readFile(path);
    bool damaged = !bytes;
    if (bytes) {
      m_ini->original = *bytes;
      // What can be read is read: a damaged line loses only its own key.
      if (m_ini->data.LoadData(readableText(*bytes, &damaged)) < 0) {
        m_ini->data.Reset();
        damaged = true;
      }
    }
    m_ini->loadFailed = damaged;
  }
  for (const Entry& e : kEntries) readEntry(*this, m_ini->data, e);
  readEntry(*this, m_ini->data, kLogLevelEntry);
  RecentFiles.clear();
  RecentMax = 10;
  for (int i = 0; i < 10; ++i) {
    QByteArray key = QByteArray::number(i);
    RecentFiles.append(QString::fromUtf8(m_ini->data.GetValue(kRecentSection, key.constData(), "")));
  }
}

bool TSet::SaveSettings() {
  CSimpleIniA& ini = m_ini->data;
  for (const Entry& e : kEntries) {
    ini.SetValue(e.section, e.key, std::visit(Render{*this}, e.field).toUtf8().constData());
  }
  int count = static_cast<int>(std::min<qsizetype>(RecentFiles.size(), RecentMax));
  for (int i = 0; i < count; ++i) {
    ini.SetValue(kRecentSection, QByteArray::number(i).constData(), RecentFiles[i].toUtf8().constData());
  }
  std::string text;
  ini.SetSpaces(false);
  if (ini.Save(text) < 0) {
    m_lastError = QStringLiteral("cannot format the settings");
    return false;
  }
  if (m_ini->loadFailed && !m_ini->original.empty()) {
    // The damaged file is kept beside the new one rather than silently replaced.
    m_lastError = writeSettingsFile(IniFileName + QStringLiteral(".bad"), m_ini->original);
    if (!m_lastError.isEmpty()) return false;
    m_ini->loadFailed = false;
  }
  m_lastError = writeSettingsFile(IniFileName, text);
  return m_lastError.isEmpty();
}

int TSet::RecentCount() const {
  int count = 0;
  for (const QString& path : RecentFiles) count += path.isEmpty() ? 0 : 1;
  return std::min(count, RecentMax);
}

void TSet::ClearRecent() {
  for (QString& path : RecentFiles) path.clear();
}

void TSet::AddRecent(const QString& path) {
  std::string wanted = path.toStdString();
  for (qsizetype i = 0; i < RecentFiles.size(); ++i) {
    if (platform::equalsNoCase(RecentFiles[i].toStdString(), wanted)) {
      RecentFiles.removeAt(i);
      break;
    }
  }
  RecentFiles.insert(0, path);
}

void TSet::DeleteRecent(int index) {
  if (index >= 0 && index < RecentFiles.size()) RecentFiles.removeAt(index);
}

void TSet::rotateLog() {
  std::string log = LogFile.toStdString();
  auto size = platform::fileSize(log);
  if (!size || *size <= static_cast<std::uint64_t>(kLogRotateBytes)) return;
  std::string previous = (m_programDir + "KRVSLOG_2.log").toStdString();
  platform::removeNoCase(previous);
  std::rename(log.c_str(), previous.c_str());  // failures leave the log where it was
}

}  // namespace krvs::ide
