// The eight shipped filter plug-ins, loaded as the real
// build/bin/Plugins/*.plugin files and driven through a services table of our
// own whose entries 11, 12, 13 and 15 serve a test image:
//   * the frame's constant answers, identifiers and CP1251 names;
//   * loading through the registry, and the same library twice under two names;
//   * every routine against the plain rule of Reference.cpp, on random images
//     of awkward sizes with junk in bits 24-31 and every mask 0..7, 8 and 255;
//   * the reference rows documented for each filter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "DynamicLibrary.h"
#include "MvText.h"
#include "PluginManager.h"
#include "Reference.h"
#include "TestSupport.h"

// The Sharpen allocation-failure test asks for an impossible result array;
// under AddressSanitizer that must come back as null, as it does without it.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// ---------------------------------------------------------------------------
// The test services table: entries 11, 12, 13 and 15 serve one image.
// ---------------------------------------------------------------------------

struct Served {
  TestImage* image = nullptr;  // the node's current image
  int index = 0;               // its image index
  // A node that only claims a size (no pixel is there to read).
  bool fake = false;
  int fakeWidth = 0, fakeHeight = 0;
  MvPixel* fakeColumn[1] = {nullptr};
  std::vector<std::string> calls;  // "pixels:3", "width:3", "height:3", "set:3"
};
Served g_served;

PixelColumns GetImagePixels(int image) {
  g_served.calls.push_back("pixels:" + std::to_string(image));
  if (g_served.fake) return g_served.fakeColumn;
  return image == g_served.index && g_served.image ? g_served.image->columns() : nullptr;
}
int GetImageWidth(int image) {
  g_served.calls.push_back("width:" + std::to_string(image));
  if (g_served.fake) return g_served.fakeWidth;
  return image == g_served.index && g_served.image ? g_served.image->width() : 0;
}
int GetImageHeight(int image) {
  g_served.calls.push_back("height:" + std::to_string(image));
  if (g_served.fake) return g_served.fakeHeight;
  return image == g_served.index && g_served.image ? g_served.image->height() : 0;
}
void SetImagePixels(int image, PixelColumns p) {  // copies, as the model does
  g_served.calls.push_back("set:" + std::to_string(image));
  if (!p || g_served.fake || image != g_served.index || !g_served.image) return;
  TestImage& img = *g_served.image;
  for (int x = 0; x < img.width(); ++x)
    for (int y = 0; y < img.height(); ++y) img.at(x, y) = p[x][y];
}
void ShowStatus(std::string, int) {}

MvServices* Services() {
  static MvServices table = [] {
    MvServices s{};  // every other entry null: a filter must not need it
    s.GetImagePixels = &GetImagePixels;
    s.GetImageWidth = &GetImageWidth;
    s.GetImageHeight = &GetImageHeight;
    s.SetImagePixels = &SetImagePixels;
    s.ShowStatus = &ShowStatus;
    return s;
  }();
  return &table;
}

// ---------------------------------------------------------------------------
// The eight libraries (the table of the eight).
// ---------------------------------------------------------------------------

struct FilterSpec {
  const char* file;
  const char* id;
  const char* name;  // UTF-8
  bool usesChannelMask;
};

const FilterSpec kFilters[] = {
    {"shatterfx.plugin", "F_Shatter", "Дрожание", false},
    {"sharpenfx.plugin", "F_Sharpen", "Увеличение резкости", false},
    {"lowlightfx.plugin", "F_Lowlight", "Затемнение", true},
    {"uplightfx.plugin", "F_Uplight", "Просветление", true},
    {"blurfx.plugin", "F_Blur", "Размытие", false},
    {"negativefx.plugin", "F_Negative", "Негатив", true},
    {"bwfx.plugin", "F_BlackAndWhite", "Черно-белое", false},
    {"extractfx.plugin", "F_Extract", "Выделение слоёв", true},
};

