// The main window's side of the integrated debugger: start, step, go, pause and abort, the debug
// menu's states and the status-bar indicator, the register, watch and stack panels, and keyboard input
// for the debugged program. The session itself lives in debugger/; nothing here runs on its thread.
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/debug_notify.h"
#include "app/ide_context.h"
#include "app/tform_main.h"
#include "debugger/flag_info.h"
#include "debugger/mem_dump.h"
#include "debugger/stack_view.h"
#include "debugger/sys_runner.h"
#include "debugger/tdebugger.h"
#include "editor/tide.h"
#include "platform/dosnames.h"
#include "prompt/prompter.h"
#include "settings/log.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

constexpr int kStackWords = 16;
constexpr int kRegisterRows = 15;
constexpr int kRegisterRowHeight = 16;
constexpr int kStatusIndicatorBytes = 18;
const QColor kChangedBack(255, 224, 138);

const char* const kWaitPrompt = "您的汇编程序正在等待输入，请在此输入使程序继续执行";

QString fromBytes(const std::string& bytes) {
  QStringDecoder gbk("GB18030");
  return gbk(QByteArray::fromStdString(bytes));
}

std::string toBytes(const QString& text) {
  QStringEncoder gbk("GB18030");
  QByteArray b = gbk(text);
  return b.toStdString();
}

QString u8(const std::string& utf8) { return QString::fromUtf8(utf8.c_str()); }

int tabIndex(QTabWidget* tabs, const QString& caption) {
  for (int i = 0; i < tabs->count(); ++i) {
    if (tabs->tabText(i) == caption) return i;
  }
  return -1;
}

std::string stripSlash(const QString& dir) {
  std::string d = dir.toStdString();
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  return d;
}

}  // namespace

void TForm_Main::setupDebugger() {
  TDebugger& dbg = m_context.debugger();
  dbg.SetRunnerFactory([this](ReplySink& sink) { return sysRunnerFactory(stripSlash(m_set.BinDir))(sink); });
  dbg.SetLog([&set = m_set](const std::string& tag, const std::string& text, int level) {
    WriteLog(set, QString::fromStdString(tag), QByteArray::fromStdString(text), level);
  });
  dbg.SetStackWords(kStackWords);
  dbg.SetMainForm([this](int w, int l) { postDebugNotify(this, w, l, m_context.debugger().SessionId()); });

  setDebugNotifyHandler(1, 0, [this] {
    m_inputStage = InputStage::None;
    RefreshDebugPanels();
    Editor->viewport()->update();
  });
  setDebugNotifyHandler(1, 1, [this] {
    m_inputStage = InputStage::None;
    RefreshDebugPanels();
    MainMenu_AbortClick();
  });
  setDebugNotifyHandler(1, 2, [this] {
    m_context.debugger().NotifyHandled(1, 2);
    // Every step sent restarts the countdown to the input-wait check.
    Timer->setInterval(1000);
    Timer->stop();
    m_inputStage = InputStage::DelayForInput;
    Timer->start();
  });
  setDebugNotifyHandler(2, 0, [this] {
    m_context.debugger().NotifyHandled(2, 0);
    MemoDebugOutput->setPlainText(fromBytes(m_context.debugger().GetTraceInfo(TTraceInfo::REST)));
    MemoDebugOutput->moveCursor(QTextCursor::End);
    MemoDebugInput->clear();
  });

  Button_Add = findChild<QPushButton*>(QStringLiteral("Button_Add"));
  Button_Del = findChild<QPushButton*>(QStringLiteral("Button_Del"));
  connect(Button_Add, &QPushButton::clicked, this, [this] { Button_AddClick(); });
  connect(Button_Del, &QPushButton::clicked, this, [this] { Button_DelClick(); });
  connect(ComboBox_Addr, &QComboBox::currentTextChanged, this, [this] { ComboBox_AddrChange(); });
  StringGrid_Mem->setSelectionBehavior(QAbstractItemView::SelectRows);
  MemoDebugInput->installEventFilter(this);

  // The stack view sits under the watch fields on the page "查看".
  if (auto* column = qobject_cast<QVBoxLayout*>(StringGrid_Mem->parentWidget()->layout())) {
    column->addWidget(new QLabel(QStringLiteral("堆栈（从SS:SP向上）：")));
    StringGrid_Stack = new QTableWidget(0, 3);
    StringGrid_Stack->setObjectName(QStringLiteral("StringGrid_Stack"));
    StringGrid_Stack->setHorizontalHeaderLabels({QStringLiteral("地址"), QStringLiteral("内容"), QStringLiteral("说明")});
    StringGrid_Stack->verticalHeader()->hide();
    StringGrid_Stack->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(StringGrid_Stack, 1);
  }

  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, [this] { onInputTimer(); });
  Timer->start();
  TimerStatesBar->setInterval(1000);
  connect(TimerStatesBar, &QTimer::timeout, this, [this] { TimerTimer(); });
  TimerStatesBar->start();
  MainMenu_DebugMangerClick();
}

