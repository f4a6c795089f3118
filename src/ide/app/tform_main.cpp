#include "app/tform_main.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/debug_notify.h"
#include "app/ide_context.h"
#include "app/main_menus.h"
#include "app/shell_rules.h"
#include "build/trun.h"
#include "debugger/tdebugger.h"
#include "editor/mark_images.h"
#include "editor/navigation_tree.h"
#include "editor/tide.h"
#include "platform/machine_id.h"
#include "prompt/prompter.h"
#include "settings/association.h"
#include "settings/colors.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

constexpr int kViewButtonHeight = 24;
constexpr int kPanelRightHeight = 24;
constexpr int kPanelBackHeight = 28;
constexpr int kSplitterWidth = 2;
constexpr int kInsertKey = Qt::Key_Insert;

// Status bar panels: width and alignment.
struct StatusPanelSpec {
  int width;
  Qt::Alignment alignment;
  const char* initial;
};
const StatusPanelSpec kStatusPanels[] = {
    {150, Qt::AlignLeft | Qt::AlignVCenter, "第1行         第1列"},
    {70, Qt::AlignCenter, "插入状态"},
    {50, Qt::AlignLeft | Qt::AlignVCenter, ""},
};

// The panel shows the part after a tab centred in what is left, as the classic status bar did.
QString displayedStatus(const QString& text) {
  int tab = text.indexOf('\t');
  return tab < 0 ? text : text.left(tab) + QStringLiteral("   ") + text.mid(tab + 1);
}

}  // namespace

TForm_Main::TForm_Main(IdeContext& context, const QString& programFile, const QStringList& arguments,
                       QWidget* parent)
    : QMainWindow(parent), m_context(context), m_set(context.settings()), m_prompter(context.prompter()) {
  setWindowTitle(QStringLiteral("Korvash"));
  QFont font(QStringLiteral("宋体"));
  font.setPixelSize(14);
  setFont(font);
  resize(707, 669);
  showWelcome = [this] { showWelcomeWindow(); };
  FormCreate(programFile, arguments);
}

TForm_Main::~TForm_Main() { FormDestroy(); }

void TForm_Main::FormCreate(const QString& programFile, const QStringList& arguments) {
  Timer = new QTimer(this);
  TimerStatesBar = new QTimer(this);
  ImageList2 = makeMarkImages();
  buildPanes();
  buildMenus();
  createBuildDriver();

  offerAsmAssociation(m_set, m_prompter);

  createEditor();
  freeMenuKeysFromEditor();
  createSearch();
  setupDebugger();
  SpeedButton_ASM->setFixedHeight(kViewButtonHeight);
  SpeedButton_MAP->setFixedHeight(kViewButtonHeight);
  SpeedButton_LST->setFixedHeight(kViewButtonHeight);
  Panel_Right->setFixedHeight(kPanelRightHeight);
  Panel_Back->setFixedHeight(kPanelBackHeight);
  ApplySettings();

  Editor->setFocus();
  PageControl_Left->setCurrentIndex(0);
  PageControlBottom->setCurrentIndex(0);

  m_set.ProgramFile = programFile;
  m_set.SourceFile = arguments.value(0);
  checkTools();
  ShowView(0);
  if (!m_set.SourceFile.isEmpty() && QFileInfo(m_set.SourceFile).isFile()) {
    OpenDocument(m_set.SourceFile);
  } else {
    NewDocument(QStringLiteral("NoName.asm"));
  }
  createRecentItems();

  StringGrid_Reg->setColumnWidth(0, 48);
  StringGrid_Reg->setColumnWidth(1, 480);
  StringGrid_Mem->setColumnWidth(1, 128);
  StringGrid_Mem->setColumnWidth(2, 480);
  StringGrid_Mem->setHorizontalHeaderLabels({QStringLiteral("标签"), QStringLiteral("地址"), QStringLiteral("内容")});
  ApplySettings();
}

