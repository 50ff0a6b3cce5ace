// Drawing on a Bitmap with the meaning the program's pictures are specified in:
// a line from start to end leaves the end point unpainted; an outline runs
// through both given corners (inclusive); a fill covers [left, right) x
// [top, bottom). Pixel primitives are plain code of ours; glyphs are rendered
// by Qt (a QPainter on a QImage over the bitmap's memory), so text needs a
// QGuiApplication.
//
// Colours are pixels in the node layout (red in the low byte). The canvas
// draws on a bitmap it does not own; the bitmap must outlive the canvas.
//
// Text is the costly part, so a canvas opens one QPainter on its bitmap at the
// first text (or ellipse) and keeps it until the canvas goes, and it keeps the
// Qt font and metrics of the last FontSpec it used, with the widths and
// layouts of the texts it drew in that font (a picture draws the same
// captions many times). Pixel primitives write the memory directly, which the
// open painter does not mind. Re-sizing the bitmap while a canvas is drawing
// on it is fine: the painter is reopened.
#pragma once

#include <memory>
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
  explicit Canvas(Bitmap& target);
  ~Canvas();
  /// Copies the settings and the target; the copy opens its own painter.
  Canvas(const Canvas& other);
  Canvas& operator=(const Canvas& other);

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
  struct FontCache;
  struct Painter;
  /// The Qt font and metrics for Font, rebuilt only when Font changes.
  FontCache& Fonts() const;
  /// The painter over the bitmap, opened (or reopened) as needed; null for an
  /// empty bitmap.
  Painter* Paint();

  Bitmap* bitmap_;
  mutable std::unique_ptr<FontCache> fonts_;
  std::unique_ptr<Painter> painter_;
};

}  // namespace mv
