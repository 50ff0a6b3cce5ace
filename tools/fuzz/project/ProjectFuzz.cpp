// Feeds arbitrary bytes to the project reader. It must never crash, and what
// it accepts must save and load again, and from then on save to the same bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzHost.h"

namespace {

struct Host {
  Host() {
    // Saves sync to disk: keep the files in memory where that costs nothing.
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/mv-fuzz-project-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    mv::SetPrompts(&prompts);
  }
  ~Host() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  mv::fuzz::Registry registry;
  mv::fuzz::SilentPrompts prompts;
  std::string folder;
};

Host& TheHost() {
  static Host host;
  return host;
}

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "project round trip broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Host& host = TheHost();
  const std::string input = host.folder + "/input.mvl";
  {
    const int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    for (std::size_t done = 0; done < size;) {
      const ssize_t r = ::write(fd, data + done, size - done);
      if (r <= 0) std::abort();
      done += static_cast<std::size_t>(r);
    }
    ::close(fd);
  }

  mv::TSchemeManager scheme;
  scheme.PluginManager = &host.registry;
  mv::fuzz::Scheme() = &scheme;
  if (!scheme.LoadFromFile(input)) return 0;

  // A record whose filter lost its channel support since it was written is
  // saved without its mask and then dropped on reading, so the bytes settle
  // from the second save on.
  const std::string first = host.folder + "/first.mvl", second = host.folder + "/second.mvl",
                    third = host.folder + "/third.mvl";
  Check(scheme.SaveToFile(first), "saving what was read");
  mv::TSchemeManager again;
  again.PluginManager = &host.registry;
  mv::fuzz::Scheme() = &again;
  Check(again.LoadFromFile(first), "reading what was saved");
  Check(again.GetImageCount() == scheme.GetImageCount(), "node count");
  Check(again.SaveToFile(second), "saving again");
  mv::TSchemeManager last;
  last.PluginManager = &host.registry;
  mv::fuzz::Scheme() = &last;
  Check(last.LoadFromFile(second), "reading the second save");
  Check(last.SaveToFile(third), "saving a third time");
  Check(ReadAll(second) == ReadAll(third), "the saves differ");
  mv::fuzz::Scheme() = nullptr;
  return 0;
}
