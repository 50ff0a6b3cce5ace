// The scheme model on 24-megapixel nodes.
//   blend.24mp         recomputing a generated node from two 24-megapixel
//                      sources, both of the node's images written; compared with copy
//   chain.rerun.3deps  re-running a node's one-filter chain while three generated
//                      nodes depend on it, each with a one-filter chain of its own
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "HostServices.h"
#include "PluginManager.h"
#include "SchemeManager.h"

namespace {

using mv::bench::ColumnImage;
using mv::bench::kHeight24;
using mv::bench::kWidth24;

MvServices g_services{};

// A trivial filter: it asks for the node's pixels through the services table
// and counts its calls, so the figure is the scheme's own work (resets,
// blends, bookkeeping).
class TrivialFilter final : public MvFilter {
 public:
  std::string GetAuthor() override { return {}; }
  std::string GetCompany() override { return {}; }
  std::string GetRights() override { return {}; }
  std::string GetWebAddress() override { return {}; }
  std::string GetEmail() override { return {}; }
  std::string GetIdentifier() override { return "B_Trivial"; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return true; }
  bool ApplyChannels(int image, std::uint8_t) override {
    benchmark::DoNotOptimize(g_services.GetImagePixels(image));
    ++calls;
    return true;
  }
  bool Apply(int, int) override { return true; }
  std::string GetName() override { return "trivial"; }
  long calls = 0;
};

// A registry holding filters made in this process instead of loaded libraries.
class BenchRegistry final : public mv::TPluginManager {
 public:
  void Add(MvFilter* filter) { Filters.push_back(mv::TPlugin{nullptr, filter}); }
  ~BenchRegistry() override { Filters.clear(); }
};

// Two 24-megapixel plain nodes from noise (junk in bits 24-31 included).
void AddSources(mv::TSchemeManager& scheme) {
  ColumnImage a(kWidth24, kHeight24), b(kWidth24, kHeight24);
  a.FillNoise(1);
  b.FillNoise(2);
  scheme.AddImage(a.columns(), kWidth24, kHeight24);
  scheme.AddImage(b.columns(), kWidth24, kHeight24);
}

void Blend24(benchmark::State& state) {
  mv::TSchemeManager scheme;
  AddSources(scheme);
  scheme.AddBlendedImage(0, 1, 50, false);
  int ratio = 40;
  for (auto _ : state) {
    // A new ratio each time: the table is rebuilt and the node rewritten.
    scheme.SetBlendRatio(2, ratio);
    ratio = ratio == 40 ? 60 : 40;
    benchmark::DoNotOptimize(scheme.GetPixels(2)[0][0]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth24) * kHeight24);
  state.SetLabel("vs:copy");
}
BENCHMARK(Blend24)->Name("blend.24mp")->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void ChainRerun3Deps(benchmark::State& state) {
  TrivialFilter filter;
  BenchRegistry registry;
  registry.Add(&filter);
  mv::InitServices(&g_services);
  registry.Services = &g_services;
  mv::TSchemeManager scheme;
  scheme.PluginManager = &registry;
  mv::Host().Registry = &registry;
  mv::Host().Scheme = &scheme;

  AddSources(scheme);
  scheme.ApplyFilter(0, 0);
  // 2 = blend(0, 1), 3 = blend(2, 0), 4 = blend(3, 1): all three depend on node 0.
  for (auto [first, second] : {std::pair{0, 1}, std::pair{2, 0}, std::pair{3, 1}}) {
    scheme.AddBlendedImage(first, second, 50, false);
    scheme.ApplyFilter(scheme.GetImageCount() - 1, 0);
  }
  filter.calls = 0;
  for (auto _ : state) {
    scheme.RunFilterChain(0);
    benchmark::ClobberMemory();
  }
  if (filter.calls != 4 * state.iterations()) state.SkipWithError("the re-run called the filter more than 4 times");
  mv::Host() = mv::HostContext{};
}
BENCHMARK(ChainRerun3Deps)->Name("chain.rerun.3deps")->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
