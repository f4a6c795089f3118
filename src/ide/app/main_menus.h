#pragma once
// The menu bar, tool bar and editor pop-up menu of the main window, as tables.
#include "app/tform_main.h"

namespace krvs::ide {

using Handler = void (TForm_Main::*)();

enum MenuFlag : unsigned {
  kNone = 0,
  kCheckable = 1,   // the check mark toggles itself before the handler runs
  kChecked = 2,
  kRadio = 4,       // one of the exclusive view items
  kHidden = 8,      // never visible, or hidden until its menu shows it
  kSubmenu = 16,    // a submenu; the handler fills it each time it is about to show
};

// A handler of nullptr: the item's behaviour is built elsewhere and it stays disabled until then.
struct MenuEntry {
  const char* caption;  // "-" for a separator
  const char* shortcut;
  const char* name;     // component name, for lookups
  Handler handler;
  unsigned flags = kNone;
};

struct MenuSpec {
  const char* caption;
  const char* name;
  const MenuEntry* items;
  int count;
  Handler onOpen;
};

struct ToolButtonSpec {
  const char* hint;  // nullptr: separator
  int image;
  const char* name;
  Handler handler;
};

extern const MenuSpec kMainMenus[];
extern const int kMainMenuCount;
extern const MenuEntry kPopupItems[];
extern const int kPopupItemCount;
extern const ToolButtonSpec kToolButtons[];
extern const int kToolButtonCount;

// Picture `index` of the main image list.
QIcon mainImage(int index);

}  // namespace krvs::ide
