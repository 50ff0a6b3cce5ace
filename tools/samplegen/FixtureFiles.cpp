#include "FixtureFiles.h"

#include <algorithm>
#include <array>

namespace mv::samples {
namespace {

void PutLe16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutBe16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}

void PutBe32(std::string& s, std::uint32_t v) {
  PutBe16(s, v >> 16);
  PutBe16(s, v & 0xFFFF);
}

// LSB-first bit packing, as GIF's LZW stream wants it.
class BitWriter {
 public:
  void Put(unsigned code, int bits) {
    acc_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += bits;
    while (count_ >= 8) {
      bytes.push_back(static_cast<char>(acc_ & 0xFF));
      acc_ >>= 8;
      count_ -= 8;
    }
  }
  void Flush() {
    if (count_ > 0) bytes.push_back(static_cast<char>(acc_ & 0xFF));
    acc_ = 0;
    count_ = 0;
  }
  std::string bytes;

 private:
  std::uint32_t acc_ = 0;
  int count_ = 0;
};

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string MakeGif(int width, int height, const std::vector<MvPixel>& palette,
                    const std::vector<std::uint8_t>& indices, int transparent) {
  std::string s = "GIF89a";
  PutLe16(s, static_cast<unsigned>(width));
  PutLe16(s, static_cast<unsigned>(height));
  s.push_back(static_cast<char>(0xF7));  // global table of 256 entries, 8 bits per colour
  s.push_back(0);                        // background index
  s.push_back(0);                        // aspect
  for (int i = 0; i < 256; ++i) {
    const MvPixel c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
    s.push_back(static_cast<char>(c & 0xFF));
    s.push_back(static_cast<char>((c >> 8) & 0xFF));
    s.push_back(static_cast<char>((c >> 16) & 0xFF));
  }
  if (transparent >= 0) {  // graphic control extension
    s += "\x21\xF9\x04";
    s.push_back(1);  // transparency flag
    PutLe16(s, 0);   // delay
    s.push_back(static_cast<char>(transparent));
    s.push_back(0);
  }
  s.push_back(0x2C);  // image descriptor
  PutLe16(s, 0);
  PutLe16(s, 0);
  PutLe16(s, static_cast<unsigned>(width));
  PutLe16(s, static_cast<unsigned>(height));
  s.push_back(0);  // no local table, not interlaced
  s.push_back(8);  // LZW minimum code size
  // Codes stay 9 bits wide: a clear code every 200 literals keeps the
  // decoder's table from growing past 511 entries.
  constexpr unsigned kClear = 256, kEnd = 257;
  BitWriter bits;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i % 200 == 0) bits.Put(kClear, 9);
    bits.Put(indices[i], 9);
  }
  bits.Put(kEnd, 9);
  bits.Flush();
  for (std::size_t at = 0; at < bits.bytes.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, bits.bytes.size() - at);
    s.push_back(static_cast<char>(n));
    s.append(bits.bytes, at, n);
  }
  s.push_back(0);     // end of the image data
  s.push_back(0x3B);  // trailer
  return s;
}

std::string MakeTga(int width, int height, const std::vector<MvPixel>& pixels) {
  std::string s;
  s.push_back(0);  // no identification field
  s.push_back(0);  // no colour map
  s.push_back(2);  // uncompressed true colour
  s.append(5, '\0');  // colour map fields (none)
  PutLe16(s, 0);      // x origin
  PutLe16(s, 0);      // y origin
  PutLe16(s, static_cast<unsigned>(width));
  PutLe16(s, static_cast<unsigned>(height));
  s.push_back(24);
  s.push_back(0);  // bottom-left origin, no alpha bits
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) {
      const MvPixel p = pixels[static_cast<std::size_t>(y) * width + x];
      s.push_back(static_cast<char>((p >> 16) & 0xFF));
      s.push_back(static_cast<char>((p >> 8) & 0xFF));
      s.push_back(static_cast<char>(p & 0xFF));
    }
  // The TGA 2.0 footer: no extension or developer area.
  s.append(8, '\0');
  s += std::string("TRUEVISION-XFILE.\0", 18);
  return s;
}

std::string MakePgm16(int width, int height, const std::vector<std::uint16_t>& samples) {
  std::string s = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n";
  for (std::uint16_t v : samples) PutBe16(s, v);
  return s;
}

namespace {

void PngChunk(std::string& s, const char* type, const std::string& data) {
  PutBe32(s, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  s += body;
  PutBe32(s, Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
}

std::string PngHeader(std::uint32_t width, std::uint32_t height, bool interlaced) {
  std::string ihdr;
  PutBe32(ihdr, width);
  PutBe32(ihdr, height);
  ihdr += std::string("\x08\x02\x00\x00", 4);  // 8-bit RGB, deflate, no filter
  ihdr.push_back(interlaced ? 1 : 0);
  std::string s = "\x89PNG\r\n\x1a\n";
  PngChunk(s, "IHDR", ihdr);
  return s;
}

}  // namespace

std::string MakePngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::string s = PngHeader(width, height, false);
  PngChunk(s, "IEND", "");
  return s;
}

std::string MakeInterlacedPng(int width, int height, const std::vector<MvPixel>& pixels) {
  // The seven Adam7 passes: first column, first row, column step, row step.
  static constexpr int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  std::string raw;
  for (const auto& p : kPasses) {
    if (p[0] >= width || p[1] >= height) continue;  // an empty pass has no rows at all
    for (int y = p[1]; y < height; y += p[3]) {
      raw.push_back(0);  // filter type None
      for (int x = p[0]; x < width; x += p[2]) {
        const MvPixel c = pixels[static_cast<std::size_t>(y) * width + x];
        raw.push_back(static_cast<char>(c & 0xFF));
        raw.push_back(static_cast<char>((c >> 8) & 0xFF));
        raw.push_back(static_cast<char>((c >> 16) & 0xFF));
      }
    }
  }
  std::string z = "\x78\x01";  // zlib header, then stored deflate blocks
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    PutLe16(z, static_cast<unsigned>(n));
    PutLe16(z, static_cast<unsigned>(~n & 0xFFFF));
    z.append(raw, at, n);
    if (raw.empty()) break;
  }
  std::uint32_t a = 1, b = 0;  // Adler-32
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, b << 16 | a);
  std::string s = PngHeader(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), true);
  PngChunk(s, "IDAT", z);
  PngChunk(s, "IEND", "");
  return s;
}

std::string InsertExifOrientation(const std::string& jpeg, int orientation) {
  std::string tiff = "MM";
  tiff += std::string("\x00\x2A", 2);
  PutBe32(tiff, 8);    // first directory
  PutBe16(tiff, 1);    // one entry
  PutBe16(tiff, 0x0112);  // Orientation
  PutBe16(tiff, 3);       // SHORT
  PutBe32(tiff, 1);
  PutBe16(tiff, static_cast<unsigned>(orientation));
  PutBe16(tiff, 0);
  PutBe32(tiff, 0);  // no next directory
  std::string app1 = "\xFF\xE1";
  PutBe16(app1, static_cast<unsigned>(2 + 6 + tiff.size()));
  app1 += std::string("Exif\0\0", 6);
  app1 += tiff;
  return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

}  // namespace mv::samples
