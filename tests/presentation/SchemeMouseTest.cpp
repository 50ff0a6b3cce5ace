// The view's mouse state machine: hit test, selection, dragging with and
// without snapping, placing a new node, the popup menu and the tool windows.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace mv::test {
namespace {

using MouseTest = BoardTest;

std::vector<bool> Selection(TSchemeManager& scheme) {
  std::vector<bool> s;
  for (int i = 0; i < scheme.GetImageCount(); ++i) s.push_back(scheme.GetSelected(i));
  return s;
}

TEST_F(MouseTest, HitTestIsStrictAndTheTopmostNodeWins) {
  AddNode(160, 120, 100, 50);
  AddNode(160, 120, 200, 100);  // overlaps the first one, drawn above it
  struct Case {
    int x, y, hit;
  } cases[] = {
      {100, 60, -1}, {101, 60, 0}, {259, 60, 0}, {260, 60, -1},  // left and right edges
      {150, 50, -1}, {150, 51, 0}, {150, 169, 0}, {150, 170, -1},  // top and bottom edges
      {210, 110, 1}, {201, 101, 1}, {200, 101, 0},                 // the overlap
      {97, 47, -1},  {500, 400, -1},                               // the frame, the empty board
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HitTest(scheme, c.x, c.y, 160, 120, view.ViewRect), c.hit) << c.x << ", " << c.y;
    view.MouseMove(&scheme, {}, c.x, c.y);
    EXPECT_EQ(view.GetHotImage(), c.hit) << c.x << ", " << c.y;
  }
  // A 0 x 0 node is hit through its (white) preview area.
  const int empty = AddNode(0, 0, 400, 300);
  EXPECT_EQ(HitTest(scheme, 401, 301, 160, 120, view.ViewRect), empty);
}

TEST_F(MouseTest, LeftPressSelectsAloneOrWithShiftAddsToTheSelection) {
  AddNode(160, 120, 0, 0);
  AddNode(160, 120, 200, 0);
  AddNode(160, 120, 400, 0);
  scheme.SetSelected(0, true);
  scheme.SetSelected(1, true);

  PressAt(Qt::LeftButton, 450, 50);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(board.shown, 0);  // the press paints nothing
  view.MouseUp(&scheme, Qt::LeftButton, {}, 450, 50);
  EXPECT_EQ(board.shown, 1);

  PressAt(Qt::LeftButton, 50, 50, Qt::ShiftModifier);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{true, false, true}));
  view.MouseUp(&scheme, Qt::LeftButton, Qt::ShiftModifier, 50, 50);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{true, false, true}));
}

TEST_F(MouseTest, DraggingMovesTheNodeOverTheBoardWithoutIt) {
  const int a = AddNode(160, 120, 100, 50);
  const int b = AddNode(160, 120, 300, 300);
  scheme.AddBlendedImage(a, b, 50, false);
  const int g = scheme.GetImageCount() - 1;
  scheme.SetLeft(g, 450);
  scheme.SetTop(g, 100);

  PressAt(Qt::LeftButton, 110, 60);
  EXPECT_TRUE(view.Dragging);
  EXPECT_EQ(view.DragImage, a);
  EXPECT_EQ(view.DragOffsetX, 10);
  EXPECT_EQ(view.DragOffsetY, 10);
  view.MouseMove(&scheme, {}, 60, 30);  // the node goes to (50, 20)
  EXPECT_EQ(scheme.GetLeft(a), 50);
  EXPECT_EQ(scheme.GetTop(a), 20);
  ASSERT_EQ(board.shown, 1);
  const Bitmap& p = board.picture;
  EXPECT_EQ(p.Pixel(47, 17), kLime);    // frame
  EXPECT_EQ(p.Pixel(212, 142), kLime);
  EXPECT_EQ(p.Pixel(50, 20), Pattern(0, 0));  // preview
  EXPECT_EQ(p.Pixel(209, 139), Pattern(159, 119));
  EXPECT_EQ(p.Pixel(259, 169), kWhite);  // where the node was
  EXPECT_EQ(p.Pixel(297, 297), kNavy);   // the other nodes stay
  // Links are drawn on top, from the node's new place.
  EXPECT_EQ(p.Pixel(213, 80), kNavy);
  EXPECT_EQ(p.Pixel(463, 360), kNavy);

  view.MouseUp(&scheme, Qt::LeftButton, {}, 60, 30);
  EXPECT_FALSE(view.Dragging);
  EXPECT_FALSE(view.ButtonDown);
  EXPECT_EQ(view.DragImage, -1);
  EXPECT_TRUE(view.DragSample.Empty());
  EXPECT_TRUE(view.DragBackground.Empty());
  EXPECT_EQ(board.shown, 2);
  EXPECT_EQ(board.picture.Pixel(47, 17), kLime);  // painted in place, selected
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{true, false, false}));
}

