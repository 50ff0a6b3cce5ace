// A scheme, a registry with three test filters and a view whose pictures and
// tool windows are recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QMenu>

#include "HostServices.h"
#include "PluginManager.h"
#include "SchemeManager.h"
#include "SchemeView.h"
#include "TestSupport.h"

namespace mv::test {

inline constexpr MvPixel kLime = 0x0000FF00u;
inline constexpr MvPixel kNavy = 0x00800000u;
inline constexpr MvPixel kWhite = 0x00FFFFFFu;
inline constexpr MvPixel kBlack = 0x00000000u;

/// The test image's pixel (x, y): x in the low 12 bits, y in the next 12.
inline MvPixel Pattern(int x, int y) { return static_cast<MvPixel>(x) | (static_cast<MvPixel>(y) << 12); }

/// A width x height image in the column layout, holding Pattern.
struct PatternImage {
  PatternImage(int width, int height) : block(static_cast<std::size_t>(width) * height), columns(width) {
    for (int x = 0; x < width; ++x) {
      columns[x] = block.data() + static_cast<std::size_t>(x) * height;
      for (int y = 0; y < height; ++y) columns[x][y] = Pattern(x, y);
    }
  }
  std::vector<MvPixel> block;
  std::vector<MvPixel*> columns;
};

/// Keeps the last picture handed over; maps board points to the screen by a
/// fixed offset so that tests can tell a converted point.
class RecordingBoard final : public BoardCanvas {
 public:
  static constexpr int kScreenX = 1000, kScreenY = 2000;
  void ShowPicture(Bitmap& p) override {
    std::swap(picture, p);
    ++shown;
  }
  QPoint ToScreen(QPoint board) const override { return board + QPoint(kScreenX, kScreenY); }
  Bitmap picture;
  int shown = 0;
};

/// Records every tool window and popup request.
class RecordingWindows final : public ToolWindowFactory {
 public:
  struct Call {
    std::string what;  // "layers", "combine", "popup"
    void* target;      // the services table, or the menu
    int image;
    QPoint at;
  };
  void ShowLayers(MvServices* services, int image, QPoint screen) override {
    calls.push_back({"layers", services, image, screen});
  }
  void ShowCombine(MvServices* services, int image, QPoint screen) override {
    calls.push_back({"combine", services, image, screen});
  }
  void ShowPopupMenu(QMenu* menu, QPoint screen) override { calls.push_back({"popup", menu, -1, screen}); }
  std::vector<Call> calls;
};

class BoardTest : public ::testing::Test {
 protected:
  // Registry indexes of the test filters (loaded in file name order).
  static constexpr int kAlpha = 0;  // "filter F_Alpha", honours the mask
  static constexpr int kBeta = 1;   // "filter F_Beta", honours the mask
  static constexpr int kPlain = 2;  // "filter F_Plain", does not honour the mask

  void SetUp() override {
    // Registered libraries stay loaded for the whole run, and the system
    // loader knows a library by its file: keep every test's folder alive.
    static std::vector<std::unique_ptr<TempDir>> keep;
    keep.push_back(std::make_unique<TempDir>());
    const std::filesystem::path dir = keep.back()->path();
    std::filesystem::create_directory(dir / "Plugins");
    CopyFixture("filter_a", dir / "Plugins", "a.plugin");
    CopyFixture("filter_b", dir / "Plugins", "b.plugin");
    CopyFixture("filter_nomask", dir / "Plugins", "c.plugin");
    std::filesystem::current_path(dir);
    InitServices(&services);
    registry.Services = &services;
    ASSERT_TRUE(registry.LoadPlugins());
    ASSERT_EQ(registry.GetFilterCount(), 3);
    scheme.PluginManager = &registry;
    Host() = HostContext{&registry, &scheme, nullptr};
    view.Canvas = &board;
    view.ToolWindows = &windows;
    view.ViewRect = TRect{0, 0, 640, 480};
  }
  void TearDown() override {
    Host() = HostContext{};
    while (registry.GetFilterCount() > 0) registry.RemoveFilter(0);
  }

  /// Appends a plain node with a Pattern image; returns its index.
  int AddNode(int width, int height, int left, int top) {
    PatternImage image(width, height);
    scheme.AddImageAt(width > 0 ? image.columns.data() : nullptr, width, height, left, top);
    return scheme.GetImageCount() - 1;
  }
  /// Moves the pointer with no button held (the hit test) and presses.
  void PressAt(Qt::MouseButton button, int x, int y, Qt::KeyboardModifiers shift = {}) {
    view.MouseMove(&scheme, shift, x, y);
    view.MouseDown(&scheme, button, shift, x, y);
  }
  Bitmap Render(bool links = true) { return view.RenderScheme(&scheme, links, view.ViewRect, -1); }

  CurrentDirGuard cwd;
  MvServices services{};
  TPluginManager registry;
  TSchemeManager scheme;
  TSchemeView view;
  RecordingBoard board;
  RecordingWindows windows;
};

}  // namespace mv::test
