#include "PngCodec.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <png.h>
#include <unistd.h>

#include "ColumnConvert.h"

namespace mv::loaders {
namespace {

// libpng reports a fatal error through the error callback, which must not
// return: it jumps back to the setjmp of the function that made the libpng
// call. Those functions keep only plain data, so nothing needs unwinding.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

enum class Header { Bad, Interlaced, Good };

struct Decode {
  png_structp png;
  png_infop info;
  std::FILE* file;
  int width, height;
  bool alpha;
  PixelTarget* target;
  ColumnStore* store;  // made once the size is known
  std::vector<std::uint8_t>* band;
};

Header ReadHeader(Decode& d) {
  if (setjmp(png_jmpbuf(d.png))) return Header::Bad;
  png_init_io(d.png, d.file);
  png_read_info(d.png, d.info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(d.png, d.info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  if (w == 0 || h == 0 || std::int64_t(w) * h > kMaxPixels) return Header::Bad;
  if (interlace != PNG_INTERLACE_NONE) return Header::Interlaced;
  d.width = static_cast<int>(w);
  d.height = static_cast<int>(h);
  // Everything becomes 8-bit RGB with an alpha or filler byte.
  png_set_expand(d.png);  // palette to RGB, low grey depths to 8 bits, tRNS to alpha
  if (depth == 16) png_set_scale_16(d.png);  // rounds, rather than dropping the low byte
  if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(d.png);
  d.alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
  if (!d.alpha) png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(d.png, d.info);
  if (png_get_channels(d.png, d.info) != 4 || png_get_rowbytes(d.png, d.info) != std::size_t(w) * 4)
    return Header::Bad;
  return Header::Good;
}

ReadResult ReadPixels(Decode& d) {
  if (setjmp(png_jmpbuf(d.png))) return ReadResult::Failed;
  PixelColumns columns = d.target->Prepare(d.width, d.height);
  if (!columns) return ReadResult::Failed;
  d.store->Attach(columns);
  const std::size_t stride = std::size_t(d.width) * 4;
  std::array<png_bytep, kBandRows> rows;
  for (int k = 0; k < kBandRows; ++k) rows[k] = d.band->data() + stride * k;
  const RowLayout layout = d.alpha ? RowLayout::Rgba : RowLayout::Rgbx;
  for (int y = 0; y < d.height; y += kBandRows) {
    const int n = d.height - y < kBandRows ? d.height - y : kBandRows;
    png_read_rows(d.png, rows.data(), nullptr, static_cast<png_uint_32>(n));
    d.store->Store(d.band->data(), static_cast<std::ptrdiff_t>(stride), layout, nullptr, y, n);
  }
  // The rest of the file must be sound too: a bad checksum is a broken file.
  png_read_end(d.png, nullptr);
  return ReadResult::Loaded;
}

class ReleaseDecode {
 public:
  explicit ReleaseDecode(Decode& d) : d_(d) {}
  ~ReleaseDecode() {
    if (d_.png) png_destroy_read_struct(&d_.png, d_.info ? &d_.info : nullptr, nullptr);
    if (d_.file) std::fclose(d_.file);
  }
  ReleaseDecode(const ReleaseDecode&) = delete;
  ReleaseDecode& operator=(const ReleaseDecode&) = delete;

 private:
  Decode& d_;
};

}  // namespace

std::optional<ReadResult> ReadPng(int fd, PixelTarget& target) {
  Decode d{};
  ReleaseDecode release(d);
  d.target = &target;
  const int copy = ::dup(fd);
  if (copy < 0) return ReadResult::Failed;
  if (::lseek(copy, 0, SEEK_SET) != 0 || !(d.file = ::fdopen(copy, "rb"))) {
    ::close(copy);
    return ReadResult::Failed;
  }
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!d.png) return ReadResult::Failed;
  d.info = png_create_info_struct(d.png);
  if (!d.info) return ReadResult::Failed;
  switch (ReadHeader(d)) {
    case Header::Bad: return ReadResult::Failed;
    case Header::Interlaced: return std::nullopt;
    case Header::Good: break;
  }
  // Buffers are made here, outside the jumps, and before the node is touched.
  std::vector<std::uint8_t> band(std::size_t(d.width) * 4 * kBandRows);
  ColumnStore store(d.width, d.height, Orientation{});
  d.band = &band;
  d.store = &store;
  return ReadPixels(d);
}

}  // namespace mv::loaders
