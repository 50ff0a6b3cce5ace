// The loaders on a 24-megapixel photo-like picture, each beside the codec it
// is built on working alone on the same file into or from a plain buffer:
//   load.<format>.24mp  file -> node through a stand-in host   vs qt.read.<format>  file -> QImage
//   save.<format>.24mp  node -> file                           vs qt.write.<format> QImage -> file
// Our JPEG export encodes 4:4:4, which Qt's writer cannot; its baseline is
// libjpeg-turbo alone with the same settings (lib.write.jpeg). qt.write.jpeg
// (Qt's 4:2:0) is reported beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <jpeglib.h>

#include "BenchSupport.h"
#include "DynamicLibrary.h"
#include "StandInHost.h"

namespace {

using mv::test::StandInHost;

MvLoader* Loader(const char* file) {
  static std::map<std::string, MvLoader*> loaders;
  MvLoader*& l = loaders[file];
  if (!l) {
    auto lib = mv::DynamicLibrary::Open(std::string(MV_PLUGIN_DIR) + "/" + file + ".plugin");
    auto entry = lib ? reinterpret_cast<MvPluginEntryFn>(mv::DynamicLibrary::Symbol(lib, "PluginEntry")) : nullptr;
    l = entry ? dynamic_cast<MvLoader*>(entry(StandInHost::Services())) : nullptr;
    if (!l) {
      std::fprintf(stderr, "cannot load %s.plugin from %s\n", file, MV_PLUGIN_DIR);
      std::abort();
    }
  }
  return l;
}

// Smooth light with a little grain: compresses and decodes like a photo.
struct Picture {
  mv::bench::ColumnImage columns{mv::bench::kWidth24, mv::bench::kHeight24};
  QImage rows{mv::bench::kWidth24, mv::bench::kHeight24, QImage::Format_RGB32};
  Picture() {
    std::uint32_t s = 7;
    for (int y = 0; y < rows.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(rows.scanLine(y));
      for (int x = 0; x < rows.width(); ++x) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        const int grain = static_cast<int>(s & 15) - 8;
        auto c = [grain](int v) { return std::clamp(v + grain, 0, 255); };
        const int r = c(60 + (x * 150 / rows.width()) + ((x / 300 + y / 200) % 3) * 20);
        const int g = c(200 - y * 150 / rows.height() + ((x * y) >> 20) % 30);
        const int b = c(80 + ((x + y) % 700) / 7);
        line[x] = qRgb(r, g, b);
        columns.columns()[x][y] = MvPixel(r) | MvPixel(g) << 8 | MvPixel(b) << 16;
      }
    }
  }
};

Picture& Source() {
  static Picture p;
  return p;
}

std::string Dir() {
  static const std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / "marvolen-bench-loaders";
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

// The source picture as a node of the stand-in host (node 0).
void AddSourceNode(StandInHost& host) {
  const int w = Source().columns.width(), h = Source().columns.height();
  host.nodes.emplace_back();
  host.nodes[0].Resize(w, h);
  std::copy_n(Source().columns.data(), std::size_t(w) * h, host.nodes[0].block.data());
}

// A file of the picture written by our exporter, made once.
const std::string& InputFile(const char* plugin, const char* ext) {
  static std::map<std::string, std::string> files;
  std::string& path = files[ext];
  if (path.empty()) {
    path = Dir() + "/input." + ext;
    StandInHost host;
    AddSourceNode(host);
    int index = 0;
    if (!Loader(plugin)->SaveImage(&index, path)) std::abort();
  }
  return path;
}

void QtRead(benchmark::State& state, const char* plugin, const char* ext) {
  const std::string& file = InputFile(plugin, ext);
  for (auto _ : state) {
    QImageReader reader(QString::fromStdString(file));
    QImage image = reader.read();
    if (image.isNull()) state.SkipWithError("Qt could not read the file");
    benchmark::DoNotOptimize(image.constBits());
  }
}

void Load(benchmark::State& state, const char* plugin, const char* ext, const char* baseline) {
  state.SetLabel(std::string("vs:") + baseline);
  const std::string& file = InputFile(plugin, ext);
  MvLoader* loader = Loader("images");
  for (auto _ : state) {
    StandInHost host;  // a fresh node each time, as the add command makes
    int index = host.AddNode();
    if (!loader->LoadImage(&index, file)) state.SkipWithError("the loader refused the file");
    benchmark::DoNotOptimize(host.nodes[0].block.data());
  }
}

void QtWrite(benchmark::State& state, const char* format, int quality) {
  const QString file = QString::fromStdString(Dir() + "/qt." + format);
  const QImage& image = Source().rows;
  for (auto _ : state) {
    QImageWriter writer(file, format);
    if (quality >= 0) writer.setQuality(quality);
    if (!writer.write(image)) state.SkipWithError("Qt could not write the file");
  }
}

void Save(benchmark::State& state, const char* plugin, const char* ext, const char* baseline) {
  state.SetLabel(std::string("vs:") + baseline);
  const std::string file = Dir() + "/ours." + ext;
  StandInHost host;
  AddSourceNode(host);
  for (auto _ : state) {
    int index = 0;
    if (!Loader(plugin)->SaveImage(&index, file)) state.SkipWithError("the export failed");
  }
}

// libjpeg-turbo alone, quality 92, 4:4:4, from a row-major buffer.
void LibWriteJpeg(benchmark::State& state) {
  const std::string file = Dir() + "/lib.jpg";
  const QImage rgbx = Source().rows.convertToFormat(QImage::Format_RGBX8888);
  for (auto _ : state) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(rgbx.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgbx.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(rgbx.constScanLine(static_cast<int>(cinfo.next_scanline)));
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
  }
}

void Register() {
  auto fast = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
  };
  auto slow = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
  };
  fast(benchmark::RegisterBenchmark("qt.read.png", QtRead, "png", "png"));
  fast(benchmark::RegisterBenchmark("load.png.24mp", Load, "png", "png", "qt.read.png"));
  fast(benchmark::RegisterBenchmark("qt.read.jpeg", QtRead, "jpeg", "jpg"));
  fast(benchmark::RegisterBenchmark("load.jpeg.24mp", Load, "jpeg", "jpg", "qt.read.jpeg"));
  slow(benchmark::RegisterBenchmark("qt.write.png", QtWrite, "png", -1));
  slow(benchmark::RegisterBenchmark("save.png.24mp", Save, "png", "png", "qt.write.png"));
  fast(benchmark::RegisterBenchmark("qt.write.jpeg", QtWrite, "jpeg", 92));
  fast(benchmark::RegisterBenchmark("lib.write.jpeg", LibWriteJpeg));
  fast(benchmark::RegisterBenchmark("save.jpeg.24mp", Save, "jpeg", "jpg", "lib.write.jpeg"));
  fast(benchmark::RegisterBenchmark("qt.write.bmp", QtWrite, "bmp", -1));
  fast(benchmark::RegisterBenchmark("save.bmp.24mp", Save, "bmp", "bmp", "qt.write.bmp"));
  fast(benchmark::RegisterBenchmark("qt.write.tiff", QtWrite, "tiff", -1));
  fast(benchmark::RegisterBenchmark("save.tiff.24mp", Save, "tiff", "tif", "qt.write.tiff"));
  slow(benchmark::RegisterBenchmark("qt.write.webp", QtWrite, "webp", 100));
  slow(benchmark::RegisterBenchmark("save.webp.24mp", Save, "webp", "webp", "qt.write.webp"));
}

const bool kRegistered = (Register(), true);

}  // namespace
