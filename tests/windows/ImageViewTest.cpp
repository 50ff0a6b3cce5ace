// The full-size view sizes itself to its picture: picture + 4 each way, that
// size as its minimum and the picture centred, or maximised with scroll bars
// when the picture does not fit the desktop.
#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "ImageViewFrm.h"

using namespace mv;

namespace {

// A picture whose every pixel says where it is: red = x, green = y (mod 256).
Bitmap Numbered(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, static_cast<MvPixel>((x & 0xFF) | (y & 0xFF) << 8 | 0x40u << 16));
  return b;
}

QRgb Expected(int x, int y) { return qRgb(x & 0xFF, y & 0xFF, 0x40); }

TEST(ImageView, FittingPictureSetsClientMinimumAndCentres) {
  TImageViewForm f;
  EXPECT_EQ(f.windowTitle(), "Просмотр изображения");
  EXPECT_TRUE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
  f.SetPicture(Numbered(100, 50).ToImage(), QSize(1280, 1024));
  EXPECT_EQ(f.size(), QSize(104, 54));
  EXPECT_EQ(f.minimumSize(), QSize(104, 54));
  EXPECT_FALSE(f.windowState() & Qt::WindowMaximized);

  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  // Exactly the picture inside the panel's border: no scroll bars.
  EXPECT_EQ(f.ScrollBox->viewport()->size(), QSize(100, 50));
  EXPECT_EQ(f.ScrollBox->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(f.ScrollBox->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(f.Image->PictureOrigin(), QPoint(0, 0));
  const QImage shown = f.Image->grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), Expected(0, 0));
  EXPECT_EQ(shown.pixel(99, 49), Expected(99, 49));
  EXPECT_EQ(shown.pixel(37, 21), Expected(37, 21));

  // Enlarged: the picture stays in the middle of the face-coloured background.
  f.resize(304, 254);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.Image->size(), QSize(300, 250));
  EXPECT_EQ(f.Image->PictureOrigin(), QPoint(100, 100));
  const QImage big = f.Image->grab().toImage();
  EXPECT_EQ(big.pixel(100, 100), Expected(0, 0));
  EXPECT_EQ(big.pixel(199, 149), Expected(99, 49));
  EXPECT_EQ(big.pixel(10, 10), f.palette().color(QPalette::Button).rgb());
}

TEST(ImageView, PictureLargerThanTheDesktopOpensMaximisedWithScrollBars) {
  struct Case {
    const char* name;
    QSize picture;
  };
  for (const Case& c : {Case{"wider", {900, 100}}, Case{"taller", {100, 700}}}) {
    SCOPED_TRACE(c.name);
    TImageViewForm f;
    f.SetPicture(Numbered(c.picture.width(), c.picture.height()).ToImage(), QSize(800, 600));
    EXPECT_TRUE(f.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(f.minimumSize(), QSize(0, 0));
    EXPECT_TRUE(f.Image->AutoSize());
    EXPECT_EQ(f.Image->size(), c.picture);
  }
  // Against the real screen (the offscreen one is far smaller than this).
  TImageViewForm f;
  f.SetPicture(Numbered(1600, 1200));
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_TRUE(f.windowState() & Qt::WindowMaximized);
  EXPECT_GT(f.ScrollBox->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(f.ScrollBox->verticalScrollBar()->maximum(), 0);
}

}  // namespace
