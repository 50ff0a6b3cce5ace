// The project file: its exact bytes, the round trip, what the reader reports
// while it works, and how reading and saving fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "PluginManager.h"
#include "SchemeManager.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes U32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}
Bytes Raw(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void WriteBytes(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
void PutU32At(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Reproducible pixels, bits 24-31 clear.
MvPixel PixelOf(std::uint32_t seed, std::uint32_t x, std::uint32_t y) {
  std::uint32_t h = seed * 0x9E3779B1u ^ x * 0x85EBCA77u ^ y * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return h & 0x00FFFFFFu;
}

// An in-process filter. With channel support it inverts the channels of its
// mask; without, it adds 1 to red. Every call is recorded.
class TestFilter final : public MvFilter {
 public:
  TestFilter(std::string id, bool channels, TSchemeManager*& scheme)
      : id_(std::move(id)), channels_(channels), scheme_(scheme) {}
  std::string GetAuthor() override { return {}; }
  std::string GetCompany() override { return {}; }
  std::string GetRights() override { return {}; }
  std::string GetWebAddress() override { return {}; }
  std::string GetEmail() override { return {}; }
  std::string GetIdentifier() override { return id_; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return channels_; }
  bool UsesChannelMask() override { return channels_; }
  bool ApplyChannels(int image, std::uint8_t mask) override {
    calls.push_back({image, mask});
    const MvPixel flip = (mask & 1 ? 0xFFu : 0) | (mask & 2 ? 0xFF00u : 0) | (mask & 4 ? 0xFF0000u : 0);
    ForEach(image, [&](MvPixel& p) { p ^= flip; });
    return true;
  }
  bool Apply(int image, int reapply) override {
    calls.push_back({image, reapply});
    ForEach(image, [](MvPixel& p) { p = (p & ~0xFFu) | ((p + 1) & 0xFFu); });
    return true;
  }
  std::string GetName() override { return id_; }

  std::vector<std::pair<int, int>> calls;

 private:
  template <class F>
  void ForEach(int image, F f) {
    PixelColumns c = scheme_->GetPixels(image);
    for (int x = 0; x < scheme_->GetWidth(image); ++x)
      for (int y = 0; y < scheme_->GetHeight(image); ++y) f(c[x][y]);
  }
  std::string id_;
  bool channels_;
  TSchemeManager*& scheme_;  // the scheme being worked on, which a test may switch
};

// A registry over in-process filters, with the registry's part of the services table.
class TestRegistry final : public TPluginManager {
 public:
  TestRegistry() : previous_(current_) {
    current_ = this;
    table_.GetLoaderCount = [] { return 0; };
    table_.GetFilterCount = [] { return current_->GetFilterCount(); };
    table_.GetPluginCount = [] { return current_->GetFilterCount(); };
    table_.GetLoader = [](int) -> MvLoader* { return nullptr; };
    table_.GetFilter = [](int i) { return Valid(i) ? current_->GetFilter(i) : nullptr; };
    table_.GetLoaderId = [](int) { return std::string(); };
    table_.GetFilterId = [](int i) { return Valid(i) ? current_->GetFilter(i)->GetIdentifier() : std::string(); };
    table_.FindLoaderIndex = [](std::string) { return -1; };
    table_.FindFilterIndex = [](std::string id) {
      for (int i = 0; i < current_->GetFilterCount(); ++i)
        if (current_->GetFilter(i)->GetIdentifier() == id) return i;
      return -1;
    };
    table_.HasLoader = [](std::string) { return false; };
    table_.HasFilter = [](std::string id) { return current_->FindFilter(id) != nullptr; };
    Services = &table_;
  }
  ~TestRegistry() override { current_ = previous_; }
  void Add(MvFilter* f) { Filters.push_back(TPlugin{nullptr, f}); }

 private:
  static bool Valid(int i) { return i >= 0 && i < current_->GetFilterCount(); }
  static inline TestRegistry* current_ = nullptr;
  TestRegistry* previous_;
  MvServices table_{};
};

// Everything a node shows from outside.
struct NodeState {
  int left, top, baseWidth, baseHeight, width, height;
  bool generated, selected;
  int first, second, ratio;
  std::vector<MvPixel> base, current;
  std::vector<std::pair<std::string, int>> chain;  // identifier, mask
  std::vector<std::pair<int, int>> params;
  bool operator==(const NodeState&) const = default;
};

std::vector<MvPixel> Flatten(PixelColumns c, int w, int h) {
  std::vector<MvPixel> out;
  for (int x = 0; x < w; ++x) out.insert(out.end(), c[x], c[x] + h);
  return out;
}

std::vector<NodeState> Snapshot(TSchemeManager& s) {
  std::vector<NodeState> out;
  for (int i = 0; i < s.GetImageCount(); ++i) {
    NodeState n{s.GetLeft(i), s.GetTop(i), s.GetBaseWidth(i), s.GetBaseHeight(i), s.GetWidth(i), s.GetHeight(i),
                s.IsGenerated(i), s.GetSelected(i), s.GetFirstSource(i), s.GetSecondSource(i), s.GetBlendRatio(i),
                {}, {}, {}, {}};
    n.base = Flatten(s.GetBasePixels(i), n.baseWidth, n.baseHeight);
    n.current = Flatten(s.GetPixels(i), n.width, n.height);
    for (int k = 0; k < s.GetChainLength(i); ++k) {
      n.chain.push_back({s.GetFilterIdentifier(i, k), s.GetFilterChannels(i, k)});
      n.params.push_back(s.GetFilterParams(i, k));
    }
    out.push_back(std::move(n));
  }
  return out;
}

class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest() {
    for (TSchemeManager* s : {&scheme, &other}) {
      s->PluginManager = &registry;
      s->OnProgressMin = [this](int v) { log.push_back("min " + std::to_string(v)); };
      s->OnProgressMax = [this](int v) { log.push_back("max " + std::to_string(v)); };
      s->OnProgressPosition = [this](int v) { log.push_back("pos " + std::to_string(v)); };
      s->OnProgressVisible = [this](bool v) { log.push_back(v ? "show" : "hide"); };
      s->OnStatusText = [this](const std::string& t) {
        log.push_back("status '" + t + "' after " + std::to_string(prompts.processed));
      };
    }
    invert = AddFilter("T_Invert", true);
    plain = AddFilter("T_Plain", false);
  }

  TestFilter* AddFilter(const std::string& id, bool channels) {
    filters.push_back(std::make_unique<TestFilter>(id, channels, working));
    registry.Add(filters.back().get());
    return filters.back().get();
  }
  int FilterIndex(const std::string& id) {
    for (int i = 0; i < registry.GetFilterCount(); ++i)
      if (registry.GetFilter(i)->GetIdentifier() == id) return i;
    return -1;
  }

  // Appends a plain node of reproducible pixels.
  static void AddNode(TSchemeManager& s, unsigned w, unsigned h, int left, int top, std::uint32_t seed) {
    std::vector<std::vector<MvPixel>> cols(w, std::vector<MvPixel>(h));
    std::vector<MvPixel*> ptrs;
    for (unsigned x = 0; x < w; ++x) {
      for (unsigned y = 0; y < h; ++y) cols[x][y] = PixelOf(seed, x, y);
      ptrs.push_back(cols[x].data());
    }
    s.AddImageAt(w ? ptrs.data() : nullptr, w, h, left, top);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }

  // Loads into `other`, where the test filters then work.
  bool Load(const std::string& name) {
    working = &other;
    const bool ok = other.LoadFromFile(Path(name));
    working = &scheme;
    return ok;
  }

  // Saves `s` and returns the file's bytes.
  Bytes Save(TSchemeManager& s, const std::string& name = "p.mvl") {
    EXPECT_TRUE(s.SaveToFile(Path(name)));
    return ReadBytes(Path(name));
  }

  TempDir dir;
  ScriptedPrompts prompts;
  TestRegistry registry;
  TSchemeManager scheme, other;
  TSchemeManager* working = &scheme;  // where the test filters find their pixels
  std::vector<std::unique_ptr<TestFilter>> filters;
  TestFilter* invert;
  TestFilter* plain;
  std::vector<std::string> log;
};

// ---- the bytes ---------------------------------------------------------------

TEST_F(ProjectTest, EmptySchemeIsElevenBytesAndLoadsAsEmpty) {
  EXPECT_EQ(Save(scheme), Cat({Raw("MVL"), U32(0), U32(0)}));

  AddNode(other, 2, 2, 0, 0, 1);
  EXPECT_TRUE(Load("p.mvl"));
  EXPECT_EQ(other.GetImageCount(), 0);
  EXPECT_THAT(log, ElementsAre("min 0", "max 100", "show", "hide", "status '' after 0"));
  EXPECT_EQ(prompts.processed, 1);
}

TEST_F(ProjectTest, PlainNodeHeaderAndPixelsInRowOrder) {
  MvPixel c0[] = {0x00112233}, c1[] = {0x00445566};
  MvPixel* cols[] = {c0, c1};
  scheme.AddImageAt(cols, 2, 1, 10, 20);
  EXPECT_EQ(Save(scheme), Cat({Raw("MVL"), U32(1), U32(2), U32(1), U32(10), U32(20), U32(0), U32(35), U32(0),
                               U32(0x00112233), U32(0x00445566)}));

  // A taller one: pixel (x, y) at PixelOffset + 4 * (y * width + x); signed positions.
  scheme.Clear();
  AddNode(scheme, 3, 2, -5, -7, 9);
  const Bytes b = Save(scheme);
  ASSERT_EQ(b.size(), 35u + 4 * 6);
  EXPECT_EQ(U32At(b, 15), 0xFFFFFFFBu);
  EXPECT_EQ(U32At(b, 19), 0xFFFFFFF9u);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 3; ++x) EXPECT_EQ(U32At(b, 35 + 4 * (y * 3 + x)), PixelOf(9, x, y)) << x << "," << y;
}

TEST_F(ProjectTest, FilterRecordsFollowThePlugInsChannelSupport) {
  AddFilter("F_Negative", true);
  MvPixel c0[] = {0x00010203};
  MvPixel* cols[] = {c0};
  scheme.AddImageAt(cols, 1, 1, 0, 0);
  scheme.AppendFilterEntry(0, {"F_Negative", 5});
  scheme.AppendFilterEntry(0, {"T_Plain", 7});  // no channel support: HasChannels 0, no mask
  scheme.AppendFilterEntry(0, {"F_Gone", 3});   // no plug-in: the mask is kept
  EXPECT_EQ(Save(scheme), Cat({Raw("MVL"), U32(1), U32(1), U32(1), U32(0), U32(0), U32(3), U32(66),
                               Raw("F_Negative"), {0, 1, 5}, Raw("T_Plain"), {0, 0}, Raw("F_Gone"), {0, 1, 3},
                               U32(0), U32(0x00010203)}));
}

TEST_F(ProjectTest, PlainNodesComeFirstAndSourcesAreFileIndices) {
  // 0 = A, 1 = B, 2 = G1 (A, B), 3 = C, 4 = G2 (C, G1): plain A, B, C take 0..2,
  // G1 is 3 and G2 4, so G2 names C as 2 and G1 as PlainCount + 0.
  AddNode(scheme, 4, 3, 1, 2, 1);
  AddNode(scheme, 5, 2, 3, 4, 2);
  scheme.AddBlendedImage(0, 1, 30, false);
  scheme.SetLeft(2, 50);
  scheme.SetTop(2, 60);
  AddNode(scheme, 2, 2, 5, 6, 3);
  scheme.AddBlendedImage(3, 2, 80, false);
  scheme.SetLeft(4, 70);
  scheme.SetTop(4, 80);
  const auto before = Snapshot(scheme);

  const Bytes b = Save(scheme);
  const std::size_t gen = 3 + 4 + 3 * 24;
  EXPECT_EQ(Bytes(b.begin() + gen, b.begin() + gen + 52),
            Cat({U32(2), U32(30), U32(50), U32(60), U32(0), U32(0), U32(1),  //
                 U32(80), U32(70), U32(80), U32(0), U32(2), U32(3)}));
  EXPECT_EQ(U32At(b, 7 + 20), gen + 52);  // the first pixel block follows the last record

  ASSERT_TRUE(Load("p.mvl"));
  const auto after = Snapshot(other);
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[2], before[3]);  // C moved up
  EXPECT_EQ(after[3], (NodeState{before[2]}));
  EXPECT_EQ(after[3].first, 0);
  EXPECT_EQ(after[3].second, 1);
  EXPECT_EQ(after[4].first, 2);
  EXPECT_EQ(after[4].second, 3);
  EXPECT_EQ(after[4].ratio, 80);
  EXPECT_EQ(after[4].current, before[4].current);  // blended again from the rebuilt nodes
}

