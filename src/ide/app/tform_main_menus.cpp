#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "app/main_menus.h"
#include "app/tform_main.h"
#include "prompt/prompter.h"
#include "settings/tset.h"

namespace krvs::ide {

namespace {

QAction* makeItem(QObject* parent, const MenuEntry& e) {
  const bool separator = QString::fromUtf8(e.caption) == "-";
  // A separator keeps no text: some styles draw a separator's text as a section title.
  auto* a = new QAction(separator ? QString() : QString::fromUtf8(e.caption), parent);
  a->setSeparator(separator);
  if (*e.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
  a->setObjectName(QString::fromLatin1(e.name));
  a->setCheckable((e.flags & (kCheckable | kRadio)) != 0);
  a->setChecked((e.flags & kChecked) != 0);
  a->setVisible((e.flags & kHidden) == 0);
  if (!a->isSeparator()) a->setEnabled(e.handler != nullptr);
  return a;
}

}  // namespace

void TForm_Main::buildMenus() {
  for (int i = 0; i < kMainMenuCount; ++i) menuBar()->addMenu(buildMenu(kMainMenus[i]));
  buildPopupMenu();
  PopupMenu_TreeView = new QMenu(this);
}

QMenu* TForm_Main::buildMenu(const MenuSpec& desc) {
  auto* menu = new QMenu(QString::fromUtf8(desc.caption), this);
  menu->setObjectName(QString::fromLatin1(desc.name));
  m_actions.insert(menu->objectName(), menu->menuAction());
  QActionGroup* views = nullptr;
  for (int i = 0; i < desc.count; ++i) {
    const MenuEntry& e = desc.items[i];
    if (QString::fromLatin1(e.name) == "MainMenu_Recent") {
      MainMenu_Recent = new QMenu(QString::fromUtf8(e.caption), menu);
      MainMenu_Recent->setObjectName(QStringLiteral("MainMenu_Recent"));
      MainMenu_Recent->menuAction()->setVisible(false);
      QAction* separator = MainMenu_Recent->addSeparator();
      separator->setObjectName(QStringLiteral("MainMenu_RecentItemsSep"));
      m_actions.insert(separator->objectName(), separator);
      QAction* clear = MainMenu_Recent->addAction(QStringLiteral("清除最近使用的文件记录"));
      clear->setObjectName(QStringLiteral("MainMenu_ClearRecent"));
      connect(clear, &QAction::triggered, this, [this] { MainMenu_ClearRecentClick(); });
      m_actions.insert(clear->objectName(), clear);
      menu->addMenu(MainMenu_Recent);
      m_actions.insert(MainMenu_Recent->objectName(), MainMenu_Recent->menuAction());
      connect(MainMenu_Recent, &QMenu::aboutToShow, this, [this] { MainMenu_RecentClick(); });
      continue;
    }
    if (e.flags & kSubmenu) {
      buildSubmenu(menu, e);
      continue;
    }
    QAction* a = makeItem(menu, e);
    if (e.flags & kRadio) {
      if (!views) views = new QActionGroup(menu);
      views->addAction(a);
    }
    menu->addAction(a);
    if (!a->objectName().isEmpty()) m_actions.insert(a->objectName(), a);
    Handler handler = e.handler;
    if (handler) connect(a, &QAction::triggered, this, [this, handler] { runHandler(handler); });
  }
  if (Handler onOpen = desc.onOpen) connect(menu, &QMenu::aboutToShow, this, [this, onOpen] { runHandler(onOpen); });
  return menu;
}

QMenu* TForm_Main::buildSubmenu(QMenu* parent, const MenuEntry& e) {
  auto* submenu = new QMenu(QString::fromUtf8(e.caption), parent);
  submenu->setObjectName(QString::fromLatin1(e.name));
  submenu->menuAction()->setObjectName(submenu->objectName());
  parent->addMenu(submenu);
  m_actions.insert(submenu->objectName(), submenu->menuAction());
  Handler handler = e.handler;
  connect(submenu, &QMenu::aboutToShow, this, [this, handler] { runHandler(handler); });
  return submenu;
}

void TForm_Main::buildToolBar() {
  for (int i = 0; i < kToolButtonCount; ++i) {
    const ToolButtonSpec& b = kToolButtons[i];
    if (!b.hint) {
      ToolBar->addSeparator();
      continue;
    }
    QAction* a = ToolBar->addAction(mainImage(b.image), QString::fromUtf8(b.hint));
    a->setToolTip(QString::fromUtf8(b.hint));
    a->setObjectName(QString::fromLatin1(b.name));
    a->setEnabled(b.handler != nullptr);
    m_actions.insert(a->objectName(), a);
    Handler handler = b.handler;
    if (handler) connect(a, &QAction::triggered, this, [this, handler] { runHandler(handler); });
  }
}

void TForm_Main::buildPopupMenu() {
  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  for (int i = 0; i < kPopupItemCount; ++i) {
    const MenuEntry& e = kPopupItems[i];
    QAction* a = makeItem(PopupMenu, e);
    PopupMenu->addAction(a);
    if (!a->objectName().isEmpty()) m_actions.insert(a->objectName(), a);
    Handler handler = e.handler;
    if (handler) connect(a, &QAction::triggered, this, [this, handler] { runHandler(handler); });
  }
}

void TForm_Main::MainMenu_FileClick() { MainMenu_Recent->menuAction()->setVisible(m_set.RecentCount() > 0); }

void TForm_Main::MainMenu_RecentClick() {
  int n = m_set.RecentCount();
  for (int i = 0; i < RecentItems.size(); ++i) {
    QAction* item = RecentItems[i];
    bool shown = i < n;
    item->setVisible(shown);
    item->setEnabled(shown);
    if (shown) item->setText(QStringLiteral("%1. %2").arg(i).arg(m_set.RecentFiles.value(i)));
    QFont f = item->font();
    f.setBold(i == 0 && shown && m_set.SourceFile == m_set.RecentFiles.value(0));
    item->setFont(f);
  }
}

}  // namespace krvs::ide

namespace krvs::ide {

void TForm_Main::MainMenu_RecentReadClick(int index) {
  QString path = m_set.RecentFiles.value(index);
  if (!path.isEmpty() && QFileInfo(path).isFile()) {
    if (CheckSaved()) OpenDocument(path);
    return;
  }
  m_set.DeleteRecent(index);
  m_prompter.inform(QStringLiteral("该文件不存在，无法打开。"));
}

void TForm_Main::MainMenu_ClearRecentClick() { m_set.ClearRecent(); }

}  // namespace krvs::ide
