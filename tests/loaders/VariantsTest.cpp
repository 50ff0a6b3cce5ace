// Every variant of the formats we read loads with the expected pixels. The
// fixtures are made here, with Qt's writers or byte by byte; the expected
// pixels are computed from what was written, by the rules the loaders
// promise: alpha over white, 16-bit samples rounded to 8, the file's
// orientation applied.
#include <cmath>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>

#include <jpeglib.h>

#include "FixtureFiles.h"
#include "SampleImages.h"
#include "LoaderTestSupport.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;
using mv::samples::Rgb;

namespace {

constexpr int kW = 5, kH = 3;

// A straight-alpha colour laid over white.
MvPixel White(int r, int g, int b, int a) {
  auto over = [a](int c) { return static_cast<MvPixel>(std::lround((c * a + 255.0 * (255 - a)) / 255.0)); };
  return over(r) | over(g) << 8 | over(b) << 16;
}

// A 16-bit sample rounded to 8 bits.
int Eight(int v) { return static_cast<int>(std::lround(v / 257.0)); }

// Distinct values per position, so that a swapped axis shows.
int Val(int x, int y, int k) { return (x * 50 + y * 83 + k * 29) % 256; }
int Val16(int x, int y, int k) { return (x * 12345 + y * 23456 + k * 3456 + 77) % 65536; }
int Alpha(int x, int y) { return (x * 64 + y * 100) % 256; }

struct Fixture {
  std::string bytes;  // the file
  Node expected;
  std::string fileMustShow;  // a byte string the file must contain (proves the variant)
  std::size_t at = std::string::npos;  // where, or anywhere
  int tolerance = 0;
};

std::string Write(const QImage& image, const char* format, int quality = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
  return bytes.toStdString();
}

Fixture PalettePng() {
  QImage image(kW, kH, QImage::Format_Indexed8);
  const QList<QRgb> table = {qRgba(255, 0, 0, 255), qRgba(0, 200, 0, 128), qRgba(0, 0, 255, 0),
                             qRgba(90, 90, 90, 255), qRgba(10, 20, 30, 40)};
  image.setColorTable(table);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, (x + 2 * y) % 5);
  Node e = MakeNode(kW, kH, [&](int x, int y) {
    QRgb c = table[(x + 2 * y) % 5];
    return White(qRed(c), qGreen(c), qBlue(c), qAlpha(c));
  });
  return {Write(image, "png"), e, std::string(1, '\x03'), 25};  // colour type 3: palette
}

Fixture GreyPng() {
  QImage image(kW, kH, QImage::Format_Grayscale8);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.scanLine(y)[x] = static_cast<uchar>(Val(x, y, 0));
  Node e = MakeNode(kW, kH, [](int x, int y) { return MvPixel(Val(x, y, 0)) * 0x010101u; });
  return {Write(image, "png"), e, std::string(1, '\x00'), 25};  // colour type 0: grey
}

Fixture Grey16Png() {
  QImage image(kW, kH, QImage::Format_Grayscale16);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) reinterpret_cast<quint16*>(image.scanLine(y))[x] = quint16(Val16(x, y, 0));
  Node e = MakeNode(kW, kH, [](int x, int y) { return MvPixel(Eight(Val16(x, y, 0))) * 0x010101u; });
  return {Write(image, "png"), e, std::string("\x10\x00", 2), 24};  // 16 bits, grey
}

Fixture Rgb16Png() {
  QImage image(kW, kH, QImage::Format_RGBX64);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      reinterpret_cast<QRgba64*>(image.scanLine(y))[x] =
          QRgba64::fromRgba64(quint16(Val16(x, y, 0)), quint16(Val16(x, y, 1)), quint16(Val16(x, y, 2)), 65535);
  Node e = MakeNode(kW, kH, [](int x, int y) {
    return Rgb(Eight(Val16(x, y, 0)), Eight(Val16(x, y, 1)), Eight(Val16(x, y, 2)));
  });
  return {Write(image, "png"), e, std::string("\x10\x02", 2), 24};  // 16 bits, RGB
}

Fixture AlphaPng() {
  QImage image(kW, kH, QImage::Format_ARGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, qRgba(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2), Alpha(x, y)));
  Node e = MakeNode(kW, kH, [](int x, int y) { return White(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2), Alpha(x, y)); });
  return {Write(image, "png"), e, std::string("\x08\x06", 2), 24};  // 8 bits, RGBA
}

