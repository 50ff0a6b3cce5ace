#include "Bitmap.h"

#include <algorithm>

namespace mv {

Bitmap::Bitmap(int width, int height, MvPixel fill) { Reset(width, height, fill); }

void Bitmap::Reset(int width, int height, MvPixel fill) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<std::size_t>(width_) * height_, fill);
}

MvPixel Bitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return Row(y)[x] & 0x00FFFFFFu;
}

void Bitmap::SetPixel(int x, int y, MvPixel colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Row(y)[x] = colour;
}

void Bitmap::Fill(MvPixel colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

QImage Bitmap::AsImage() {
  if (Empty()) return QImage();
  return QImage(reinterpret_cast<uchar*>(pixels_.data()), width_, height_, width_ * 4, QImage::Format_RGBX8888);
}

QImage Bitmap::ToImage() const {
  QImage out(width_, height_, QImage::Format_RGB32);
  for (int y = 0; y < height_; ++y) {
    const MvPixel* src = Row(y);
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < width_; ++x) {
      const MvPixel p = src[x];
      dst[x] = qRgb(p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF);
    }
  }
  return out;
}

}  // namespace mv