void PrintTo(const FilterSpec& s, std::ostream* os) { *os << s.id; }

std::filesystem::path PluginDir() { return BinDir() / "Plugins"; }

/// Which build of a library: the shipped one, or its test copy that runs only
/// the baseline x86-64 code (no AVX2 or AVX-512 paths).
enum class Build { Shipped, Baseline };
void PrintTo(Build b, std::ostream* os) { *os << (b == Build::Baseline ? "baseline" : "shipped"); }

/// The filter object of a library, made once per process by its PluginEntry
/// with our table and deleted (after Finalize) when the process ends.
MvFilter* Filter(const std::string& id, Build build = Build::Shipped) {
  struct Owned {
    std::map<std::string, MvFilter*> filters;
    ~Owned() {
      for (auto& [id, f] : filters) {
        f->Finalize();
        delete f;
      }
    }
  };
  static Owned owned;
  const std::string key = id + (build == Build::Baseline ? "/baseline" : "");
  auto it = owned.filters.find(key);
  if (it != owned.filters.end()) return it->second;
  for (const FilterSpec& s : kFilters) {
    if (id != s.id) continue;
    const std::filesystem::path dir =
        build == Build::Baseline ? std::filesystem::path(MV_BASELINE_PLUGIN_DIR) : PluginDir();
    const std::string path = (dir / s.file).string();
    DynamicLibrary::Handle lib = DynamicLibrary::Open(path);
    if (!lib) {
      ADD_FAILURE() << "cannot load " << path << ": " << DynamicLibrary::LastError();
      return nullptr;
    }
    auto entry = reinterpret_cast<MvPluginEntryFn>(DynamicLibrary::Symbol(lib, "PluginEntry"));
    if (!entry) {
      ADD_FAILURE() << path << " exports no PluginEntry";
      return nullptr;
    }
    MvPlugin* plugin = entry(Services());
    auto* filter = dynamic_cast<MvFilter*>(plugin);
    if (!filter) {
      ADD_FAILURE() << path << " gave no filter";
      delete plugin;
      return nullptr;
    }
    EXPECT_TRUE(filter->Initialize());
    owned.filters[key] = filter;
    return filter;
  }
  ADD_FAILURE() << "unknown filter " << id;
  return nullptr;
}

/// Runs a filter on `image` as node `index` with `mask`; checks the frame's
/// calls into the table and that ApplyChannels answers true.
void RunFilter(const std::string& id, TestImage& image, std::uint8_t mask, int index = 3,
               Build build = Build::Shipped) {
  MvFilter* f = Filter(id, build);
  ASSERT_NE(f, nullptr);
  g_served = Served{};
  g_served.image = &image;
  g_served.index = index;
  ASSERT_TRUE(f->SupportsChannels());
  EXPECT_TRUE(f->ApplyChannels(index, mask));
  const std::string i = std::to_string(index);
  std::vector<std::string> expected = {"pixels:" + i, "width:" + i, "height:" + i};
  if (id == "F_Sharpen" && image.width() > 0 && image.height() > 0) expected.push_back("set:" + i);
  EXPECT_EQ(g_served.calls, expected);
  g_served = Served{};
}

/// "" when equal, else where and how the two differ first.
std::string FirstDifference(const TestImage& got, const TestImage& want) {
  for (int x = 0; x < want.width(); ++x)
    for (int y = 0; y < want.height(); ++y)
      if (got.at(x, y) != want.at(x, y)) {
        std::ostringstream s;
        s << "pixel (" << x << ", " << y << ") is 0x" << std::hex << got.at(x, y) << ", expected 0x" << want.at(x, y);
        return s.str();
      }
  return "";
}

TestImage Grey(int w, int h, std::initializer_list<int> rowMajor) {
  TestImage img(w, h);
  auto v = rowMajor.begin();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, ++v) img.at(x, y) = MvPixel(*v) * 0x010101u;
  return img;
}

