// Arbitrary bytes through the "every image" loader: CanLoadFile, then
// LoadImage into a stand-in host. Any crash, hang or unbounded allocation is a
// finding; so is a load that breaks the contract (a failed load that leaves
// the node sized, a loaded node with bits 24-31 set).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include <QtGlobal>

#include "LoaderFrame.h"
#include "StandInHost.h"

namespace {

using namespace mv::loaders;

constexpr LoaderInfo kInfo{"L_Images", "Все изображения", "*.*", true, false, kEveryFormat, FileFormat::Png};

// The file the loader reads: an in-memory file, reached by its path.
struct InputFile {
  int fd = -1;
  std::string path;
  InputFile() {
    fd = ::memfd_create("loader-fuzz-input", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    path = "/proc/self/fd/" + std::to_string(fd);
  }
  void Fill(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  }
};

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MvLoader* loader = [] {
    qInstallMessageHandler(Quiet);  // decoder warnings would drown the fuzzer's output
    return dynamic_cast<MvLoader*>(MakeLoader(mv::test::StandInHost::Services(), kInfo));
  }();
  static InputFile input;
  input.Fill(data, size);

  mv::test::StandInHost host;
  host.maxPixels = std::int64_t(1) << 22;  // keeps each run small; larger images fail cleanly
  int index = host.AddNode();
  if (!loader->CanLoadFile(input.path)) return 0;
  const bool loaded = loader->LoadImage(&index, input.path);
  const auto& node = host.nodes[0];
  if (index != 0) std::abort();
  if (!loaded) {
    if (node.width != 0 || node.height != 0) std::abort();
    return 0;
  }
  if (node.width <= 0 || node.height <= 0) std::abort();
  for (MvPixel p : node.block)
    if (p >> 24) std::abort();
  return 0;
}
