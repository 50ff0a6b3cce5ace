// The main window's menu look, drawn on a bitmap without any menu: gutter,
// separator lines, text colours, the selected frame, the dot of a checked item,
// the bold default item, the bar item, and the measured size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "MenuDrawing.h"

using namespace mv;

namespace {

// Colours chosen so that every role is told apart, and a blend of a text
// colour with its background stays recognisable.
MenuLook TestLook() {
  MenuLook look;
  SystemColours& c = look.Colours;
  c.BtnFace = 0x00C8C8C8;       // gutter (180, 180, 180)
  c.BtnShadow = 0x00404040;
  c.BtnHighlight = 0x00F0F0F0;
  c.Menu = 0x00FFFFFF;          // white background
  c.MenuText = 0x000000FF;      // red
  c.GrayText = 0x0000FF00;      // green
  c.HotLight = 0x00FF0000;      // blue
  c.WindowText = 0x00123456;
  c.MenuBar = 0x00E0E0E0;
  c.Highlight = 0x00804020;
  look.WindowFont.name = "Tahoma";
  look.WindowFont.pixelHeight = 11;
  return look;
}

constexpr int kW = 200, kH = 20;

Bitmap DrawItem(const MenuItemState& item, const MenuLook& look = TestLook(), MenuRect r = {0, 0, kW, kH}) {
  Bitmap b(kW, kH, 0x00FEFEFE);
  Canvas canvas(b);
  DrawMainMenu(canvas, r, item, look);
  return b;
}

int R(MvPixel p) { return p & 0xFF; }
int G(MvPixel p) { return (p >> 8) & 0xFF; }
int B(MvPixel p) { return (p >> 16) & 0xFF; }

// Pixels in [x0, x1) x [0, kH) that are the text colour, or a blend of it with
// white (the antialiased edges): the named channel dominant, the others equal.
int TintedPixels(const Bitmap& b, int x0, int x1, const std::function<bool(MvPixel)>& tinted) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = x0; x < x1; ++x) n += tinted(b.Pixel(x, y));
  return n;
}
bool Reddish(MvPixel p) { return R(p) == 255 && G(p) == B(p) && G(p) < 160; }
bool Greenish(MvPixel p) { return G(p) == 255 && R(p) == B(p) && R(p) < 160; }
bool Bluish(MvPixel p) { return B(p) == 255 && R(p) == G(p) && R(p) < 160; }

TEST(MenuText, AmpersandsGoAndBlankRunsShrinkToOne) {
  EXPECT_EQ(MenuDisplayText("&Новый"), "Новый");
  EXPECT_EQ(MenuDisplayText("Сохранить к&ак..."), "Сохранить как...");
  EXPECT_EQ(MenuDisplayText("Удалить          "), "Удалить ");
  EXPECT_EQ(MenuDisplayText("Настройка фильтров...          "), "Настройка фильтров... ");
  EXPECT_EQ(MenuDisplayText("a   b c"), "a b c");
}

TEST(MenuGutter, IsButtonFaceLessTwentyPerChannelNeverBelowZero) {
  SystemColours c;
  c.BtnFace = 0x00C8C8C8;
  EXPECT_EQ(MenuGutterColour(c), 0x00B4B4B4u);
  c.BtnFace = 0x00C81E0A;  // (10, 30, 200)
  EXPECT_EQ(MenuGutterColour(c), 0x00B40A00u);
}

TEST(MainMenuItem, SeparatorDrawsLightOverDarkFrom24To4ShortOfTheRight) {
  MenuItemState sep;
  sep.Caption = "-";
  const Bitmap b = DrawItem(sep, TestLook(), {0, 0, kW, 9});
  const int mid = 4;
  EXPECT_EQ(b.Pixel(0, 0), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(19, 8), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(20, 0), 0x00FEFEFEu) << "a separator draws nothing beyond the gutter and its lines";
  EXPECT_EQ(b.Pixel(23, mid), 0x00FEFEFEu);
  EXPECT_EQ(b.Pixel(24, mid), 0x00F0F0F0u);
  EXPECT_EQ(b.Pixel(kW - 5, mid), 0x00F0F0F0u);
  EXPECT_EQ(b.Pixel(kW - 4, mid), 0x00FEFEFEu) << "the end point is not painted";
  EXPECT_EQ(b.Pixel(24, mid - 1), 0x00404040u);
  EXPECT_EQ(b.Pixel(kW - 5, mid - 1), 0x00404040u);
  EXPECT_EQ(b.Pixel(24, mid + 1), 0x00FEFEFEu);
}

