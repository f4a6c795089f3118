#include "app/main_menus.h"

#include <QApplication>
#include <QStyle>
#include <iterator>

namespace krvs::ide {

namespace {

using F = TForm_Main;

const MenuEntry kFileItems[] = {
    {"新建(&N)", "Ctrl+N", "MainMenu_New", &F::MainMenu_NewClick},
    {"打开(&O)", "Ctrl+O", "MainMenu_Open", &F::MainMenu_OpenClick},
    {"保存(&S)", "Ctrl+S", "MainMenu_Save", &F::MainMenu_SaveClick},
    {"另存为(&A)...", "", "MainMenu_SaveAs", &F::MainMenu_SaveAsClick},
    {"-", "", "MainMenu_RecentSep", nullptr, kHidden},
    {"最近的文件(&R)", "", "MainMenu_Recent", nullptr, kHidden},  // submenu, built apart
    {"-", "", "", nullptr},
    {"退出(&X)", "", "MainMenu_Exit", &F::MainMenu_ExitClick},
};

const MenuEntry kEditItems[] = {
    {"全选(A)", "Ctrl+A", "MainMenu_SelectAll", &F::MainMenu_SelectAllClick},
    {"-", "", "", nullptr},
    {"复制(&C)", "Ctrl+C", "MainMenu_Copy", &F::MainMenu_CopyClick},
    {"剪切(&X)", "Ctrl+X", "MainMenu_Cut", &F::MainMenu_CutClick},
    {"粘贴(&P)", "Ctrl+P", "MainMenu_Paster", &F::MainMenu_PasterClick},
    {"删除(&D)", "Del", "MainMenu_Del", &F::MainMenu_DelClick},
    {"-", "", "", nullptr},
    {"撤消(&Z)", "Ctrl+Z", "MainMenu_Undo", &F::MainMenu_UndoClick},
    {"重复(&Y)", "Ctrl+Y", "MainMenu_Redo", &F::MainMenu_RedoClick},
};

const MenuEntry kFindItems[] = {
    {"查找(&F)...", "Ctrl+F", "MainMenu_Find", &F::MainMenu_FindClick},
    {"替换(&R)", "Ctrl+R", "MainMenu_Replace", &F::MainMenu_ReplaceClick},
    {"-", "", "", nullptr},
    {"查找下一个", "F3", "MainMenu_FindNext", &F::FindDialogFind},
    {"-", "", "", nullptr},
    {"行定位", "Ctrl+G", "MainMenu_GotoLine", &F::MainMenu_GotoLineClick},
};

const MenuEntry kRunItems[] = {
    {"整理格式", "F4", "MainMenu_Format", &F::MainMenu_FormatClick},
    {"刷新彩显", "F2", "MainMenu_Color", nullptr},
    {"-", "", "", nullptr},
    {"编译", "Ctrl+F9", "MainMenu_Compile", &F::MainMenu_CompileClick},
    {"生成", "F7", "MainMenu_Make", &F::MainMenu_MakeClick},
    {"运行...", "Ctrl+F5", "MainMenu_RunPro", &F::MainMenu_RunProClick},
};

const MenuEntry kDebugItems[] = {
    {"TD调试...", "Ctrl+D", "MainMenu_TD", &F::TSpinEdit},
    {"-", "", "", nullptr},
    {"集成调试", "F5", "MainMenu_DebugAss", &F::MainMenu_DebugAssClick},
    {"单步", "F10", "MainMenu_Trace", &F::MainMenu_TraceClick},
    {"设置/取消断点", "F9", "MainMenu_Break", &F::MainMenu_BreakClick},
    {"终止调试", "", "MainMenu_Abort", &F::MainMenu_AbortClick},
    {"暂停", "", "MainMenu_Pause", &F::MainMenu_PauseClick},
};

const MenuEntry kSettingsItems[] = {
    {"环境设置(&S)...", "", "MainMenu_EnvSet", &F::MainMenu_EnvSetClick},
    {"-", "", "", nullptr},
    {"彩色显示", "", "MainMenu_ColorShow", &F::MainMenu_ColorShowClick, kCheckable | kChecked},
    {"整理格式", "", "MainMenu_FormatText", &F::MainMenu_FormatTextClick, kCheckable | kChecked},
};

const MenuEntry kWindowItems[] = {
    {"汇编程序", "", "MainMenu_ASM", &F::MainMenu_ASMClick, kRadio | kChecked},
    {"映象文件", "", "MainMenu_MAP", &F::MainMenu_MAPClick, kRadio},
    {"交叉文件", "", "MainMenu_LST", &F::MainMenu_LSTClick, kRadio},
    {"-", "", "MainMenu_WindowSep", nullptr, kHidden},
    {"导航框", "", "MainMenu_Navi", &F::MainMenu_NaviClick, kCheckable | kChecked},
    {"错误窗口", "", "MainMenu_ErrorList", &F::MainMenu_ErrorListClick, kCheckable | kChecked},
};

const MenuEntry kHelpItems[] = {
    {"帮助主题(&H)...", "F1", "MainMenu_HelpContext", &F::MainMenu_HelpContextClick},
    {"示例程序", "", "MainMenu_Examples", &F::MainMenu_ExamplesClick, kSubmenu},
    {"-", "", "", nullptr},
    {"扩展服务", "", "MainMenu_ExtAss", &F::MainMenu_ExtAssClick},
    {"-", "", "", nullptr},
    {"最近更新", "", "MainItem_NewVersion", &F::MainItem_NewVersionClick},
    {"作者博客", "", "MainItem_Blog", &F::MainItem_BlogClick},
    {"关于(&A)...", "", "MainMenu_About", &F::MainMenu_AboutClick},
};

template <std::size_t N>
constexpr int count(const MenuEntry (&)[N]) {
  return static_cast<int>(N);
}

}  // namespace

const MenuSpec kMainMenus[] = {
    {"文件(&F)", "MainMenu_File", kFileItems, count(kFileItems), &F::MainMenu_FileClick},
    {"编辑(&E)", "MainMenu_Edit", kEditItems, count(kEditItems), &F::MainMenu_EditClick},
    {"查找(&F)", "MainMenu_Search", kFindItems, count(kFindItems), nullptr},
    {"运行(&R)", "MainMenu_Run", kRunItems, count(kRunItems), nullptr},
    {"调试(&R)", "MainMenu_DebugManger", kDebugItems, count(kDebugItems), &F::MainMenu_DebugMangerClick},
    {"设置(&S)", "MainMenu_Settings", kSettingsItems, count(kSettingsItems), nullptr},
    {"窗口(&W)", "MainMenu_Window", kWindowItems, count(kWindowItems), nullptr},
    {"帮助(&H)", "MainMenu_Help", kHelpItems, count(kHelpItems), nullptr},
};
const int kMainMenuCount = static_cast<int>(std::size(kMainMenus));

// The shortcut texts are part of the captions; the items bind no keys.
const MenuEntry kPopupItems[] = {
    {"全选            Ctrl+A", "", "Popup_SelectAll", &F::MainMenu_SelectAllClick},
    {"复制            Ctrl+C", "", "Popup_Copy", &F::MainMenu_CopyClick},
    {"剪切            Ctrl+X", "", "Popup_Cut", &F::MainMenu_CutClick},
    {"粘贴            Ctrl+P", "", "Popup_Paster", &F::MainMenu_PasterClick},
    {"删除            Del", "", "Popup_Del", &F::MainMenu_DelClick},
    {"撤消            Ctrl+Z", "", "Popup_Undo", &F::MainMenu_UndoClick},
    {"-", "", "", nullptr},
    {"查找            Ctrl+F", "", "Popup_Find", &F::MainMenu_FindClick},
    {"替换            Ctrl+R", "", "Popup_Replace", &F::MainMenu_ReplaceClick},
    {"-", "", "", nullptr},
    {"运行            F5", "", "Popup_RunPro", &F::MainMenu_RunProClick},
    {"调试            Ctrl+D", "", "Popup_TD", &F::TSpinEdit},
    {"整理格式    F4", "", "Popup_Format", &F::MainMenu_FormatClick},
    {"刷新彩显    F2", "", "Popup_Color", nullptr},
};
const int kPopupItemCount = static_cast<int>(std::size(kPopupItems));

const ToolButtonSpec kToolButtons[] = {
    {"新建", 0, "Tool_New", &F::MainMenu_NewClick},
    {"打开", 1, "Tool_Open", &F::MainMenu_OpenClick},
    {"保存", 2, "Tool_Save", &F::MainMenu_SaveClick},
    {nullptr, 0, "", nullptr},
    {"查找", 3, "Tool_Find", &F::MainMenu_FindClick},
    {nullptr, 0, "", nullptr},
    {"整理格式", 5, "Tool_Format", &F::MainMenu_FormatClick},
    {"编译", 6, "Tool_Compile", &F::MainMenu_CompileClick},
    {"生成", 10, "Tool_Make", &F::MainMenu_MakeClick},
    {"运行", 4, "Tool_RunPro", &F::MainMenu_RunProClick},
    {"调试", 7, "Tool_DebugAss", &F::MainMenu_DebugAssClick},
    {nullptr, 0, "", nullptr},
    {"设置", 8, "Tool_EnvSet", &F::MainMenu_EnvSetClick},
    {nullptr, 0, "", nullptr},
    {"扩展服务", 18, "Tool_ExtAss", &F::MainMenu_ExtAssClick},
    {"帮助", 9, "Tool_HelpContext", &F::MainMenu_HelpContextClick},
};
const int kToolButtonCount = static_cast<int>(std::size(kToolButtons));

QIcon mainImage(int index) {
  // The main image list by index; the style's standard pictures stand in for drawn ones.
  static const std::pair<int, QStyle::StandardPixmap> kImages[] = {
      {0, QStyle::SP_FileIcon},
      {1, QStyle::SP_DialogOpenButton},
      {2, QStyle::SP_DialogSaveButton},
      {3, QStyle::SP_FileDialogContentsView},
      {4, QStyle::SP_MediaPlay},
      {5, QStyle::SP_FileDialogDetailedView},
      {6, QStyle::SP_ArrowDown},
      {7, QStyle::SP_MediaSeekForward},
      {8, QStyle::SP_FileDialogListView},
      {9, QStyle::SP_DialogHelpButton},
      {10, QStyle::SP_BrowserReload},
      {18, QStyle::SP_ComputerIcon},
  };
  for (const auto& [i, pixmap] : kImages) {
    if (i == index) return QApplication::style()->standardIcon(pixmap);
  }
  return {};
}

}  // namespace krvs::ide
