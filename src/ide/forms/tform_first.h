#pragma once
// TForm_First: the welcome window, a borderless always-on-top window that shows the rich-text
// welcome document WD.dat of the program home. The main window opens it at the first start on a
// machine; the settings dialog's banner opens it again.
#include <QWidget>

class QLabel;
class QTextBrowser;

namespace krvs::ide {

class TSet;

class TForm_First : public QWidget {
  Q_OBJECT
 public:
  explicit TForm_First(TSet& set, QWidget* parent = nullptr);

  // Destroys the welcome window opened before, if any, and shows a new one owned by `owner`.
  static TForm_First* showNew(TSet& set, QWidget* owner);
  // The welcome window opened last, nullptr once it is destroyed.
  static TForm_First* current();

  void Label_CloseClick();
  void Label_MaxClick();
  bool isMaximisedByGlyph() const { return m_maximised; }

  QLabel* Label_Close = nullptr;
  QLabel* Label_Max = nullptr;
  QTextBrowser* RichEdit_First = nullptr;

  static constexpr int kCaretPosition = 300;
  static constexpr QSize kNormalSize{750, 550};

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FormShow();
  void FormResize();
  void loadDocument();
  void placeGlyphs();

  TSet& m_set;
  bool m_maximised = false;
};

// The welcome document: WD.dat of the program home, else the copy built into the program.
QString welcomeDocumentPath(const TSet& set);

}  // namespace krvs::ide
