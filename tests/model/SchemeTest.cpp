// The scheme's nodes without filters: adding, resizing, copying pixels in,
// dependency queries, deletion with dependents, clearing and bad indices.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <new>

#include "ModelTestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

MvPixel Pattern(int x, int y) { return static_cast<MvPixel>(0x010000 * (x + 1) + 0x100 * (y + 1) + 0x11); }

TEST(Scheme, AddImageWithoutPixelsIsWhiteAndPlain) {
  TSchemeManager s;
  AddFilled(s, 1, 1, 0);
  s.AddImageAt(nullptr, 3, 2, 40, 50);
  ASSERT_EQ(s.GetImageCount(), 2);
  EXPECT_EQ(s.GetWidth(1), 3);
  EXPECT_EQ(s.GetHeight(1), 2);
  EXPECT_EQ(s.GetBaseWidth(1), 3);
  EXPECT_EQ(s.GetBaseHeight(1), 2);
  EXPECT_THAT(CurrentOf(s, 1), ElementsAreArray(std::vector<MvPixel>(6, MV_WHITE)));
  EXPECT_THAT(BaseOf(s, 1), ElementsAreArray(std::vector<MvPixel>(6, MV_WHITE)));
  EXPECT_NE(s.GetPixels(1), s.GetBasePixels(1));
  EXPECT_EQ(s.GetLeft(1), 40);
  EXPECT_EQ(s.GetTop(1), 50);
  EXPECT_FALSE(s.GetSelected(1));
  EXPECT_FALSE(s.IsGenerated(1));
  EXPECT_EQ(s.GetFirstSource(1), -1);
  EXPECT_EQ(s.GetSecondSource(1), -1);
  EXPECT_EQ(s.GetBlendRatio(1), -1);
  EXPECT_EQ(s.GetChainLength(1), 0);
}

TEST(Scheme, EmptyNodeAwaitingALoader) {
  TSchemeManager s;
  s.AddImage(nullptr, 0, 0);
  ASSERT_EQ(s.GetImageCount(), 1);
  EXPECT_EQ(s.GetWidth(0), 0);
  EXPECT_EQ(s.GetHeight(0), 0);
  EXPECT_EQ(s.GetPixels(0), nullptr);
  EXPECT_EQ(s.GetLeft(0), 0);
  EXPECT_EQ(s.GetTop(0), 0);
  // A loader then gives it a size and pixels; committing copies them to the base.
  s.SetWidth(0, 2);
  s.SetHeight(0, 3);
  Picture p(2, 3, Pattern);
  s.SetPixels(0, p.columns());
  s.CommitImage(0);
  EXPECT_THAT(BaseOf(s, 0), ElementsAreArray(Expected(2, 3, Pattern)));
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(Expected(2, 3, Pattern)));
}

TEST(Scheme, PixelsHandedInAreCopied) {
  TSchemeManager s;
  Picture p(3, 4, Pattern);
  s.AddImage(p.columns(), 3, 4);
  p.columns()[1][2] = 0;  // the caller's array stays the caller's
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(Expected(3, 4, Pattern)));
  EXPECT_THAT(BaseOf(s, 0), ElementsAreArray(Expected(3, 4, Pattern)));

  // SetPixels fills the current shape only; a null array changes nothing.
  Picture q(3, 4, [](int x, int y) { return static_cast<MvPixel>(x * 10 + y); });
  s.SetPixels(0, nullptr);
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(Expected(3, 4, Pattern)));
  s.SetPixels(0, q.columns());
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(Expected(3, 4, [](int x, int y) { return MvPixel(x * 10 + y); })));
  EXPECT_THAT(BaseOf(s, 0), ElementsAreArray(Expected(3, 4, Pattern)));
  s.SetBasePixels(0, q.columns());
  EXPECT_THAT(BaseOf(s, 0), ElementsAreArray(CurrentOf(s, 0)));
  // Handing back the very array the scheme lent is harmless.
  s.SetPixels(0, s.GetPixels(0));
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(BaseOf(s, 0)));
}

struct ResizeCase {
  const char* name;
  bool base;   // resize Base instead of Current
  bool width;  // SetWidth / SetBaseWidth, else the height
  int from, to;
};

