#include "BenchSupport.h"

#include <cstring>

namespace mv::bench {

ColumnImage::ColumnImage(int width, int height)
    : width_(width), height_(height), block_(static_cast<std::size_t>(width) * height), columns_(width) {
  for (int x = 0; x < width; ++x) columns_[x] = block_.data() + static_cast<std::size_t>(x) * height;
}

void ColumnImage::FillNoise(std::uint32_t seed) {
  std::uint32_t s = seed ? seed : 1;
  for (auto& p : block_) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    p = s;
  }
}

void CopyPass(ColumnImage& from, ColumnImage& to) {
  const int w = from.width(), h = from.height();
  PixelColumns src = from.columns();
  PixelColumns dst = to.columns();
  for (int x = 0; x < w; ++x) std::memcpy(dst[x], src[x], sizeof(MvPixel) * static_cast<std::size_t>(h));
}

}  // namespace mv::bench
