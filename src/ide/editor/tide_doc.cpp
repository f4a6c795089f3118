// TIDE: new file, load and save, the three views and formatting.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

#include "debugger/tdebugger.h"
#include "editor/tide.h"
#include "platform/dosnames.h"

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
// case is that file. Empty when there is none.
QString findCaseInsensitive(const QString& path) {
  const std::optional<std::string> found = platform::findNoCase(QFile::encodeName(path).toStdString());
  return found ? QFile::decodeName(QByteArray::fromStdString(*found)) : QString();
}

QByteArray joinLines(const std::vector<std::string>& lines, size_t first, size_t last) {
  QByteArray joined;
  for (size_t i = first; i <= last && i < lines.size(); ++i) {
    if (i > first) joined += "\r\n";
    joined += QByteArray::fromStdString(lines[i]);
  }
  return joined;
}

}  // namespace

void TIDE::formatLines(std::vector<std::string>& lines) {
  const asmtext::FormatSettings settings = formatSettings();
  for (std::string& line : lines) m_formatter.FormatLine(line, settings);
}

void TIDE::NewFile() {
  QStringList lines;
  for (const char* line : kTemplate) lines << QString::fromUtf8(line);
  SetLines(lines);
  FormatAll();
  setModifiedFlag(false);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  FHasFile = false;
  FCompiled = false;
  FLinked = false;
  m_encoding = TextEncoding::Gbk;
  m_exact = true;
  m_diskStamp = {};
  m_keywords.ClearNames();
  m_debugger.ClearBreakpoints();
  showTextStart();
}

bool TIDE::LoadFromFile(const QString& path, QString* error) {
  TextReadResult file = readTextFile(path);
  if (!file.ok) {
    if (error) *error = file.error;
    return false;
  }
  SetView(0);
  // Formatting before the text goes in gives the same text as formatting afterwards, in one load.
  m_keywords.ClearNames();
  std::vector<std::string> lines;
  lines.reserve(size_t(file.lines.size()));
  for (const QByteArray& l : file.lines) lines.push_back(l.toStdString());
  formatLines(lines);
  SetDocumentBytes(joinLines(lines, 0, lines.size()));
  m_encoding = file.encoding;
  m_exact = file.exact;
  m_diskStamp = DiskStamp::of(path);
  FCompiled = false;
  FLinked = false;
  setModifiedFlag(false);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  FHasFile = true;
  m_debugger.ClearBreakpoints();
  showTextStart();
  return true;
}

bool TIDE::SaveToFile(const QString& path, QString* error) {
  if (FView == 0) FSourceCopy = DocumentBytes();
  // Every line is followed by CR LF; a document without text gives an empty file.
  const QByteArray text = FSourceCopy.isEmpty() && LineCount() == 0 && FView == 0 ? QByteArray() : FSourceCopy + "\r\n";
  const QString failure = writeTextFile(path, text, m_encoding);
  if (!failure.isEmpty()) {
    if (error) *error = failure;
    return false;
  }
  m_diskStamp = DiskStamp::of(path);
  m_exact = true;
  FCompiled = FCompiled && !m_modified;
  setModifiedFlag(false);
  FHasFile = true;
  return true;
}

// The caret at the first character and the view at the first line. Scrolling to the caret alone is
// not enough: before the window has its size the view shows no line, and scrolling the caret into
// such a view leaves line 1 above the top once the window appears.
void TIDE::showTextStart() {
  SetCaretXY(1, 1);
  SendScintilla(SCI_SETFIRSTVISIBLELINE, 0L);
  SendScintilla(SCI_SETXOFFSET, 0L);
  viewport()->update();
}

void TIDE::SetView(int kind) {
  if (kind == 0) {
    if (FView == 0) return;
    setReadOnly(false);
    SetDocumentBytes(FSourceCopy);
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
  if (FView == 0) FSourceCopy = DocumentBytes();
  const bool modified = m_modified;
  // The view changes before the text does, so nothing formats a line of the listing or map.
  FView = kind;
  setReadOnly(false);
  const QString found = findCaseInsensitive(path);
  TextReadResult file = found.isEmpty() ? TextReadResult{} : readTextFile(found);
  SetDocumentBytes(file.ok ? file.lines.join("\r\n") : QByteArray());
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  // The listing or map is not the document: its load leaves the source's modified flag alone.
  setModifiedFlag(modified);
  setReadOnly(true);
  viewport()->update();
}

void TIDE::FormatAll() {
  m_keywords.ClearNames();
  const int count = LineCount();
  std::vector<std::string> lines;
  lines.reserve(size_t(count));
  for (int i = 0; i < count; ++i) lines.push_back(lineBytes(i).toStdString());
  std::vector<std::string> formatted = lines;
  formatLines(formatted);
  size_t first = 0;
  while (first < lines.size() && lines[first] == formatted[first]) ++first;
  if (first == lines.size()) return;  // already laid out: no undo step, nothing to repaint
  size_t last = lines.size() - 1;
  while (last > first && lines[last] == formatted[last]) --last;
  const int x = CaretX();
  const int y = CaretY();
  const long top = SendScintilla(SCI_GETFIRSTVISIBLELINE);
  const bool modified = m_modified;
  replaceLinesAsOneStep(int(first), int(last), joinLines(formatted, first, last));
  SetCaretXY(x, y);
  SendScintilla(SCI_SETFIRSTVISIBLELINE, top);
  setModifiedFlag(modified);
}

// Lines first..last become bytes (the same number of lines) in one replacement that is one undo step.
// Layout never adds or removes a line, so breakpoints stay where they are: neither the replacement
// nor its undo or redo reaches the gutter plug-in as lines deleted and inserted.
void TIDE::replaceLinesAsOneStep(int first, int last, const QByteArray& bytes) {
  CaretNotifyBlock block(*this);
  SendScintilla(SCI_BEGINUNDOACTION);
  SendScintilla(SCI_ADDUNDOACTION, kLayoutStepToken, 0L);
  ++m_bulk;
  SendScintilla(SCI_SETTARGETSTART, SendScintilla(SCI_POSITIONFROMLINE, first));
  SendScintilla(SCI_SETTARGETEND, SendScintilla(SCI_GETLINEENDPOSITION, last));
  SendScintilla(SCI_REPLACETARGET, bytes.size(), bytes.constData());
  --m_bulk;
  SendScintilla(SCI_ADDUNDOACTION, kLayoutStepToken, 0L);
  SendScintilla(SCI_ENDUNDOACTION);
}

void TIDE::FormatLeftLine(int newLine) {
  if (FView != 0 || FFormatLine < 0 || FFormatLine > LineCount() - 1) return;
  if (m_textFromUndo) {
    FFormatLine = newLine;
    return;
  }
  CaretNotifyBlock block(*this);
  const int x = CaretX();
  const int y = CaretY();
  const bool modified = m_modified;
  std::string line = lineBytes(FFormatLine).toStdString();
  m_formatter.FormatLine(line, formatSettings());
  PutLineBytes(FFormatLine, QByteArray::fromStdString(line));
  SetCaretXY(x, y);
  FFormatLine = newLine;
  setModifiedFlag(modified);
}

}  // namespace krvs::ide