class ResizeTest : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeTest, KeepsOverlapAndPadsWithWhite) {
  const ResizeCase& c = GetParam();
  const int w = c.width ? c.from : 3, h = c.width ? 3 : c.from;
  const int nw = c.width ? c.to : 3, nh = c.width ? 3 : c.to;
  TSchemeManager s;
  Picture p(w, h, Pattern);
  s.AddImage(p.columns(), w, h);
  if (c.base)
    c.width ? s.SetBaseWidth(0, c.to) : s.SetBaseHeight(0, c.to);
  else
    c.width ? s.SetWidth(0, c.to) : s.SetHeight(0, c.to);

  auto resized = Expected(nw, nh, [&](int x, int y) { return x < w && y < h ? Pattern(x, y) : MV_WHITE; });
  EXPECT_THAT(c.base ? BaseOf(s, 0) : CurrentOf(s, 0), ElementsAreArray(resized));
  // The other image of the node is untouched.
  EXPECT_THAT(c.base ? CurrentOf(s, 0) : BaseOf(s, 0), ElementsAreArray(Expected(w, h, Pattern)));
  // Columns stay one contiguous block, column x at block + x * height.
  PixelColumns img = c.base ? s.GetBasePixels(0) : s.GetPixels(0);
  for (int x = 0; x < nw; ++x) EXPECT_EQ(img[x], img[0] + x * nh);
}

INSTANTIATE_TEST_SUITE_P(Scheme, ResizeTest,
                         ::testing::Values(ResizeCase{"GrowWidth", false, true, 2, 4},
                                           ResizeCase{"ShrinkWidth", false, true, 4, 2},
                                           ResizeCase{"GrowHeight", false, false, 3, 5},
                                           ResizeCase{"ShrinkHeight", false, false, 5, 3},
                                           ResizeCase{"WidthToZero", false, true, 3, 0},
                                           ResizeCase{"GrowBaseWidth", true, true, 2, 4},
                                           ResizeCase{"ShrinkBaseHeight", true, false, 5, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Scheme, ResizingToTheSameSizeKeepsTheArray) {
  TSchemeManager s;
  AddFilled(s, 4, 3, 0x123456);
  PixelColumns before = s.GetPixels(0);
  s.SetWidth(0, 4);
  s.SetHeight(0, 3);
  EXPECT_EQ(s.GetPixels(0), before);
}

TEST(Scheme, RefusesAbsurdSizes) {
  TSchemeManager s;
  AddFilled(s, 2, 2, 0x123456);
  s.SetWidth(0, UINT_MAX);
  s.SetHeight(0, TSchemeManager::kMaxImageSide + 1);
  s.SetBaseWidth(0, 1u << 16);
  s.SetBaseHeight(0, 1u << 16);  // 2 x 65536 passes, 65536 x 65536 would not
  EXPECT_EQ(s.GetWidth(0), 2);
  EXPECT_EQ(s.GetHeight(0), 2);
  EXPECT_EQ(s.GetBaseHeight(0), 2);
  EXPECT_THROW(s.AddImage(nullptr, 1u << 16, 1u << 16), std::bad_alloc);
  EXPECT_THROW(s.AddImage(nullptr, UINT_MAX, 0), std::bad_alloc);
  EXPECT_EQ(s.GetImageCount(), 1);
}

// A node layout: for each node its two sources, or {-1, -1} for a plain node.
// Every node gets Left = its original index, so survivors can be recognised.
using Layout = std::vector<std::pair<int, int>>;

void Build(TSchemeManager& s, const Layout& layout) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].first < 0)
      AddFilled(s, 2, 2, 0x101010u * static_cast<MvPixel>(i + 1));
    else
      s.AddBlendedImage(layout[i].first, layout[i].second, 50, false);
    s.SetLeft(static_cast<int>(i), static_cast<int>(i));
  }
}

std::vector<int> Dependents(TSchemeManager& s, int index) {
  int count = -1;
  int* array = s.GetDependents(index, count);
  std::vector<int> out(array, array + count);
  EXPECT_EQ(array == nullptr, count == 0);
  delete[] array;
  return out;
}

TEST(Scheme, DependencyQueries) {
  TSchemeManager s;
  // 0, 1 plain; 2 = blend(0, 1); 3 = blend(2, 0); 4 = blend(1, 1); 5 plain.
  Build(s, {{-1, -1}, {-1, -1}, {0, 1}, {2, 0}, {1, 1}, {-1, -1}});
  EXPECT_THAT(Dependents(s, 0), ElementsAre(2, 3));
  EXPECT_THAT(Dependents(s, 1), ElementsAre(2, 4));  // 4 blends 1 twice: listed once
  EXPECT_THAT(Dependents(s, 5), IsEmpty());
  EXPECT_THAT(s.CollectWithDependents(0), ElementsAre(0, 2, 3));  // 3 once, though reachable twice
  EXPECT_THAT(s.CollectWithDependents(1), ElementsAre(1, 2, 3, 4));
  // Calls from outside start with an empty visited set.
  EXPECT_THAT(s.CollectWithDependents(5), ElementsAre(5));
  EXPECT_THAT(s.CollectWithDependents(4), ElementsAre(4));
}

