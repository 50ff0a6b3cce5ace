#include "Prompts.h"

#include <cstdio>

#include "AppInfo.h"

namespace mv {
namespace {

class StderrPrompts final : public Prompts {
 public:
  MessageResult ShowMessage(const std::string& text, MessageIcon, MessageButtons buttons, void*) override {
    std::fprintf(stderr, "%s: %s\n", kApplicationTitle, text.c_str());
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
  }
  bool OpenFileDialog(FileDialogRequest&) override { return false; }
  bool SaveFileDialog(FileDialogRequest&) override { return false; }
  bool OpenWithDesktop(const std::string&) override { return false; }
  void ProcessMessages() override {}
};

StderrPrompts g_default;
Prompts* g_current = &g_default;

}  // namespace

Prompts& CurrentPrompts() { return *g_current; }

void SetPrompts(Prompts* prompts) { g_current = prompts ? prompts : &g_default; }

}  // namespace mv
