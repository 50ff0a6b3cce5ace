// The board picture, read back pixel by pixel: frames, previews, captions,
// grid, blend links, nodes without an image, and nodes partly off the board.
#include <gtest/gtest.h>

#include <cstring>

#include "BoardFixture.h"
#include "Canvas.h"

namespace mv::test {
namespace {

using DrawingTest = BoardTest;

// Every pixel of `picture` inside [x0, x1] x [y0, y1] equals `colour`.
::testing::AssertionResult AllPixels(const Bitmap& picture, int x0, int y0, int x1, int y1, MvPixel colour) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (picture.Pixel(x, y) != colour)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                             << picture.Pixel(x, y) << ", expected " << colour;
  return ::testing::AssertionSuccess();
}

// The outline whose outer pixels run from (x0, y0) to (x1, y1) is `colour`,
// the ring just outside it and the two-pixel ring inside it are white.
void ExpectFrame(const Bitmap& p, int x0, int y0, int x1, int y1, MvPixel colour) {
  EXPECT_TRUE(AllPixels(p, x0, y0, x1, y0, colour));
  EXPECT_TRUE(AllPixels(p, x0, y1, x1, y1, colour));
  EXPECT_TRUE(AllPixels(p, x0, y0, x0, y1, colour));
  EXPECT_TRUE(AllPixels(p, x1, y0, x1, y1, colour));
  EXPECT_TRUE(AllPixels(p, x0 - 1, y0 - 1, x1 + 1, y0 - 1, kWhite));
  EXPECT_TRUE(AllPixels(p, x0 - 1, y1 + 1, x1 + 1, y1 + 1, kWhite));
  EXPECT_TRUE(AllPixels(p, x0 - 1, y0, x0 - 1, y1, kWhite));
  EXPECT_TRUE(AllPixels(p, x1 + 1, y0, x1 + 1, y1, kWhite));
  for (int gap = 1; gap <= 2; ++gap) {
    EXPECT_TRUE(AllPixels(p, x0 + gap, y0 + gap, x1 - gap, y0 + gap, kWhite));
    EXPECT_TRUE(AllPixels(p, x0 + gap, y1 - gap, x1 - gap, y1 - gap, kWhite));
    EXPECT_TRUE(AllPixels(p, x0 + gap, y0 + gap, x0 + gap, y1 - gap, kWhite));
    EXPECT_TRUE(AllPixels(p, x1 - gap, y0 + gap, x1 - gap, y1 - gap, kWhite));
  }
}

TEST_F(DrawingTest, FreshViewHasItsStartValues) {
  TSchemeView fresh;
  EXPECT_EQ(fresh.SampleWidth, 160);
  EXPECT_EQ(fresh.SampleHeight, 120);
  EXPECT_FALSE(fresh.ShowGrid);
  EXPECT_FALSE(fresh.SnapToGrid);
  EXPECT_EQ(fresh.GridStep, 8);
  EXPECT_EQ(fresh.GetHotImage(), -1);
  EXPECT_EQ(fresh.DragImage, -1);
  EXPECT_FALSE(fresh.Dragging);
  EXPECT_FALSE(fresh.ButtonDown);
  EXPECT_EQ(fresh.Canvas, nullptr);
  EXPECT_EQ(fresh.PopupMenu, nullptr);
  EXPECT_EQ(fresh.ViewRect.Right, 0);
  EXPECT_EQ(fresh.ViewRect.Bottom, 0);
  // Its own table, filled like the main window's.
  MvServices filled{};
  ASSERT_TRUE(InitServices(&filled));
  EXPECT_EQ(std::memcmp(&fresh.Services, &filled, sizeof filled), 0);
}

TEST_F(DrawingTest, FramesAreLimeWhenSelectedAndNavyOtherwise) {
  const int a = AddNode(160, 120, 100, 50);
  AddNode(160, 120, 300, 250);
  scheme.SetSelected(a, true);
  view.Paint(&scheme);
  ASSERT_EQ(board.shown, 1);
  const Bitmap& p = board.picture;
  ASSERT_EQ(p.Width(), 640);
  ASSERT_EQ(p.Height(), 480);

  ExpectFrame(p, 97, 47, 262, 172, kLime);
  ExpectFrame(p, 297, 247, 462, 372, kNavy);
  // The preview fills (100, 50) to (259, 169); with no filters there is no
  // caption below it.
  EXPECT_EQ(p.Pixel(100, 50), Pattern(0, 0));
  EXPECT_EQ(p.Pixel(259, 169), Pattern(159, 119));
  EXPECT_TRUE(AllPixels(p, 97, 173, 262, 200, kWhite));
}

TEST_F(DrawingTest, PreviewSamplesByTruncation) {
  struct Case {
    int width, height;
    int (*column)(int), (*row)(int);
  } cases[] = {
      {320, 240, [](int x) { return 2 * x; }, [](int y) { return 2 * y; }},  // every second column and row
      {80, 60, [](int x) { return x / 2; }, [](int y) { return y / 2; }},    // every pixel twice
      {160, 120, [](int x) { return x; }, [](int y) { return y; }},
      {480, 60, [](int x) { return 3 * x; }, [](int y) { return y / 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    scheme.Clear();
    AddNode(c.width, c.height, 20, 30);
    const Bitmap p = Render();
    bool same = true;
    for (int y = 0; y < 120 && same; ++y)
      for (int x = 0; x < 160 && same; ++x) {
        same = p.Pixel(20 + x, 30 + y) == Pattern(c.column(x), c.row(y));
        EXPECT_TRUE(same) << "preview pixel (" << x << ", " << y << ")";
      }
    // MakeSampleBitmap gives the same preview on its own.
    PatternImage image(c.width, c.height);
    const Bitmap sample = view.MakeSampleBitmap(image.columns.data(), 160, 120, TRect{0, 0, c.width, c.height});
    ASSERT_EQ(sample.Width(), 160);
    ASSERT_EQ(sample.Height(), 120);
    EXPECT_EQ(sample.Pixel(159, 119), Pattern(c.column(159), c.row(119)));
    EXPECT_EQ(sample.Pixel(37, 81), p.Pixel(20 + 37, 30 + 81));
  }
}

TEST_F(DrawingTest, PreviewFollowsTheSampleSize) {
  view.SampleWidth = 64;
  view.SampleHeight = 32;
  AddNode(128, 128, 10, 10);
  const Bitmap p = Render();
  EXPECT_EQ(p.Pixel(10 + 63, 10 + 31), Pattern(126, 124));
  ExpectFrame(p, 7, 7, 10 + 64 + 2, 10 + 32 + 2, kNavy);
}

TEST_F(DrawingTest, LaterNodesCoverEarlierOnes) {
  const int a = AddNode(320, 240, 50, 50);
  const int b = AddNode(80, 60, 120, 100);
  const int empty = AddNode(0, 0, 60, 60);  // not drawn, so it covers nothing
  ASSERT_EQ(empty, 2);
  const auto check = [&](const Bitmap& p, bool withB) {
    for (int y = 50; y < 170; ++y)
      for (int x = 50; x < 210; ++x) {
        const bool inB = withB && x >= 120 && x < 280 && y >= 100 && y < 220;
        const bool onFrameOfB = withB && ((y == 97 && x >= 117) || (x == 117 && y >= 97));
        const MvPixel expected =
            inB ? Pattern((x - 120) / 2, (y - 100) / 2) : onFrameOfB ? kNavy : Pattern(2 * (x - 50), 2 * (y - 50));
        ASSERT_EQ(p.Pixel(x, y), expected) << x << ", " << y;
      }
  };
  check(Render(), true);
  check(view.RenderScheme(&scheme, true, view.ViewRect, b), false);  // skipping B shows A whole
  // A's frame, drawn before B, is hidden where B's preview lies over it.
  scheme.SetLeft(b, 200);
  const Bitmap p = Render();
  EXPECT_EQ(p.Pixel(212, 100), Pattern(6, 0));
  EXPECT_EQ(p.Pixel(212, 46), kWhite);
  EXPECT_EQ(p.Pixel(212, 47), kNavy);
  EXPECT_EQ(scheme.GetLeft(a), 50);
}

TEST(ChannelListTest, NamesTheSetBitsOrSaysAllAreOff) {
  const char* expected[8] = {"все слои отключены", "R", "G", "R, G", "B", "R, B", "G, B", "R, G, B"};
  for (int mask = 0; mask < 8; ++mask) EXPECT_EQ(ChannelList(static_cast<std::uint8_t>(mask)), expected[mask]);
  EXPECT_EQ(ChannelList(0xF8), "все слои отключены");  // bits above blue mean nothing
}

TEST_F(DrawingTest, CaptionsListTheChainWithTheChannelsOfMaskHonouringFilters) {
  const int n = AddNode(160, 120, 40, 20);
  scheme.ApplyFilter(n, kAlpha);
  scheme.ApplyFilter(n, kPlain);
  scheme.ApplyFilter(n, kBeta);
  scheme.ApplyFilter(n, kAlpha);
  scheme.SetFilterChannels(n, 0, 5);
  scheme.SetFilterChannels(n, 2, 2);
  scheme.SetFilterChannels(n, 3, 0);
  ASSERT_EQ(scheme.GetChainLength(n), 4);
  const Bitmap p = Render();

  // The same texts drawn with the same canvas settings at the specified places.
  Bitmap expected(640, 480);
  Canvas c(expected);
  c.Font.name = "MS Sans Serif";
  c.Font.pointSize = 6;
  const std::vector<std::string> lines = {
      "Применённые фильтры: ", "* filter F_Alpha (R, B)", "* filter F_Plain", "* filter F_Beta (G)",
      "* filter F_Alpha (все слои отключены)"};
  const int top = 20 + 120 + 3;
  const int h = c.TextHeight(lines[0]);
  for (std::size_t j = 0; j < lines.size(); ++j) c.TextOut(40, top + static_cast<int>(j) * h, lines[j]);

  int dark = 0;
  for (int y = top; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (expected.Pixel(x, y) != kWhite) ++dark;
      ASSERT_EQ(p.Pixel(x, y), expected.Pixel(x, y)) << "caption pixel (" << x << ", " << y << ")";
    }
  EXPECT_GT(dark, 200);  // the comparison covered real glyphs
}

TEST_F(DrawingTest, GridDotsCoverTheBoard) {
  view.ViewRect = TRect{0, 0, 20, 10};
  view.ShowGrid = true;
  const Bitmap p = Render();
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool dot = (x == 0 || x == 8 || x == 16) && (y == 0 || y == 8);
      EXPECT_EQ(p.Pixel(x, y), dot ? kBlack : kWhite) << x << ", " << y;
    }
  view.ShowGrid = false;
  EXPECT_TRUE(AllPixels(Render(), 0, 0, 19, 9, kWhite));
}

TEST_F(DrawingTest, BlendLinksRunFromEachSourceToTheGeneratedNode) {
  view.ViewRect = TRect{0, 0, 640, 640};
  const int a = AddNode(160, 120, 10, 100);
  const int b = AddNode(160, 120, 10, 400);
  scheme.AddBlendedImage(a, b, 50, false);
  const int g = scheme.GetImageCount() - 1;
  scheme.SetLeft(g, 400);
  scheme.SetTop(g, 100);
  scheme.SetSelected(g, true);
  const Bitmap p = Render();
  // From just right of the first source's frame, at the previews' middle...
  EXPECT_TRUE(AllPixels(p, 173, 160, 396, 160, kNavy));
  EXPECT_EQ(p.Pixel(172, 160), kNavy);  // the source's frame
  EXPECT_EQ(p.Pixel(173, 159), kWhite);
  EXPECT_EQ(p.Pixel(173, 161), kWhite);
  // ...to the generated node's frame, whose pixel the line leaves unpainted.
  EXPECT_EQ(p.Pixel(397, 160), kLime);
  // The second line starts beside the second source.
  EXPECT_EQ(p.Pixel(173, 460), kNavy);
  EXPECT_EQ(p.Pixel(173, 461), kWhite);
  // Without links only the frames remain.
  EXPECT_TRUE(AllPixels(Render(false), 173, 160, 396, 160, kWhite));
}

TEST_F(DrawingTest, NodesWithoutAnImageAreNotDrawn) {
  struct Size {
    int width, height;
  };
  for (const Size s : {Size{0, 0}, Size{0, 50}, Size{50, 0}}) {
    scheme.Clear();
    const int n = AddNode(s.width, s.height, 50, 50);
    scheme.SetWidth(n, s.width);
    scheme.SetHeight(n, s.height);
    scheme.SetSelected(n, true);
    EXPECT_TRUE(AllPixels(Render(), 0, 0, 639, 479, kWhite)) << s.width << "x" << s.height;
  }
}

TEST_F(DrawingTest, NodesPartlyOffTheBoardAreClippedNotDropped) {
  // A small image whose node lies up and to the left: its preview still
  // reaches into the board and is drawn there.
  AddNode(100, 80, -110, -90);
  const Bitmap p = Render();
  EXPECT_EQ(p.Pixel(0, 0), Pattern(110 * 100 / 160, 90 * 80 / 120));
  EXPECT_TRUE(AllPixels(p, 52, 0, 52, 32, kNavy));  // the frame's right edge
  EXPECT_EQ(p.Pixel(0, 33), kWhite);
  EXPECT_EQ(p.Pixel(53, 0), kWhite);
}

TEST_F(DrawingTest, LinksOfAGeneratedNodeFarOffTheBoardStillCrossIt) {
  const int a = AddNode(160, 120, 300, 300);
  const int b = AddNode(160, 120, 300, 100);
  scheme.AddBlendedImage(a, b, 50, false);
  const int g = scheme.GetImageCount() - 1;
  scheme.SetLeft(g, -5000);
  scheme.SetTop(g, -5000);
  const Bitmap p = Render();
  EXPECT_EQ(p.Pixel(463, 360), kNavy);
  EXPECT_EQ(p.Pixel(463, 160), kNavy);
  // A node entirely beyond the board's right and bottom edges leaves no trace.
  scheme.Clear();
  AddNode(160, 120, 700, 500);
  EXPECT_TRUE(AllPixels(Render(), 0, 0, 639, 479, kWhite));
}

TEST_F(DrawingTest, HugePositionsFromAProjectDoNotBreakDrawing) {
  const int a = AddNode(16, 16, 2147483647, -2147483647 - 1);
  const int b = AddNode(16, 16, 10, 10);
  scheme.AddBlendedImage(a, b, 50, false);
  const int g = scheme.GetImageCount() - 1;
  scheme.SetLeft(g, -2147483647 - 1);
  scheme.SetTop(g, 2147483647);
  view.Paint(&scheme);
  EXPECT_EQ(board.picture.Pixel(10, 10), Pattern(0, 0));
  view.MouseMove(&scheme, {}, 20, 20);
  EXPECT_EQ(view.GetHotImage(), b);
}

}  // namespace
}  // namespace mv::test
