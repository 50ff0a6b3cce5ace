// Shared benchmark helpers: 24-megapixel images in the column layout, and the
// naming rules that scripts/bench.sh turns into its summary lines.
//
// A benchmark's name is the figure's name ("filter.F_Blur"). A benchmark that
// calls SetItemsProcessed(pixels) is reported in MP/s, any other in ms. Its
// label names the baseline it is compared with ("vs:copy"), which must be a
// figure of the same run.
#pragma once

#include <cstdint>
#include <vector>

#include "MvPlugin.h"

namespace mv::bench {

inline constexpr int kWidth24 = 6000;
inline constexpr int kHeight24 = 4000;

/// A width x height image in the column layout, all columns carved from one
/// contiguous block (column x at block + x * height), as the model holds them.
class ColumnImage {
 public:
  ColumnImage(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  PixelColumns columns() { return columns_.data(); }
  MvPixel* data() { return block_.data(); }
  /// Fills with reproducible noise (with junk in bits 24-31).
  void FillNoise(std::uint32_t seed);

 private:
  int width_, height_;
  std::vector<MvPixel> block_;
  std::vector<MvPixel*> columns_;
};

/// One read-and-write pass over the image in the column layout: the baseline
/// every pixel figure is compared with.
void CopyPass(ColumnImage& from, ColumnImage& to);

}  // namespace mv::bench