void TForm_Main::createEditor() {
  Editor = new TIDE(m_context.keywords(), m_context.formatter(), m_context.debugger(), Splitter1);
  Splitter1->addWidget(Editor);
  Splitter1->setStretchFactor(1, 1);
  Editor->FMarkImages = ImageList2;
  Editor->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Editor, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (m_view == 0) PopupMenu->popup(Editor->mapToGlobal(at));
  });
  Editor->formatSettings = [this] {
    return asmtext::FormatSettings{m_set.AutoFormat,   m_set.CaseMode,  m_set.Column1Width, m_set.Column2Width,
                                   m_set.Column3Width, m_set.Gap1Width, m_set.Gap2Width};
  };
  Editor->sourcePath = [this] { return m_set.SourceFile; };
  connect(Editor, &TIDE::OnChange, this, &TForm_Main::EditorChange);
  connect(Editor, &TIDE::OnCaretMove, this, &TForm_Main::EditorSelectionChange);
  connect(Editor, &TIDE::OnKeyUp, this, &TForm_Main::EditorKeyUp);

  TreeView = new NavigationTree(*Editor, m_context.keywords());
  TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
  PageControl_Left->insertTab(0, TreeView, QStringLiteral("导航"));
}

void TForm_Main::buildPanes() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  buildTopStrip();
  column->addWidget(Panel_Back);

  Splitter = new QSplitter(Qt::Vertical, central);
  Splitter->setObjectName(QStringLiteral("Splitter"));
  Splitter->setHandleWidth(kSplitterWidth);
  Splitter->setChildrenCollapsible(false);
  Splitter1 = new QSplitter(Qt::Horizontal, Splitter);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(kSplitterWidth);
  Splitter1->setChildrenCollapsible(false);
  buildLeftPages();
  Splitter1->addWidget(PageControl_Left);
  Splitter->addWidget(Splitter1);
  buildBottomPages();
  Splitter->addWidget(PageControlBottom);
  Splitter->setStretchFactor(0, 1);
  column->addWidget(Splitter, 1);
  setCentralWidget(central);
  buildStatusBar();
}

void TForm_Main::buildTopStrip() {
  Panel_Back = new QWidget(this);
  Panel_Back->setObjectName(QStringLiteral("Panel_Back"));
  auto* row = new QHBoxLayout(Panel_Back);
  row->setContentsMargins(0, 0, 2, 0);
  row->setSpacing(0);
  ToolBar = new QToolBar(Panel_Back);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setIconSize(QSize(16, 16));
  buildToolBar();
  row->addWidget(ToolBar);
  row->addStretch(1);

  Panel_Right = new QWidget(Panel_Back);
  Panel_Right->setObjectName(QStringLiteral("Panel_Right"));
  auto* buttons = new QHBoxLayout(Panel_Right);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(1);
  auto* group = new QButtonGroup(Panel_Right);
  group->setExclusive(true);
  struct ViewButton {
    QToolButton** button;
    const char* caption;
    const char* hint;
    Handler handler;
  };
  const ViewButton views[] = {
      {&SpeedButton_LST, "交叉文件", "显示交叉文件", &TForm_Main::MainMenu_LSTClick},
      {&SpeedButton_MAP, "映象文件", "显示映象文件", &TForm_Main::MainMenu_MAPClick},
      {&SpeedButton_ASM, "汇编程序", "显示汇编程序", &TForm_Main::MainMenu_ASMClick},
  };
  for (const ViewButton& v : views) {
    auto* b = new QToolButton(Panel_Right);
    b->setText(QString::fromUtf8(v.caption));
    b->setToolTip(QString::fromUtf8(v.hint));
    b->setCheckable(true);
    b->setAutoRaise(true);
    group->addButton(b);
    buttons->addWidget(b);
    Handler handler = v.handler;
    connect(b, &QToolButton::clicked, this, [this, handler] { runHandler(handler); });
    *v.button = b;
  }
  SpeedButton_ASM->setChecked(true);
  Image_About = new QLabel(Panel_Right);
  Image_About->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(20, 20));
  Image_About->setToolTip(QStringLiteral("关于"));
  Image_About->installEventFilter(this);
  buttons->addWidget(Image_About);
  row->addWidget(Panel_Right);
}

