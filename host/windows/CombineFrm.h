// The combine window: a small borderless tool window below a generated node
// that sets the node's blend ratio. The slider shows the share of the two
// sources (position p = 100 - ratio: p = 0 is the first source alone);
// moving it only updates the label, "Применить" stores the ratio, which
// recomputes the node and its dependents, and refreshes the board.
//
// The window reaches the scheme only through the services table it is given.
// It deletes itself when it loses activation; a position not applied is lost.
// The opener creates it with new, sets Services and Image, places and shows it,
// and keeps no pointer to it.
#pragma once

#include <QWidget>

#include "MvPlugin.h"

class QLabel;
class QPushButton;
class QSlider;

namespace mv {

class TCombineForm : public QWidget {
  Q_OBJECT

 public:
  explicit TCombineForm(QWidget* parent = nullptr);

  /// The scheme view's copy of the services table. Not owned; must outlive the window.
  MvServices* Services = nullptr;
  /// Image index of the generated node being edited; -1 until set.
  int Image = -1;

  QSlider* TrackBar;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label1;
  QPushButton* Button1;

  /// Sets the slider from the node's ratio. Runs when the window is shown.
  void DoShowMe();
  /// Shows the slider's position in Label1. Runs when the position changes.
  void ReCombineImages();
  /// Stores the ratio 100 - position and refreshes the board.
  void Button1Click();

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  /// The raised frame, drawn off-screen and copied in one go.
  void DoPaint();
};

}  // namespace mv