TestImage Uniform(int w, int h, MvPixel value) {
  TestImage img(w, h);
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) img.at(x, y) = value;
  return img;
}

std::vector<int> RowOf(const TestImage& img, int y, int channelShift = 0) {
  std::vector<int> row;
  for (int x = 0; x < img.width(); ++x) row.push_back(int((img.at(x, y) >> channelShift) & 0xFF));
  return row;
}

// ---------------------------------------------------------------------------
// The frame.
// ---------------------------------------------------------------------------

class EachFilter : public ::testing::TestWithParam<FilterSpec> {};

TEST_P(EachFilter, GivesTheTableRowAndTheFramesConstantAnswers) {
  const FilterSpec& s = GetParam();
  MvFilter* f = Filter(s.id);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetIdentifier(), s.id);
  EXPECT_EQ(f->GetName(), Utf8ToCp1251(s.name));
  EXPECT_EQ(Cp1251ToUtf8(f->GetName()), s.name);
  EXPECT_EQ(f->UsesChannelMask(), s.usesChannelMask);
  EXPECT_TRUE(f->SupportsChannels());
  EXPECT_TRUE(f->Initialize());
  EXPECT_TRUE(f->Finalize());
  EXPECT_FALSE(f->Apply(0, 0));
  EXPECT_FALSE(f->Apply(0, 1));

  // The five descriptive texts: ours, and the same in all eight.
  MvFilter* first = Filter(kFilters[0].id);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(f->GetAuthor(), first->GetAuthor());
  EXPECT_EQ(f->GetCompany(), first->GetCompany());
  EXPECT_EQ(f->GetRights(), first->GetRights());
  EXPECT_EQ(f->GetWebAddress(), first->GetWebAddress());
  EXPECT_EQ(f->GetEmail(), first->GetEmail());
  EXPECT_THAT(Cp1251ToUtf8(f->GetAuthor()), ::testing::HasSubstr("Marvolen"));
  EXPECT_THAT(Cp1251ToUtf8(f->GetCompany()), ::testing::HasSubstr("Marvolen"));
  EXPECT_THAT(Cp1251ToUtf8(f->GetRights()), ::testing::HasSubstr("Marvolen"));
  EXPECT_FALSE(f->GetWebAddress().empty());
  EXPECT_FALSE(f->GetEmail().empty());
}

TEST_P(EachFilter, EmptyImagesVisitNothing) {
  const FilterSpec& s = GetParam();
  for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
    TestImage img(w, h);
    RunFilter(s.id, img, 7);
  }
}