void TForm_Main::buildLeftPages() {
  PageControl_Left = new QTabWidget;
  PageControl_Left->setObjectName(QStringLiteral("PageControl_Left"));
  PageControl_Left->setMinimumWidth(1);

  auto* debugPage = new QWidget;
  auto* debugColumn = new QVBoxLayout(debugPage);
  debugColumn->addWidget(new QLabel(QStringLiteral("寄存器信息：")));
  StringGrid_Reg = new QTableWidget(0, 2);
  StringGrid_Reg->horizontalHeader()->hide();
  StringGrid_Reg->verticalHeader()->hide();
  debugColumn->addWidget(StringGrid_Reg, 1);
  debugColumn->addWidget(new QLabel(QStringLiteral("下一条指令：")));
  Edit_Next = new QLineEdit;
  Edit_Next->setReadOnly(true);
  debugColumn->addWidget(Edit_Next);
  Label_Note = new QLabel;
  debugColumn->addWidget(Label_Note);
  PageControl_Left->addTab(debugPage, QStringLiteral("调试"));

  auto* watchPage = new QWidget;
  auto* watchColumn = new QVBoxLayout(watchPage);
  watchColumn->addWidget(new QLabel(QStringLiteral("内存信息：")));
  StringGrid_Mem = new QTableWidget(1, 3);
  StringGrid_Mem->verticalHeader()->hide();
  watchColumn->addWidget(StringGrid_Mem, 1);
  auto* fields = new QGridLayout;
  ComboBox_Seg = new QComboBox;
  ComboBox_Seg->addItem(QStringLiteral("DS"));
  Edit_Addr = new QLineEdit;
  ComboBox_Addr = new QComboBox;
  ComboBox_Addr->setEditable(true);
  Edit_Size = new QLineEdit;
  const std::pair<const char*, QWidget*> rows[] = {
      {"段名：", ComboBox_Seg}, {"地址：", Edit_Addr}, {"标签：", ComboBox_Addr}, {"长度：", Edit_Size}};
  int r = 0;
  for (const auto& [caption, field] : rows) {
    fields->addWidget(new QLabel(QString::fromUtf8(caption)), r, 0);
    fields->addWidget(field, r++, 1);
  }
  watchColumn->addLayout(fields);
  auto* watchButtons = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("添　加"));
  auto* del = new QPushButton(QStringLiteral("删　除"));
  add->setObjectName(QStringLiteral("Button_Add"));
  del->setObjectName(QStringLiteral("Button_Del"));
  add->setEnabled(false);  // the memory watch comes with the integrated debugger
  del->setEnabled(false);
  watchButtons->addWidget(add);
  watchButtons->addWidget(del);
  watchColumn->addLayout(watchButtons);
  MemoWatch = new QPlainTextEdit;
  MemoWatch->setReadOnly(true);
  MemoWatch->hide();
  watchColumn->addWidget(MemoWatch);
  PageControl_Left->addTab(watchPage, QStringLiteral("查看"));
}

void TForm_Main::buildBottomPages() {
  PageControlBottom = new QTabWidget;
  PageControlBottom->setObjectName(QStringLiteral("PageControlBottom"));
  PageControlBottom->setTabPosition(QTabWidget::South);
  ListBox_Error = new QListWidget;
  ListBox_Error->setToolTip(QStringLiteral("单击跳转到错误行"));
  PageControlBottom->addTab(ListBox_Error, QStringLiteral("编译输出"));

  auto* debugCmd = new QWidget;
  auto* row = new QHBoxLayout(debugCmd);
  row->setContentsMargins(2, 2, 2, 2);
  row->addWidget(new QLabel(QStringLiteral("输　入：")), 0, Qt::AlignTop);
  MemoDebugInput = new QPlainTextEdit;
  MemoDebugOutput = new QPlainTextEdit;
  MemoDebugOutput->setReadOnly(true);
  row->addWidget(MemoDebugInput, 1);
  row->addWidget(MemoDebugOutput, 3);
  PageControlBottom->addTab(debugCmd, QStringLiteral("调试窗口"));
}

void TForm_Main::buildStatusBar() {
  for (const StatusPanelSpec& desc : kStatusPanels) {
    auto* panel = new QLabel(statusBar());
    panel->setFixedWidth(desc.width);
    panel->setAlignment(desc.alignment);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    statusBar()->addWidget(panel);
    m_statusPanels << panel;
    m_statusTexts << QString();
    setStatusText(m_statusPanels.size() - 1, QString::fromUtf8(desc.initial));
  }
}

QString TForm_Main::statusText(int panel) const { return m_statusTexts.value(panel); }

void TForm_Main::setStatusText(int panel, const QString& text) {
  if (panel < 0 || panel >= m_statusPanels.size()) return;
  m_statusTexts[panel] = text;
  m_statusPanels[panel]->setText(displayedStatus(text));
}

