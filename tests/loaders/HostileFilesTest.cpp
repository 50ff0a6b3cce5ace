// Broken, truncated and hostile files are refused (a damaged JPEG loads and
// says so), and nothing that is not a regular file is ever read.
#include <sys/stat.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "FixtureFiles.h"
#include "LoaderFrame.h"
#include "LoaderTestSupport.h"
#include "MvText.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;

namespace {

// LoadImage fails and leaves the empty node. CanLoadFile reads only the
// header, so it can say no only when the damage is there (`headerBroken`).
void ExpectRefused(const std::string& path, bool headerBroken = true) {
  MvLoader& loader = Loader("L_Images");
  if (headerBroken) {
    EXPECT_FALSE(loader.CanLoadFile(path));
  }
  StandInHost host;
  int index = host.AddNode();
  EXPECT_FALSE(loader.LoadImage(&index, path));
  EXPECT_EQ(host.nodes[0].width, 0);
  EXPECT_EQ(host.nodes[0].height, 0);
}

TEST(HostileFiles, OnlyRegularFilesAreRead) {
  TempDir dir;
  const std::string fifo = (dir / "pipe.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteBytes((dir / "empty.png").string(), "");
  WriteBytes((dir / "text.png").string(), "not an image at all, just some words");
  for (const std::string& path : {(dir / "missing.png").string(), dir.path().string(), std::string("/dev/null"),
                                  std::string("/dev/zero"), fifo, (dir / "empty.png").string(),
                                  (dir / "text.png").string()}) {
    SCOPED_TRACE(path);
    ExpectRefused(path);  // a pipe without a writer must not block
  }
}

std::string QtFile(const char* format) {
  QImage image(23, 17, QImage::Format_RGB32);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 23; ++x) image.setPixel(x, y, qRgb(x * 11, y * 15, (x ^ y) * 9));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
  return bytes.toStdString();
}

TEST(HostileFiles, TruncatedFilesAreRefused) {
  TempDir dir;
  const Node source = NoiseNode(23, 17, 12);
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  for (const char* id : {"L_PNG", "L_BMP", "L_TIFF", "L_WebP"}) {
    const std::string file = (dir / "whole").string();
    ASSERT_TRUE(SaveNode(id, source, file));
    files.emplace_back(id, ReadBytes(file));
  }
  files.emplace_back("gif", mv::samples::MakeGif(23, 17, {0xFF, 0xFF00, 0xFF0000},
                                                 std::vector<std::uint8_t>(23 * 17, 1), -1));
  files.emplace_back("tga", mv::samples::MakeTga(23, 17, std::vector<MvPixel>(23 * 17, 0x123456)));
  files.emplace_back("ppm", QtFile("ppm"));
  files.emplace_back("pgm 16-bit", mv::samples::MakePgm16(23, 17, std::vector<std::uint16_t>(23 * 17, 999)));
  files.emplace_back("bmp by Qt", QtFile("bmp"));
  for (auto& [name, bytes] : files) {
    for (std::size_t cut : {std::size_t(0), std::size_t(1), std::size_t(8), std::size_t(20), bytes.size() / 4,
                            bytes.size() / 2, bytes.size() * 3 / 4, bytes.size() - 16}) {
      SCOPED_TRACE(name + " cut at " + std::to_string(cut) + " of " + std::to_string(bytes.size()));
      const std::string file = (dir / "cut").string();
      WriteBytes(file, bytes.substr(0, cut));
      ExpectRefused(file, cut <= 8);
    }
  }
}

TEST(HostileFiles, CorruptedPngIsRefused) {
  TempDir dir;
  const std::string file = (dir / "a.png").string();
  ASSERT_TRUE(SaveNode("L_PNG", NoiseNode(30, 20, 2), file));
  const std::string good = ReadBytes(file);
  for (std::size_t at : {std::size_t(17), std::size_t(30), good.size() / 2, good.size() - 20}) {
    SCOPED_TRACE("byte " + std::to_string(at));
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x5A);  // breaks a chunk's checksum
    WriteBytes(file, bad);
    ExpectRefused(file, at < 33);  // the header chunk ends at byte 33
  }
}

TEST(HostileFiles, ImpossibleSizesAreRefusedBeforeDecoding) {
  TempDir dir;
  const std::string file = (dir / "big").string();
  WriteBytes(file, mv::samples::MakePngHeaderOnly(100000, 100000));
  ExpectRefused(file);
  WriteBytes(file, mv::samples::MakePngHeaderOnly(16385, 16385));  // one row past 2^28 pixels
  ExpectRefused(file);
  WriteBytes(file, mv::samples::MakePngHeaderOnly(0, 5));
  ExpectRefused(file);

  // A TGA of a few bytes that claims 65000 x 250 pixels, footer and all: Qt's
  // reader would walk every claimed pixel past the end of the file.
  std::string tga = mv::samples::MakeTga(1, 1, {0x123456});
  tga[12] = '\xE8';
  tga[13] = '\xFD';
  tga[14] = '\xFA';
  WriteBytes(file, tga);
  ExpectRefused(file);

  // A JPEG whose frame claims 60000 x 60000.
  ASSERT_TRUE(SaveNode("L_JPEG", NoiseNode(16, 16, 1), file));
  std::string jpeg = ReadBytes(file);
  const std::size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  jpeg.replace(sof + 5, 4, "\xEA\x60\xEA\x60");
  WriteBytes(file, jpeg);
  ExpectRefused(file);
}

TEST(HostileFiles, DamagedJpegLoadsAndSaysSo) {
  TempDir dir;
  const std::string file = (dir / "a.jpg").string();
  ASSERT_TRUE(SaveNode("L_JPEG", NoiseNode(64, 48, 3), file));
  const std::string good = ReadBytes(file);
  const std::size_t scan = good.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);

  std::string garbled = good;
  for (std::size_t i = (scan + good.size()) / 2; i < (scan + good.size()) / 2 + 40; ++i) garbled[i] = '\xFF';
  const std::pair<const char*, std::string> damaged[] = {
      {"garbled scan data", garbled},
      {"cut inside the scan", good.substr(0, (scan + good.size()) / 2)},
  };
  for (auto& [name, bytes] : damaged) {
    SCOPED_TRACE(name);
    WriteBytes(file, bytes);
    std::vector<StandInHost::Status> statuses;
    auto loaded = LoadFile(file, "L_Images", &statuses);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->width, 64);
    EXPECT_EQ(loaded->height, 48);
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].text, Utf8ToCp1251(mv::loaders::kDamagedFileText));
    EXPECT_EQ(statuses[0].delayMs, 4000);
  }

  // An intact file says nothing.
  WriteBytes(file, good);
  std::vector<StandInHost::Status> statuses;
  ASSERT_TRUE(LoadFile(file, "L_Images", &statuses));
  EXPECT_TRUE(statuses.empty());
}

}  // namespace
