// Drawing on a Bitmap with the meaning the program's pictures are specified in:
// a line from start to end leaves the end point unpainted; an outline runs
// through both given corners (inclusive); a fill covers [left, right) x
// [top, bottom). Pixel primitives are plain code of ours; glyphs are rendered
// by Qt (a QPainter on a QImage over the bitmap's memory), so text needs a
// QGuiApplication.
//
// Colours are pixels in the node layout (red in the low byte). The canvas
// draws on a bitmap it does not own; the bitmap must outlive the canvas.
#pragma once

#include <string>

#include <QFont>

#include "Bitmap.h"

namespace mv {

/// A font request. Fonts the system lacks ("MS Sans Serif", "Tahoma") fall
/// back to DejaVu Sans.
struct FontSpec {
  std::string name = "MS Sans Serif";
  int pointSize = 8;   // used when pixelHeight is 0; converted at 96 dots per inch
  int pixelHeight = 0; // character height in pixels, when given
  bool bold = false;
  bool italic = false;
  MvPixel colour = 0;  // black

  /// The Qt font for this request.
  QFont ToQFont() const;
};

class Canvas {
 public:
  explicit Canvas(Bitmap& target) : bitmap_(&target) {}

  MvPixel PenColour = 0;          // lines, outlines
  MvPixel BrushColour = MV_WHITE; // fills and the text background
  bool TextBackground = true;     // text drawn on an opaque brush-coloured box
  FontSpec Font;

  Bitmap& Target() { return *bitmap_; }

  void SetPixel(int x, int y, MvPixel colour) { bitmap_->SetPixel(x, y, colour); }
  /// A one-pixel line in PenColour from (x0, y0) towards (x1, y1); (x1, y1) itself is not painted.
  void Line(int x0, int y0, int x1, int y1);
  /// A one-pixel outline in PenColour whose outer pixels run from (x0, y0) to (x1, y1) inclusive.
  void Outline(int x0, int y0, int x1, int y1);
  /// Fills [left, right) x [top, bottom) with BrushColour.
  void FillRect(int left, int top, int right, int bottom);
  /// A filled ellipse in the box [left, right) x [top, bottom): BrushColour
  /// inside, outlined in PenColour.
  void Ellipse(int left, int top, int right, int bottom);
  /// Copies `picture` with its top-left corner at (x, y), clipped to the target.
  void Draw(int x, int y, const Bitmap& picture);
  /// Draws UTF-8 text with its top-left corner at (x, y).
  void TextOut(int x, int y, const std::string& text);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;

 private:
  Bitmap* bitmap_;
};

}  // namespace mv
