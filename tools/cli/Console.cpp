#include "Console.h"

#include <algorithm>

namespace mv::cli {

void PrintError(const std::string& text) {
  std::fprintf(stderr, "marvolen-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

MessageResult ConsolePrompts::ShowMessage(const std::string& text, MessageIcon, MessageButtons buttons, void*) {
  ++Shown;
  PrintError(text);
  return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
}

void ConsoleWindow::ShowStatus(const std::string& text, int) { Status(text); }

void ConsoleWindow::Status(const std::string& text) {
  if (!verbose_ || text.empty()) return;
  std::fprintf(stderr, "marvolen-cli: %s\n", text.c_str());
  std::fflush(stderr);
}

BatchProgress::BatchProgress(int total, bool terminal, std::FILE* out)
    : total_(std::max(total, 0)), terminal_(terminal), out_(out) {}

void BatchProgress::DrawBar(int done, const std::string& name) {
  constexpr int kWidth = 30;
  const int filled = total_ > 0 ? done * kWidth / total_ : kWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  // "\r" returns to the line's start, "\033[K" clears what the last draw left.
  std::fprintf(out_, "\r\033[K[%s] %d/%d %s", bar.c_str(), done, total_, name.c_str());
  std::fflush(out_);
  drawn_ = true;
}

void BatchProgress::Begin(int index, const std::string& name) {
  if (terminal_) DrawBar(index, name);
}

void BatchProgress::End(int index, const std::string& name, const std::string& failure) {
  if (terminal_) {
    if (!failure.empty()) {
      // A failure stays on screen above the bar.
      std::fprintf(out_, "\r\033[K%s: %s\n", name.c_str(), failure.c_str());
      drawn_ = false;
    }
    DrawBar(index + 1, index + 1 < total_ ? std::string() : std::string("done"));
    return;
  }
  if (failure.empty())
    std::fprintf(out_, "[%d/%d] %s: ok\n", index + 1, total_, name.c_str());
  else
    std::fprintf(out_, "[%d/%d] %s: failed: %s\n", index + 1, total_, name.c_str(), failure.c_str());
  std::fflush(out_);
}

void BatchProgress::Finish() {
  if (terminal_ && drawn_) {
    std::fputc('\n', out_);
    std::fflush(out_);
    drawn_ = false;
  }
}

}  // namespace mv::cli