// ---- the round trip ------------------------------------------------------------

TEST_F(ProjectTest, RoundTripRebuildsEveryNode) {
  // Sizes cover one tile, several tiles, several row bands and a row wider
  // than a band; and a node without pixels.
  AddNode(scheme, 3, 2, -10, 20, 1);
  AddNode(scheme, 17, 5, 30, -40, 2);
  AddNode(scheme, 1000, 300, 7, 8, 3);
  AddNode(scheme, 300000, 1, 0, 0, 4);
  scheme.AddImageAt(nullptr, 0, 0, 9, 9);
  const int inv = FilterIndex("T_Invert");
  scheme.ApplyFilter(1, inv);
  scheme.ApplyFilter(1, inv);
  scheme.SetFilterChannels(1, 1, 2);
  scheme.SetFilterParams(1, 0, 11, 12);
  scheme.ApplyFilter(2, inv);
  scheme.SetFilterChannels(2, 0, 4);
  scheme.AddBlendedImage(1, 0, 70, false);
  scheme.ApplyFilter(5, inv);
  scheme.SetFilterChannels(5, 0, 1);
  scheme.SetLeft(5, 100);
  scheme.SetTop(5, 200);
  scheme.AddBlendedImage(5, 2, 0, false);
  scheme.SetSelected(0, true);
  scheme.SetSelected(5, true);
  auto expected = Snapshot(scheme);
  for (auto& n : expected) {
    n.selected = false;
    for (auto& p : n.params) p = {0, 0};
  }

  const Bytes first = Save(scheme);
  AddNode(other, 2, 2, 0, 0, 5);  // replaced by the project
  invert->calls.clear();
  ASSERT_TRUE(Load("p.mvl"));
  EXPECT_EQ(Snapshot(other), expected);
  // Every chain was run again by the installed filter, with its stored masks.
  EXPECT_EQ(invert->calls, (std::vector<std::pair<int, int>>{{1, 7}, {1, 2}, {2, 4}, {5, 1}}));
  EXPECT_THAT(prompts.messages, IsEmpty());
  // The rebuilt scheme writes the very same bytes.
  EXPECT_EQ(Save(other, "again.mvl"), first);
}