TEST_F(MouseTest, MovingWhileDraggingLeavesOnlyTheDraggedNodeSelected) {
  AddNode(160, 120, 0, 0);
  AddNode(160, 120, 200, 0);
  scheme.SetSelected(0, true);
  PressAt(Qt::LeftButton, 250, 50, Qt::ShiftModifier);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{true, true}));
  view.MouseMove(&scheme, Qt::ShiftModifier, 251, 50);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, true}));
}

TEST_F(MouseTest, SnappingTruncatesTowardZero) {
  view.SnapToGrid = true;
  struct Case {
    int pointer, expected;
  } cases[] = {{23, 8}, {5, 0}, {10, 0}, {26, 16}, {-13, -16}};
  for (const Case& c : cases) {
    scheme.Clear();
    AddNode(160, 120, 100, 100);
    PressAt(Qt::LeftButton, 110, 110);  // offset (10, 10)
    view.MouseMove(&scheme, {}, c.pointer, c.pointer);
    EXPECT_EQ(scheme.GetLeft(0), c.expected) << c.pointer;
    EXPECT_EQ(scheme.GetTop(0), c.expected) << c.pointer;
    view.MouseUp(&scheme, Qt::LeftButton, {}, c.pointer, c.pointer);
  }
  // Without snapping the node lands exactly where the pointer puts it.
  view.SnapToGrid = false;
  PressAt(Qt::LeftButton, 1, 1);  // the node is at (-16, -16): offset (17, 17)
  view.MouseMove(&scheme, {}, 13, 13);
  EXPECT_EQ(scheme.GetLeft(0), -4);
  EXPECT_EQ(scheme.GetTop(0), -4);
}

TEST_F(MouseTest, AnAddedNodeFollowsThePointerUntilTheRelease) {
  AddNode(160, 120, 0, 0);
  scheme.SetSelected(0, true);
  view.MouseMove(&scheme, {}, 300, 200);  // nothing there
  const int n = AddNode(40, 30, 0, 0);
  view.ImageAdded(&scheme, n);
  EXPECT_EQ(scheme.GetLeft(n), 300 - 80);  // centred on the pointer
  EXPECT_EQ(scheme.GetTop(n), 200 - 60);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, false}));
  EXPECT_EQ(board.shown, 1);
  EXPECT_EQ(board.picture.Pixel(220, 140), Pattern(0, 0));

  // The press is ignored entirely...
  view.MouseDown(&scheme, Qt::RightButton, {}, 310, 210);
  EXPECT_EQ(view.LastX, 300);
  EXPECT_TRUE(windows.calls.empty());
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, false}));
  // ...the first move selects the node and carries it...
  view.MouseMove(&scheme, {}, 320, 210);
  EXPECT_EQ(scheme.GetLeft(n), 240);
  EXPECT_EQ(scheme.GetTop(n), 150);
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, true}));
  // ...and the release drops it there.
  view.MouseUp(&scheme, Qt::LeftButton, {}, 320, 210);
  EXPECT_FALSE(view.Dragging);
  EXPECT_FALSE(view.ButtonDown);
  view.MouseMove(&scheme, {}, 400, 300);
  EXPECT_EQ(scheme.GetLeft(n), 240);
  EXPECT_EQ(board.picture.Pixel(237, 147), kLime);
}

