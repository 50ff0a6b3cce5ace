#include "ColumnConvert.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <emmintrin.h>

static_assert(std::endian::native == std::endian::little, "pixel byte order assumes a little-endian machine");

namespace mv::loaders {
namespace {

constexpr int kStrip = 32;  // columns per strip: 8 blocks of 4 x 4 pixels
constexpr MvPixel kRgbMask = 0x00FFFFFFu;

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline MvPixel SwapRedBlue(std::uint32_t p) { return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16); }

// A source word as a node pixel (kSwap: the word is 0x..RRGGBB).
template <bool kSwap>
inline MvPixel ToNode(std::uint32_t p) {
  return kSwap ? SwapRedBlue(p) : (p & kRgbMask);
}

// A node pixel as an output word (kSwap: make 0x..RRGGBB; kOpaque: alpha byte 0xFF).
template <bool kSwap, bool kOpaque>
inline std::uint32_t FromNode(MvPixel p) {
  std::uint32_t v = kSwap ? SwapRedBlue(p) : (p & kRgbMask);
  return kOpaque ? (v | 0xFF000000u) : v;
}

template <bool kSwap>
inline __m128i ToNodeV(__m128i p) {
  const __m128i low = _mm_set1_epi32(0xFF);
  if (!kSwap) return _mm_and_si128(p, _mm_set1_epi32(static_cast<int>(kRgbMask)));
  __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), low);
  __m128i g = _mm_and_si128(p, _mm_set1_epi32(0xFF00));
  __m128i b = _mm_slli_epi32(_mm_and_si128(p, low), 16);
  return _mm_or_si128(_mm_or_si128(r, g), b);
}

template <bool kSwap, bool kOpaque>
inline __m128i FromNodeV(__m128i p) {
  __m128i v = ToNodeV<kSwap>(p);  // the same channel shuffle, and bits 24-31 cleared
  return kOpaque ? _mm_or_si128(v, _mm_set1_epi32(static_cast<int>(0xFF000000u))) : v;
}

inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
  __m128i t0 = _mm_unpacklo_epi32(a, b), t1 = _mm_unpacklo_epi32(c, d);
  __m128i t2 = _mm_unpackhi_epi32(a, b), t3 = _mm_unpackhi_epi32(c, d);
  a = _mm_unpacklo_epi64(t0, t1);
  b = _mm_unpackhi_epi64(t0, t1);
  c = _mm_unpacklo_epi64(t2, t3);
  d = _mm_unpackhi_epi64(t2, t3);
}

// Rows [0, count) of 32-bit pixels, `stride` bytes apart, into columns at
// rows y0 + [0, count). Works strip by strip so that every cache line read or
// written is used whole while it is still cached.
template <bool kSwap>
void RowsToColumns(const std::uint8_t* rows, std::ptrdiff_t stride, int width, int count, PixelColumns columns,
                   int y0) {
  for (int x0 = 0; x0 < width; x0 += kStrip) {
    const int xe = std::min(x0 + kStrip, width);
    const int xv = x0 + ((xe - x0) & ~3);
    int y = 0;
    for (; y + 4 <= count; y += 4) {
      const std::uint8_t* r0 = rows + stride * y;
      const std::uint8_t* r1 = r0 + stride;
      const std::uint8_t* r2 = r1 + stride;
      const std::uint8_t* r3 = r2 + stride;
      for (int x = x0; x < xv; x += 4) {
        __m128i a = ToNodeV<kSwap>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 4 * x)));
        __m128i b = ToNodeV<kSwap>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + 4 * x)));
        __m128i c = ToNodeV<kSwap>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r2 + 4 * x)));
        __m128i d = ToNodeV<kSwap>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r3 + 4 * x)));
        Transpose4(a, b, c, d);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns[x] + y0 + y), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns[x + 1] + y0 + y), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns[x + 2] + y0 + y), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns[x + 3] + y0 + y), d);
      }
      for (int x = xv; x < xe; ++x) {
        MvPixel* col = columns[x] + y0 + y;
        col[0] = ToNode<kSwap>(Load32(r0 + 4 * x));
        col[1] = ToNode<kSwap>(Load32(r1 + 4 * x));
        col[2] = ToNode<kSwap>(Load32(r2 + 4 * x));
        col[3] = ToNode<kSwap>(Load32(r3 + 4 * x));
      }
    }
    for (; y < count; ++y) {
      const std::uint8_t* r = rows + stride * y;
      for (int x = x0; x < xe; ++x) columns[x][y0 + y] = ToNode<kSwap>(Load32(r + 4 * x));
    }
  }
}