void TForm_Main::startDebugging(bool step) {
  TDebugger& dbg = m_context.debugger();
  if (!Editor->IsProgramCurrent() &&
      m_prompter.askYesNo(QStringLiteral("汇编语言源代码已经改变，是否放弃？\r\n　　点击“是”（推荐！）放弃调试，请重新生成然后再\r\n"
                                         "调试；\r\n　　点击“否”继续调试（不推荐！），但是调试的情况\r\n与现有的代码可能不"
                                         "符合。")) == Answer::Yes) {
    return;
  }
  std::string source = m_set.SourceFile.toStdString();
  std::string exe = platform::replaceExtension(source, ".Exe");
  if (auto found = platform::findNoCase(exe)) {
    exe = *found;
  } else if (auto com = platform::findNoCase(platform::replaceExtension(source, ".Com"))) {
    exe = *com;
  }
  PageControl_Left->setCurrentIndex(std::max(0, tabIndex(PageControl_Left, QStringLiteral("调试"))));
  PageControlBottom->setCurrentIndex(std::max(0, tabIndex(PageControlBottom, QStringLiteral("调试窗口"))));
  MemoDebugOutput->clear();
  if (step) dbg.Pause();
  std::string debugProgram = stripSlash(m_set.BinDir) + "/DEBUG.EXE";
  dbg.SetDebugProgram(platform::findNoCase(debugProgram).value_or(debugProgram));
  int result = dbg.StartDebug(exe);
  Editor->BeginLock();
  switch (result) {
    case 0: m_prompter.inform(QStringLiteral("一次只能调试一个程序，请退出前一个调试再继续。")); break;
    case 1: m_prompter.inform(QStringLiteral("程序不是调试模式编译生成的，请用调试模式重新编译以后继续。")); break;
    case 2: m_prompter.inform(QStringLiteral("可执行文件不存在，请先链接生成可执行文件。")); break;
    case kStartNoPrompt:
      m_prompter.inform(QStringLiteral("调试程序DEBUG.EXE没有响应，请检查Bin目录下的DEBUG.EXE和krvscmd是否完好。"));
      break;
    default:
      Editor->viewport()->update();
      LoadErrorList();
      break;
  }
  RefreshDebugPanels();
  {
    // Refilling the box is no choice of the user's: the address field stays as it is.
    QSignalBlocker quiet(ComboBox_Addr);
    ComboBox_Addr->clear();
    for (const TSymble& s : dbg.GetSymbols()) {
      if (!s.Name.empty()) ComboBox_Addr->addItem(fromBytes(s.Name));
    }
    ComboBox_Addr->addItem(QStringLiteral("自定义"));
    ComboBox_Addr->setCurrentText(QString());
  }
  Button_Add->setEnabled(true);
  Button_Del->setEnabled(true);
  if (dbg.GetState() == dsIdle) MainMenu_AbortClick();
  Editor->viewport()->update();
  MainMenu_DebugMangerClick();
}

void TForm_Main::MainMenu_DebugAssClick() {
  TDebugger& dbg = m_context.debugger();
  TDebugState state = dbg.GetState();
  if (state == dsIdle) {
    startDebugging(false);
    return;
  }
  // While running, or while a step waits for the program's input, DEBUG's next reply is taken.
  if (state != dsReady) return;
  dbg.Go();
  RefreshDebugPanels();
  if (dbg.GetState() == dsIdle) MainMenu_AbortClick();
  Editor->viewport()->update();
}

void TForm_Main::MainMenu_TraceClick() {
  TDebugger& dbg = m_context.debugger();
  if (dbg.GetState() == dsIdle) {
    startDebugging(true);
    return;
  }
  if (dbg.GetState() != dsReady) return;
  int r = 0;
  do {
    r = dbg.Step();
    if (r == 1) {
      MemoDebugInput->setPlainText(QString::fromUtf8(kWaitPrompt));
      MemoDebugInput->selectAll();
      MemoDebugInput->setFocus();
      break;
    }
  } while (dbg.OutsideSource() && dbg.GetState() == dsReady);
  Editor->viewport()->update();
  RefreshDebugPanels();
  if (dbg.GetState() == dsIdle) MainMenu_AbortClick();
}