TEST_F(MouseTest, RightPressPopsTheMenuAtTheScreenPointAndKeepsTheSelection) {
  QMenu menu;
  view.PopupMenu = &menu;
  AddNode(160, 120, 100, 50);
  AddNode(160, 120, 300, 50);
  scheme.SetSelected(1, true);

  PressAt(Qt::RightButton, 150, 60);
  ASSERT_EQ(windows.calls.size(), 1u);
  EXPECT_EQ(windows.calls[0].what, "popup");
  EXPECT_EQ(windows.calls[0].target, &menu);
  EXPECT_EQ(windows.calls[0].at, QPoint(150 + RecordingBoard::kScreenX, 60 + RecordingBoard::kScreenY));
  EXPECT_EQ(Selection(scheme), (std::vector<bool>{false, true}));
  // Pressed without a drag: moves do nothing until the release repaints.
  view.MouseMove(&scheme, {}, 170, 80);
  EXPECT_EQ(scheme.GetLeft(0), 100);
  EXPECT_EQ(board.shown, 0);
  view.MouseUp(&scheme, Qt::RightButton, {}, 170, 80);
  EXPECT_EQ(board.shown, 1);

  // On the empty board nothing pops up.
  PressAt(Qt::RightButton, 600, 400);
  EXPECT_EQ(windows.calls.size(), 1u);
  view.MouseUp(&scheme, Qt::RightButton, {}, 600, 400);
}

// The main window as the services reach it: only the board window matters here.
class BoardWindowHost final : public HostWindow {
 public:
  void* MainWindowHandle() override { return nullptr; }
  void* BoardWindowHandle() override { return &board; }
  void RefreshBoard() override {}
  void ShowProgress(bool) override {}
  void SetProgressMin(int) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowStatus(const std::string&, int) override {}
  QWidget board;
};

TEST_F(MouseTest, ScreenPointsComeFromTheBoardWindowOfTheServices) {
  BoardWindowHost host;
  host.board.move(120, 80);
  Host().Window = &host;
  QMenu menu;
  view.PopupMenu = &menu;
  AddNode(160, 120, 100, 50);
  scheme.ApplyFilter(0, kAlpha);
  PressAt(Qt::RightButton, 150, 60);
  view.MouseUp(&scheme, Qt::RightButton, {}, 150, 60);
  view.ShowFilterOptions(&scheme);
  Host().Window = nullptr;
  ASSERT_EQ(windows.calls.size(), 2u);
  EXPECT_EQ(windows.calls[0].at, host.board.mapToGlobal(QPoint(150, 60)));
  EXPECT_EQ(windows.calls[1].at, host.board.mapToGlobal(QPoint(260, 50)));
  EXPECT_NE(windows.calls[0].at, QPoint(150, 60));
}

TEST_F(MouseTest, ToolWindowsOpenBesideTheNodeUnderThePointer) {
  const int plain = AddNode(160, 120, 100, 50);
  const int filtered = AddNode(160, 120, 300, 250);
  scheme.ApplyFilter(filtered, kAlpha);
  const QPoint screen(RecordingBoard::kScreenX, RecordingBoard::kScreenY);

  view.ShowFilterOptions(&scheme);  // nothing under the pointer
  view.ShowBlendOptions(&scheme);
  EXPECT_TRUE(windows.calls.empty());

  view.MouseMove(&scheme, {}, 150, 60);
  ASSERT_EQ(view.GetHotImage(), plain);
  view.ShowFilterOptions(&scheme);  // no filters: no layers window
  EXPECT_TRUE(windows.calls.empty());
  view.ShowBlendOptions(&scheme);
  ASSERT_EQ(windows.calls.size(), 1u);
  EXPECT_EQ(windows.calls[0].what, "combine");
  EXPECT_EQ(windows.calls[0].target, &view.Services);
  EXPECT_EQ(windows.calls[0].image, plain);
  EXPECT_EQ(windows.calls[0].at, QPoint(100, 50 + 120) + screen);  // bottom-left of the preview

  view.MouseMove(&scheme, {}, 350, 300);
  view.ShowFilterOptions(&scheme);
  ASSERT_EQ(windows.calls.size(), 2u);
  EXPECT_EQ(windows.calls[1].what, "layers");
  EXPECT_EQ(windows.calls[1].target, &view.Services);
  EXPECT_EQ(windows.calls[1].image, filtered);
  EXPECT_EQ(windows.calls[1].at, QPoint(300 + 160, 250) + screen);  // top-right of the preview

  // A hot node deleted since the last move opens nothing.
  scheme.DeleteImage(filtered);
  view.ImagesDeleted(&scheme);
  view.ShowBlendOptions(&scheme);
  EXPECT_EQ(windows.calls.size(), 2u);
}