// Column rows y0 + [0, count) into rows [0, count) of 32-bit words.
template <bool kSwap, bool kOpaque>
void ColumnsToRows(const PixelColumns columns, int width, int y0, int count, std::uint8_t* rows,
                   std::ptrdiff_t stride) {
  for (int x0 = 0; x0 < width; x0 += kStrip) {
    const int xe = std::min(x0 + kStrip, width);
    const int xv = x0 + ((xe - x0) & ~3);
    int y = 0;
    for (; y + 4 <= count; y += 4) {
      std::uint8_t* r0 = rows + stride * y;
      std::uint8_t* r1 = r0 + stride;
      std::uint8_t* r2 = r1 + stride;
      std::uint8_t* r3 = r2 + stride;
      for (int x = x0; x < xv; x += 4) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns[x] + y0 + y));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns[x + 1] + y0 + y));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns[x + 2] + y0 + y));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns[x + 3] + y0 + y));
        Transpose4(a, b, c, d);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r0 + 4 * x), FromNodeV<kSwap, kOpaque>(a));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r1 + 4 * x), FromNodeV<kSwap, kOpaque>(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r2 + 4 * x), FromNodeV<kSwap, kOpaque>(c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r3 + 4 * x), FromNodeV<kSwap, kOpaque>(d));
      }
      for (int x = xv; x < xe; ++x) {
        const MvPixel* col = columns[x] + y0 + y;
        std::uint8_t* out[4] = {r0, r1, r2, r3};
        for (int k = 0; k < 4; ++k) {
          std::uint32_t v = FromNode<kSwap, kOpaque>(col[k]);
          std::memcpy(out[k] + 4 * x, &v, 4);
        }
      }
    }
    for (; y < count; ++y) {
      std::uint8_t* r = rows + stride * y;
      for (int x = x0; x < xe; ++x) {
        std::uint32_t v = FromNode<kSwap, kOpaque>(columns[x][y0 + y]);
        std::memcpy(r + 4 * x, &v, 4);
      }
    }
  }
}

// The low three bytes of every word, packed.
void PackRow24(const MvPixel* src, int count, std::uint8_t* dst) {
  int i = 0;
  for (; i + 4 <= count; i += 4, dst += 12) {
    std::uint64_t lo = std::uint64_t(src[i] & kRgbMask) | (std::uint64_t(src[i + 1] & kRgbMask) << 24) |
                       (std::uint64_t(src[i + 2] & 0xFFFFu) << 48);
    std::uint32_t hi = ((src[i + 2] >> 16) & 0xFFu) | ((src[i + 3] & kRgbMask) << 8);
    std::memcpy(dst, &lo, 8);
    std::memcpy(dst + 8, &hi, 4);
  }
  for (; i < count; ++i, dst += 3) {
    dst[0] = static_cast<std::uint8_t>(src[i]);
    dst[1] = static_cast<std::uint8_t>(src[i] >> 8);
    dst[2] = static_cast<std::uint8_t>(src[i] >> 16);
  }
}

inline unsigned Premultiplied(unsigned c, unsigned a) { return std::min(255u, c + 255u - a); }

}  // namespace

void ConvertRow(RowLayout layout, const std::uint8_t* src, int count, const MvPixel* palette, MvPixel* dst) {
  switch (layout) {
    case RowLayout::Rgbx:
      for (int i = 0; i < count; ++i) dst[i] = Load32(src + 4 * i) & kRgbMask;
      break;
    case RowLayout::Bgrx:
      for (int i = 0; i < count; ++i) dst[i] = SwapRedBlue(Load32(src + 4 * i));
      break;
    case RowLayout::Bgra:
      for (int i = 0; i < count; ++i) {
        std::uint32_t p = Load32(src + 4 * i);
        dst[i] = OverWhite((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24);
      }
      break;
    case RowLayout::BgraPremul:
      for (int i = 0; i < count; ++i) {
        std::uint32_t p = Load32(src + 4 * i);
        unsigned a = p >> 24;
        dst[i] = Premultiplied((p >> 16) & 0xFF, a) | (Premultiplied((p >> 8) & 0xFF, a) << 8) |
                 (Premultiplied(p & 0xFF, a) << 16);
      }
      break;
    case RowLayout::Rgba:
      for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = src + 4 * i;
        dst[i] = OverWhite(p[0], p[1], p[2], p[3]);
      }
      break;
    case RowLayout::RgbaPremul:
      for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = src + 4 * i;
        dst[i] = Premultiplied(p[0], p[3]) | (Premultiplied(p[1], p[3]) << 8) | (Premultiplied(p[2], p[3]) << 16);
      }
      break;
    case RowLayout::Gray8:
      for (int i = 0; i < count; ++i) dst[i] = MvPixel(src[i]) * 0x010101u;
      break;
    case RowLayout::Indexed8:
      for (int i = 0; i < count; ++i) dst[i] = palette[src[i]];
      break;
    case RowLayout::InvertedCmyk:
      for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = src + 4 * i;
        unsigned k = p[3];
        dst[i] = (k * p[0] / 255u) | ((k * p[1] / 255u) << 8) | ((k * p[2] / 255u) << 16);
      }
      break;
  }
}

