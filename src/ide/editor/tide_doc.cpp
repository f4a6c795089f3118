// TIDE: new file, load and save, the three views and formatting.
#include <QDir>
#include <QFileInfo>

#include "debugger/tdebugger.h"
#include "editor/tide.h"

namespace krvs::ide {

namespace {

const char* const kTemplate[] = {
    ";这是自动生成的代码模板",
    "stacks segment stack ;堆栈段",
    "dw 128 dup(?);注意这里只有128个字节",
    "stacks ends",
    "datas segment ;数据段",
    ";请在这里定义您的数据",
    " ",
    "datas ends",
    "codes segment ;代码段",
    "assume cs:codes,ds:datas",
    "start: mov ax,datas ;初始化",
    "mov ds,ax",
    ";请在这里添加您的代码",
    " ",
    "mov ax,4c00h;退出程序",
    "int 21h",
    "codes ends",
    "end start",
};

// The listing and map files are DOS-style names: an existing file whose name differs only in letter
// case is that file.
QString findCaseInsensitive(const QString& path) {
  const QFileInfo info(path);
  if (info.exists()) return path;
  const QDir dir = info.absoluteDir();
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
    if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0) return dir.filePath(name);
  }
  return {};
}

std::vector<std::string> toStdLines(const QStringList& lines) {
  std::vector<std::string> out;
  out.reserve(size_t(lines.size()));
  for (const QString& l : lines) out.push_back(l.toStdString());
  return out;
}

}  // namespace

void TIDE::formatLines(std::vector<std::string>& lines) {
  const asmtext::FormatSettings settings = formatSettings();
  asmtext::TFormat& fmt = sourceFormatter();
  for (std::string& line : lines) fmt.FormatLine(line, settings);
}

void TIDE::NewFile() {
  QStringList lines;
  for (const char* line : kTemplate) lines << QString::fromUtf8(line);
  SetLines(lines);
  FormatAll();
  m_modified = false;
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  FHasFile = false;
  FCompiled = false;
  FLinked = false;
  m_encoding = TextEncoding::Gbk;
  keywordDatabase().ClearNames();
  GetDebugger().ClearBreakpoints();
  SetCaretXY(1, 1);
  viewport()->update();
}

bool TIDE::LoadFromFile(const QString& path, QString* error) {
  TextReadResult file = readTextFile(path);
  if (!file.ok) {
    if (error) *error = file.error;
    return false;
  }
  SetView(0);
  // Formatting before the text goes in gives the same text as formatting afterwards, in one load.
  keywordDatabase().ClearNames();
  std::vector<std::string> lines = toStdLines(file.lines);
  formatLines(lines);
  QByteArray joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += "\r\n";
    joined += QByteArray::fromStdString(lines[i]);
  }
  {
    CaretNotifyBlock block(*this);
    ++m_bulk;
    SendScintilla(SCI_SETTEXT, 0UL, joined.constData());
    --m_bulk;
  }
  m_encoding = file.encoding;
  FCompiled = false;
  FLinked = false;
  m_modified = false;
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  FHasFile = true;
  GetDebugger().ClearBreakpoints();
  SetCaretXY(1, 1);
  viewport()->update();
  return true;
}

bool TIDE::SaveToFile(const QString& path, QString* error) {
  if (FView == 0) FSourceCopy = Lines();
  const QString failure = writeTextFile(path, FSourceCopy, m_encoding);
  if (!failure.isEmpty()) {
    if (error) *error = failure;
    return false;
  }
  FCompiled = FCompiled && !m_modified;
  m_modified = false;
  FHasFile = true;
  return true;
}

void TIDE::SetView(int kind) {
  if (kind == 0) {
    if (FView == 0) return;
    setReadOnly(false);
    SetLines(FSourceCopy);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    FView = 0;
    SetSelStart(1);
    viewport()->update();
    return;
  }
  if (kind != 1 && kind != 2) return;
  QString path = sourcePath();
  const QFileInfo src(path);
  path = src.dir().filePath(src.completeBaseName() + (kind == 2 ? QStringLiteral(".MAP") : QStringLiteral(".LST")));
  if (FView == 0) FSourceCopy = Lines();
  const bool modified = m_modified;
  // The view changes before the text does, so nothing formats a line of the listing or map.
  FView = kind;
  setReadOnly(false);
  const QString found = findCaseInsensitive(path);
  TextReadResult file = found.isEmpty() ? TextReadResult{} : readTextFile(found);
  SetLines(file.ok ? file.lines : QStringList());
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  // The listing or map is not the document: its load leaves the source's modified flag alone.
  m_modified = modified;
  setReadOnly(true);
  viewport()->update();
}

void TIDE::FormatAll() {
  std::vector<std::string> lines = toStdLines(Lines());
  keywordDatabase().ClearNames();
  const int x = CaretX();
  const int y = CaretY();
  const bool modified = m_modified;
  formatLines(lines);
  {
    CaretNotifyBlock block(*this);
    // Line by line inside one undo step: the undo of a layout keeps breakpoints on their lines.
    SendScintilla(SCI_BEGINUNDOACTION);
    ++m_bulk;
    for (int i = 0; i < int(lines.size()); ++i) {
      const QByteArray bytes = QByteArray::fromStdString(lines[size_t(i)]);
      if (bytes == lineBytes(i)) continue;
      SendScintilla(SCI_SETTARGETSTART, SendScintilla(SCI_POSITIONFROMLINE, i));
      SendScintilla(SCI_SETTARGETEND, SendScintilla(SCI_GETLINEENDPOSITION, i));
      SendScintilla(SCI_REPLACETARGET, bytes.size(), bytes.constData());
    }
    --m_bulk;
    SendScintilla(SCI_ENDUNDOACTION);
  }
  SetCaretXY(x, y);
  m_modified = modified;
}

void TIDE::FormatLeftLine(int newLine) {
  if (FView != 0 || FFormatLine < 0 || FFormatLine > LineCount() - 1) return;
  CaretNotifyBlock block(*this);
  const int x = CaretX();
  const int y = CaretY();
  const bool modified = m_modified;
  std::string line = Line(FFormatLine).toStdString();
  sourceFormatter().FormatLine(line, formatSettings());
  PutLine(FFormatLine, QString::fromStdString(line));
  SetCaretXY(x, y);
  FFormatLine = newLine;
  m_modified = modified;
}

}  // namespace krvs::ide
