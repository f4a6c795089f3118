#pragma once
// TForm_Main: the main window. It lays out the panes, menus, tool bar and status bar, applies the
// settings store to them, checks the tool directory at start, and writes the geometry back when it
// is destroyed. Menu items whose behaviour is not built yet stay disabled (see main_menus.cpp).
#include <QAction>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "debugger/watch_list.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;

namespace krvs::ide {

class IdeContext;
class NavigationTree;
class Prompter;
class SearchController;
struct EditInputs;
class TForm_About;
class TForm_Set;
class TFormReminder;
class TIDE;
class TRun;
class TSet;
struct MenuEntry;
struct MenuSpec;

class TForm_Main : public QMainWindow {
  Q_OBJECT
 public:
  // `context` holds the settings, keyword database, formatter, debugger and Prompter the window
  // works with and outlives it. `arguments` are the command-line arguments after the program name;
  // `programFile` is the program's own full path. Runs FormCreate.
  TForm_Main(IdeContext& context, const QString& programFile, const QStringList& arguments,
             QWidget* parent = nullptr);
  // Runs FormDestroy: deletes the document's by-products and stores the geometry in the store.
  ~TForm_Main() override;

  void ApplySettings();
  void EditorChange();
  void EditorSelectionChange();
  void EditorKeyUp(int key);

  // Document operations used at start and at close.
  bool CheckSaved();
  bool CheckDebugging();
  bool SaveDocument();
  bool WriteDocument(const QString& path);
  bool OpenDocument(const QString& path);
  void NewDocument(const QString& name);
  void ShowView(int kind);

  // Handlers bound by the menu and tool bar tables.
  void MainMenu_ExitClick();
  void MainMenu_HelpContextClick();
  // The Help menu's example programs (help_menu.cpp): the submenu lists them as it opens; choosing
  // one opens a copy of it in the documents folder.
  void MainMenu_ExamplesClick();
  void MainMenu_ExampleOpenClick(const QString& example);
  void MainItem_NewVersionClick();
  void MainItem_BlogClick();
  void MainMenu_ASMClick();
  void MainMenu_MAPClick();
  void MainMenu_LSTClick();
  void MainMenu_ColorShowClick();
  void MainMenu_FormatTextClick();
  void MainMenu_NaviClick();
  void MainMenu_ErrorListClick();
  void MainMenu_FileClick();
  void MainMenu_RecentClick();
  void MainMenu_RecentReadClick(int index);
  void MainMenu_ClearRecentClick();
  void MainMenu_NewClick();
  void MainMenu_OpenClick();
  void MainMenu_SaveClick();
  void MainMenu_SaveAsClick();
  void MainMenu_EditClick();
  void PopupMenuPopup();
  void MainMenu_SelectAllClick();
  void MainMenu_CopyClick();
  void MainMenu_CutClick();
  void MainMenu_PasterClick();
  void MainMenu_DelClick();
  void MainMenu_UndoClick();
  void MainMenu_RedoClick();
  void MainMenu_FormatClick();
  void MainMenu_FindClick();
  void MainMenu_ReplaceClick();
  void FindDialogFind();
  void MainMenu_GotoLineClick();
  void MainMenu_BreakClick();
  // Build and run (tform_main_build.cpp).
  void MainMenu_CompileClick();
  void MainMenu_MakeClick();
  void MainMenu_RunProClick();
  void TSpinEdit();
  void LoadErrorList();
  void ListBox_ErrorClick();
  TRun* buildDriver() const { return m_run.get(); }

  // The file dialogs; tests replace them. An empty result means cancelled.
  std::function<QString(const QString& preset)> chooseOpenFile;
  std::function<QString(const QString& preset)> chooseSaveFile;
  SearchController* search() const { return m_search; }
  void MainMenu_EnvSetClick();
  void MainMenu_ExtAssClick();
  void MainMenu_AboutClick();

  // The integrated debugger (tform_main_debug.cpp).
  void MainMenu_DebugAssClick();
  void MainMenu_TraceClick();
  void MainMenu_PauseClick();
  void MainMenu_AbortClick();
  void MainMenu_DebugMangerClick();
  void RefreshDebugPanels();
  void Button_AddClick();
  void Button_DelClick();
  void ComboBox_AddrChange();
  // A key typed into the debug input box; true when it was taken (always, for a character key).
  bool MemoDebugInputKeyPress(const QString& text);
  void TimerTimer();
  void DelayForInput();
  void FillInCharWhileGo();
  QPushButton* Button_Add = nullptr;
  QPushButton* Button_Del = nullptr;
  QTableWidget* StringGrid_Stack = nullptr;
  TMonVariableArray MonVariables{TMonVariable{}};

