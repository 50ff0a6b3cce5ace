// The plug-in information window: the list of loaded plug-ins (loaders first,
// then filters, in registry order) and, for the one clicked, its kind,
// identifier and the maker's texts in a two-column grid.
//
// Made once at start-up and reused: the main window fills ListBox1 (or calls
// FillList) and shows it modally. The registry is not owned and must outlive
// the window.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace mv {

class TPluginManager;

class TPluginInfoForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPluginInfoForm(TPluginManager* pluginManager, QWidget* parent = nullptr);

  /// The registry the list is read from. Not owned.
  TPluginManager* PluginManager;

  QLabel* Label1;
  QListWidget* ListBox1;
  QLabel* Label2;
  /// The key/value grid: column 0 "Свойство", column 1 "Значение".
  QTableWidget* ValueListEditor1;
  QPushButton* Button1;

  /// Empties the list and adds the display name of every loader, then of every
  /// filter, in registry order. Nothing is selected afterwards; the grid keeps
  /// what it showed.
  void FillList();
  /// Shows the selected plug-in's details in the grid; nothing when no item is selected.
  void ListBox1Click();
  /// Adds one grid row from "key=value", split at the first "=".
  void AddRow(const QString& keyValue);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  /// The corner gradient (factor 5), drawn off-screen and copied in one go.
  void DoPaint();
};

}  // namespace mv
