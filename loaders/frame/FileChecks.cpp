#include "FileChecks.h"

#include <cstdint>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace mv::loaders {
namespace {

// Sequential reads through a small window over the file.
class Bytes {
 public:
  explicit Bytes(int fd) : fd_(fd) {
    struct stat st {};
    size_ = ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  }
  std::uint64_t size() const { return size_; }

  /// The byte at `at`, or -1 past the end.
  int At(std::uint64_t at) {
    if (at >= size_) return -1;
    if (at < start_ || at >= start_ + filled_) {
      start_ = at;
      const ssize_t n = ::pread(fd_, window_, sizeof window_, static_cast<off_t>(at));
      filled_ = n > 0 ? static_cast<std::uint64_t>(n) : 0;
      if (filled_ == 0) return -1;
    }
    return window_[at - start_];
  }
  std::uint32_t Le(std::uint64_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<std::uint32_t>(At(at + i) & 0xFF);
    return v;
  }

 private:
  int fd_;
  std::uint64_t size_ = 0, start_ = 0, filled_ = 0;
  std::uint8_t window_[1 << 16];
};

bool BmpComplete(Bytes& f) {
  if (f.size() < 26) return false;
  const std::uint64_t offset = f.Le(10, 4), header = f.Le(14, 4);
  std::int64_t w, h;
  unsigned bits, compression = 0;
  std::uint64_t imageSize = 0;
  if (header == 12) {
    w = f.Le(18, 2);
    h = f.Le(20, 2);
    bits = f.Le(24, 2);
  } else if (header >= 40 && f.size() >= 54) {
    w = static_cast<std::int32_t>(f.Le(18, 4));
    h = static_cast<std::int32_t>(f.Le(22, 4));
    bits = f.Le(28, 2);
    compression = f.Le(30, 4);
    imageSize = f.Le(34, 4);
  } else {
    return false;
  }
  if (w < 0) w = -w;
  if (h < 0) h = -h;  // top-down rows
  switch (compression) {
    case 0:    // BI_RGB
    case 3:    // BI_BITFIELDS
    case 6: {  // BI_ALPHABITFIELDS
      const std::uint64_t row = (static_cast<std::uint64_t>(w) * bits + 31) / 32 * 4;
      return offset + row * static_cast<std::uint64_t>(h) <= f.size();
    }
    case 1:  // run-length coded: only the header's data size tells
    case 2:
      return imageSize > 0 && offset + imageSize <= f.size();
    default:
      return false;
  }
}

// Skips a chain of data sub-blocks at `at`; returns the offset after its
// terminator, or 0 when the file ends first.
std::uint64_t SkipSubBlocks(Bytes& f, std::uint64_t at) {
  for (;;) {
    const int n = f.At(at);
    if (n < 0) return 0;
    if (n == 0) return at + 1;
    at += static_cast<std::uint64_t>(n) + 1;
  }
}

bool GifComplete(Bytes& f) {
  const int flags = f.At(10);
  if (flags < 0) return false;
  std::uint64_t at = 13;
  if (flags & 0x80) at += 3u << ((flags & 7) + 1);  // global colour table
  for (;;) {
    const int block = f.At(at);
    if (block == 0x21) {  // extension: label, then sub-blocks
      at = SkipSubBlocks(f, at + 2);
      if (at == 0) return false;
    } else if (block == 0x2C) {  // the first image: its data must end in the file
      const int local = f.At(at + 9);
      if (local < 0) return false;
      at += 10;
      if (local & 0x80) at += 3u << ((local & 7) + 1);
      return SkipSubBlocks(f, at + 1) != 0;
    } else {
      return false;  // the trailer before any image, or garbage
    }
  }
}

// Qt reads uncompressed TGA only, a byte at a time, and would go on through
// every pixel a short file claims: the file must hold them all, and the
// TGA 2.0 footer Qt requires after them.
bool TgaComplete(Bytes& f) {
  if (f.size() < 18 + 26) return false;
  const int type = f.At(2);
  if (type != 1 && type != 2 && type != 3) return false;
  const std::uint64_t id = static_cast<std::uint64_t>(f.At(0));
  const std::uint64_t map = f.At(1) ? std::uint64_t(f.Le(5, 2)) * ((f.At(7) + 7u) / 8u) : 0;
  const std::uint64_t pixels = std::uint64_t(f.Le(12, 2)) * f.Le(14, 2) * ((f.At(16) + 7u) / 8u);
  return 18 + id + map + pixels + 26 <= f.size();
}

}  // namespace

bool HoldsWholeImage(FileFormat format, int fd) {
  if (format != FileFormat::Bmp && format != FileFormat::Gif && format != FileFormat::Tga) return true;
  Bytes f(fd);
  switch (format) {
    case FileFormat::Bmp: return BmpComplete(f);
    case FileFormat::Gif: return GifComplete(f);
    default: return TgaComplete(f);
  }
}

}  // namespace mv::loaders
