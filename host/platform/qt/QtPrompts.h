// The UI seam on Qt: message boxes (application title as caption, always on
// top), file dialogs, the desktop's file handler, pending-event processing.
#pragma once

#include <QStringList>

#include "Prompts.h"

namespace mv {

class QtPrompts final : public Prompts {
 public:
  MessageResult ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons, void* owner) override;
  bool OpenFileDialog(FileDialogRequest& request) override;
  bool SaveFileDialog(FileDialogRequest& request) override;
  bool OpenWithDesktop(const std::string& path) override;
  void ProcessMessages() override;
};

/// "name|mask|name|mask" (masks separated by ';') as Qt name filters
/// ("name (*.a *.b)"), one per pair; a trailing odd name gets "*".
QStringList ToQtNameFilters(const std::string& filter);

}  // namespace mv