  // What the debugger's notification pairs do; the debugger registers its handlers here.
  void setDebugNotifyHandler(int wParam, int lParam, std::function<void()> handler);
  // Shown by FormShow when the machine differs from the one the settings file last saw.
  std::function<void()> showWelcome;
  void showWelcomeWindow();

  // A menu, tool bar or pop-up action by its component name (e.g. "MainMenu_Make").
  QAction* action(const QString& name) const { return m_actions.value(name); }
  QString statusText(int panel) const;
  void setStatusText(int panel, const QString& text);

  // Components other parts of the IDE reach through the window.
  TIDE* Editor = nullptr;
  QList<QAction*> RecentItems;
  QWidget* Panel_Back = nullptr;
  QToolBar* ToolBar = nullptr;
  QWidget* Panel_Right = nullptr;
  QToolButton* SpeedButton_LST = nullptr;
  QToolButton* SpeedButton_MAP = nullptr;
  QToolButton* SpeedButton_ASM = nullptr;
  QLabel* Image_About = nullptr;
  QSplitter* Splitter = nullptr;   // between the upper part and the bottom pane
  QSplitter* Splitter1 = nullptr;  // between the left pane and the editor
  QTabWidget* PageControl_Left = nullptr;
  NavigationTree* TreeView = nullptr;
  QTableWidget* StringGrid_Reg = nullptr;
  QLineEdit* Edit_Next = nullptr;
  QLabel* Label_Note = nullptr;
  QTableWidget* StringGrid_Mem = nullptr;
  QComboBox* ComboBox_Seg = nullptr;
  QComboBox* ComboBox_Addr = nullptr;
  QLineEdit* Edit_Addr = nullptr;
  QLineEdit* Edit_Size = nullptr;
  QPlainTextEdit* MemoWatch = nullptr;
  QTabWidget* PageControlBottom = nullptr;
  QListWidget* ListBox_Error = nullptr;
  QPlainTextEdit* MemoDebugInput = nullptr;
  QPlainTextEdit* MemoDebugOutput = nullptr;
  QMenu* PopupMenu = nullptr;
  QMenu* PopupMenu_TreeView = nullptr;
  QMenu* MainMenu_Recent = nullptr;
  QTimer* Timer = nullptr;
  QTimer* TimerStatesBar = nullptr;
  QList<QPixmap> ImageList2;
  TForm_Set* Form_Set = nullptr;          // created when first opened
  TFormReminder* FormReminder = nullptr;  // created when first opened, hidden on close
  QPointer<TForm_About> Form_About;

  TSet& settings() const { return m_set; }
  int viewKind() const { return m_view; }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FormCreate(const QString& programFile, const QStringList& arguments);
  void FormShow();
  void FormDestroy();
  void buildPanes();
  void buildLeftPages();
  void buildBottomPages();
  void buildStatusBar();
  void buildTopStrip();
  void buildMenus();
  QMenu* buildMenu(const MenuSpec& desc);
  QMenu* buildSubmenu(QMenu* parent, const MenuEntry& e);
  void buildToolBar();
  void buildPopupMenu();
  void createRecentItems();
  // Hands the manual, at `anchor` when one is given, to the desktop.
  void openManual(const QString& anchor);
  void createEditor();
  void checkTools();
  void applyPaneSizes();
  void setLeftPaneShown(bool shown);
  void setBottomPaneShown(bool shown);
  void runHandler(void (TForm_Main::*handler)());
  void setupDebugger();
  void startDebugging(bool step);
  void refreshRegisterGrid();
  void refreshWatchValues();
  void refreshStackView();
  void redrawWatchGrid();
  void onInputTimer();
  enum class InputStage { Initial, None, DelayForInput, FillInCharWhileGo };
  InputStage m_inputStage = InputStage::Initial;
  void setCaption(const QString& documentName);
  void createSearch();
  void createBuildDriver();
  void freeMenuKeysFromEditor();
  bool markErrorLine(int line);
  void updateEncodingPanel();
  // The editor now holds `path`: caption, encoding panel and the settings' source file follow it.
  void adoptDocument(const QString& path);
  EditInputs editInputs() const;
  QString askOpenFile(const QString& preset);
  QString askSaveFile(const QString& preset);

  IdeContext& m_context;
  TSet& m_set;
  Prompter& m_prompter;
  std::unique_ptr<TRun> m_run;
  QHash<QString, QAction*> m_actions;
  QList<QLabel*> m_statusPanels;
  QStringList m_statusTexts;
  std::map<std::pair<int, int>, std::function<void()>> m_debugNotify;
  int m_view = 0;
  SearchController* m_search = nullptr;
  QLabel* m_encodingPanel = nullptr;
  bool m_shownOnce = false;
  bool m_paneSizesPending = true;
};

}  // namespace krvs::ide