TEST(Scheme, CollectIsDepthFirstPreOrder) {
  TSchemeManager s;
  // 1 = blend(0, 0), 2 = blend(0, 0), 3 = blend(1, 1): 0 -> 1 -> 3 before 2.
  Build(s, {{-1, -1}, {0, 0}, {0, 0}, {1, 1}});
  EXPECT_THAT(s.CollectWithDependents(0), ElementsAre(0, 1, 3, 2));
}

struct DeleteCase {
  const char* name;
  Layout layout;
  int doomed;
  std::vector<int> survivors;  // original indices, in their new order
  Layout sources;              // of the survivors, renumbered
};

class DeleteTest : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteTest, RemovesTheNodeAndEverythingGeneratedFromIt) {
  const DeleteCase& c = GetParam();
  TSchemeManager s;
  Build(s, c.layout);
  s.DeleteImage(c.doomed);
  std::vector<int> survivors;
  Layout sources;
  for (int i = 0; i < s.GetImageCount(); ++i) {
    survivors.push_back(s.GetLeft(i));
    sources.emplace_back(s.GetFirstSource(i), s.GetSecondSource(i));
    EXPECT_EQ(s.IsGenerated(i), s.GetFirstSource(i) >= 0);
  }
  EXPECT_THAT(survivors, ElementsAreArray(c.survivors));
  EXPECT_THAT(sources, ElementsAreArray(c.sources));
}