TEST_P(EachFilter, ClearsBits24To31OfEveryPixel) {
  const FilterSpec& s = GetParam();
  std::mt19937 rng(11);
  for (std::uint8_t mask : {0, 7}) {
    TestImage img(9, 7);
    for (int x = 0; x < 9; ++x)
      for (int y = 0; y < 7; ++y) img.at(x, y) = rng() | 0xFF000000u;
    RunFilter(s.id, img, mask);
    for (int x = 0; x < 9; ++x)
      for (int y = 0; y < 7; ++y) ASSERT_EQ(img.at(x, y) >> 24, 0u) << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Filters, EachFilter, ::testing::ValuesIn(kFilters),
                         [](const auto& info) { return std::string(info.param.id); });

TEST(FilterNames, AreTheSpecifiedCp1251Bytes) {
  // "Выделение слоёв", with the letter "ё" as 0xB8.
  EXPECT_EQ(Filter("F_Extract")->GetName(), "\xC2\xFB\xE4\xE5\xEB\xE5\xED\xE8\xE5 \xF1\xEB\xEE\xB8\xE2");
  EXPECT_EQ(Filter("F_Blur")->GetName(), "\xD0\xE0\xE7\xEC\xFB\xF2\xE8\xE5");  // "Размытие"
  EXPECT_EQ(Filter("F_BlackAndWhite")->GetName(), "\xD7\xE5\xF0\xED\xEE-\xE1\xE5\xEB\xEE\xE5");  // "Черно-белое"
}

// ---------------------------------------------------------------------------
// Through the registry.
// ---------------------------------------------------------------------------

/// A fresh folder with an empty "Plugins" inside, kept until the process ends:
/// loaded libraries are known by path and inode, so none may be reused.
std::filesystem::path KeptFolder() {
  static std::vector<std::unique_ptr<TempDir>> keep;
  keep.push_back(std::make_unique<TempDir>());
  std::filesystem::create_directory(keep.back()->path() / "Plugins");
  return keep.back()->path();
}

std::vector<std::string> FilterIds(TPluginManager& r) {
  std::vector<std::string> ids;
  for (int i = 0; i < r.GetFilterCount(); ++i) ids.push_back(r.GetFilter(i)->GetIdentifier());
  return ids;
}

void RemoveAll(TPluginManager& r) {
  while (r.GetLoaderCount() > 0) r.RemoveLoader(0);
  while (r.GetFilterCount() > 0) r.RemoveFilter(0);
}

TEST(FilterRegistry, AllEightLoadFromTheBuiltPluginsFolder) {
  CurrentDirGuard cwd;
  ScriptedPrompts prompts;
  TPluginManager registry;
  registry.Services = Services();
  std::filesystem::current_path(BinDir());
  ASSERT_TRUE(registry.LoadPlugins());
  // Name order of the files: blurfx, bwfx, extractfx, lowlightfx, negativefx,
  // sharpenfx, shatterfx, uplightfx.
  EXPECT_THAT(FilterIds(registry), ElementsAre("F_Blur", "F_BlackAndWhite", "F_Extract", "F_Lowlight", "F_Negative",
                                               "F_Sharpen", "F_Shatter", "F_Uplight"));
  EXPECT_THAT(prompts.messages, IsEmpty());
  // Each registered object works like the one made directly.
  for (int i = 0; i < registry.GetFilterCount(); ++i) {
    MvFilter* f = registry.GetFilter(i);
    std::mt19937 rng(5 + i);
    TestImage img(7, 6);
    for (int x = 0; x < 7; ++x)
      for (int y = 0; y < 6; ++y) img.at(x, y) = rng();
    TestImage want = img;
    ReferenceApply(f->GetIdentifier(), want, 5);
    g_served = Served{};
    g_served.image = &img;
    EXPECT_TRUE(f->ApplyChannels(0, 5));
    g_served = Served{};
    EXPECT_EQ(FirstDifference(img, want), "") << f->GetIdentifier();
  }
  RemoveAll(registry);
}

TEST(FilterRegistry, SameLibraryUnderTwoNamesRegistersOnce) {
  CurrentDirGuard cwd;
  ScriptedPrompts prompts;
  const std::filesystem::path dir = KeptFolder();
  std::filesystem::copy_file(PluginDir() / "blurfx.plugin", dir / "Plugins" / "a.plugin");
  std::filesystem::copy_file(PluginDir() / "blurfx.plugin", dir / "Plugins" / "b.plugin");
  std::filesystem::copy_file(PluginDir() / "negativefx.plugin", dir / "Plugins" / "c.plugin");
  TPluginManager registry;
  registry.Services = Services();
  std::filesystem::current_path(dir);
  ASSERT_TRUE(registry.LoadPlugins());
  EXPECT_THAT(FilterIds(registry), ElementsAre("F_Blur", "F_Negative"));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, TPluginManager::kDuplicateMessage);
  EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
  RemoveAll(registry);
}

// ---------------------------------------------------------------------------
// Every routine against its plain rule.
// ---------------------------------------------------------------------------