TEST_F(ProjectTest, ReaderReportsEachStepInOrder) {
  AddNode(scheme, 1, 2, 0, 0, 1);
  AddNode(scheme, 1, 2, 0, 0, 2);
  scheme.AddBlendedImage(0, 1, 50, false);
  Save(scheme);
  log.clear();

  ASSERT_TRUE(Load("p.mvl"));
  EXPECT_THAT(log, ElementsAre("min 0", "max 100", "show",                                         //
                               "pos 0", "status 'Загрузка данных изображения (1 из 2)' after 0",  //
                               "pos 0", "pos 50",                                                  // one per row
                               "pos 0", "status 'Загрузка данных изображения (2 из 2)' after 1",  //
                               "pos 0", "pos 50",                                                  //
                               "status 'Формирование сгенерированных изображений (1 из 1)' after 2",
                               "min 0", "max 1", "pos 0", "show", "pos 0", "pos 0", "hide",  // the blend's own
                               "hide", "status '' after 4"));
  EXPECT_EQ(prompts.processed, 5);
}

TEST_F(ProjectTest, RecordWithoutChannelSupportIsDroppedWithoutLookup) {
  AddNode(scheme, 2, 2, 0, 0, 1);
  scheme.ApplyFilter(0, FilterIndex("T_Plain"));
  ASSERT_EQ(plain->calls, (std::vector<std::pair<int, int>>{{0, 0}}));
  Save(scheme);

  TestRegistry bare;  // T_Plain is not installed here: a lookup would fail with a message
  other.PluginManager = &bare;
  ASSERT_TRUE(Load("p.mvl"));
  EXPECT_EQ(other.GetChainLength(0), 0);
  EXPECT_THAT(prompts.messages, IsEmpty());
}

