// Our drawing primitives, read back pixel by pixel.
#include <gtest/gtest.h>

#include "Canvas.h"
#include "QtPrompts.h"

namespace {

using mv::Bitmap;
using mv::Canvas;

constexpr MvPixel kRed = 0x0000FF;
constexpr MvPixel kWhite = 0xFFFFFF;

TEST(Canvas, LineLeavesItsEndPointUnpainted) {
  struct Row { int x0, y0, x1, y1; };
  for (Row r : {Row{1, 1, 8, 1}, Row{1, 1, 1, 8}, Row{8, 8, 1, 1}, Row{0, 5, 9, 2}}) {
    Bitmap b(10, 10);
    Canvas c(b);
    c.PenColour = kRed;
    c.Line(r.x0, r.y0, r.x1, r.y1);
    EXPECT_EQ(b.Pixel(r.x0, r.y0), kRed);
    EXPECT_EQ(b.Pixel(r.x1, r.y1), kWhite);
  }
  Bitmap b(10, 1);
  Canvas c(b);
  c.PenColour = kRed;
  c.Line(2, 0, 6, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(b.Pixel(x, 0), (x >= 2 && x < 6) ? kRed : kWhite) << x;
}

TEST(Canvas, OutlineRunsThroughBothCornersAndClips) {
  Bitmap b(10, 8);
  Canvas c(b);
  c.PenColour = kRed;
  c.Outline(2, 1, 6, 5);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool edge = (x == 2 || x == 6) && y >= 1 && y <= 5 ? true : (y == 1 || y == 5) && x >= 2 && x <= 6;
      EXPECT_EQ(b.Pixel(x, y), edge ? kRed : kWhite) << x << "," << y;
    }
  c.PenColour = 0;
  c.Outline(-3, -3, 20, 20);  // every edge lies outside the picture: nothing is painted
  EXPECT_EQ(b.Pixel(0, 0), kWhite);
  EXPECT_EQ(b.Pixel(9, 7), kWhite);
  c.Outline(-3, 3, 20, 20);  // only the top edge is inside, clipped to the picture
  EXPECT_EQ(b.Pixel(0, 3), 0u);
  EXPECT_EQ(b.Pixel(9, 3), 0u);
  EXPECT_EQ(b.Pixel(0, 4), kWhite);
}

TEST(Canvas, FillAndDrawClip) {
  Bitmap b(6, 4);
  Canvas c(b);
  c.BrushColour = kRed;
  c.FillRect(-2, -2, 2, 2);
  EXPECT_EQ(b.Pixel(1, 1), kRed);
  EXPECT_EQ(b.Pixel(2, 1), kWhite);
  Bitmap small(3, 3, 0x00FF00);
  c.Draw(4, 2, small);  // hangs over the right and bottom edges
  EXPECT_EQ(b.Pixel(4, 2), 0x00FF00u);
  EXPECT_EQ(b.Pixel(5, 3), 0x00FF00u);
  EXPECT_EQ(b.Pixel(3, 2), kWhite);
  c.Draw(-2, -2, small);
  EXPECT_EQ(b.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(b.Pixel(1, 0), kRed);
}

TEST(Canvas, TextIsDrawnOnItsBackgroundAndMeasured) {
  Bitmap b(100, 30);
  Canvas c(b);
  c.Font.pointSize = 6;
  c.BrushColour = kWhite;
  const int w = c.TextWidth("Применённые фильтры: ");
  const int h = c.TextHeight("Применённые фильтры: ");
  EXPECT_GT(w, 40);
  EXPECT_GE(h, 7);
  EXPECT_LE(h, 14);
  c.TextOut(2, 2, "Ж");
  int dark = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x)
      if ((b.Pixel(x, y) & 0xFF) < 0x80) ++dark;
  EXPECT_GT(dark, 3);
  EXPECT_EQ(b.Pixel(99, 29), kWhite);
}

TEST(Canvas, TextWithoutBackgroundLeavesTheBitmapAroundTheGlyphs) {
  // On a white bitmap, text without a background box must look exactly like
  // text on a white box.
  Bitmap opaque(60, 16), clear(60, 16);
  Canvas a(opaque), b(clear);
  a.Font.pointSize = b.Font.pointSize = 6;
  a.BrushColour = kWhite;
  b.TextBackground = false;
  a.TextOut(2, 2, "Жук");
  b.TextOut(2, 2, "Жук");
  int dark = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 60; ++x) {
      ASSERT_EQ(clear.Pixel(x, y), opaque.Pixel(x, y)) << x << "," << y;
      if ((opaque.Pixel(x, y) & 0xFF) < 0x80) ++dark;
    }
  EXPECT_GT(dark, 3);
}

TEST(QtPrompts, FilterTextBecomesQtNameFilters) {
  EXPECT_EQ(mv::ToQtNameFilters("PNG|*.png|JPEG|*.jpg;*.jpeg"),
            (QStringList{"PNG (*.png)", "JPEG (*.jpg *.jpeg)"}));
  EXPECT_EQ(mv::ToQtNameFilters("Marvolen Project (*.mvl)|*.mvl|Все файлы (*.*)|*.*"),
            (QStringList{"Marvolen Project (*.mvl)", "Все файлы (*.*)"}));
  EXPECT_TRUE(mv::ToQtNameFilters("").isEmpty());
}

}  // namespace
