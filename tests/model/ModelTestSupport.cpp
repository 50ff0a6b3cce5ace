#include "ModelTestSupport.h"

#include <memory>
#include <sstream>

namespace mv::test {

Picture::Picture(int width, int height, const std::function<MvPixel(int, int)>& colour)
    : block_(static_cast<std::size_t>(width) * height), columns_(static_cast<std::size_t>(width)) {
  for (int x = 0; x < width; ++x) {
    columns_[x] = block_.data() + static_cast<std::size_t>(x) * height;
    for (int y = 0; y < height; ++y) columns_[x][y] = colour(x, y);
  }
}

namespace {
std::vector<MvPixel> Read(PixelColumns p, int w, int h) {
  std::vector<MvPixel> out;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) out.push_back(p[x][y]);
  return out;
}
}  // namespace

std::vector<MvPixel> CurrentOf(TSchemeManager& s, int index) {
  return Read(s.GetPixels(index), s.GetWidth(index), s.GetHeight(index));
}

std::vector<MvPixel> BaseOf(TSchemeManager& s, int index) {
  return Read(s.GetBasePixels(index), s.GetBaseWidth(index), s.GetBaseHeight(index));
}

std::vector<MvPixel> Expected(int w, int h, const std::function<MvPixel(int, int)>& colour) {
  std::vector<MvPixel> out;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) out.push_back(colour(x, y));
  return out;
}

int AddFilled(TSchemeManager& s, int w, int h, MvPixel colour) {
  Picture p(w, h, [=](int, int) { return colour; });
  s.AddImage(p.columns(), static_cast<unsigned>(w), static_cast<unsigned>(h));
  return s.GetImageCount() - 1;
}

void RecordingWindow::Progress(const char* what, int value) {
  std::ostringstream s;
  s << what << " " << value << " @" << (prompts ? prompts->processed : 0);
  events.push_back(s.str());
}

std::vector<std::string> RecordingWindow::StatusesOf(const std::string& word) const {
  std::vector<std::string> out;
  for (const auto& s : statuses)
    if (s.compare(0, word.size() + 1, word + " ") == 0) out.push_back(s);
  return out;
}

namespace {

MvServices g_table{};

// Removes the test filters at the end of the run, as the main window does.
class FilterEnvironment final : public ::testing::Environment {
 public:
  void TearDown() override {
    if (!registry) return;
    while (registry->GetFilterCount() > 0) registry->RemoveFilter(0);
    while (registry->GetLoaderCount() > 0) registry->RemoveLoader(0);
  }
  std::unique_ptr<TPluginManager> registry;
  std::unique_ptr<TempDir> folder;  // kept for the whole process
};

FilterEnvironment* const g_environment =
    static_cast<FilterEnvironment*>(::testing::AddGlobalTestEnvironment(new FilterEnvironment));

}  // namespace

TPluginManager& TestFilters() {
  if (!g_environment->registry) {
    InitServices(&g_table);
    g_environment->folder = std::make_unique<TempDir>();
    const auto plugins = g_environment->folder->path() / "Plugins";
    std::filesystem::create_directory(plugins);
    for (const char* name : {"pixel_invert", "pixel_shrink", "pixel_throw", "pixel_apply", "pixel_recurse",
                             "pixel_scramble"})
      CopyFixture(name, plugins, std::string(name) + ".plugin");
    g_environment->registry = std::make_unique<TPluginManager>();
    g_environment->registry->Services = &g_table;
    CurrentDirGuard cwd;
    std::filesystem::current_path(g_environment->folder->path());
    g_environment->registry->LoadPlugins();
  }
  Host().Registry = g_environment->registry.get();
  return *g_environment->registry;
}

int FilterIndex(const std::string& id) {
  TPluginManager& r = TestFilters();
  for (int i = 0; i < r.GetFilterCount(); ++i)
    if (r.GetFilter(i)->GetIdentifier() == id) return i;
  ADD_FAILURE() << "test filter " << id << " is not loaded";
  return -1;
}

void SchemeFixture::SetUp() {
  TPluginManager& registry = TestFilters();
  services = registry.Services;
  window.prompts = &prompts;
  Host().Scheme = &scheme;
  Host().Window = &window;
  scheme.PluginManager = &registry;
  scheme.OnStatusText = [this](const std::string& t) { statusTexts.push_back(t); };
}

void SchemeFixture::TearDown() {
  Host().Scheme = nullptr;
  Host().Window = nullptr;
}

}  // namespace mv::test
