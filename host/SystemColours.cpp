#include "SystemColours.h"

#include <QApplication>

namespace mv {

QColor QColorFromPixel(MvPixel colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

MvPixel PixelFromQColor(const QColor& colour) {
  return static_cast<MvPixel>(colour.red()) | static_cast<MvPixel>(colour.green()) << 8 |
         static_cast<MvPixel>(colour.blue()) << 16;
}

SystemColours SystemColoursFrom(const QPalette& palette) {
  SystemColours c;
  c.BtnFace = PixelFromQColor(palette.color(QPalette::Active, QPalette::Button));
  c.BtnShadow = PixelFromQColor(palette.color(QPalette::Active, QPalette::Dark));
  c.BtnHighlight = PixelFromQColor(palette.color(QPalette::Active, QPalette::Light));
  c.Window = PixelFromQColor(palette.color(QPalette::Active, QPalette::Base));
  c.WindowText = PixelFromQColor(palette.color(QPalette::Active, QPalette::WindowText));
  c.Menu = PixelFromQColor(palette.color(QPalette::Active, QPalette::Window));
  c.MenuText = PixelFromQColor(palette.color(QPalette::Active, QPalette::WindowText));
  c.MenuBar = PixelFromQColor(palette.color(QPalette::Active, QPalette::Window));
  c.GrayText = PixelFromQColor(palette.color(QPalette::Disabled, QPalette::WindowText));
  c.HotLight = PixelFromQColor(palette.color(QPalette::Active, QPalette::Link));
  c.Highlight = PixelFromQColor(palette.color(QPalette::Active, QPalette::Highlight));
  return c;
}

SystemColours CurrentSystemColours() { return SystemColoursFrom(QApplication::palette()); }

}  // namespace mv
