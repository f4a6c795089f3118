#pragma once
// The banner of the settings dialog: a rounded shape with two pictures and the product name.
// Releasing the mouse anywhere over it runs the given action.
#include <QWidget>
#include <functional>

namespace krvs::ide {

class FormsBanner : public QWidget {
  Q_OBJECT
 public:
  explicit FormsBanner(std::function<void()> onRelease, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  std::function<void()> m_onRelease;
};

}  // namespace krvs::ide