const std::pair<int, int> kSizes[] = {
    {1, 1},   {1, 2},   {2, 1},   {1, 7},    {7, 1},   {1, 300}, {300, 1}, {2, 2},    {2, 3},   {3, 2},
    {3, 3},   {4, 4},   {5, 5},   {6, 6},    {7, 5},   {5, 7},   {9, 2},   {2, 9},    {4, 13},  {13, 4},
    {13, 11}, {17, 64}, {64, 17}, {20, 128}, {8, 63},  {9, 65},  {31, 66}, {65, 129}, {130, 67}, {255, 3},
    {3, 255}, {33, 200}, {200, 33}, {21, 131},
    // Wide and tall enough to cross Blur's tiles (x + y >= 256) and Sharpen's ring many times.
    {600, 23}, {23, 600}, {300, 270}};

const std::uint8_t kMasks[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 255};

/// Test pictures; every one has junk in bits 24-31.
TestImage Picture(int w, int h, int pattern, std::mt19937& rng) {
  TestImage img(w, h);
  const unsigned extremes[] = {0, 1, 2, 6, 127, 128, 253, 254, 255};
  const int spikeValue = int(rng() & 0xFF);
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) {
      const MvPixel junk = rng() & 0xFF000000u;
      MvPixel v = 0;
      switch (pattern) {
        case 0:  // noise over all 32 bits
          v = rng();
          break;
        case 1:  // channels near the ends of their range
          v = extremes[rng() % 9] | extremes[rng() % 9] << 8 | extremes[rng() % 9] << 16;
          break;
        case 2:  // smooth ramps
          v = ((x * 7 + y * 3) & 0xFF) | ((x * 2 + y * 5 + 40) & 0xFF) << 8 | ((255 - x - y) & 0xFF) << 16;
          break;
        default:  // flat with sparse spikes
          v = (rng() % 17 == 0) ? (rng() & 0xFFFFFF) : MvPixel(spikeValue) * 0x010101u;
          break;
      }
      img.at(x, y) = (v & 0x00FFFFFFu) | junk;
    }
  return img;
}

class MatchesReference : public ::testing::TestWithParam<std::tuple<FilterSpec, Build>> {};

TEST_P(MatchesReference, OnAwkwardSizesAndEveryMask) {
  const FilterSpec& s = std::get<0>(GetParam());
  const Build build = std::get<1>(GetParam());
  std::mt19937 rng(20260);
  int sizeIndex = 0;
  for (auto [w, h] : kSizes) {
    int maskIndex = 0;
    for (std::uint8_t mask : kMasks) {
      // Four pictures at mask 7; one, rotating, at every other mask.
      for (int pattern = 0; pattern < 4; ++pattern) {
        if (mask != 7 && pattern != (sizeIndex + maskIndex) % 4) continue;
        TestImage img = Picture(w, h, pattern, rng);
        TestImage want = img;
        ReferenceApply(s.id, want, mask);
        RunFilter(s.id, img, mask, 3, build);
        const std::string diff = FirstDifference(img, want);
        ASSERT_EQ(diff, "") << s.id << " " << w << " x " << h << " mask " << int(mask) << " picture " << pattern;
      }
      ++maskIndex;
    }
    ++sizeIndex;
  }
}

INSTANTIATE_TEST_SUITE_P(Filters, MatchesReference,
                         ::testing::Combine(::testing::ValuesIn(kFilters),
                                            ::testing::Values(Build::Shipped, Build::Baseline)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).id) +
                                  (std::get<1>(info.param) == Build::Baseline ? "_Baseline" : "");
                         });

// ---------------------------------------------------------------------------
// The documented reference rows.
// ---------------------------------------------------------------------------

TEST(NeighbourhoodRows, GreySingleRow) {
  TestImage shatter = Grey(5, 1, {0, 40, 80, 120, 160});
  RunFilter("F_Shatter", shatter, 7);
  EXPECT_THAT(RowOf(shatter, 0), ElementsAre(40, 80, 100, 100, 100));
  TestImage blur = Grey(5, 1, {0, 40, 80, 120, 160});
  RunFilter("F_Blur", blur, 7);
  EXPECT_THAT(RowOf(blur, 0), ElementsAre(20, 46, 82, 120, 140));
  for (int shift : {8, 16}) {  // each value in all three channels
    EXPECT_EQ(RowOf(shatter, 0, shift), RowOf(shatter, 0));
    EXPECT_EQ(RowOf(blur, 0, shift), RowOf(blur, 0));
  }
}