void TForm_Main::MainMenu_PauseClick() { m_context.debugger().Pause(); }

void TForm_Main::MainMenu_AbortClick() {
  m_context.debugger().StopDebug();
  m_inputStage = InputStage::None;
  MemoDebugOutput->clear();
  MemoWatch->clear();
  PageControl_Left->setCurrentIndex(std::max(0, tabIndex(PageControl_Left, QStringLiteral("导航"))));
  PageControlBottom->setCurrentIndex(std::max(0, tabIndex(PageControlBottom, QStringLiteral("编译输出"))));
  MemoDebugOutput->clear();
  Editor->EndLock();
  Editor->viewport()->update();
  MonVariables = {TMonVariable{}};
  StringGrid_Mem->setRowCount(2);
  for (int c = 0; c < 3; ++c) StringGrid_Mem->setItem(1, c, new QTableWidgetItem());
  Edit_Addr->clear();
  Edit_Size->clear();
  ComboBox_Addr->setCurrentText(QString());
  Edit_Next->clear();
  Label_Note->clear();
  StringGrid_Reg->setRowCount(0);
  if (StringGrid_Stack) StringGrid_Stack->setRowCount(0);
  Button_Del->setEnabled(false);
  Button_Add->setEnabled(false);
  ComboBox_Addr->clear();
  MainMenu_DebugMangerClick();
}

void TForm_Main::MainMenu_DebugMangerClick() {
  TDebugState state = m_context.debugger().GetState();
  struct ItemState {
    const char* name;
    bool enabled;
  };
  const ItemState items[] = {
      {"MainMenu_DebugAss", state != dsGo},  {"Tool_DebugAss", state != dsGo}, {"MainMenu_TD", state == dsIdle},
      {"MainMenu_Trace", state != dsGo && state != dsStep}, {"MainMenu_Pause", state == dsGo},
      {"MainMenu_Abort", state != dsIdle},
  };
  for (const ItemState& i : items) {
    if (QAction* a = action(QString::fromLatin1(i.name))) a->setEnabled(i.enabled);
  }
  if (QAction* go = action(QStringLiteral("MainMenu_DebugAss"))) {
    go->setText(state == dsIdle ? QStringLiteral("集成调试") : QStringLiteral("Go"));
  }
}

void TForm_Main::RefreshDebugPanels() {
  TDebugger& dbg = m_context.debugger();
  refreshRegisterGrid();
  Edit_Next->setText(fromBytes(dbg.GetTraceInfo(TTraceInfo::INSTRUCTION)));
  // setText leaves the cursor at the end, which scrolls a text wider than the field (the operands and
  // the blanks that pad it) so far that the mnemonic is out of sight.
  Edit_Next->setCursorPosition(0);
  Label_Note->setText(QStringLiteral("该指令的二进制码：\n\n") + fromBytes(dbg.GetTraceInfo(TTraceInfo::BINCODE)) +
                      (dbg.OutsideSource() ? QStringLiteral("\n\n这是宏展开后的代码") : QStringLiteral("\n\n无相关说明")));
  refreshWatchValues();
  redrawWatchGrid();
  refreshStackView();
  MemoDebugOutput->setPlainText(fromBytes(dbg.GetTraceInfo(TTraceInfo::REST)));
  Editor->HighlightLine(dbg.GetCurrentLine(), Editor->SelectedBackground(), Editor->SelectedForeground());
  MainMenu_DebugMangerClick();
}

