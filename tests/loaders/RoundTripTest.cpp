// Each export loader writes what it promises, and what it writes loads back:
// exactly for the lossless formats, within a small error for JPEG.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "LoaderTestSupport.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;

namespace {

// Sizes around the 4 x 4 blocks and 32-column strips of the pixel moves, and
// the 16-row bands of the streaming writers.
const std::pair<int, int> kSizes[] = {{1, 1}, {1, 9}, {7, 1}, {3, 2}, {37, 13}, {64, 33}, {5, 70}, {101, 17}};

TEST(RoundTrip, LosslessFormatsAreExact) {
  TempDir dir;
  for (const char* id : {"L_PNG", "L_BMP", "L_TIFF", "L_WebP"}) {
    for (auto [w, h] : kSizes) {
      SCOPED_TRACE(std::string(id) + " " + std::to_string(w) + "x" + std::to_string(h));
      const Node source = NoiseNode(w, h, static_cast<std::uint32_t>(w * 131 + h));
      const std::string file = (dir / "out.img").string();
      ASSERT_TRUE(SaveNode(id, source, file));
      auto loaded = LoadFile(file);
      ASSERT_TRUE(loaded);
      EXPECT_TRUE(SamePixels(source, *loaded));
    }
  }
}

// Gentle ramps (with junk in bits 24-31): what JPEG is made for.
Node Smooth(int w, int h) {
  return MakeNode(w, h, [w, h](int x, int y) {
    return MvPixel(40 + x * 160 / w) | MvPixel(200 - y * 150 / h) << 8 | MvPixel(90 + (x + y) * 60 / (w + h)) << 16 |
           0xAB000000u;
  });
}

TEST(RoundTrip, JpegStaysClose) {
  TempDir dir;
  for (auto [w, h] : kSizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Node source = Smooth(w, h);
    const std::string file = (dir / "out.jpg").string();
    ASSERT_TRUE(SaveNode("L_JPEG", source, file));
    auto loaded = LoadFile(file);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(NearPixels(source, *loaded, 8));
  }
}

unsigned Be16(const std::string& s, std::size_t at) { return (unsigned char)s[at] << 8 | (unsigned char)s[at + 1]; }
unsigned Le16(const std::string& s, std::size_t at) { return (unsigned char)s[at] | (unsigned char)s[at + 1] << 8; }
std::uint32_t Le32(const std::string& s, std::size_t at) { return Le16(s, at) | std::uint32_t(Le16(s, at + 2)) << 16; }

// The segments of a JPEG up to its first scan: marker -> contents.
std::vector<std::pair<int, std::string>> JpegSegments(const std::string& s) {
  std::vector<std::pair<int, std::string>> out;
  for (std::size_t at = 2; at + 4 <= s.size() && (unsigned char)s[at] == 0xFF;) {
    const int marker = (unsigned char)s[at + 1];
    const unsigned length = Be16(s, at + 2);
    out.emplace_back(marker, s.substr(at + 4, length - 2));
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return out;
}

TEST(RoundTrip, WritersProduceThePromisedFileKinds) {
  TempDir dir;
  const Node source = NoiseNode(21, 11, 4);

  ASSERT_TRUE(SaveNode("L_PNG", source, (dir / "a.png").string()));
  const std::string png = ReadBytes((dir / "a.png").string());
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(png[24], 8) << "bit depth";
  EXPECT_EQ(png[25], 2) << "colour type RGB";

  ASSERT_TRUE(SaveNode("L_BMP", source, (dir / "a.bmp").string()));
  const std::string bmp = ReadBytes((dir / "a.bmp").string());
  EXPECT_EQ(Le16(bmp, 28), 24u) << "bits per pixel";
  EXPECT_EQ(Le32(bmp, 30), 0u) << "no compression";
  EXPECT_EQ(bmp.size(), 54u + 11 * 64) << "rows of 63 bytes padded to 64";

  ASSERT_TRUE(SaveNode("L_TIFF", source, (dir / "a.tif").string()));
  const std::string tif = ReadBytes((dir / "a.tif").string());
  ASSERT_EQ(tif.substr(0, 4), std::string("II*\0", 4));
  std::map<unsigned, std::uint32_t> tags;  // tag -> first value or offset
  const std::uint32_t ifd = Le32(tif, 4);
  for (unsigned i = 0; i < Le16(tif, ifd); ++i) {
    const std::size_t e = ifd + 2 + 12 * i;
    tags[Le16(tif, e)] = Le16(tif, e + 2) == 3 && Le32(tif, e + 4) == 1 ? Le16(tif, e + 8) : Le32(tif, e + 8);
  }
  EXPECT_EQ(tags[277], 3u) << "samples per pixel";
  EXPECT_EQ(tags[259], 1u) << "no compression";
  EXPECT_EQ(tags[262], 2u) << "RGB";
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Le16(tif, tags[258] + 2 * k), 8u) << "bits per sample";

  ASSERT_TRUE(SaveNode("L_WebP", source, (dir / "a.webp").string()));
  EXPECT_EQ(ReadBytes((dir / "a.webp").string()).substr(12, 4), "VP8L") << "the lossless bitstream";
}

TEST(RoundTrip, JpegIsQuality92WithoutChromaSubsampling) {
  TempDir dir;
  const Node source = Smooth(40, 24);
  ASSERT_TRUE(SaveNode("L_JPEG", source, (dir / "a.jpg").string()));
  const auto ours = JpegSegments(ReadBytes((dir / "a.jpg").string()));

  // Qt writes the same quantisation tables for quality 92 (both use
  // libjpeg's scaled standard tables); it cannot be asked for 4:4:4.
  QImage image(40, 24, QImage::Format_RGB32);
  image.fill(Qt::gray);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(92);
  ASSERT_TRUE(writer.write(image));
  const auto reference = JpegSegments(bytes.toStdString());

  std::vector<std::string> ourTables, referenceTables;
  std::string frame;
  for (auto& [marker, body] : ours) {
    if (marker == 0xDB) ourTables.push_back(body);
    if (marker == 0xC0) frame = body;
  }
  for (auto& [marker, body] : reference)
    if (marker == 0xDB) referenceTables.push_back(body);
  EXPECT_EQ(ourTables, referenceTables);
  ASSERT_EQ(frame.size(), 6u + 3 * 3) << "a baseline frame of three components";
  for (int c = 0; c < 3; ++c) EXPECT_EQ((unsigned char)frame[6 + 3 * c + 1], 0x11) << "component " << c;
}

}  // namespace
