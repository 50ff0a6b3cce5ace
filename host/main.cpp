// The program: the application object, the main window, then the about box and
// the plug-in information window, and the message loop.
//
// No argument, environment variable or configuration file is read. The
// plug-ins are loaded from the folder "Plugins" of the current directory.
#include <exception>
#include <memory>
#include <string>

#include <QApplication>
#include <QPointer>

#include "AboutFrm.h"
#include "AppIcon.h"
#include "AppInfo.h"
#include "MainFrm.h"
#include "PluginInfoFrm.h"
#include "Prompts.h"
#include "QtPrompts.h"

namespace {

void ShowException(const std::string& message) {
  mv::CurrentPrompts().ShowMessage(message, mv::MessageIcon::Error);
}

/// An error escaping an event handler is shown and the message loop goes on.
class MarvolenApplication final : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ShowException(e.what());
    } catch (...) {
      ShowException(std::string());
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  MarvolenApplication app(argc, argv);
  QApplication::setApplicationName("Marvolen");
  QApplication::setWindowIcon(mv::ApplicationIcon());
  mv::QtPrompts prompts;
  mv::SetPrompts(&prompts);

  try {
    // The main window frees itself when it closes; the two windows that live
    // for the whole run belong to the program.
    auto* mainForm = new mv::TMainForm;
    auto aboutForm = std::make_unique<mv::TAboutForm>();
    auto pluginInfoForm = std::make_unique<mv::TPluginInfoForm>(mainForm->PluginManager);
    mainForm->AboutForm = aboutForm.get();
    mainForm->PluginInfoForm = pluginInfoForm.get();
    QPointer<mv::TMainForm> alive(mainForm);
    mainForm->show();
    QApplication::exec();
    // Closing frees the window later; make sure it has happened before the
    // windows it uses go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete alive.data();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException(std::string());
  }
  mv::SetPrompts(nullptr);
  return 0;
}
