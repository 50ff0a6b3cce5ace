// Painting the board and one drag step, with previews scaled from
// 24-megapixel images and three caption lines under every node.
//
// A hundred distinct 24-megapixel nodes would need some 19 GB, so the bench
// scheme lends a few shared images to all its nodes (GetPixels, GetWidth and
// GetHeight are overridden); everything else is the real model, the real
// services table and a registry with three in-process filters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <QApplication>

#include "BenchSupport.h"
#include "BoardSurface.h"
#include "HostServices.h"
#include "MvText.h"
#include "PluginManager.h"
#include "SchemeManager.h"
#include "SchemeView.h"

namespace {

using namespace mv;

constexpr int kNodes = 100;
constexpr int kGenerated = 10;     // the last nodes are blends, so links are drawn too
constexpr int kSharedImages = 4;

class BenchFilter final : public MvFilter {
 public:
  BenchFilter(const char* id, const char* name, bool mask) : id_(id), name_(Utf8ToCp1251(name)), mask_(mask) {}
  std::string GetAuthor() override { return {}; }
  std::string GetCompany() override { return {}; }
  std::string GetRights() override { return {}; }
  std::string GetWebAddress() override { return {}; }
  std::string GetEmail() override { return {}; }
  std::string GetIdentifier() override { return id_; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return mask_; }
  bool ApplyChannels(int, std::uint8_t) override { return true; }
  bool Apply(int, int) override { return true; }
  std::string GetName() override { return name_; }

 private:
  std::string id_, name_;
  bool mask_;
};

/// A registry whose filters live in this process.
class BenchRegistry final : public TPluginManager {
 public:
  BenchRegistry() {
    filters_.push_back(std::make_unique<BenchFilter>("F_Negative", "Негатив", true));
    filters_.push_back(std::make_unique<BenchFilter>("F_Blur", "Размытие", false));
    filters_.push_back(std::make_unique<BenchFilter>("F_Extract", "Выделение каналов", true));
  }
  int GetFilterCount() override { return static_cast<int>(filters_.size()); }
  MvFilter* GetFilter(int index) override { return filters_[index].get(); }

 private:
  std::vector<std::unique_ptr<BenchFilter>> filters_;
};

/// The real model, whose nodes all show one of a few shared big images.
class BenchScheme final : public TSchemeManager {
 public:
  PixelColumns GetPixels(int index) override {
    return shared ? images[index % images.size()]->columns() : TSchemeManager::GetPixels(index);
  }
  int GetWidth(int index) override { return shared ? images[index % images.size()]->width() : TSchemeManager::GetWidth(index); }
  int GetHeight(int index) override {
    return shared ? images[index % images.size()]->height() : TSchemeManager::GetHeight(index);
  }
  bool shared = false;
  std::vector<std::unique_ptr<bench::ColumnImage>> images;
};

struct Board {
  Board() {
    for (int k = 0; k < kSharedImages; ++k) {
      scheme.images.push_back(std::make_unique<bench::ColumnImage>(bench::kWidth24, bench::kHeight24));
      scheme.images.back()->FillNoise(k + 1);
    }
    Host() = HostContext{&registry, &scheme, nullptr};
    scheme.PluginManager = &registry;
    for (int i = 0; i < kNodes - kGenerated; ++i) scheme.AddImageAt(nullptr, 1, 1, 0, 0);
    for (int i = 0; i < kGenerated; ++i) scheme.AddBlendedImage(2 * i, 2 * i + 1, 50, false);
    for (int i = 0; i < kNodes; ++i) {
      scheme.AppendFilterEntry(i, TFilterEntry{"F_Negative", 5});
      scheme.AppendFilterEntry(i, TFilterEntry{"F_Blur", 7});
      scheme.AppendFilterEntry(i, TFilterEntry{"F_Extract", static_cast<std::uint8_t>(i % 8)});
      // A 10 x 10 grid over the largest board.
      scheme.SetLeft(i, 8 + (i % 10) * 200);
      scheme.SetTop(i, 8 + (i / 10) * 150);
      scheme.SetSelected(i, i % 7 == 0);
    }
    scheme.shared = true;
    view.Canvas = &surface;
  }
  ~Board() { Host() = HostContext{}; }

  BenchRegistry registry;
  BenchScheme scheme;
  TSchemeView view;
  BoardSurface surface;  // never shown: the hand-over is measured, not the screen
};

// With --benchmark_repetitions, the best run: the machine is shared.
double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

Board& TheBoard() {
  static Board board;
  return board;
}

void Paint(benchmark::State& state, int sample) {
  Board& b = TheBoard();
  b.view.SampleWidth = sample;
  b.view.SampleHeight = sample == 160 ? 120 : sample;
  b.view.ViewRect = TRect{0, 0, 2048, 1536};
  b.view.Paint(&b.scheme);  // warm the caches and the scratch memory
  for (auto _ : state) {
    b.view.Paint(&b.scheme);
    benchmark::DoNotOptimize(b.surface.Picture().Data());
  }
}
BENCHMARK_CAPTURE(Paint, 160, 160)->Name("board.paint.100x160")->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Min);
BENCHMARK_CAPTURE(Paint, 512, 512)->Name("board.paint.100x512")->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Min);

void Drag(benchmark::State& state) {
  Board& b = TheBoard();
  b.view.SampleWidth = 160;
  b.view.SampleHeight = 120;
  b.view.ViewRect = TRect{0, 0, 1280, 1024};
  // Press on node 33 (put back at 608, 458) and move it back and forth.
  constexpr int kNode = 33;
  b.scheme.SetLeft(kNode, 608);
  b.scheme.SetTop(kNode, 458);
  b.view.MouseMove(&b.scheme, {}, 650, 500);
  b.view.MouseDown(&b.scheme, Qt::LeftButton, {}, 650, 500);
  if (!b.view.Dragging || b.view.DragImage != kNode) {
    state.SkipWithError("the press did not start a drag");
    return;
  }
  int step = 0;
  b.view.MouseMove(&b.scheme, {}, 651, 500);
  for (auto _ : state) {
    ++step;
    b.view.MouseMove(&b.scheme, {}, 650 + (step & 15), 500 + (step & 7));
    benchmark::DoNotOptimize(b.surface.Picture().Data());
  }
  b.view.MouseUp(&b.scheme, Qt::LeftButton, {}, 650, 500);
}
BENCHMARK(Drag)->Name("board.drag.1280x1024")->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Min);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
