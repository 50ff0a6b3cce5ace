#include "StreamWriters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ColumnConvert.h"

namespace mv::loaders {
namespace {

// Little-endian fields into a byte buffer.
class Bytes {
 public:
  explicit Bytes(std::size_t reserve) { data_.reserve(reserve); }
  void U16(unsigned v) {
    data_.push_back(static_cast<std::uint8_t>(v));
    data_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFFu);
    U16(v >> 16);
  }
  void Raw(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) data_.push_back(static_cast<std::uint8_t>(s[i]));
  }
  std::size_t size() const { return data_.size(); }
  const std::uint8_t* data() const { return data_.data(); }

 private:
  std::vector<std::uint8_t> data_;
};

}  // namespace

bool WriteBmp(ReplacingFile& file, const PixelColumns columns, int width, int height) {
  const std::uint64_t rowBytes = (std::uint64_t(width) * 3 + 3) & ~std::uint64_t(3);
  const std::uint64_t imageBytes = rowBytes * std::uint64_t(height);
  if (width <= 0 || height <= 0 || 54 + imageBytes > 0xFFFFFFFFull) return false;

  Bytes header(54);
  header.Raw("BM", 2);
  header.U32(static_cast<std::uint32_t>(54 + imageBytes));
  header.U32(0);   // reserved
  header.U32(54);  // pixel data offset
  header.U32(40);  // BITMAPINFOHEADER
  header.U32(static_cast<std::uint32_t>(width));
  header.U32(static_cast<std::uint32_t>(height));  // positive: rows bottom-up
  header.U16(1);                                   // planes
  header.U16(24);                                  // bits per pixel
  header.U32(0);                                   // BI_RGB
  header.U32(static_cast<std::uint32_t>(imageBytes));
  header.U32(2835);  // 72 dots per inch
  header.U32(2835);
  header.U32(0);  // colours used
  header.U32(0);  // important colours
  if (!file.WriteAll(header.data(), header.size())) return false;

  RowLoad rows(columns, width, height);
  std::vector<std::uint8_t> band(rowBytes * kBandRows, 0);  // row padding stays zero
  const auto stride = static_cast<std::ptrdiff_t>(rowBytes);
  for (int top = height; top > 0;) {
    const int n = std::min(kBandRows, top);
    top -= n;
    // Rows top .. top + n - 1, laid out last row first.
    rows.Load(top, n, RowFormat::Bgr24, band.data() + stride * (n - 1), -stride);
    if (!file.WriteAll(band.data(), rowBytes * std::size_t(n))) return false;
  }
  return true;
}

bool WriteTiff(ReplacingFile& file, const PixelColumns columns, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  const std::uint64_t rowBytes = std::uint64_t(width) * 3;
  const std::uint32_t rowsPerStrip =
      static_cast<std::uint32_t>(std::clamp<std::uint64_t>((256u << 10) / rowBytes, 1, std::uint64_t(height)));
  const std::uint32_t strips = static_cast<std::uint32_t>((std::uint64_t(height) + rowsPerStrip - 1) / rowsPerStrip);

  constexpr unsigned kEntries = 13;
  const std::uint32_t ifdEnd = 8 + 2 + kEntries * 12 + 4;
  const std::uint32_t bitsAt = ifdEnd;       // 3 SHORT
  const std::uint32_t xResAt = bitsAt + 6;   // RATIONAL
  const std::uint32_t yResAt = xResAt + 8;   // RATIONAL
  const std::uint32_t offsetsAt = yResAt + 8;
  const std::uint32_t countsAt = offsetsAt + (strips > 1 ? 4 * strips : 0);
  const std::uint32_t dataAt = countsAt + (strips > 1 ? 4 * strips : 0);
  if (std::uint64_t(dataAt) + rowBytes * std::uint64_t(height) > 0xFFFFFFFFull) return false;

  Bytes head(dataAt);
  head.Raw("II*\0", 4);
  head.U32(8);
  head.U16(kEntries);
  auto entry = [&head](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
    head.U16(tag);
    head.U16(type);
    head.U32(count);
    if (type == 3 && count == 1) {  // one SHORT sits in the low half of the value field
      head.U16(value);
      head.U16(0);
    } else {
      head.U32(value);
    }
  };
  constexpr unsigned kShort = 3, kLong = 4, kRational = 5;
  const std::uint32_t stripBytes = static_cast<std::uint32_t>(rowBytes * rowsPerStrip);
  const std::uint32_t lastStripBytes =
      static_cast<std::uint32_t>(rowBytes * (std::uint64_t(height) - std::uint64_t(rowsPerStrip) * (strips - 1)));
  entry(256, kLong, 1, static_cast<std::uint32_t>(width));
  entry(257, kLong, 1, static_cast<std::uint32_t>(height));
  entry(258, kShort, 3, bitsAt);
  entry(259, kShort, 1, 1);  // no compression
  entry(262, kShort, 1, 2);  // RGB
  entry(273, kLong, strips, strips > 1 ? offsetsAt : dataAt);
  entry(277, kShort, 1, 3);  // samples per pixel
  entry(278, kLong, 1, rowsPerStrip);
  entry(279, kLong, strips, strips > 1 ? countsAt : lastStripBytes);
  entry(282, kRational, 1, xResAt);
  entry(283, kRational, 1, yResAt);
  entry(284, kShort, 1, 1);  // one plane
  entry(296, kShort, 1, 2);  // resolution in inches
  head.U32(0);               // no further image
  for (int i = 0; i < 3; ++i) head.U16(8);
  for (int i = 0; i < 2; ++i) {
    head.U32(72);
    head.U32(1);
  }
  if (strips > 1) {
    for (std::uint32_t s = 0; s < strips; ++s) head.U32(dataAt + s * stripBytes);
    for (std::uint32_t s = 0; s < strips; ++s) head.U32(s + 1 < strips ? stripBytes : lastStripBytes);
  }
  if (head.size() != dataAt || !file.WriteAll(head.data(), head.size())) return false;

  // The strips follow one another, so the rows go out in order.
  RowLoad rows(columns, width, height);
  std::vector<std::uint8_t> band(rowBytes * kBandRows);
  const auto stride = static_cast<std::ptrdiff_t>(rowBytes);
  for (int y = 0; y < height; y += kBandRows) {
    const int n = std::min(kBandRows, height - y);
    rows.Load(y, n, RowFormat::Rgb24, band.data(), stride);
    if (!file.WriteAll(band.data(), rowBytes * std::size_t(n))) return false;
  }
  return true;
}

}  // namespace mv::loaders