TEST(NeighbourhoodRows, SharpenOfAUniformSixBySix) {
  TestImage img = Uniform(6, 6, 50 * 0x010101u);
  RunFilter("F_Sharpen", img, 7);
  for (int x = 0; x < 6; ++x)
    for (int y = 0; y < 6; ++y) {
      const bool corner = (x < 2 || x > 3) && (y < 2 || y > 3);
      const bool centre = (x == 2 || x == 3) && (y == 2 || y == 3);
      const unsigned want = corner ? 227 : centre ? 50 : 116;
      EXPECT_EQ(img.at(x, y), want * 0x010101u) << x << "," << y;
    }
}

TEST(NeighbourhoodRows, OneByOne) {
  for (unsigned v : {0u, 1u, 5u, 6u, 200u, 255u}) {
    const MvPixel p = 0xAB000000u | v | (255 - v) << 8 | (v / 2) << 16;
    TestImage a = Uniform(1, 1, p), b = Uniform(1, 1, p), c = Uniform(1, 1, p);
    RunFilter("F_Shatter", a, 7);
    RunFilter("F_Blur", b, 7);
    RunFilter("F_Sharpen", c, 7);
    EXPECT_EQ(a.at(0, 0), p & 0x00FFFFFFu);
    EXPECT_EQ(b.at(0, 0), p & 0x00FFFFFFu);
    auto sharp = [](unsigned k) { return std::min(49 * k, 255u); };
    EXPECT_EQ(c.at(0, 0), sharp(v) | sharp(255 - v) << 8 | sharp(v / 2) << 16) << v;
  }
}

TEST(NeighbourhoodRows, UniformImagesKeepTheirValueUnderShatterAndBlur) {
  for (auto [w, h] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{37, 71}, std::pair{70, 130}})
    for (const char* id : {"F_Shatter", "F_Blur"}) {
      TestImage img = Uniform(w, h, 0x5A123456u);
      RunFilter(id, img, 0);
      EXPECT_EQ(FirstDifference(img, Uniform(w, h, 0x00123456u)), "") << id << " " << w << " x " << h;
    }
}

TEST(NeighbourhoodRows, TheMaskChangesNothingForShatterSharpenAndBlur) {
  std::mt19937 rng(3);
  for (const char* id : {"F_Shatter", "F_Sharpen", "F_Blur"}) {
    const TestImage original = Picture(23, 19, 0, rng);
    TestImage all = original;
    RunFilter(id, all, 7);
    for (std::uint8_t mask : {0, 1, 8, 255}) {
      TestImage img = original;
      RunFilter(id, img, mask);
      EXPECT_EQ(FirstDifference(img, all), "") << id << " mask " << int(mask);
    }
  }
}

TEST(NeighbourhoodRows, SharpenLeavesTheNodeUnchangedWhenItsResultCannotBeMade) {
  MvFilter* f = Filter("F_Sharpen");
  ASSERT_NE(f, nullptr);
  g_served = Served{};
  g_served.fake = true;  // a node claiming 2^30 x 2^30 pixels: no result array can hold it
  g_served.fakeWidth = 1 << 30;
  g_served.fakeHeight = 1 << 30;
  MvPixel untouched[1] = {0x12345678u};
  g_served.fakeColumn[0] = untouched;
  bool result = true;
  EXPECT_NO_THROW(result = f->ApplyChannels(0, 7));
  EXPECT_FALSE(result);
  EXPECT_THAT(g_served.calls, ElementsAre("pixels:0", "width:0", "height:0"));  // no SetImagePixels
  EXPECT_EQ(untouched[0], 0x12345678u);
  g_served = Served{};
}

