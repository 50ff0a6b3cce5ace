#include "MenuDrawing.h"

#include <algorithm>

namespace mv {

std::string MenuDisplayText(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '&') continue;
    if (c == ' ' && i + 1 < caption.size() && caption[i + 1] == ' ') continue;
    out += c;
  }
  return out;
}

MvPixel MenuGutterColour(const SystemColours& colours) {
  auto channel = [&](int shift) { return static_cast<MvPixel>(std::max(0, static_cast<int>((colours.BtnFace >> shift) & 0xFF) - 20)); };
  return channel(0) | channel(8) << 8 | channel(16) << 16;
}

namespace {

FontSpec MenuFont(const MenuLook& look, bool bold, MvPixel colour) {
  FontSpec f = look.WindowFont;
  f.pointSize = 8;
  f.pixelHeight = 0;
  f.bold = bold;
  f.colour = colour;
  return f;
}

/// A rectangle of the class library's kind: outlined in the pen colour along
/// the outer pixels of [left, right) x [top, bottom), filled inside with the brush.
void Rectangle(Canvas& canvas, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return;
  canvas.FillRect(left, top, right, bottom);
  canvas.Outline(left, top, right - 1, bottom - 1);
}

}  // namespace

void DrawMainMenu(Canvas& canvas, const MenuRect& r, const MenuItemState& item, const MenuLook& look) {
  const SystemColours& c = look.Colours;
  const int mid = r.Top + (r.Bottom - r.Top) / 2;

  canvas.PenColour = canvas.BrushColour = MenuGutterColour(c);
  Rectangle(canvas, r.Left, r.Top, kMenuGutterRight, r.Bottom);

  if (item.Caption == "-") {
    canvas.PenColour = c.BtnHighlight;
    canvas.Line(24, mid, r.Right - 4, mid);
    canvas.PenColour = c.BtnShadow;
    canvas.Line(24, mid - 1, r.Right - 4, mid - 1);
    return;
  }

  const MvPixel textColour = !item.Enabled ? c.GrayText : item.Checked ? c.HotLight : c.MenuText;
  canvas.Font = MenuFont(look, item.Default, textColour);

  if (item.Selected) {
    canvas.PenColour = kMenuSelectedFrame;
    canvas.BrushColour = kMenuSelectedFill;
    Rectangle(canvas, r.Left, r.Top, r.Right, r.Bottom);
  } else {
    canvas.PenColour = canvas.BrushColour = c.Menu;
    Rectangle(canvas, r.Left + kMenuGutterRight, r.Top, r.Right, r.Bottom);
  }

  canvas.TextBackground = true;
  const std::string text = MenuDisplayText(item.Caption);
  canvas.TextOut(r.Left + 24, r.Top + (r.Bottom - r.Top - canvas.TextHeight(text)) / 2, text);

  canvas.Font.colour = item.Enabled ? c.MenuText : c.GrayText;
  if (!item.ShortCut.empty()) {
    canvas.TextOut(r.Right - canvas.TextWidth(item.ShortCut) - 4,
                   r.Top + (r.Bottom - r.Top - canvas.TextHeight(item.ShortCut)) / 2, item.ShortCut);
  }

  if (item.Checked) {
    canvas.PenColour = canvas.BrushColour = c.WindowText;
    canvas.Ellipse(r.Left + 8, mid - 2, r.Left + 12, mid + 2);
  }
}

void DrawMainMenuBar(Canvas& canvas, const MenuRect& r, const MenuItemState& item, const MenuLook& look) {
  const SystemColours& c = look.Colours;
  canvas.Font = MenuFont(look, item.Default, item.Enabled ? c.MenuText : c.GrayText);
  canvas.PenColour = canvas.BrushColour = item.Selected ? c.Highlight : c.MenuBar;
  Rectangle(canvas, r.Left, r.Top, r.Right, r.Bottom);
  canvas.TextBackground = true;
  const std::string text = MenuDisplayText(item.Caption);
  canvas.TextOut(r.Left + (r.Right - r.Left - canvas.TextWidth(text)) / 2,
                 r.Top + (r.Bottom - r.Top - canvas.TextHeight(text)) / 2, text);
}

void MeasureMainMenu(const MenuItemState& item, const MenuLook& look, int& width, int& height) {
  Bitmap scratch(1, 1);
  Canvas canvas(scratch);
  canvas.Font = look.WindowFont;
  width = canvas.TextWidth(item.Caption) + (item.ShortCut.empty() ? 0 : canvas.TextWidth(item.ShortCut)) + 40;
  height = canvas.TextHeight(item.Caption) + 7;
}

}  // namespace mv
