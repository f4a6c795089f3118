#pragma once
// The navigation tree: five fixed roots (macros, segments, labels, variables, procedures) whose
// children are the names the formatter collected. Rebuilt lazily when the mouse passes over it while
// stale; a click on a name jumps to its definition.

#include <QIcon>
#include <QList>
#include <QTreeWidget>

namespace krvs::asmtext {
class TDB;
}

namespace krvs::ide {

class TIDE;

struct NavigationRoot {
  const char* caption;
  int nameList;  // asmtext::NameList
  int lookupKind;
  int childImage;
};

inline constexpr int kNavigationRootCount = 5;
inline constexpr int kNavigationRootImage = 11;
extern const NavigationRoot kNavigationRoots[kNavigationRootCount];

// Images 11 (the roots) and 12 to 17 (their names) of the main image list; the others are empty.
QList<QIcon> navigationImages();

class NavigationTree : public QTreeWidget {
  Q_OBJECT
 public:
  NavigationTree(TIDE& editor, const asmtext::TDB& db, QWidget* parent = nullptr);

  // The main window's flag: the tree must be rebuilt at the next mouse movement over it.
  bool NavigationStale = true;
  // Pictures by index of the main image list; missing ones leave nodes without a picture.
  void setImages(const QList<QIcon>& images);

  QTreeWidgetItem* root(int position) const { return topLevelItem(position); }
  void rebuild();
  // Collapses every node and removes the children of the five roots (a new document).
  void clearNames();
  void TreeViewClick(QTreeWidgetItem* item);

 signals:
  // Focus came to the tree: the error list drops its selected item.
  void TreeViewEnter();

 protected:
  void mouseMoveEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;

 private:
  void setImage(QTreeWidgetItem* item, int index);

  TIDE& m_editor;
  const asmtext::TDB& m_db;
  QList<QIcon> m_images;
};

// Puts the caret one character into the definition of name and marks its line white on red with the
// highlight lock; ends any lock when there is no definition. Returns whether one was found.
bool jumpToDefinition(TIDE& editor, const QString& name, int kind);

}  // namespace krvs::ide
