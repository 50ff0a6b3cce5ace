#include "QtPrompts.h"

#include <algorithm>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "AppInfo.h"

namespace mv {

QStringList ToQtNameFilters(const std::string& filter) {
  if (filter.empty()) return {};
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i < parts.size(); i += 2) {
    const QString name = parts[i];
    QString mask = i + 1 < parts.size() ? parts[i + 1] : QString("*");
    mask.replace(';', ' ');
    if (name.isEmpty() && mask.trimmed().isEmpty()) continue;
    mask = mask.simplified();
    // A name that already shows its pattern ("Marvolen Project (*.mvl)") is
    // used as it is: Qt reads the pattern from the parentheses.
    if (name.endsWith("(" + mask + ")"))
      out << name;
    else
      out << QString("%1 (%2)").arg(name, mask);
  }
  return out;
}

MessageResult QtPrompts::ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons, void* owner) {
  QMessageBox box(static_cast<QWidget*>(owner));
  box.setWindowTitle(QString::fromUtf8(kApplicationTitle));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: break;
  }
  QAbstractButton* yes = nullptr;
  if (buttons == MessageButtons::YesNo) {
    yes = box.addButton(QString::fromUtf8("Да"), QMessageBox::YesRole);
    box.addButton(QString::fromUtf8("Нет"), QMessageBox::NoRole);
  } else {
    box.addButton(QMessageBox::Ok);
  }
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
  if (buttons == MessageButtons::YesNo) return box.clickedButton() == yes ? MessageResult::Yes : MessageResult::No;
  return MessageResult::Ok;
}

static bool RunDialog(FileDialogRequest& request, bool save) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = ToQtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size()));
    dialog.selectNameFilter(filters[index - 1]);
  }
  if (save && !request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.fileName = dialog.selectedFiles().first().toStdString();
  request.filterIndex = std::max(1, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1);
  return true;
}

bool QtPrompts::OpenFileDialog(FileDialogRequest& request) { return RunDialog(request, false); }

bool QtPrompts::SaveFileDialog(FileDialogRequest& request) { return RunDialog(request, true); }

bool QtPrompts::OpenWithDesktop(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtPrompts::ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace mv
