#include "editor/navigation_tree.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

#include "asmtext/TDB.h"
#include "asmtext/TextSearch.h"
#include "editor/tide.h"

namespace krvs::ide {

using asmtext::NameList;

const NavigationRoot kNavigationRoots[kNavigationRootCount] = {
    {"宏", int(NameList::Macros), 0, 12},     {"段", int(NameList::Segments), 1, 16},
    {"标号", int(NameList::Labels), 2, 17},   {"变量", int(NameList::Variables), 3, 13},
    {"子程序", int(NameList::Procs), 4, 14},
};

namespace {

// A closed folder for the five roots.
QIcon folderImage() {
  QPixmap pix(16, 16);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(150, 110, 20));
  p.setBrush(QColor(240, 200, 80));
  p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
  p.drawRect(QRectF(1.5, 2.5, 5, 2));
  return QIcon(pix);
}

// A coloured badge with the kind's letter for the names under a root.
QIcon badgeImage(QChar letter, const QColor& colour) {
  QPixmap pix(16, 16);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(colour.darker(140));
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
  QFont f(QStringLiteral("Sans"));
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(letter));
  return QIcon(pix);
}

}  // namespace

QList<QIcon> navigationImages() {
  QList<QIcon> images(18);
  images[kNavigationRootImage] = folderImage();
  images[12] = badgeImage(u'M', QColor(128, 64, 160));  // macros
  images[13] = badgeImage(u'V', QColor(40, 140, 60));   // variables
  images[14] = badgeImage(u'P', QColor(40, 90, 180));   // procedures
  images[16] = badgeImage(u'S', QColor(190, 110, 20));  // segments
  images[17] = badgeImage(u'L', QColor(200, 50, 50));   // labels
  return images;
}

NavigationTree::NavigationTree(TIDE& editor, const asmtext::TDB& db, QWidget* parent)
    : QTreeWidget(parent), m_editor(editor), m_db(db), m_images(navigationImages()) {
  setHeaderHidden(true);
  setColumnCount(1);
  setIndentation(19);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  QFont f(QStringLiteral("宋体"));
  f.setPixelSize(14);
  setFont(f);
  for (const NavigationRoot& r : kNavigationRoots) {
    auto* item = new QTreeWidgetItem(this, QStringList{QString::fromUtf8(r.caption)});
    setImage(item, kNavigationRootImage);
  }
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { TreeViewClick(item); });
}

void NavigationTree::setImages(const QList<QIcon>& images) {
  m_images = images;
  for (int i = 0; i < kNavigationRootCount; ++i) {
    setImage(root(i), kNavigationRootImage);
    for (int c = 0; c < root(i)->childCount(); ++c) setImage(root(i)->child(c), kNavigationRoots[i].childImage);
  }
}

void NavigationTree::setImage(QTreeWidgetItem* item, int index) {
  item->setData(0, Qt::UserRole, index);
  item->setIcon(0, index < m_images.size() ? m_images[index] : QIcon());
}

void NavigationTree::rebuild() {
  if (!NavigationStale) return;
  setUpdatesEnabled(false);
  bool expanded[kNavigationRootCount];
  for (int i = 0; i < kNavigationRootCount; ++i) expanded[i] = root(i)->isExpanded();
  collapseAll();
  for (int i = kNavigationRootCount - 1; i >= 0; --i) {
    QTreeWidgetItem* r = root(i);
    qDeleteAll(r->takeChildren());
    QList<QTreeWidgetItem*> children;
    for (const std::string& name : m_db.Names(NameList(kNavigationRoots[i].nameList))) {
      auto* child = new QTreeWidgetItem(QStringList{QString::fromStdString(name)});
      setImage(child, kNavigationRoots[i].childImage);
      children << child;
    }
    r->addChildren(children);
  }
  for (int i = 0; i < kNavigationRootCount; ++i) root(i)->setExpanded(expanded[i]);
  setUpdatesEnabled(true);
  NavigationStale = false;
}

void NavigationTree::clearNames() {
  collapseAll();
  for (int i = 0; i < kNavigationRootCount; ++i) qDeleteAll(root(i)->takeChildren());
}

void NavigationTree::mouseMoveEvent(QMouseEvent* e) {
  rebuild();
  QTreeWidget::mouseMoveEvent(e);
}

void NavigationTree::focusInEvent(QFocusEvent* e) {
  QTreeWidget::focusInEvent(e);
  emit TreeViewEnter();
}

void NavigationTree::TreeViewClick(QTreeWidgetItem* item) {
  if (!item || !item->parent()) return;
  const int position = indexOfTopLevelItem(item->parent());
  if (position < 0) return;
  jumpToDefinition(m_editor, item->text(0), kNavigationRoots[position].lookupKind);
}

bool jumpToDefinition(TIDE& editor, const QString& name, int kind) {
  const QByteArray text = editor.WholeTextBytes();
  const int pos = asmtext::FindDefinition(name.toStdString(), std::string_view(text.constData(), size_t(text.size())),
                                          kind);
  if (pos <= 0) {
    editor.EndLock();
    return false;
  }
  // The 1-based position used as a 0-based index puts the caret one character into the name.
  editor.SetSelStart(pos);
  int column = 0;
  int line = 0;
  editor.GetCaretPos0(&column, &line);
  editor.HighlightLine(line + 1, QColor(255, 0, 0), QColor(255, 255, 255));
  editor.CentreLine(line + 1);
  editor.BeginLock();
  return true;
}

}  // namespace krvs::ide