void TForm_Main::createRecentItems() {
  QAction* separator = action(QStringLiteral("MainMenu_RecentItemsSep"));
  for (int i = 0; i < 10; ++i) {
    auto* item = new QAction(MainMenu_Recent);
    item->setVisible(false);
    item->setData(i);
    MainMenu_Recent->insertAction(separator, item);
    connect(item, &QAction::triggered, this, [this, i] { MainMenu_RecentReadClick(i); });
    RecentItems << item;
  }
}

void TForm_Main::checkTools() {
  QString detail = toolCheckText(m_set.ProgramDir(), m_set.BinDir);
  if (!detail.isEmpty()) m_prompter.inform(toolCheckMessage(detail));
}

void TForm_Main::ApplySettings() {
  // The normal place first, then the state, so leaving the maximised state restores that place.
  if (!m_set.Maximized) setWindowState(windowState() & ~Qt::WindowMaximized);
  if (!isMaximized()) {
    resize(m_set.WindowWidth, m_set.WindowHeight);
    move(m_set.WindowLeft, m_set.WindowTop);
  }
  if (m_set.Maximized) setWindowState(windowState() | Qt::WindowMaximized);

  QFont font(m_set.EditorFont.Name, std::max(1, m_set.EditorFont.Size));
  QColor fontColor = colorFromStored(m_set.EditorFont.Color);
  QColor back = colorFromStored(m_set.BackColor);
  if (Editor) {
    Editor->SetEditorFont(font, fontColor);
    Editor->SetBackColor(back);
  }
  const QList<QWidget*> fontTakers = {ListBox_Error, MemoDebugInput, StringGrid_Reg, StringGrid_Mem,
                                      ComboBox_Seg,  ComboBox_Addr,  Edit_Addr,      Edit_Size};
  for (QWidget* w : fontTakers) w->setFont(font);
  const QList<QWidget*> backTakers = {MemoWatch,      MemoDebugOutput, MemoDebugInput, ListBox_Error, TreeView,
                                      StringGrid_Reg, StringGrid_Mem,  ComboBox_Seg,   ComboBox_Addr, Edit_Next,
                                      Edit_Addr,      Edit_Size};
  for (QWidget* w : backTakers) {
    if (!w) continue;
    QPalette p = w->palette();
    p.setColor(QPalette::Base, back);
    w->setPalette(p);
  }

  m_paneSizesPending = true;
  applyPaneSizes();
  setLeftPaneShown(m_set.ShowNavigator && m_view == 0);
  setBottomPaneShown(m_set.ShowErrorBar);
  if (Editor) m_set.ColorDisplay ? Editor->ColorOn() : Editor->ColorOff();
  action(QStringLiteral("MainMenu_ColorShow"))->setChecked(m_set.ColorDisplay);
  action(QStringLiteral("MainMenu_FormatText"))->setChecked(m_set.AutoFormat);
  action(QStringLiteral("MainMenu_Navi"))->setChecked(m_set.ShowNavigator);
  action(QStringLiteral("MainMenu_ErrorList"))->setChecked(m_set.ShowErrorBar);
}

void TForm_Main::applyPaneSizes() {
  // Splitters share out their own size; until the window has one, the wish waits for showEvent.
  int across = Splitter1->width();
  int down = Splitter->height();
  if (!isVisible() || across <= 0 || down <= 0) return;
  int nav = std::clamp(m_set.NavigatorWidth, 1, std::max(1, across - 1));
  int bar = std::clamp(m_set.ErrorBarHeight, 1, std::max(1, down - 1));
  Splitter1->setSizes({nav, std::max(1, across - nav - kSplitterWidth)});
  Splitter->setSizes({std::max(1, down - bar - kSplitterWidth), bar});
  m_paneSizesPending = false;
}

void TForm_Main::setLeftPaneShown(bool shown) { PageControl_Left->setVisible(shown); }
void TForm_Main::setBottomPaneShown(bool shown) { PageControlBottom->setVisible(shown); }

void TForm_Main::EditorChange() {
  if (TreeView) TreeView->NavigationStale = true;
}

void TForm_Main::EditorSelectionChange() {
  int column = 0, line = 0;
  Editor->GetCaretPos0(&column, &line);
  setStatusText(0, caretPanelText(column, line));
  if (line != Editor->FFormatLine && Editor->GetSelLength() == 0) Editor->FormatLeftLine(line);
}