TEST_F(MouseTest, AnEmptyNodeCanBeDraggedAndShowsAWhitePreview) {
  const int n = AddNode(0, 0, 50, 50);
  PressAt(Qt::LeftButton, 60, 60);
  ASSERT_TRUE(view.Dragging);
  view.MouseMove(&scheme, {}, 110, 110);
  EXPECT_EQ(scheme.GetLeft(n), 100);
  const Bitmap& p = board.picture;
  EXPECT_EQ(p.Pixel(97, 97), kLime);
  EXPECT_EQ(p.Pixel(262, 222), kLime);
  for (int y = 98; y <= 221; ++y)
    for (int x = 98; x <= 261; ++x) ASSERT_EQ(p.Pixel(x, y), kWhite) << x << ", " << y;
  view.MouseUp(&scheme, Qt::LeftButton, {}, 110, 110);
  EXPECT_EQ(board.picture.Pixel(97, 97), kWhite);  // not drawn at rest
}

TEST_F(MouseTest, ResizeWhileDraggingRebuildsTheBackgroundWithoutPainting) {
  AddNode(160, 120, 100, 50);
  AddNode(160, 120, 300, 250);
  PressAt(Qt::LeftButton, 110, 60);
  view.Resize(&scheme, 0, 0, TRect{0, 0, 800, 600});
  EXPECT_EQ(board.shown, 0);
  EXPECT_EQ(view.DragBackground.Width(), 800);
  EXPECT_EQ(view.DragBackground.Height(), 600);
  EXPECT_EQ(view.DragBackground.Pixel(97, 47), kWhite);  // without the dragged node
  EXPECT_EQ(view.DragBackground.Pixel(297, 247), kNavy);
  view.MouseMove(&scheme, {}, 710, 560);
  EXPECT_EQ(board.picture.Width(), 800);
  EXPECT_EQ(board.picture.Pixel(697, 547), kLime);
  view.MouseUp(&scheme, Qt::LeftButton, {}, 710, 560);
  // At rest a resize paints at once.
  view.Resize(&scheme, 0, 0, TRect{0, 0, 300, 200});
  EXPECT_EQ(board.shown, 3);
  EXPECT_EQ(board.picture.Width(), 300);
}

TEST_F(MouseTest, WithoutASchemeNothingHappens) {
  AddNode(160, 120, 100, 50);
  view.MouseMove(&scheme, {}, 150, 60);
  view.MouseDown(nullptr, Qt::LeftButton, {}, 150, 60);
  view.MouseMove(nullptr, {}, 170, 70);
  view.MouseUp(nullptr, Qt::LeftButton, {}, 170, 70);
  view.ImageAdded(nullptr, 0);
  view.Paint(nullptr);
  view.Resize(nullptr, 0, 0, TRect{0, 0, 10, 10});
  view.ShowFilterOptions(nullptr);
  view.ShowBlendOptions(nullptr);
  EXPECT_EQ(board.shown, 0);
  EXPECT_FALSE(view.ButtonDown);
  EXPECT_FALSE(view.Dragging);
  EXPECT_EQ(view.ViewRect.Right, 640);
  EXPECT_EQ(view.LastX, 150);
  EXPECT_TRUE(windows.calls.empty());
}

}  // namespace
}  // namespace mv::test
