#include "LoaderTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "DynamicLibrary.h"
#include "TestSupport.h"

namespace mv::test {

namespace {

// The loader objects, finalised and deleted at exit as the host does when it
// closes; their libraries stay loaded until the process ends.
struct Loaded {
  std::map<std::string, MvLoader*> byId;
  ~Loaded() {
    for (auto& [id, loader] : byId) {
      loader->Finalize();
      delete loader;
    }
  }
};

}  // namespace

MvLoader& Loader(const std::string& identifier) {
  static Loaded loaded{[] {
    std::map<std::string, MvLoader*> found;
    for (const char* file : {"images", "png", "jpeg", "bmp", "tiff", "webp"}) {
      const std::string path = (BinDir() / "Plugins" / (std::string(file) + ".plugin")).string();
      DynamicLibrary::Handle lib = DynamicLibrary::Open(path);
      if (!lib) {
        ADD_FAILURE() << "cannot load " << path << ": " << DynamicLibrary::LastError();
        continue;
      }
      auto entry = reinterpret_cast<MvPluginEntryFn>(DynamicLibrary::Symbol(lib, "PluginEntry"));
      MvPlugin* plugin = entry ? entry(StandInHost::Services()) : nullptr;
      auto* loader = dynamic_cast<MvLoader*>(plugin);
      if (!loader || !loader->Initialize()) {
        ADD_FAILURE() << path << " holds no loader";
        continue;
      }
      found[loader->GetIdentifier()] = loader;
    }
    return found;
  }()};
  auto it = loaded.byId.find(identifier);
  if (it == loaded.byId.end()) {
    ADD_FAILURE() << "no loader " << identifier;
    std::abort();
  }
  return *it->second;
}

Node MakeNode(int width, int height, const std::function<MvPixel(int, int)>& f) {
  Node n;
  n.Resize(width, height);
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y) n.At(x, y) = f(x, y);
  return n;
}

Node NoiseNode(int width, int height, std::uint32_t seed) {
  std::uint32_t s = seed | 1;
  return MakeNode(width, height, [&s](int, int) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  });
}

std::optional<Node> LoadFile(const std::string& path, const std::string& loaderId,
                             std::vector<StandInHost::Status>* statuses) {
  MvLoader& loader = Loader(loaderId);
  StandInHost host;
  int index = host.AddNode();
  std::optional<Node> result;
  if (loader.CanLoadFile(path) && loader.LoadImage(&index, path)) result = host.nodes[index];
  if (statuses) *statuses = host.statuses;
  return result;
}

bool SaveNode(const std::string& loaderId, const Node& node, const std::string& path) {
  StandInHost host;
  host.nodes.push_back(node);
  Node& stored = host.nodes.back();
  stored.Resize(node.width, node.height);  // rebuild the column pointers over the copy
  int index = 0;
  return Loader(loaderId).SaveImage(&index, path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

::testing::AssertionResult Compare(const Node& expected, const Node& actual, int tolerance) {
  if (expected.width != actual.width || expected.height != actual.height)
    return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                         << expected.width << "x" << expected.height;
  for (int x = 0; x < expected.width; ++x)
    for (int y = 0; y < expected.height; ++y) {
      const MvPixel e = expected.At(x, y) & 0xFFFFFFu, a = actual.At(x, y);
      bool same = (a >> 24) == 0;
      for (int shift = 0; shift < 24 && same; shift += 8)
        same = std::abs(int((e >> shift) & 0xFF) - int((a >> shift) & 0xFF)) <= tolerance;
      if (!same) {
        std::ostringstream m;
        m << "pixel (" << x << ", " << y << ") is 0x" << std::hex << a << ", expected 0x" << e;
        return ::testing::AssertionFailure() << m.str();
      }
    }
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult SamePixels(const Node& expected, const Node& actual) {
  return Compare(expected, actual, 0);
}

::testing::AssertionResult NearPixels(const Node& expected, const Node& actual, int tolerance) {
  return Compare(expected, actual, tolerance);
}

}  // namespace mv::test