void TForm_Main::refreshRegisterGrid() {
  TDebugger& dbg = m_context.debugger();
  const std::string executed = dbg.GetPreviousTraceInfo(TTraceInfo::INSTRUCTION);
  StringGrid_Reg->setRowCount(kRegisterRows);
  for (int row = 0; row < kRegisterRows; ++row) {
    StringGrid_Reg->setRowHeight(row, kRegisterRowHeight);
    StringGrid_Reg->removeCellWidget(row, 1);
    if (row > int(TTraceInfo::SIGN)) {
      StringGrid_Reg->setItem(row, 0, new QTableWidgetItem());
      StringGrid_Reg->setItem(row, 1, new QTableWidgetItem());
      continue;
    }
    auto which = TTraceInfo(row);
    std::string now = dbg.GetTraceInfo(which);
    std::string before = dbg.GetPreviousTraceInfo(which);
    auto* name = new QTableWidgetItem(QString::fromLatin1(kTraceNames[row]));
    auto* value = new QTableWidgetItem(QString::fromLatin1(now.c_str()));
    if (which != TTraceInfo::SIGN && !before.empty() && before != now) {
      value->setBackground(kChangedBack);
      name->setBackground(kChangedBack);
      value->setToolTip(u8(registerChangeText(kTraceNames[row], before, now, executed)));
    }
    StringGrid_Reg->setItem(row, 0, name);
    StringGrid_Reg->setItem(row, 1, value);
  }
  // Each flag of the flags row is a label of its own, with what it means and why it changed.
  std::string flags = dbg.GetTraceInfo(TTraceInfo::SIGN);
  if (flags.empty()) return;
  auto* strip = new QWidget;
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(2, 0, 2, 0);
  row->setSpacing(6);
  int i = 0;
  for (const FlagView& f : describeFlags(flags, dbg.GetPreviousTraceInfo(TTraceInfo::SIGN), executed)) {
    auto* label = new QLabel(QString::fromLatin1(f.text.c_str()));
    label->setObjectName(QStringLiteral("Flag_%1").arg(i++));
    label->setToolTip(u8(f.tooltip));
    label->setProperty("changed", f.changed);
    if (f.changed) label->setStyleSheet(QStringLiteral("background: %1;").arg(kChangedBack.name()));
    row->addWidget(label);
  }
  row->addStretch(1);
  StringGrid_Reg->setCellWidget(int(TTraceInfo::SIGN), 1, strip);
  // The item keeps the whole field as text for readers of the grid; the labels are what is seen.
  StringGrid_Reg->item(int(TTraceInfo::SIGN), 1)->setForeground(Qt::transparent);
}

void TForm_Main::refreshWatchValues() {
  TDebugger& dbg = m_context.debugger();
  std::vector<std::string> lines = dbg.GetMemLines();
  for (std::size_t i = 0; i + 1 < MonVariables.size(); ++i) {
    TMonVariable& v = MonVariables[i];
    v.value = dbg.GetMemRange(lines, v.address, v.length);
  }
}

void TForm_Main::redrawWatchGrid() {
  StringGrid_Mem->setRowCount(int(MonVariables.size()) + 1);
  for (std::size_t i = 0; i < MonVariables.size(); ++i) {
    std::vector<std::string> cells = watchCells(MonVariables[i]);
    for (int c = 0; c < 3; ++c) StringGrid_Mem->setItem(int(i) + 1, c, new QTableWidgetItem(u8(cells[c])));
  }
}

void TForm_Main::refreshStackView() {
  if (!StringGrid_Stack) return;
  TDebugger& dbg = m_context.debugger();
  std::vector<StackWord> words =
      readStackWords(dbg.GetStackLines(), dbg.GetTraceInfo(TTraceInfo::SP), kStackWords);
  markReturnAddresses(words, dbg.Lines(), dbg.MapSegmentOf(dbg.GetTraceInfo(TTraceInfo::CS)),
                      [this](int line) { return Editor->Line(line - 1).toStdString(); });
  StringGrid_Stack->setRowCount(int(words.size()));
  for (int r = 0; r < int(words.size()); ++r) {
    const StackWord& w = words[r];
    StringGrid_Stack->setItem(r, 0, new QTableWidgetItem(QStringLiteral("SS:") + QString::fromLatin1(w.offset.c_str())));
    StringGrid_Stack->setItem(r, 1, new QTableWidgetItem(QString::fromLatin1(w.value.c_str())));
    QString note = w.returnLine > 0 ? QStringLiteral("返回地址：返回到第%1行").arg(w.returnLine) : QString();
    StringGrid_Stack->setItem(r, 2, new QTableWidgetItem(note));
  }
}