TEST(PointRows, ToneCurvesTruncate) {
  const std::pair<int, int> low[] = {{0, 0}, {14, 0}, {15, 1}, {64, 19}, {128, 74}, {192, 157}, {255, 253}};
  const std::pair<int, int> up[] = {{0, 0}, {1, 1}, {2, 3}, {64, 97}, {128, 180}, {192, 235}, {254, 254}, {255, 254}};
  for (auto [in, out] : low) EXPECT_EQ(LowlightOf(in), unsigned(out)) << in;
  for (auto [in, out] : up) EXPECT_EQ(UplightOf(in), unsigned(out)) << in;
  // The whole table through the plug-ins: value v in every channel of pixel v.
  for (Build build : {Build::Shipped, Build::Baseline})
  for (const char* id : {"F_Lowlight", "F_Uplight"}) {
    TestImage img(1, 256);
    for (int v = 0; v < 256; ++v) img.at(0, v) = MvPixel(v) * 0x010101u | 0x80000000u;
    RunFilter(id, img, 7, 3, build);
    for (int v = 0; v < 256; ++v) {
      const unsigned want = std::string(id) == "F_Lowlight" ? LowlightOf(v) : UplightOf(v);
      ASSERT_EQ(img.at(0, v), want * 0x010101u) << id << " " << v;
    }
  }
}

TEST(PointRows, NegativeTwiceGivesTheImageBack) {
  std::mt19937 rng(8);
  for (std::uint8_t mask : kMasks) {
    const TestImage original = Picture(11, 13, 0, rng);
    TestImage img = original;
    RunFilter("F_Negative", img, mask);
    RunFilter("F_Negative", img, mask);
    TestImage want = original;
    for (int x = 0; x < 11; ++x)
      for (int y = 0; y < 13; ++y) want.at(x, y) &= 0x00FFFFFFu;
    EXPECT_EQ(FirstDifference(img, want), "") << int(mask);
  }
}

TEST(PointRows, BlackAndWhite) {
  TestImage img(3, 1);
  img.at(0, 0) = 0xFF0000FFu;  // red 255: 85
  img.at(1, 0) = 0x00FEFFFFu;  // 255, 255, 254: 254
  img.at(2, 0) = 0x00030201u;  // 1, 2, 3: 2
  for (std::uint8_t mask : {0, 1, 7, 255}) {
    TestImage t = img;
    RunFilter("F_BlackAndWhite", t, mask);
    EXPECT_EQ(t.at(0, 0), 85 * 0x010101u);
    EXPECT_EQ(t.at(1, 0), 254 * 0x010101u);
    EXPECT_EQ(t.at(2, 0), 2 * 0x010101u);
  }
}

TEST(PointRows, ExtractWithMaskZeroGivesBlackAndWithSevenOnlyClearsTheTopBits) {
  std::mt19937 rng(9);
  const TestImage original = Picture(7, 9, 0, rng);
  TestImage black = original, same = original;
  RunFilter("F_Extract", black, 0);
  RunFilter("F_Extract", same, 7);
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 9; ++y) {
      EXPECT_EQ(black.at(x, y), 0u);
      EXPECT_EQ(same.at(x, y), original.at(x, y) & 0x00FFFFFFu);
    }
}

TEST(PointRows, MaskZeroAndMaskEightOnlyClearTheTopBits) {
  std::mt19937 rng(10);
  const TestImage original = Picture(5, 8, 0, rng);
  TestImage cleared = original;
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 8; ++y) cleared.at(x, y) &= 0x00FFFFFFu;
  for (const char* id : {"F_Lowlight", "F_Uplight", "F_Negative"})
    for (std::uint8_t mask : {0, 8}) {
      TestImage img = original;
      RunFilter(id, img, mask);
      EXPECT_EQ(FirstDifference(img, cleared), "") << id << " mask " << int(mask);
    }
}

}  // namespace
