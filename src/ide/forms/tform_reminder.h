#pragma once
// TFormReminder: the extended-services window. A rounded, borderless, always-on-top panel with
// four pages picked by hovering the labels on the right; it hides instead of closing, so the main
// window shows the same one again.
#include <QWidget>
#include <array>

class QFrame;
class QLabel;
class QTimer;

namespace krvs::ide {

class TSet;

class TFormReminder : public QWidget {
  Q_OBJECT
 public:
  explicit TFormReminder(TSet& set, QWidget* parent = nullptr);

  // Page 0 to 3: the shape colours, title, text and link label of that page.
  void selectPage(int page);
  int currentPage() const { return m_page; }
  void Timer_ReminderTimer();
  void Label_5_1Click();

  QFrame* ShapeBack = nullptr;
  QLabel* ImageReminder = nullptr;
  QLabel* LabelTitle = nullptr;
  std::array<QLabel*, 4> Labels{};  // Label_1_1 .. Label_4_1
  QLabel* Label_5_1 = nullptr;
  QWidget* PanelSet = nullptr;
  std::array<QLabel*, 4> Buttons{};  // LabelOK, LabelWait, LabelWhile, LabelNext
  QLabel* Image1 = nullptr;
  QTimer* Timer_Reminder = nullptr;

  // Colour values (blue-green-red) of the right-hand shapes.
  static constexpr int kChosenShape = 0xFFFFFF;
  static constexpr int kOtherShape = 13822940;
  int shapeColor(int page) const { return m_shapeColors[page]; }
  // The link label's current colour value.
  int linkColor() const { return m_linkColor; }

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void buildLeft();
  void buildRight();
  void setLinkColor(int value);
  void setLinkHovered(bool hovered);

  TSet& m_set;
  int m_page = 0;
  std::array<int, 4> m_shapeColors{};
  int m_linkColor = 0x808080;
};

// The link label's next colour value in its cycle grey, navy, olive, purple.
int nextLinkColor(int value);

}  // namespace krvs::ide