TEST(MainMenuItem, PlainItemHasGutterMenuBackgroundAndTextInMenuText) {
  MenuItemState item;
  item.Caption = "&Новый";
  item.ShortCut = "Ctrl+N";
  const Bitmap b = DrawItem(item);
  EXPECT_EQ(b.Pixel(0, 0), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(19, kH - 1), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(20, 0), 0x00FFFFFFu);
  EXPECT_EQ(b.Pixel(kW - 1, kH - 1), 0x00FFFFFFu);
  EXPECT_GT(TintedPixels(b, 24, 100, Reddish), 10);
  EXPECT_EQ(TintedPixels(b, 0, 24, Reddish), 0) << "the text starts at Left + 24";
  EXPECT_GT(TintedPixels(b, kW - 60, kW - 4, Reddish), 10) << "the shortcut ends 4 pixels short of the right";
  EXPECT_EQ(TintedPixels(b, kW - 4, kW, Reddish), 0);
}

TEST(MainMenuItem, DisabledItemDrawsCaptionAndShortcutInGrayText) {
  MenuItemState item;
  item.Caption = "Добавить изображение...";
  item.ShortCut = "Ins";
  item.Enabled = false;
  const Bitmap b = DrawItem(item);
  EXPECT_GT(TintedPixels(b, 24, 150, Greenish), 20);
  EXPECT_GT(TintedPixels(b, kW - 30, kW - 4, Greenish), 5);
  EXPECT_EQ(TintedPixels(b, 0, kW, Reddish), 0);
}

TEST(MainMenuItem, CheckedItemShowsADotInTheGutterAndHotLightCaption) {
  MenuItemState item;
  item.Caption = "Стандарт 160x120";
  item.Checked = true;
  const Bitmap b = DrawItem(item);
  const int mid = kH / 2;
  EXPECT_EQ(b.Pixel(9, mid), 0x00123456u);
  EXPECT_EQ(b.Pixel(10, mid - 1), 0x00123456u);
  EXPECT_EQ(b.Pixel(7, mid), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(12, mid), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(9, mid - 3), 0x00B4B4B4u);
  EXPECT_GT(TintedPixels(b, 24, 150, Bluish), 20);
  EXPECT_EQ(TintedPixels(b, 24, 150, Reddish), 0);
}

TEST(MainMenuItem, SelectedItemIsFramedAndFilledOverTheGutter) {
  MenuItemState item;
  item.Caption = "Восстановить";
  item.Selected = true;
  const Bitmap b = DrawItem(item);
  EXPECT_EQ(b.Pixel(0, 0), kMenuSelectedFrame);
  EXPECT_EQ(b.Pixel(kW - 1, kH - 1), kMenuSelectedFrame);
  EXPECT_EQ(b.Pixel(0, kH / 2), kMenuSelectedFrame);
  EXPECT_EQ(b.Pixel(1, 1), kMenuSelectedFill);
  EXPECT_EQ(b.Pixel(kW - 2, kH - 2), kMenuSelectedFill);
  EXPECT_EQ(b.Pixel(10, 1), kMenuSelectedFill) << "the selection covers the gutter";
}

TEST(MainMenuItem, DefaultItemIsBold) {
  MenuItemState item;
  item.Caption = "Настройка фильтров...          ";
  const Bitmap normal = DrawItem(item);
  item.Default = true;
  const Bitmap bold = DrawItem(item);
  auto ink = [](const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 24; x < b.Width(); ++x) n += R(b.Pixel(x, y)) == 255 && G(b.Pixel(x, y)) < 128;
    return n;
  };
  EXPECT_GT(ink(bold), ink(normal) + 5);
}

