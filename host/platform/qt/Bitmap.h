// An off-screen picture: width x height 32-bit pixels, row-major, in the node
// pixel layout (red in the low byte), so node pixels copy in unchanged.
//
// Bits 24-31 carry no meaning: Qt's glyph rendering sets them to 0xFF where it
// draws, so Pixel() masks them off. The memory is owned by the bitmap.
#pragma once

#include <vector>

#include <QImage>

#include "MvPlugin.h"

namespace mv {

class Bitmap {
 public:
  Bitmap() = default;
  /// A width x height bitmap, white. Negative sizes count as 0.
  Bitmap(int width, int height, MvPixel fill = MV_WHITE);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  MvPixel* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const MvPixel* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  MvPixel* Data() { return pixels_.data(); }
  const MvPixel* Data() const { return pixels_.data(); }

  /// Pixel (x, y) without bits 24-31; 0 outside the bitmap.
  MvPixel Pixel(int x, int y) const;
  /// Sets pixel (x, y); ignored outside the bitmap.
  void SetPixel(int x, int y, MvPixel colour);
  void Fill(MvPixel colour);
  /// Re-sizes to width x height, filled with `fill` (contents are not kept).
  void Reset(int width, int height, MvPixel fill = MV_WHITE);

  /// A QImage over this bitmap's memory (valid while the bitmap lives and is
  /// not re-sized). Format_RGBX8888 has the same byte order as our pixels.
  QImage AsImage();
  /// A QImage copy ready for the screen (opaque).
  QImage ToImage() const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<MvPixel> pixels_;
};

}  // namespace mv
