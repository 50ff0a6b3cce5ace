// marvolen-samplegen: writes the sample pictures (samples/) and the loader
// fuzz target's seed corpus (tools/fuzz/loaders/corpus/).
//
//   marvolen-samplegen --samples DIR   the three sample PNGs, through our PNG writer
//   marvolen-samplegen --corpus DIR    small files of every format we read
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "FixtureFiles.h"
#include "ImageFile.h"
#include "SampleImages.h"

namespace {

using namespace mv::samples;
using mv::loaders::FileFormat;

bool Save(const std::filesystem::path& path, Picture picture, FileFormat format) {
  auto columns = picture.Columns();
  if (mv::loaders::WriteImage(path.string(), format, columns.data(), picture.width, picture.height)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

bool SaveBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Picture Small(int w, int h) {
  Picture p(w, h);
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) p.At(x, y) = Rgb(x * 255 / w, y * 255 / h, (x * 37 + y * 91) & 0xFF);
  return p;
}

bool WriteSamples(const std::filesystem::path& dir) {
  bool ok = true;
  for (const Sample& s : AllSamples()) ok = Save(dir / s.fileName, s.make(), FileFormat::Png) && ok;
  return ok;
}

bool WriteCorpus(const std::filesystem::path& dir) {
  bool ok = true;
  // What our own writers produce.
  ok = Save(dir / "small.png", Small(13, 7), FileFormat::Png) && ok;
  ok = Save(dir / "single.png", Small(1, 1), FileFormat::Png) && ok;
  ok = Save(dir / "small.jpg", Small(13, 7), FileFormat::Jpeg) && ok;
  ok = Save(dir / "small.bmp", Small(13, 7), FileFormat::Bmp) && ok;
  ok = Save(dir / "small.tif", Small(13, 7), FileFormat::Tiff) && ok;
  ok = Save(dir / "small.webp", Small(13, 7), FileFormat::WebP) && ok;
  // Hand-made variants and edge files.
  const std::string jpeg = ReadBytes(dir / "small.jpg");
  ok = SaveBytes(dir / "exif-rotated.jpg", InsertExifOrientation(jpeg, 6)) && ok;
  std::string damaged = jpeg;
  for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 6; ++i) damaged[i] = '\x55';
  ok = SaveBytes(dir / "damaged.jpg", damaged) && ok;
  const std::string png = ReadBytes(dir / "small.png");
  ok = SaveBytes(dir / "truncated.png", png.substr(0, png.size() / 2)) && ok;
  ok = SaveBytes(dir / "huge-header.png", MakePngHeaderOnly(100000, 100000)) && ok;
  ok = SaveBytes(dir / "over-limit.png", MakePngHeaderOnly(16385, 16385)) && ok;
  ok = SaveBytes(dir / "palette.gif",
                 MakeGif(5, 3, {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255)},
                         {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}, 2)) &&
       ok;
  ok = SaveBytes(dir / "small.tga", MakeTga(4, 3, std::vector<MvPixel>(12, Rgb(10, 200, 30)))) && ok;
  ok = SaveBytes(dir / "deep.pgm", MakePgm16(3, 2, {0, 257, 4660, 32768, 65280, 65535})) && ok;
  ok = SaveBytes(dir / "empty", "") && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "--samples") != 0 && std::strcmp(argv[1], "--corpus") != 0)) {
    std::fprintf(stderr, "usage: %s --samples DIR | --corpus DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[2];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const bool ok = std::strcmp(argv[1], "--samples") == 0 ? WriteSamples(dir) : WriteCorpus(dir);
  return ok ? 0 : 1;
}
