// Moving pixels between row-major bands (what codecs read and write) and the
// node layout (an array of column pointers, red in the low byte, bits 24-31
// clear).
//
// Plain standard C++ with SSE2, no Qt: the codec glue hands in raw rows. The
// hot paths are 4 x 4 block transposes over strips of columns, so a whole
// 24-megapixel image moves in a few tens of milliseconds; every other layout
// is first turned into node pixels row by row in a small band buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MvPlugin.h"

namespace mv::loaders {

/// How the pixels of a source row are stored.
enum class RowLayout : std::uint8_t {
  Rgbx,        ///< bytes R, G, B, any
  Bgrx,        ///< 32-bit words 0x..RRGGBB (bytes B, G, R, any)
  Bgra,        ///< 0xAARRGGBB, straight alpha
  BgraPremul,  ///< 0xAARRGGBB, premultiplied alpha
  Rgba,        ///< bytes R, G, B, A, straight alpha
  RgbaPremul,  ///< bytes R, G, B, A, premultiplied alpha
  Gray8,       ///< one grey byte
  Indexed8,    ///< one byte, looked up in a 256-entry table of node pixels
  InvertedCmyk ///< bytes C, M, Y, K as Adobe writes them (inverted)
};

/// How the pixels of a row handed to a writer are stored.
enum class RowFormat : std::uint8_t {
  Rgbx,  ///< bytes R, G, B, 0
  Bgrx,  ///< 32-bit words 0xFFRRGGBB
  Rgb24, ///< bytes R, G, B
  Bgr24  ///< bytes B, G, R
};

/// The orientation a file asks for, applied in this order: mirror left to
/// right, flip top to bottom, then rotate 90 degrees clockwise.
struct Orientation {
  bool mirror = false;
  bool flip = false;
  bool rotate90 = false;
  bool IsIdentity() const { return !mirror && !flip && !rotate90; }
};

/// The node pixel of a colour with straight alpha `a`, laid over white.
inline MvPixel OverWhite(unsigned r, unsigned g, unsigned b, unsigned a) {
  const unsigned w = 255u * (255u - a);
  r = (r * a + w + 127u) / 255u;
  g = (g * a + w + 127u) / 255u;
  b = (b * a + w + 127u) / 255u;
  return r | (g << 8) | (b << 16);
}

/// Turns `count` source pixels into node pixels. `palette` (256 entries) is
/// used by Indexed8 only.
void ConvertRow(RowLayout layout, const std::uint8_t* src, int count, const MvPixel* palette, MvPixel* dst);

/// Stores the rows of a source image, band by band, into the columns of a
/// node that already has the oriented size (width x height, or height x width
/// when the orientation rotates). Allocates its band buffer once, in the
/// constructor, so that nothing can fail once the node has been resized;
/// Store itself never allocates.
class ColumnStore {
 public:
  ColumnStore(int srcWidth, int srcHeight, Orientation orientation);
  /// The node's columns, before the first Store.
  void Attach(PixelColumns columns) { columns_ = columns; }
  /// Rows [y0, y0 + count) of the source, `stride` bytes apart.
  void Store(const std::uint8_t* rows, std::ptrdiff_t stride, RowLayout layout, const MvPixel* palette, int y0,
             int count);

 private:
  void StoreNodeRows(const MvPixel* rows, std::ptrdiff_t stridePixels, int y0, int count);

  PixelColumns columns_ = nullptr;
  int width_, height_;
  Orientation orientation_;
  std::vector<MvPixel> band_;
};

/// Reads bands of rows out of a node's columns for a writer. Allocates its
/// band buffer once, in the constructor.
class RowLoad {
 public:
  RowLoad(const PixelColumns columns, int width, int height);
  /// Rows [y0, y0 + count) into `rows`, `stride` bytes apart (may be negative
  /// to lay the band out bottom-up).
  void Load(int y0, int count, RowFormat format, std::uint8_t* rows, std::ptrdiff_t stride);

 private:
  const PixelColumns columns_;
  int width_, height_;
  std::vector<MvPixel> band_;
};

/// Rows handled per band by the two classes above.
inline constexpr int kBandRows = 16;

}  // namespace mv::loaders