Fixture Alpha16Png() {
  QImage image(kW, kH, QImage::Format_RGBA64);
  auto a16 = [](int x, int y) { return Alpha(x, y) * 257 + 100 * (Alpha(x, y) < 255); };
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      reinterpret_cast<QRgba64*>(image.scanLine(y))[x] = QRgba64::fromRgba64(
          quint16(Val16(x, y, 0)), quint16(Val16(x, y, 1)), quint16(Val16(x, y, 2)), quint16(a16(x, y)));
  Node e = MakeNode(kW, kH, [&](int x, int y) {
    return White(Eight(Val16(x, y, 0)), Eight(Val16(x, y, 1)), Eight(Val16(x, y, 2)), Eight(a16(x, y)));
  });
  return {Write(image, "png"), e, std::string("\x10\x06", 2), 24};  // 16 bits, RGBA
}

Fixture InterlacedPng() {
  std::vector<MvPixel> rows;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) rows.push_back(Rgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)));
  Node e = MakeNode(13, 11, [](int x, int y) { return Rgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)); });
  return {mv::samples::MakeInterlacedPng(13, 11, rows), e, std::string(1, '\x01'), 28};  // Adam7
}

Fixture PaletteGif() {
  const std::vector<MvPixel> palette = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(7, 8, 9)};
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) indices.push_back(static_cast<std::uint8_t>((x + y) % 4));
  Node e = MakeNode(kW, kH, [&](int x, int y) { return (x + y) % 4 == 2 ? MV_WHITE : palette[(x + y) % 4]; });
  return {mv::samples::MakeGif(kW, kH, palette, indices, 2), e, "GIF89a", 0};
}

Fixture PaletteBmp() {
  QImage image(kW, kH, QImage::Format_Indexed8);
  const QList<QRgb> table = {qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(0, 255, 128)};
  image.setColorTable(table);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, (2 * x + y) % 3);
  Node e = MakeNode(kW, kH, [&](int x, int y) {
    QRgb c = table[(2 * x + y) % 3];
    return Rgb(qRed(c), qGreen(c), qBlue(c));
  });
  return {Write(image, "bmp"), e, std::string(1, '\x04'), 28};  // 4 bits per pixel: a palette of 16
}

Fixture Tga() {
  std::vector<MvPixel> rows;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) rows.push_back(Rgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)));
  Node e = MakeNode(kW, kH, [](int x, int y) { return Rgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)); });
  return {mv::samples::MakeTga(kW, kH, rows), e, std::string(1, '\x02'), 2};
}

Fixture Ppm() {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, qRgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)));
  Node e = MakeNode(kW, kH, [](int x, int y) { return Rgb(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2)); });
  return {Write(image, "ppm"), e, "P6", 0};
}

Fixture Pgm16() {
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) samples.push_back(static_cast<std::uint16_t>(Val16(x, y, 0)));
  Node e = MakeNode(kW, kH, [](int x, int y) { return MvPixel(Eight(Val16(x, y, 0))) * 0x010101u; });
  // Qt's PNM reader scales deep samples down by truncation, not rounding.
  return {mv::samples::MakePgm16(kW, kH, samples), e, "\n65535\n", std::string::npos, 1};
}

Fixture AlphaWebp() {
  QImage image(kW, kH, QImage::Format_ARGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, qRgba(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2), Alpha(x, y)));
  // Lossless WebP keeps the colour of fully transparent pixels as it likes;
  // over white they are white all the same.
  Node e = MakeNode(kW, kH, [](int x, int y) { return White(Val(x, y, 0), Val(x, y, 1), Val(x, y, 2), Alpha(x, y)); });
  return {Write(image, "webp", 100), e, "VP8L", 12};
}

Fixture GreyJpeg() {
  // A flat grey survives JPEG exactly.
  QImage image(16, 8, QImage::Format_Grayscale8);
  image.fill(QColor(77, 77, 77));
  Node e = MakeNode(16, 8, [](int, int) { return MvPixel(77) * 0x010101u; });
  return {Write(image, "jpeg", 92), e, std::string("\x08\x00\x08\x00\x10\x01", 6), std::string::npos};
}

