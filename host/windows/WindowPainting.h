// The backgrounds of the auxiliary windows, drawn on an off-screen Bitmap:
// the raised frame of the two tool windows and the corner gradient of the
// information window and the about box. The routines are plain functions of a
// bitmap and colours so that they can be checked without a window.
#pragma once

#include <QPalette>

#include "Bitmap.h"

class QWidget;

namespace mv {

/// The three button colours the backgrounds are made of, as node pixels.
struct ButtonColours {
  MvPixel face = 0;       // button face
  MvPixel highlight = 0;  // light edge of a raised button
  MvPixel shadow = 0;     // dark edge of a raised button
};

/// The button colours of a palette: face = Button, highlight = Light,
/// shadow = Dark.
ButtonColours ButtonColoursOf(const QPalette& palette);

/// A QColor as a node pixel (red in the low byte) and back.
MvPixel ToPixel(const QColor& colour);

/// Fills `target` with `face`, outlines its edge in `highlight`, then draws the
/// right column and the bottom row in `shadow`: light top and left edges, dark
/// right and bottom edges.
void DrawRaisedFrame(Bitmap& target, MvPixel face, MvPixel highlight, MvPixel shadow);

/// Fills `target` with `face` and shades its bottom-right corner from `shadow`
/// towards `face` over n = factor x (largest channel difference) 45-degree
/// diagonals: diagonal i (i = 0 .. n-1) is the line from (w - i, h) to
/// (w, h - i), end point excluded, in the colour shadow - i x (shadow - face) / n
/// per channel (integer division, truncated toward zero).
void DrawCornerGradient(Bitmap& target, MvPixel face, MvPixel shadow, int factor);

/// Copies `picture` to `widget` at (0, 0). Call only from the widget's paint event.
void PaintPicture(QWidget* widget, const Bitmap& picture);

}  // namespace mv
