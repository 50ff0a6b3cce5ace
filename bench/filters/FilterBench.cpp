// The eight filters on a 24-megapixel image (6000 x 4000) in the column layout,
// one figure each: filter.<identifier> in MP/s, labelled "vs:copy" so that
// scripts/bench.sh prints the ratio of its time to one copy pass.
//
// Each figure runs the shipped library itself: build/bin/Plugins/<name>.plugin
// is opened, its PluginEntry called with a services table whose entries 11, 12
// and 13 serve the image and whose entry 15 copies a result back into it, as
// the scheme model does. One iteration is one ApplyChannels call with mask 7,
// in place on the same image (the filters take the same time whatever the
// picture holds). Sharpen's figure thus includes making its result array,
// the copy back through SetImagePixels and freeing the array.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"

namespace {

using mv::bench::ColumnImage;

ColumnImage* g_image = nullptr;

PixelColumns GetImagePixels(int) { return g_image->columns(); }
int GetImageWidth(int) { return g_image->width(); }
int GetImageHeight(int) { return g_image->height(); }
void SetImagePixels(int, PixelColumns p) {  // what the model's SetPixels does
  if (!p) return;
  PixelColumns dst = g_image->columns();
  const std::size_t bytes = sizeof(MvPixel) * static_cast<std::size_t>(g_image->height());
  for (int x = 0; x < g_image->width(); ++x) std::memcpy(dst[x], p[x], bytes);
}

MvServices* Services() {
  static MvServices table = [] {
    MvServices s{};
    s.GetImagePixels = &GetImagePixels;
    s.GetImageWidth = &GetImageWidth;
    s.GetImageHeight = &GetImageHeight;
    s.SetImagePixels = &SetImagePixels;
    return s;
  }();
  return &table;
}

/// The filter of a shipped library (made once, kept for the process).
MvFilter* LoadFilter(const char* file) {
  const std::string path = std::string(MV_PLUGIN_DIR) + "/" + file;
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib) return nullptr;
  auto entry = reinterpret_cast<MvPluginEntryFn>(dlsym(lib, "PluginEntry"));
  if (!entry) return nullptr;
  auto* filter = dynamic_cast<MvFilter*>(entry(Services()));
  if (filter) filter->Initialize();
  return filter;
}

void Filter(benchmark::State& state, const char* file) {
  MvFilter* filter = LoadFilter(file);
  if (!filter) {
    state.SkipWithError((std::string("cannot load ") + MV_PLUGIN_DIR + "/" + file).c_str());
    return;
  }
  ColumnImage image(mv::bench::kWidth24, mv::bench::kHeight24);
  image.FillNoise(7);  // touches every page before timing
  g_image = &image;
  filter->ApplyChannels(0, 7);  // warm-up: first-use tables, allocator
  for (auto _ : state) {
    filter->ApplyChannels(0, 7);
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
  g_image = nullptr;
  state.SetItemsProcessed(state.iterations() * int64_t(image.width()) * image.height());
  state.SetLabel("vs:copy");
}

#define MV_FILTER_BENCH(file, id) \
  BENCHMARK_CAPTURE(Filter, id, file)->Name("filter." id)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime()

MV_FILTER_BENCH("negativefx.plugin", "F_Negative");
MV_FILTER_BENCH("extractfx.plugin", "F_Extract");
MV_FILTER_BENCH("lowlightfx.plugin", "F_Lowlight");
MV_FILTER_BENCH("uplightfx.plugin", "F_Uplight");
MV_FILTER_BENCH("bwfx.plugin", "F_BlackAndWhite");
MV_FILTER_BENCH("shatterfx.plugin", "F_Shatter");
MV_FILTER_BENCH("blurfx.plugin", "F_Blur");
MV_FILTER_BENCH("sharpenfx.plugin", "F_Sharpen");

}  // namespace
