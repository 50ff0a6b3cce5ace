// The about box: the program's name with a shadowed title, its version and the
// credits, over the corner gradient. Made once at start-up and shown modally.
#pragma once

#include <vector>

#include <QDialog>

class QLabel;
class QPushButton;

namespace mv {

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);

  QLabel* imAppIcon;
  /// The title's shadow (black) and the title itself (blue), 2 pixels up and left.
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  /// The credit lines, top to bottom.
  std::vector<QLabel*> Credits;
  QPushButton* Button1;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  /// The corner gradient (factor 7), drawn off-screen and copied in one go.
  void DoPaint();
};

}  // namespace mv
