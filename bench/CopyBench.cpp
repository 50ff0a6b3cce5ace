// The baseline: one read-and-write pass over a 24-megapixel image in the column layout.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

void Copy(benchmark::State& state) {
  mv::bench::ColumnImage a(mv::bench::kWidth24, mv::bench::kHeight24), b(mv::bench::kWidth24, mv::bench::kHeight24);
  a.FillNoise(1);
  mv::bench::CopyPass(a, b);  // touch every page before timing
  for (auto _ : state) {
    mv::bench::CopyPass(a, b);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(a.width()) * a.height());
}
BENCHMARK(Copy)->Name("copy")->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace
