// The layers window: a small borderless tool window beside a node that lets
// the user choose, for each filter of the node's chain, which colour channels
// it acts on. Every change is applied at once (the scheme stores the mask,
// re-runs the chain and its dependents) and the board is refreshed.
//
// The window reaches the scheme only through the services table it is given.
// It deletes itself when it loses activation (another window is activated), so
// the opener creates it with new, sets Services and Image, places and shows it,
// and keeps no pointer to it.
#pragma once

#include <QWidget>

#include "MvPlugin.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace mv {

class TLayersForm : public QWidget {
  Q_OBJECT

 public:
  explicit TLayersForm(QWidget* parent = nullptr);

  /// The scheme view's copy of the services table. Not owned; must outlive the window.
  MvServices* Services = nullptr;
  /// Image index of the node being edited; -1 until set.
  int Image = -1;

  QLabel* Label1;
  QComboBox* ComboBox1;
  QLabel* Label2;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;

  /// Fills the list with the display names of the node's chain, selects the
  /// first entry and shows its channels. Runs when the window becomes active.
  void DoActivate();
  /// Shows the channels of the selected chain entry in the check boxes.
  void DoComboBoxChange();
  /// Apply the state of check box 1, 2 or 3 to the selected entry's mask.
  void CheckBox1Click() { ChannelClick(0, CheckBox1); }
  void CheckBox2Click() { ChannelClick(1, CheckBox2); }
  void CheckBox3Click() { ChannelClick(2, CheckBox3); }

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  bool activated_ = false;
  /// The raised frame, drawn off-screen and copied in one go.
  void DoPaint();
  void ChannelClick(int bit, QCheckBox* box);
};

}  // namespace mv