TEST(MainMenuItem, TheGutterEndsAtTwentyWhateverTheLeftEdge) {
  MenuItemState item;
  item.Caption = "Восстановить";
  const Bitmap b = DrawItem(item, TestLook(), {4, 0, kW, kH});
  EXPECT_EQ(b.Pixel(3, 5), 0x00FEFEFEu);
  EXPECT_EQ(b.Pixel(4, 5), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(19, 5), 0x00B4B4B4u);
  EXPECT_EQ(b.Pixel(20, 5), 0x00FEFEFEu) << "the background starts at Left + 20";
  EXPECT_EQ(b.Pixel(23, 5), 0x00FEFEFEu);
  EXPECT_EQ(b.Pixel(24, 5), 0x00FFFFFFu);
  EXPECT_EQ(TintedPixels(b, 0, 28, Reddish), 0) << "the text starts at Left + 24";
}

TEST(MainMenuBarItem, FillsWithBarColourOrHighlightAndCentresTheText) {
  const MenuLook look = TestLook();
  MenuItemState item;
  item.Caption = "&Файл";
  for (bool selected : {false, true}) {
    item.Selected = selected;
    Bitmap b(60, 18, 0x00FEFEFE);
    Canvas canvas(b);
    DrawMainMenuBar(canvas, {0, 0, 60, 18}, item, look);
    const MvPixel fill = selected ? look.Colours.Highlight : look.Colours.MenuBar;
    EXPECT_EQ(b.Pixel(0, 0), fill);
    EXPECT_EQ(b.Pixel(59, 17), fill);
    // Text pixels (the menu text colour dominant) lie in the centred box.
    canvas.Font = look.WindowFont;
    canvas.Font.pixelHeight = 0;
    canvas.Font.pointSize = 8;
    const int tw = canvas.TextWidth("Файл");
    const int x0 = (60 - tw) / 2;
    int minX = 60, maxX = -1;
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 60; ++x)
        if (R(b.Pixel(x, y)) > G(b.Pixel(x, y)) + 40) minX = std::min(minX, x), maxX = std::max(maxX, x);
    EXPECT_GE(minX, x0) << (selected ? "selected" : "plain");
    EXPECT_LE(maxX, x0 + tw);
    EXPECT_LT(minX, x0 + 3);
  }
}

TEST(MainMenuBarItem, DisabledTextIsGray) {
  MenuItemState item;
  item.Caption = "Схема";
  item.Enabled = false;
  Bitmap b(60, 18);
  Canvas canvas(b);
  MenuLook look = TestLook();
  look.Colours.MenuBar = 0x00FFFFFF;
  DrawMainMenuBar(canvas, {0, 0, 60, 18}, item, look);
  EXPECT_GT(TintedPixels(b, 0, 60, Greenish), 10);
  EXPECT_EQ(TintedPixels(b, 0, 60, Reddish), 0);
}

TEST(MeasureMainMenu, RawCaptionPlusShortcutPlusFortyByHeightPlusSeven) {
  const MenuLook look = TestLook();
  Bitmap scratch(1, 1);
  Canvas canvas(scratch);
  canvas.Font = look.WindowFont;
  MenuItemState item;
  item.Caption = "&Новый";
  item.ShortCut = "Ctrl+N";
  int w = 0, h = 0;
  MeasureMainMenu(item, look, w, h);
  EXPECT_EQ(w, canvas.TextWidth("&Новый") + canvas.TextWidth("Ctrl+N") + 40);
  EXPECT_EQ(h, canvas.TextHeight("&Новый") + 7);
  EXPECT_GT(canvas.TextWidth("&Новый"), canvas.TextWidth("Новый")) << "the raw caption, with its '&'";

  item.Caption = "Сохранить к&ак...";
  item.ShortCut.clear();
  MeasureMainMenu(item, look, w, h);
  EXPECT_EQ(w, canvas.TextWidth("Сохранить к&ак...") + 40);
}

}  // namespace
