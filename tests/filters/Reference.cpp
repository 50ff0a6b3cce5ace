#include "Reference.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace mv::test {

TestImage::TestImage(int width, int height) : width_(width), height_(height) {
  for (int x = 0; x < width; ++x) {
    columns_.emplace_back(new MvPixel[static_cast<std::size_t>(height > 0 ? height : 0)]());
    pointers_.push_back(columns_.back().get());
  }
}

TestImage::TestImage(const TestImage& other) : TestImage(other.width_, other.height_) { *this = other; }

TestImage& TestImage::operator=(const TestImage& other) {
  if (this == &other) return *this;
  if (other.width_ != width_ || other.height_ != height_) throw std::logic_error("size mismatch");
  for (int x = 0; x < width_; ++x)
    for (int y = 0; y < height_; ++y) columns_[x][y] = other.columns_[x][y];
  return *this;
}

bool TestImage::operator==(const TestImage& other) const {
  if (other.width_ != width_ || other.height_ != height_) return false;
  for (int x = 0; x < width_; ++x)
    for (int y = 0; y < height_; ++y)
      if (columns_[x][y] != other.columns_[x][y]) return false;
  return true;
}

namespace {

struct Rgb {
  int r, g, b;
};

Rgb Channels(MvPixel p) { return {int(p & 0xFF), int((p >> 8) & 0xFF), int((p >> 16) & 0xFF)}; }
MvPixel Pixel(int r, int g, int b) { return MvPixel(r) | MvPixel(g) << 8 | MvPixel(b) << 16; }

void Shatter(TestImage& p) {
  const int W = p.width(), H = p.height();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int x0 = x >= 2 ? x - 2 : 0;
      const int y0 = y >= 2 ? y - 2 : 0;
      const int x2 = x + 2 <= W - 1 ? x + 2 : x;
      const int y2 = y + 2 <= H - 1 ? y + 2 : y;
      const int x4 = x == W - 1 ? 0 : x2;
      const Rgb A = Channels(p.at(x0, y0)), B = Channels(p.at(x2, y2)), C = Channels(p.at(x4, y2));
      p.at(x, y) = Pixel((A.r + B.r + A.r + C.r) >> 2, (A.g + B.g + A.g + C.g) >> 2, (A.b + B.b + A.b + C.b) >> 2);
    }
}

void Sharpen(TestImage& p) {
  const int W = p.width(), H = p.height();
  TestImage result(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const Rgb c = Channels(p.at(x, y));
      int acc[3] = {49 * c.r, 49 * c.g, 49 * c.b};
      int count = 1;
      for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
          if (dx == 0 && dy == 0) continue;
          if (dx < 0 && x <= 1) continue;
          if (dx > 0 && x >= W - 2) continue;
          if (dy < 0 && y <= 1) continue;
          if (dy > 0 && y >= H - 2) continue;
          const Rgb n = Channels(p.at(x + dx, y + dy));
          acc[0] -= n.r, acc[1] -= n.g, acc[2] -= n.b;
          count += 1;
        }
      int v[3];
      for (int k = 0; k < 3; ++k) {
        v[k] = std::abs(acc[k] / count);  // truncated toward zero, then its magnitude
        if (v[k] > 255) v[k] = 255;
      }
      result.at(x, y) = Pixel(v[0], v[1], v[2]);
    }
  p = result;
}

void Blur(TestImage& p) {
  const int W = p.width(), H = p.height();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const Rgb c = Channels(p.at(x, y));
      int sum[3] = {c.r, c.g, c.b};
      int count = 1;
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
          if (dx == 0 && dy == 0) continue;
          if (dx == -1 && x == 0) continue;
          if (dx == 1 && x == W - 1) continue;
          if (dy == -1 && y == 0) continue;
          if (dy == 1 && y == H - 1) continue;
          const Rgb n = Channels(p.at(x + dx, y + dy));
          sum[0] += n.r, sum[1] += n.g, sum[2] += n.b;
          count += 1;
        }
      p.at(x, y) = Pixel(sum[0] / count, sum[1] / count, sum[2] / count);
    }
}

/// A point rule: per pixel, all three channels read first, then computed.
template <class F>
void EachPixel(TestImage& p, F f) {
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      int v[3] = {int(p.at(x, y) & 0xFF), int((p.at(x, y) >> 8) & 0xFF), int((p.at(x, y) >> 16) & 0xFF)};
      f(v);
      p.at(x, y) = Pixel(v[0], v[1], v[2]);
    }
}

bool Selected(std::uint8_t mask, int k) { return (mask >> k) & 1; }

}  // namespace

unsigned LowlightOf(unsigned v) {
  const double a = v * 3.141592653589793 * 0.001953125 + 4.71238898038469;
  return static_cast<unsigned>(std::trunc((std::sin(a) + 1.0) * 255.0));
}

unsigned UplightOf(unsigned v) {
  return static_cast<unsigned>(std::trunc(std::sin(v * 3.141592653589793 * 0.001953125) * 255.0));
}

void ReferenceApply(const std::string& id, TestImage& p, std::uint8_t mask) {
  if (id == "F_Shatter") return Shatter(p);
  if (id == "F_Sharpen") return Sharpen(p);
  if (id == "F_Blur") return Blur(p);
  if (id == "F_Lowlight")
    return EachPixel(p, [&](int* v) {
      for (int k = 0; k < 3; ++k)
        if (Selected(mask, k)) v[k] = int(LowlightOf(unsigned(v[k])));
    });
  if (id == "F_Uplight")
    return EachPixel(p, [&](int* v) {
      for (int k = 0; k < 3; ++k)
        if (Selected(mask, k)) v[k] = int(UplightOf(unsigned(v[k])));
    });
  if (id == "F_Negative")
    return EachPixel(p, [&](int* v) {
      for (int k = 0; k < 3; ++k)
        if (Selected(mask, k)) v[k] = 255 - v[k];
    });
  if (id == "F_BlackAndWhite")
    return EachPixel(p, [&](int* v) {
      const int g = (v[0] + v[1] + v[2]) / 3;
      v[0] = v[1] = v[2] = g;
    });
  if (id == "F_Extract")
    return EachPixel(p, [&](int* v) {
      for (int k = 0; k < 3; ++k)
        if (!Selected(mask, k)) v[k] = 0;
    });
  throw std::logic_error("no reference for " + id);
}

}  // namespace mv::test
