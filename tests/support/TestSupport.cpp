#include "TestSupport.h"

#include <cstdlib>
#include <random>
#include <stdexcept>

namespace mv::test {

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("marvolen-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path FixtureDir() { return MV_FIXTURE_DIR; }

std::filesystem::path BinDir() {
  if (const char* env = std::getenv("MV_BIN_DIR")) return env;
  return MV_BIN_DIR_DEFAULT;
}

void CopyFixture(const std::string& fixtureName, const std::filesystem::path& dir, const std::string& as) {
  std::filesystem::copy_file(FixtureDir() / (fixtureName + ".plugin"), dir / as,
                             std::filesystem::copy_options::overwrite_existing);
}

MessageResult ScriptedPrompts::ShowMessage(const std::string& text, MessageIcon icon, MessageButtons buttons,
                                           void* owner) {
  messages.push_back({text, icon, buttons, owner});
  if (buttons == MessageButtons::YesNo) {
    if (answers.empty()) return MessageResult::Yes;
    MessageResult r = answers.front();
    answers.pop_front();
    return r;
  }
  return MessageResult::Ok;
}

static bool Answer(std::deque<ScriptedPrompts::DialogAnswer>& q, FileDialogRequest& request) {
  if (q.empty()) return false;
  auto a = q.front();
  q.pop_front();
  if (a.path.empty()) return false;
  request.fileName = a.path;
  request.filterIndex = a.filterIndex;
  return true;
}

bool ScriptedPrompts::OpenFileDialog(FileDialogRequest& request) {
  dialogs.push_back(request);
  return Answer(dialogAnswers, request);
}

bool ScriptedPrompts::SaveFileDialog(FileDialogRequest& request) {
  dialogs.push_back(request);
  if (!Answer(dialogAnswers, request)) return false;
  // A name without extension gets the default one, as a real save dialog does.
  if (!request.defaultExtension.empty() && std::filesystem::path(request.fileName).extension().empty())
    request.fileName += "." + request.defaultExtension;
  return true;
}

bool ScriptedPrompts::OpenWithDesktop(const std::string& path) {
  opened.push_back(path);
  return true;
}

}  // namespace mv::test