void TForm_Main::Button_AddClick() {
  TDebugger& dbg = m_context.debugger();
  bool active = dbg.GetState() != dsIdle;
  Button_Del->setEnabled(active);
  Button_Add->setEnabled(active);
  if (!active) return;
  WatchCheck check = checkWatch(Edit_Addr->text().toStdString(), Edit_Size->text().toStdString());
  if (check.error == WatchError::Address) {
    m_prompter.inform(QStringLiteral("地址的设置不合法，请输入一个有效的0x开头四位十六进制，比如：\r\n0x000F，或者使用下拉框，选择一个地址，"
                                     "系统会自行生成。另外，\r\n请检查您是否输入了全角字符，如果是请关闭汉字输入法再试。"));
    Edit_Addr->selectAll();
    Edit_Addr->setFocus();
    return;
  }
  if (check.error == WatchError::Length) {
    m_prompter.inform(QStringLiteral("地址的长度设置不合法，请输入一个有效的十六进制或者十进制数字，\r\n比如：0x000F或者11，0x开头的都认为是"
                                     "十六进制。另外，请检查您是\r\n否输入了全角字符，如果是请关闭汉字输入法再试。"));
    Edit_Size->selectAll();
    Edit_Size->setFocus();
    return;
  }
  TMonVariable& last = MonVariables.back();
  last.label = ComboBox_Addr->currentText().toUpper().toStdString();
  last.address = Edit_Addr->text().toUpper().toStdString();
  last.length = check.lengthText;
  last.segment = "DS";
  last.value.clear();
  MonVariables.push_back(TMonVariable{});
  redrawWatchGrid();
  auto [start, end] = watchDumpRange(MonVariables);
  dbg.SetMemRange(start, end);
  dbg.RequestMemDump(start, end);
  Edit_Addr->clear();
  Edit_Size->clear();
  ComboBox_Addr->setCurrentText(QString());
  RefreshDebugPanels();
}

void TForm_Main::Button_DelClick() {
  bool active = m_context.debugger().GetState() != dsIdle;
  Button_Del->setEnabled(active);
  Button_Add->setEnabled(active);
  if (!active) return;
  QList<int> rows;
  for (const QTableWidgetSelectionRange& r : StringGrid_Mem->selectedRanges()) {
    for (int row = r.bottomRow(); row >= r.topRow(); --row) rows << row;
  }
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  for (int row : rows) {
    QTableWidgetItem* cell = StringGrid_Mem->item(row, 1);
    if (cell) removeWatch(MonVariables, cell->text().toStdString());
  }
  redrawWatchGrid();
}

void TForm_Main::ComboBox_AddrChange() {
  std::string chosen = toBytes(ComboBox_Addr->currentText());
  for (const TSymble& s : m_context.debugger().GetSymbols()) {
    if (s.Name == chosen) Edit_Addr->setText(QStringLiteral("0x") + QString::fromLatin1(s.Value.c_str()));
  }
}

bool TForm_Main::MemoDebugInputKeyPress(const QString& text) {
  if (text.isEmpty()) return false;
  std::string bytes = toBytes(text);
  MemoDebugInput->setPlainText(QStringLiteral("您已经往汇编程序里输入了一个ASC字符，ASC码是") +
                               QString::number(static_cast<unsigned char>(bytes[0])));
  TDebugger& dbg = m_context.debugger();
  if (dbg.AddInput(bytes)) {
    RefreshDebugPanels();
    if (dbg.GetState() == dsIdle) MainMenu_AbortClick();
  }
  return true;
}

void TForm_Main::onInputTimer() {
  switch (m_inputStage) {
    case InputStage::Initial: TimerTimer(); break;
    case InputStage::DelayForInput: DelayForInput(); break;
    case InputStage::FillInCharWhileGo: FillInCharWhileGo(); break;
    case InputStage::None: break;
  }
}

void TForm_Main::DelayForInput() { m_inputStage = InputStage::FillInCharWhileGo; }

void TForm_Main::FillInCharWhileGo() {
  m_inputStage = InputStage::None;
  if (m_context.debugger().FillInChar() == 1) {
    MemoDebugInput->setPlainText(QString::fromUtf8(kWaitPrompt));
    MemoDebugInput->selectAll();
    MemoDebugInput->setFocus();
  }
}

void TForm_Main::TimerTimer() {
  TDebugger& dbg = m_context.debugger();
  dbg.PollStopNotify();
  if (dbg.GetState() == dsGo) {
    QString text = statusText(2);
    QStringEncoder gbk("GB18030");
    bool grow = !text.isEmpty() && QByteArray(gbk(text)).size() < kStatusIndicatorBytes;
    setStatusText(2, grow ? text + QStringLiteral(" .") : QStringLiteral("程序正在调试"));
  } else {
    setStatusText(2, QString());
  }
  if (MemoDebugInput->toPlainText() != QString::fromUtf8(kWaitPrompt)) MemoDebugInput->clear();
  MainMenu_DebugMangerClick();
}

}  // namespace krvs::ide
