#include "WindowPainting.h"

#include <algorithm>
#include <cstdlib>

#include <QPainter>
#include <QWidget>

#include "Canvas.h"

namespace mv {

namespace {

int Channel(MvPixel p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

}  // namespace

MvPixel ToPixel(const QColor& colour) {
  return static_cast<MvPixel>(colour.red()) | static_cast<MvPixel>(colour.green()) << 8 |
         static_cast<MvPixel>(colour.blue()) << 16;
}

ButtonColours ButtonColoursOf(const QPalette& palette) {
  ButtonColours c;
  c.face = ToPixel(palette.color(QPalette::Active, QPalette::Button));
  c.highlight = ToPixel(palette.color(QPalette::Active, QPalette::Light));
  c.shadow = ToPixel(palette.color(QPalette::Active, QPalette::Dark));
  return c;
}

void DrawRaisedFrame(Bitmap& target, MvPixel face, MvPixel highlight, MvPixel shadow) {
  const int w = target.Width(), h = target.Height();
  if (target.Empty()) return;
  Canvas canvas(target);
  canvas.BrushColour = face;
  canvas.FillRect(0, 0, w, h);
  canvas.PenColour = highlight;
  canvas.Outline(0, 0, w - 1, h - 1);
  canvas.PenColour = shadow;
  canvas.Line(w - 1, 0, w - 1, h);
  canvas.Line(0, h - 1, w, h - 1);
}

void DrawCornerGradient(Bitmap& target, MvPixel face, MvPixel shadow, int factor) {
  const int w = target.Width(), h = target.Height();
  target.Fill(face);
  if (target.Empty()) return;
  int spread = 0;
  for (int shift : {0, 8, 16}) spread = std::max(spread, std::abs(Channel(face, shift) - Channel(shadow, shift)));
  const int n = factor * spread;
  Canvas canvas(target);
  for (int i = 0; i < n; ++i) {
    MvPixel colour = 0;
    for (int shift : {0, 8, 16}) {
      const int s = Channel(shadow, shift), f = Channel(face, shift);
      colour |= static_cast<MvPixel>(s - i * (s - f) / n) << shift;
    }
    canvas.PenColour = colour;
    canvas.Line(w - i, h, w, h - i);
  }
}

void PaintPicture(QWidget* widget, const Bitmap& picture) {
  QPainter painter(widget);
  painter.drawImage(0, 0, picture.ToImage());
}

}  // namespace mv