void TForm_Main::EditorKeyUp(int key) {
  if (key != kInsertKey) return;
  setStatusText(1, Editor->InsertMode() ? QStringLiteral("插入状态") : QStringLiteral("改写状态"));
}

void TForm_Main::setDebugNotifyHandler(int wParam, int lParam, std::function<void()> handler) {
  m_debugNotify[{wParam, lParam}] = std::move(handler);
}

bool TForm_Main::event(QEvent* e) {
  if (e->type() == DebugNotifyEvent::eventType()) {
    auto* notify = static_cast<DebugNotifyEvent*>(e);
    if (notify->session() != 0 && notify->session() != m_context.debugger().SessionId()) return true;
    auto it = m_debugNotify.find({notify->wParam(), notify->lParam()});
    if (it != m_debugNotify.end() && it->second) it->second();
    return true;
  }
  return QMainWindow::event(e);
}

bool TForm_Main::eventFilter(QObject* watched, QEvent* e) {
  if (watched == MemoDebugInput && e->type() == QEvent::KeyPress &&
      MemoDebugInputKeyPress(static_cast<QKeyEvent*>(e)->text())) {
    return true;
  }
  if (watched == Image_About && e->type() == QEvent::MouseButtonRelease) {
    if (QAction* about = action(QStringLiteral("MainMenu_About")); about && about->isEnabled()) about->trigger();
    return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

void TForm_Main::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (m_paneSizesPending) QTimer::singleShot(0, this, [this] { applyPaneSizes(); });
  if (!m_shownOnce) {
    m_shownOnce = true;
    FormShow();
  }
}

void TForm_Main::FormShow() {
  QString serial = QString::fromStdString(platform::machineSerialText());
  if (serial == m_set.FirstRunMarker) return;
  // The marker moves on only when the welcome window could be shown for this machine.
  if (showWelcome) {
    showWelcome();
    m_set.FirstRunMarker = serial;
  }
}

void TForm_Main::closeEvent(QCloseEvent* e) {
  ShowView(0);
  if (CheckSaved()) {
    e->accept();
  } else {
    e->ignore();
  }
}

void TForm_Main::FormDestroy() {
  // The session outlives no window: its reader thread would post to a window that is gone.
  TDebugger& dbg = m_context.debugger();
  dbg.StopDebug();
  // The context outlives the window: nothing it keeps may call back into the window. (The log goes to
  // the context's own settings store and stays.)
  dbg.SetMainForm({});
  dbg.SetRunnerFactory({});
  if (Editor && Editor->FHasFile) deleteByProducts(m_set.SourceFile, m_set.SourceFile);
  WindowPlacement placement{windowState(), QRect(pos(), size()), PageControlBottom->height(),
                            PageControl_Left->width()};
  // A window that was never shown has no sizes of its own to keep.
  if (!m_shownOnce) placement.state = Qt::WindowMinimized;
  delete Editor;
  Editor = nullptr;
  storeWindowPlacement(m_set, placement);
}

void TForm_Main::runHandler(void (TForm_Main::*handler)()) {
  if (handler) (this->*handler)();
}

void TForm_Main::setCaption(const QString& documentName) {
  // The star tells a student that the text differs from the file.
  setWindowTitle(QStringLiteral("Korvash - ") + documentName + (Editor && Editor->Modified() ? QStringLiteral("*") : QString()));
}

void TForm_Main::MainMenu_ExitClick() { close(); }

void TForm_Main::MainMenu_ColorShowClick() {
  m_set.ColorDisplay = !m_set.ColorDisplay;
  action(QStringLiteral("MainMenu_ColorShow"))->setChecked(m_set.ColorDisplay);
  ApplySettings();
}

void TForm_Main::MainMenu_FormatTextClick() {
  m_set.AutoFormat = !m_set.AutoFormat;
  action(QStringLiteral("MainMenu_FormatText"))->setChecked(m_set.AutoFormat);
}

void TForm_Main::MainMenu_NaviClick() {
  bool checked = action(QStringLiteral("MainMenu_Navi"))->isChecked();
  setLeftPaneShown(checked);
  m_set.ShowNavigator = checked;
}

void TForm_Main::MainMenu_ErrorListClick() {
  bool checked = action(QStringLiteral("MainMenu_ErrorList"))->isChecked();
  setBottomPaneShown(checked);
  m_set.ShowErrorBar = checked;
}

}  // namespace krvs::ide