TEST_F(ProjectTest, MissingFilterIsNamedOnceAndEmptiesTheScheme) {
  AddNode(scheme, 2, 2, 0, 0, 1);
  AddNode(scheme, 2, 2, 0, 0, 2);
  AddNode(scheme, 2, 2, 0, 0, 3);
  scheme.AppendFilterEntry(0, {"T_Invert", 7});
  scheme.AppendFilterEntry(1, {"F_\xD1\xE8\xED", 7});  // CP1251 for "F_Син"
  scheme.AppendFilterEntry(2, {"F_Other", 7});
  Save(scheme);

  ASSERT_FALSE(Load("p.mvl"));
  EXPECT_EQ(other.GetImageCount(), 0);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Фильтр 'F_Син', используемый в проекте, не загружен в системе!");
  EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(prompts.messages[0].owner, nullptr);
}

// ---- broken input ---------------------------------------------------------------

TEST_F(ProjectTest, FilesThatAreNoProject) {
  std::filesystem::create_directory(dir / "folder");
  WriteBytes(dir / "image.png", Cat({{0x89}, Raw("PNG\r\n\x1a\n"), U32(13), Raw("IHDR")}));
  WriteBytes(dir / "empty.mvl", {});
  WriteBytes(dir / "magic-only.mvl", Raw("MVL"));
  struct Case {
    const char* name;
    int nodesAfter;  // the scheme held one node before
  } cases[] = {
      {"image.png", 0}, {"empty.mvl", 0}, {"magic-only.mvl", 0},
      {"missing.mvl", 1},  // cannot be opened: untouched
      {"folder", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    other.Clear();
    AddNode(other, 2, 2, 0, 0, 1);
    EXPECT_FALSE(Load(c.name));
    EXPECT_EQ(other.GetImageCount(), c.nodesAfter);
  }
  EXPECT_THAT(prompts.messages, IsEmpty());
}

TEST_F(ProjectTest, TruncationAtEveryFieldKeepsWhatWasRebuilt) {
  // Nodes without pixels put every field in the records: a node exists once
  // its header was read whole, with whatever of its chain was read.
  scheme.AddImageAt(nullptr, 0, 0, 1, 2);
  scheme.AddImageAt(nullptr, 0, 0, 3, 4);
  scheme.AppendFilterEntry(0, {"T_Invert", 5});
  scheme.AppendFilterEntry(1, {"T_Invert", 6});
  scheme.AppendFilterEntry(1, {"T_Plain", 7});
  scheme.AddBlendedImage(0, 1, 40, false);
  scheme.AppendFilterEntry(2, {"T_Invert", 3});
  const Bytes full = Save(scheme);
  const std::size_t headerEnds[] = {7 + 24, 7 + 24 + 11 + 24, 7 + 24 + 11 + 24 + 11 + 9 + 4 + 24};
  ASSERT_EQ(full.size(), headerEnds[2] + 11);

  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    WriteBytes(dir / "cut.mvl", Bytes(full.begin(), full.begin() + cut));
    EXPECT_FALSE(Load("cut.mvl"));
    // A PlainCount whose records cannot fit in what is left fails at once.
    int expected = 0;
    if (cut >= 7 + 2 * 24)
      for (std::size_t end : headerEnds) expected += cut >= end;
    EXPECT_EQ(other.GetImageCount(), expected);
  }

  // With pixels: a plain node whose block is cut is not rebuilt.
  scheme.Clear();
  AddNode(scheme, 3, 2, 0, 0, 1);
  AddNode(scheme, 2, 2, 0, 0, 2);
  const Bytes pix = Save(scheme);
  const std::size_t firstBlockEnd = U32At(pix, 7 + 20) + 24;
  for (std::size_t cut = U32At(pix, 7 + 20) - 1; cut < pix.size(); ++cut) {
    SCOPED_TRACE(cut);
    WriteBytes(dir / "cut.mvl", Bytes(pix.begin(), pix.begin() + cut));
    EXPECT_FALSE(Load("cut.mvl"));
    EXPECT_EQ(other.GetImageCount(), cut >= firstBlockEnd ? 1 : 0);
  }
  EXPECT_THAT(prompts.messages, IsEmpty());
}