INSTANTIATE_TEST_SUITE_P(
    Scheme, DeleteTest,
    ::testing::Values(
        DeleteCase{"UnrelatedSourceGoesAlone", {{-1, -1}, {-1, -1}, {-1, -1}, {1, 2}}, 0, {1, 2, 3},
                   {{-1, -1}, {-1, -1}, {0, 1}}},
        DeleteCase{"TakesItsBlendAlong", {{-1, -1}, {-1, -1}, {0, 1}, {-1, -1}, {1, 3}}, 0, {1, 3, 4},
                   {{-1, -1}, {-1, -1}, {0, 1}}},
        DeleteCase{"BlendOfABlend", {{-1, -1}, {-1, -1}, {0, 1}, {2, 1}}, 2, {0, 1}, {{-1, -1}, {-1, -1}}},
        DeleteCase{"BlendWithItself", {{-1, -1}, {0, 0}, {-1, -1}}, 0, {2}, {{-1, -1}}},
        DeleteCase{"Diamond", {{-1, -1}, {-1, -1}, {0, 1}, {0, 1}, {2, 3}, {1, 1}}, 0, {1, 5}, {{-1, -1}, {0, 0}}},
        DeleteCase{"LastNode", {{-1, -1}, {-1, -1}, {0, 1}}, 2, {0, 1}, {{-1, -1}, {-1, -1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scheme, ClearRemovesEverythingAndKeepsTheWiring) {
  TSchemeManager s;
  int statuses = 0;
  s.OnStatusText = [&](const std::string&) { ++statuses; };
  Build(s, {{-1, -1}, {-1, -1}, {0, 1}});
  s.Clear();
  EXPECT_EQ(s.GetImageCount(), 0);
  AddFilled(s, 1, 1, 0);
  EXPECT_EQ(s.GetImageCount(), 1);
  EXPECT_EQ(s.GetLeft(0), 0);
  EXPECT_TRUE(static_cast<bool>(s.OnStatusText));
}

TEST(Scheme, BlendRatioIsKeptWithinItsRange) {
  TSchemeManager s;
  Build(s, {{-1, -1}, {-1, -1}, {0, 1}});
  for (int ratio : {101, -1, 150, INT_MIN}) {
    s.SetBlendRatio(2, ratio);
    EXPECT_EQ(s.GetBlendRatio(2), 50) << ratio;
  }
  s.SetBlendRatio(2, 0);
  EXPECT_EQ(s.GetBlendRatio(2), 0);
  s.SetBlendRatio(2, 100);
  EXPECT_EQ(s.GetBlendRatio(2), 100);
  s.SetBlendRatio(0, 30);  // a plain node has no ratio
  EXPECT_EQ(s.GetBlendRatio(0), -1);
  // A ratio out of range from a damaged project is brought into range.
  s.AddBlendedImage(0, 1, 250, false);
  EXPECT_EQ(s.GetBlendRatio(3), 100);
}

struct ParamsCase {
  int first, second;
  bool check;
};

class ParamsTest : public ::testing::TestWithParam<ParamsCase> {};

TEST_P(ParamsTest, CheckIsFalseOnlyForASetFirstWordWithoutASecond) {
  TSchemeManager s;
  AddFilled(s, 1, 1, 0);
  s.AppendFilterEntry(0, TFilterEntry{"F_X", 5, 0, 0});
  s.SetFilterParams(0, 0, GetParam().first, GetParam().second);
  EXPECT_EQ(s.GetFilterParams(0, 0), std::make_pair(GetParam().first, GetParam().second));
  EXPECT_EQ(s.CheckFilterParams(0, 0), GetParam().check);
}

INSTANTIATE_TEST_SUITE_P(Scheme, ParamsTest,
                         ::testing::Values(ParamsCase{0, 0, true}, ParamsCase{0, 5, true}, ParamsCase{5, 5, true},
                                           ParamsCase{5, 3, true}, ParamsCase{0, 7, true}, ParamsCase{5, 0, false}));

TEST(Scheme, ChainEntryFields) {
  TSchemeManager s;
  AddFilled(s, 1, 1, 0);
  s.AppendFilterEntry(0, TFilterEntry{"F_X", 0xFD, 3, 4});
  EXPECT_EQ(s.GetChainLength(0), 1);
  EXPECT_EQ(s.GetFilterIdentifier(0, 0), "F_X");
  EXPECT_EQ(s.GetFilterChannels(0, 0), 5);  // only the three channel bits are kept
  // Without a registry, changing the mask stores it and runs nothing.
  s.SetFilterChannels(0, 0, 2);
  EXPECT_EQ(s.GetFilterChannels(0, 0), 2);
}

TEST(Scheme, BadIndicesGetNeutralAnswers) {
  TSchemeManager s;
  Build(s, {{-1, -1}, {-1, -1}, {0, 1}});
  s.AppendFilterEntry(0, TFilterEntry{"F_X", 7, 1, 2});
  const auto before = CurrentOf(s, 2);
  for (int bad : {-1, 3, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(s.GetPixels(bad), nullptr);
    EXPECT_EQ(s.GetBasePixels(bad), nullptr);
    EXPECT_EQ(s.GetWidth(bad), 0);
    EXPECT_EQ(s.GetBaseHeight(bad), 0);
    EXPECT_FALSE(s.GetSelected(bad));
    EXPECT_FALSE(s.IsGenerated(bad));
    EXPECT_EQ(s.GetFirstSource(bad), -1);
    EXPECT_EQ(s.GetBlendRatio(bad), -1);
    EXPECT_EQ(s.GetChainLength(bad), 0);
    EXPECT_THAT(s.CollectWithDependents(bad), IsEmpty());
    EXPECT_THAT(Dependents(s, bad), IsEmpty());
    s.SetWidth(bad, 5);
    s.SetPixels(bad, s.GetPixels(0));
    s.SetSelected(bad, true);
    s.SetBlendRatio(bad, 10);
    s.ComputeBlend(bad, true);
    s.RunFilterChain(bad);
    s.RestoreImage(bad);
    s.UpdateDependents(bad);
    s.DeleteImage(bad);
    s.AddBlendedImage(bad, 0, 50, false);
    s.AddBlendedImage(0, bad, 50, false);
    // Chain positions are checked as well.
    EXPECT_EQ(s.GetFilterIdentifier(0, bad), "");
    EXPECT_EQ(s.GetFilterChannels(0, bad), 0);
    EXPECT_EQ(s.GetFilterParams(0, bad), std::make_pair(0, 0));
    EXPECT_TRUE(s.CheckFilterParams(0, bad));
    s.SetFilterChannels(0, bad, 1);
    s.SetFilterParams(0, bad, 9, 9);
  }
  EXPECT_EQ(s.GetImageCount(), 3);
  EXPECT_EQ(s.GetFilterParams(0, 0), std::make_pair(1, 2));
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(before));
}

}  // namespace