// A CMYK JPEG as print software writes it (Adobe marker, inverted samples),
// made with libjpeg; the expected pixels are Qt's reading of the same file.
Fixture CmykJpeg() {
  const int w = 16, h = 8;
  std::vector<std::uint8_t> cmyk;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 4; ++k) cmyk.push_back(static_cast<std::uint8_t>(255 - (x / 8 * 90 + y * 7 + k * 40) % 256));
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < h; ++y) {
    JSAMPROW row = cmyk.data() + std::size_t(y) * w * 4;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(out);
  std::string bytes(buffer, size);
  std::free(buffer);

  QByteArray data = QByteArray::fromStdString(bytes);
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  const QImage qt = QImageReader(&device, "jpeg").read().convertToFormat(QImage::Format_RGB32);
  Node e = MakeNode(w, h, [&](int x, int y) {
    const QRgb c = qt.pixel(x, y);
    return Rgb(qRed(c), qGreen(c), qBlue(c));
  });
  return {bytes, e, "Adobe", std::string::npos};
}

TEST(Variants, LoadWithTheExpectedPixels) {
  const std::pair<const char*, Fixture (*)()> cases[] = {
      {"palette png", PalettePng}, {"grey png", GreyPng},       {"16-bit grey png", Grey16Png},
      {"16-bit png", Rgb16Png},    {"alpha png", AlphaPng},     {"16-bit alpha png", Alpha16Png},
      {"interlaced png", InterlacedPng}, {"gif", PaletteGif},         {"palette bmp", PaletteBmp}, {"tga", Tga},
      {"ppm", Ppm},                {"16-bit pgm", Pgm16},       {"alpha webp", AlphaWebp},
      {"grey jpeg", GreyJpeg},     {"cmyk jpeg", CmykJpeg},
  };
  TempDir dir;
  for (auto [name, make] : cases) {
    SCOPED_TRACE(name);
    const Fixture f = make();
    if (f.at == std::string::npos)
      EXPECT_NE(f.bytes.find(f.fileMustShow), std::string::npos) << "the fixture is not the variant it claims";
    else
      EXPECT_EQ(f.bytes.substr(f.at, f.fileMustShow.size()), f.fileMustShow) << "the fixture is not the variant";
    const std::string file = (dir / "fixture").string();  // no extension: content decides
    WriteBytes(file, f.bytes);
    auto loaded = LoadFile(file);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(NearPixels(f.expected, *loaded, f.tolerance));
  }
}

// Orientation n of the Exif standard: the pixel shown at (x, y) of the
// oriented w' x h' picture, taken from the stored w x h picture.
std::pair<int, int> ExifSource(int n, int x, int y, int w, int h) {
  switch (n) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {y, h - 1 - x};
    case 7: return {w - 1 - y, h - 1 - x};
    case 8: return {w - 1 - y, x};
    default: return {x, y};
  }
}

TEST(Variants, ExifOrientationIsApplied) {
  TempDir dir;
  // Blocks of 8 x 8 flat colours survive JPEG unchanged, so the comparison
  // is exact; the picture is asymmetric in both axes.
  const int w = 24, h = 16;
  const Node stored = MakeNode(w, h, [](int x, int y) { return Rgb(x / 8 * 100, y / 8 * 200, 50 + x / 8 * 20); });
  const std::string plain = (dir / "plain.jpg").string();
  ASSERT_TRUE(SaveNode("L_JPEG", stored, plain));
  auto decoded = LoadFile(plain);
  ASSERT_TRUE(decoded);
  ASSERT_TRUE(NearPixels(stored, *decoded, 2));
  const std::string jpeg = ReadBytes(plain);
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE("orientation " + std::to_string(n));
    const bool turned = n >= 5;
    const Node expected = MakeNode(turned ? h : w, turned ? w : h, [&](int x, int y) {
      auto [sx, sy] = ExifSource(n, x, y, w, h);
      return decoded->At(sx, sy);
    });
    const std::string file = (dir / "turned.jpg").string();
    WriteBytes(file, mv::samples::InsertExifOrientation(jpeg, n));
    auto loaded = LoadFile(file);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(SamePixels(expected, *loaded));
  }
}

}  // namespace