ColumnStore::ColumnStore(int srcWidth, int srcHeight, Orientation orientation)
    : width_(srcWidth),
      height_(srcHeight),
      orientation_(orientation),
      band_(static_cast<std::size_t>(srcWidth) * kBandRows) {}

void ColumnStore::Store(const std::uint8_t* rows, std::ptrdiff_t stride, RowLayout layout, const MvPixel* palette,
                        int y0, int count) {
  if (orientation_.IsIdentity() && layout == RowLayout::Rgbx) {
    RowsToColumns<false>(rows, stride, width_, count, columns_, y0);
    return;
  }
  if (orientation_.IsIdentity() && layout == RowLayout::Bgrx) {
    RowsToColumns<true>(rows, stride, width_, count, columns_, y0);
    return;
  }
  for (int b = 0; b < count; b += kBandRows) {
    const int n = std::min(kBandRows, count - b);
    for (int k = 0; k < n; ++k)
      ConvertRow(layout, rows + stride * (b + k), width_, palette, band_.data() + static_cast<std::size_t>(k) * width_);
    StoreNodeRows(band_.data(), width_, y0 + b, n);
  }
}

void ColumnStore::StoreNodeRows(const MvPixel* rows, std::ptrdiff_t stridePixels, int y0, int count) {
  const Orientation o = orientation_;
  if (o.IsIdentity()) {
    RowsToColumns<false>(reinterpret_cast<const std::uint8_t*>(rows), stridePixels * 4, width_, count, columns_, y0);
    return;
  }
  const int w = width_, h = height_;
  for (int k = 0; k < count; ++k) {
    const MvPixel* row = rows + stridePixels * k;
    const int sy = y0 + k;
    const int y1 = o.flip ? h - 1 - sy : sy;
    if (o.rotate90) {
      // The source row becomes destination column h - 1 - y1, top to bottom.
      MvPixel* col = columns_[h - 1 - y1];
      if (o.mirror)
        for (int x = 0; x < w; ++x) col[w - 1 - x] = row[x];
      else
        std::memcpy(col, row, sizeof(MvPixel) * static_cast<std::size_t>(w));
    } else if (o.mirror) {
      for (int x = 0; x < w; ++x) columns_[w - 1 - x][y1] = row[x];
    } else {
      for (int x = 0; x < w; ++x) columns_[x][y1] = row[x];
    }
  }
}

RowLoad::RowLoad(const PixelColumns columns, int width, int height)
    : columns_(columns), width_(width), height_(height), band_(static_cast<std::size_t>(width) * kBandRows) {}

void RowLoad::Load(int y0, int count, RowFormat format, std::uint8_t* rows, std::ptrdiff_t stride) {
  count = std::min(count, height_ - y0);
  switch (format) {
    case RowFormat::Rgbx:
      ColumnsToRows<false, false>(columns_, width_, y0, count, rows, stride);
      return;
    case RowFormat::Bgrx:
      ColumnsToRows<true, true>(columns_, width_, y0, count, rows, stride);
      return;
    case RowFormat::Rgb24:
    case RowFormat::Bgr24:
      break;
  }
  auto* band = reinterpret_cast<std::uint8_t*>(band_.data());
  for (int b = 0; b < count; b += kBandRows) {
    const int n = std::min(kBandRows, count - b);
    if (format == RowFormat::Bgr24)
      ColumnsToRows<true, false>(columns_, width_, y0 + b, n, band, std::ptrdiff_t(width_) * 4);
    else
      ColumnsToRows<false, false>(columns_, width_, y0 + b, n, band, std::ptrdiff_t(width_) * 4);
    for (int k = 0; k < n; ++k)
      PackRow24(band_.data() + static_cast<std::size_t>(k) * width_, width_, rows + stride * (b + k));
  }
}

}  // namespace mv::loaders