TEST_F(ProjectTest, CorruptedFieldsAreRefused) {
  // "MVL" 2 [A 3x2, chain T_Invert] [B 2x2] 1 [G of A and B] pixels
  AddNode(scheme, 3, 2, 0, 0, 1);
  scheme.AppendFilterEntry(0, {"T_Invert", 7});
  AddNode(scheme, 2, 2, 0, 0, 2);
  scheme.AddBlendedImage(0, 1, 50, false);
  const Bytes good = Save(scheme);
  const std::size_t a = 7, b = a + 24 + 11, g = b + 24 + 4;
  ASSERT_EQ(U32At(good, g - 4), 1u);
  ASSERT_EQ(good.size(), g + 24 + 4 * (6 + 4));

  struct Case {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint32_t>> patches;  // offset, new value
    int nodesAfter;
  } cases[] = {
      {"PlainCount beyond the file", {{3, 0xFFFFFFFF}}, 0},
      {"width beyond the file", {{a, 0xFFFFFFFF}}, 0},
      {"width x height overflows 32 bits", {{a, 0x10000}, {a + 4, 0x10000}}, 0},
      {"height beyond the file", {{a + 4, 0x40000000}}, 0},
      {"pixels end past the file", {{a + 20, static_cast<std::uint32_t>(good.size()) - 23}}, 0},
      {"PixelOffset far out", {{a + 20, 0xFFFFFFF0}}, 0},
      {"FilterCount beyond the file", {{a + 16, 0xFFFFFFFF}}, 1},
      {"GeneratedCount beyond the file", {{g - 4, 0xFFFFFFFF}}, 2},
      {"ratio above 100", {{g, 101}}, 2},
      {"source is the node itself", {{g + 16, 2}}, 2},
      {"source far out", {{g + 20, 0xFFFFFFFF}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bad = good;
    for (auto [at, value] : c.patches) PutU32At(bad, at, value);
    WriteBytes(dir / "bad.mvl", bad);
    EXPECT_FALSE(Load("bad.mvl"));
    EXPECT_EQ(other.GetImageCount(), c.nodesAfter);
  }
  EXPECT_THAT(prompts.messages, IsEmpty());

  // Two records sharing one block would let a small file claim images it
  // cannot hold: the blocks together must fit the file.
  const Bytes shared = Cat({Raw("MVL"), U32(2), U32(4), U32(4), U32(0), U32(0), U32(0), U32(59), U32(4), U32(4),
                            U32(0), U32(0), U32(0), U32(59), U32(0), Bytes(64, 0)});
  WriteBytes(dir / "shared.mvl", shared);
  EXPECT_FALSE(Load("shared.mvl"));
  EXPECT_EQ(other.GetImageCount(), 1);
}

// ---- saving --------------------------------------------------------------------

TEST_F(ProjectTest, SaveReplacesTheTargetWhole) {
  AddNode(scheme, 4, 4, 0, 0, 1);
  WriteBytes(dir / "p.mvl", Raw("old"));
  ::chmod(Path("p.mvl").c_str(), 0640);
  std::filesystem::create_symlink(dir / "p.mvl", dir / "link.mvl");

  const Bytes viaLink = Save(scheme, "link.mvl");
  EXPECT_EQ(ReadBytes(dir / "p.mvl"), viaLink);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mvl"));
  struct stat st {};
  ASSERT_EQ(::stat(Path("p.mvl").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST_F(ProjectTest, FailedSaveKeepsThePreviousProject) {
  AddNode(scheme, 100, 100, 0, 0, 1);
  const Bytes old = Raw("the previous project");
  WriteBytes(dir / "p.mvl", old);
  std::filesystem::create_directory(dir / "folder");

  EXPECT_FALSE(scheme.SaveToFile(Path("folder")));  // the target is a folder
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
  EXPECT_FALSE(scheme.SaveToFile(Path("no-such-folder/p.mvl")));
  EXPECT_FALSE(scheme.SaveToFile(""));

  // A write that fails half-way (the file size limit stands in for a full disk).
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved1 = scheme.SaveToFile(Path("p.mvl"));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved1);
  EXPECT_EQ(ReadBytes(dir / "p.mvl"), old);

  // Only the old file and the folder remain: no temporary file is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  // And a save that can succeed still does.
  EXPECT_EQ(Save(scheme).size(), 35u + 4 * 100 * 100);
}

}  // namespace
