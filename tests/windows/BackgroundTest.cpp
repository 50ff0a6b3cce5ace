// The painted backgrounds: the raised frame of the tool windows and the corner
// gradient of the information window and the about box, checked pixel by
// pixel on a bitmap and, through a grab, in the windows themselves.
#include <gtest/gtest.h>

#include <QTest>

#include "AboutFrm.h"
#include "CombineFrm.h"
#include "LayersFrm.h"
#include "PluginInfoFrm.h"
#include "WindowPainting.h"

using namespace mv;

namespace {

constexpr MvPixel Grey(int v) { return static_cast<MvPixel>(v | v << 8 | v << 16); }
constexpr MvPixel kFace = Grey(192), kShadow = Grey(128), kLight = Grey(255);

// Classic grey: c_i = 128 - i * (128 - 192) / n for every channel.
MvPixel Shade(int i, int n) { return Grey(128 - i * (128 - 192) / n); }

MvPixel FromRgb(QRgb c) { return ToPixel(QColor(c)); }

// The classic grey button colours on a widget.
void UseClassicGrey(QWidget& w) {
  QPalette p = w.palette();
  p.setColor(QPalette::Button, QColor(192, 192, 192));
  p.setColor(QPalette::Light, QColor(255, 255, 255));
  p.setColor(QPalette::Dark, QColor(128, 128, 128));
  w.setPalette(p);
}

TEST(Background, CornerGradientFollowsTheDiagonals) {
  struct Case {
    const char* name;
    int w, h, factor, n, from;  // pixels with x + y >= from are shaded, i = w + h - x - y
  };
  for (const Case& c : {Case{"information window", 353, 328, 5, 320, 362}, Case{"about box", 313, 257, 7, 448, 123}}) {
    SCOPED_TRACE(c.name);
    Bitmap b(c.w, c.h, 0x123456);
    DrawCornerGradient(b, kFace, kShadow, c.factor);
    int wrong = 0;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const MvPixel want = x + y >= c.from ? Shade(c.w + c.h - x - y, c.n) : kFace;
        if (b.Pixel(x, y) != want && ++wrong < 5) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0);
    // A few landmarks: the corner is nearly the shadow, the last diagonal nearly the face.
    EXPECT_EQ(b.Pixel(c.w - 1, c.h - 1), Shade(2, c.n));
    const int x = std::min(c.w - 1, c.from), y = c.from - x;
    EXPECT_EQ(b.Pixel(x, y), Shade(c.n - 1, c.n));
    EXPECT_EQ(b.Pixel(x - 1, y), kFace);
  }
}

TEST(Background, EqualFaceAndShadowDrawNoGradient) {
  Bitmap b(40, 30, 0);
  DrawCornerGradient(b, kFace, kFace, 5);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(b.Pixel(x, y), kFace);
}

TEST(Background, RaisedFrameIsLightTopLeftAndDarkBottomRight) {
  const int w = 171, h = 120;
  Bitmap b(w, h, 0);
  DrawRaisedFrame(b, kFace, kLight, kShadow);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const MvPixel want = (x == w - 1 || y == h - 1) ? kShadow : (x == 0 || y == 0) ? kLight : kFace;
      ASSERT_EQ(b.Pixel(x, y), want) << x << "," << y;
    }
}

// The windows paint these backgrounds with their palette's button colours.
TEST(Background, WindowsPaintTheirBackgrounds) {
  TPluginInfoForm info(nullptr);
  UseClassicGrey(info);
  QImage g = info.grab().toImage();
  EXPECT_EQ(FromRgb(g.pixel(352, 327)), Shade(2, 320));
  EXPECT_EQ(FromRgb(g.pixel(340, 320)), Shade(21, 320));
  EXPECT_EQ(FromRgb(g.pixel(200, 150)), kFace);

  TAboutForm about;
  UseClassicGrey(about);
  g = about.grab().toImage();
  EXPECT_EQ(FromRgb(g.pixel(312, 256)), Shade(2, 448));
  EXPECT_EQ(FromRgb(g.pixel(300, 230)), Shade(40, 448));
  EXPECT_EQ(FromRgb(g.pixel(2, 100)), kFace);

  TLayersForm layers;
  TCombineForm combine;
  for (QWidget* w : {static_cast<QWidget*>(&layers), static_cast<QWidget*>(&combine)}) {
    UseClassicGrey(*w);
    g = w->grab().toImage();
    EXPECT_EQ(FromRgb(g.pixel(0, 0)), kLight);
    EXPECT_EQ(FromRgb(g.pixel(0, w->height() / 2)), kLight);
    EXPECT_EQ(FromRgb(g.pixel(w->width() - 1, 0)), kShadow);
    EXPECT_EQ(FromRgb(g.pixel(w->width() / 2, w->height() - 1)), kShadow);
    EXPECT_EQ(FromRgb(g.pixel(2, 2)), kFace);
  }
}

TEST(AboutBox, EnterClosesIt) {
  TAboutForm about;
  EXPECT_EQ(about.windowTitle(), "О программе");
  EXPECT_EQ(about.size(), QSize(313, 257));
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  QTest::keyClick(&about, Qt::Key_Return);
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace
