// The handful of desktop colours the main window draws with, taken from the
// application's palette so that the strips and menus follow the desktop theme.
#pragma once

#include <QPalette>

#include "MvPlugin.h"

namespace mv {

/// Colours as pixels in the node layout (red in the low byte).
struct SystemColours {
  MvPixel BtnFace = 0xF0F0F0;       // face of buttons and panels
  MvPixel BtnShadow = 0xA0A0A0;     // shaded edge of a raised face
  MvPixel BtnHighlight = 0xFFFFFF;  // lit edge of a raised face
  MvPixel Window = 0xFFFFFF;        // background of editing areas (the board)
  MvPixel WindowText = 0x000000;
  MvPixel Menu = 0xF0F0F0;          // menu background
  MvPixel MenuText = 0x000000;
  MvPixel MenuBar = 0xF0F0F0;
  MvPixel GrayText = 0x6D6D6D;      // disabled text
  MvPixel HotLight = 0xCC6600;      // hot-tracked / checked item text
  MvPixel Highlight = 0xD77800;     // selection background
};

/// The colours of `palette`.
SystemColours SystemColoursFrom(const QPalette& palette);
/// The colours of the application's current palette.
SystemColours CurrentSystemColours();

/// A QColor for a pixel value.
QColor QColorFromPixel(MvPixel colour);
/// A pixel value for a QColor (alpha dropped).
MvPixel PixelFromQColor(const QColor& colour);

}  // namespace mv
