#pragma once
// TForm_About: the about window, a borderless picture that fades in while it is created and hides
// when the picture is clicked.
#include <QWidget>

class QFrame;
class QLabel;

namespace krvs::ide {

class TTransparentSkin;

class TForm_About : public QWidget {
  Q_OBJECT
 public:
  // FormCreate: fades in, so the window is visible and opaque when the constructor returns.
  explicit TForm_About(QWidget* parent = nullptr);

  void Image_AboutClick();

  QFrame* Panel = nullptr;
  QLabel* Image_About = nullptr;
  TTransparentSkin* Skin = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
};

}  // namespace krvs::ide
