// Saving and loading a project of four plain 24-megapixel nodes, each beside
// the same number of bytes moved with plain large writes or reads in the same
// folder (a fresh folder under the system's temporary folder):
//   raw.write  create, write from memory in 8 MiB pieces, fsync, close
//              (a save is only done once its bytes are on disk)
//   raw.read   open, read in 8 MiB pieces into memory allocated for it, close
//              (loading, too, ends with the pixels in memory of its own)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "SchemeManager.h"

namespace {

constexpr std::size_t kPiece = std::size_t(8) << 20;

// The four-node scheme, saved once, in a folder removed at exit.
struct Fixture {
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mv-bench-project-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    project = folder + "/four.mvl";
    raw = folder + "/raw.bin";
    mv::bench::ColumnImage image(mv::bench::kWidth24, mv::bench::kHeight24);
    for (int i = 0; i < 4; ++i) {
      image.FillNoise(static_cast<std::uint32_t>(i + 1));
      scheme.AddImageAt(image.columns(), image.width(), image.height(), 100 * i, 0);
    }
    if (!scheme.SaveToFile(project)) std::abort();
    bytes = std::filesystem::file_size(project);
    data.reset(new std::uint8_t[bytes]);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<std::uint8_t>(i * 131);
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::string folder, project, raw;
  mv::TSchemeManager scheme;
  std::size_t bytes = 0;
  std::unique_ptr<std::uint8_t[]> data;
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void RawWrite(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    const int fd = ::open(f.raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    for (std::size_t at = 0; at < f.bytes;) {
      const ssize_t r = ::write(fd, f.data.get() + at, std::min(kPiece, f.bytes - at));
      if (r <= 0) std::abort();
      at += static_cast<std::size_t>(r);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) std::abort();
  }
}
BENCHMARK(RawWrite)->Name("raw.write")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void Save(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state)
    if (!f.scheme.SaveToFile(f.project)) state.SkipWithError("save failed");
  state.SetLabel("vs:raw.write");
}
BENCHMARK(Save)->Name("project.save.4x24mp")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void RawRead(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    std::unique_ptr<std::uint8_t[]> to(new std::uint8_t[f.bytes]);
    const int fd = ::open(f.project.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    for (std::size_t at = 0; at < f.bytes;) {
      const ssize_t r = ::read(fd, to.get() + at, std::min(kPiece, f.bytes - at));
      if (r <= 0) std::abort();
      at += static_cast<std::size_t>(r);
    }
    ::close(fd);
    benchmark::DoNotOptimize(to.get());
  }
}
BENCHMARK(RawRead)->Name("raw.read")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void Load(benchmark::State& state) {
  Fixture& f = Shared();
  mv::TSchemeManager loaded;
  for (auto _ : state)
    if (!loaded.LoadFromFile(f.project) || loaded.GetImageCount() != 4) state.SkipWithError("load failed");
  state.SetLabel("vs:raw.read");
}
BENCHMARK(Load)->Name("project.load.4x24mp")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

}  // namespace
