// Helpers of the scheme model's tests: pictures in the column layout, a
// recording stand-in for the main window, and the test filters loaded once
// per process through the real registry and services table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HostServices.h"
#include "PluginManager.h"
#include "SchemeManager.h"
#include "TestSupport.h"

namespace mv::test {

/// A width x height image in the column layout, owned by the test.
class Picture {
 public:
  Picture(int width, int height, const std::function<MvPixel(int x, int y)>& colour);
  PixelColumns columns() { return columns_.data(); }

 private:
  std::vector<MvPixel> block_;
  std::vector<MvPixel*> columns_;
};

/// Node `index`'s current (or base) image, column by column.
std::vector<MvPixel> CurrentOf(TSchemeManager& scheme, int index);
std::vector<MvPixel> BaseOf(TSchemeManager& scheme, int index);
/// The pixels colour(x, y) of a width x height image, column by column.
std::vector<MvPixel> Expected(int width, int height, const std::function<MvPixel(int x, int y)>& colour);

/// Adds a plain node of one colour; returns its index.
int AddFilled(TSchemeManager& scheme, int width, int height, MvPixel colour);

/// Records what the services entries 40-47 hand to the main window. Each
/// progress event notes how many times pending messages had been processed
/// before it, so the order "window, then messages" shows.
class RecordingWindow final : public HostWindow {
 public:
  void* MainWindowHandle() override { return this; }
  void* BoardWindowHandle() override { return &board; }
  void RefreshBoard() override { events.push_back("refresh"); }
  void ShowProgress(bool visible) override { Progress("visible", visible ? 1 : 0); }
  void SetProgressMin(int value) override { Progress("min", value); }
  void SetProgressMax(int value) override { Progress("max", value); }
  void SetProgressPosition(int value) override { Progress("position", value); }
  void ShowStatus(const std::string& text, int delayMs) override {
    statuses.push_back(text);
    delays.push_back(delayMs);
  }

  /// Status texts whose first word is `word` (a test filter's calls).
  std::vector<std::string> StatusesOf(const std::string& word) const;

  ScriptedPrompts* prompts = nullptr;
  int board = 0;
  std::vector<std::string> events;  // "min 0 @2": event, value, messages processed before
  std::vector<std::string> statuses;
  std::vector<int> delays;

 private:
  void Progress(const char* what, int value);
};

/// The registry holding the test filters, loaded on first use and kept for the
/// whole process (loaded libraries are known by path). Its Services table is
/// filled by InitServices and Host().Registry points at it.
TPluginManager& TestFilters();
/// Registry index of the test filter with that identifier.
int FilterIndex(const std::string& id);

/// A fresh scheme wired like the program's: registry, services context,
/// recording window, scripted prompts, and the status notification recorded.
class SchemeFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  /// The calls of test filter `id` reported so far ("T_Invert 0 7", ...).
  std::vector<std::string> Calls(const std::string& id) const { return window.StatusesOf(id); }

  ScriptedPrompts prompts;
  RecordingWindow window;
  TSchemeManager scheme;
  std::vector<std::string> statusTexts;  // OnStatusText
  MvServices* services = nullptr;
};

}  // namespace mv::test
