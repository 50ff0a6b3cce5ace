// Filter chains run through real test filters (tests/fixtures/PixelFilterPlugin.cpp)
// that reach the node over the services table: adding filters, re-running
// with masks, restoring, resizing filters, failing filters, and keeping
// generated nodes up to date with each recomputed exactly once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModelTestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

MvPixel Pattern(int x, int y) { return static_cast<MvPixel>(0x030201u * (x + 1) + 0x102030u * y); }

MvPixel AddRed(MvPixel p) { return (p & 0xFFFF00u) | ((p + 1) & 0xFFu); }

class ChainTest : public SchemeFixture {
 protected:
  int AddPattern(int w, int h) {
    Picture p(w, h, Pattern);
    scheme.AddImage(p.columns(), static_cast<unsigned>(w), static_cast<unsigned>(h));
    return scheme.GetImageCount() - 1;
  }
  void Apply(int index, const char* id) { scheme.ApplyFilter(index, FilterIndex(id)); }
  std::vector<std::string> AllCalls() const {
    std::vector<std::string> out;
    for (const auto& s : window.statuses)
      if (s.rfind("T_", 0) == 0) out.push_back(s);
    return out;
  }
};

TEST_F(ChainTest, AddingAFilterRunsItOnceOnTheCurrentImage) {
  AddPattern(3, 2);
  Apply(0, "T_Invert");
  ASSERT_EQ(scheme.GetChainLength(0), 1);
  EXPECT_EQ(scheme.GetFilterIdentifier(0, 0), "T_Invert");
  EXPECT_EQ(scheme.GetFilterChannels(0, 0), 7);
  EXPECT_EQ(scheme.GetFilterParams(0, 0), std::make_pair(0, 0));
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 7"));
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(3, 2, [](int x, int y) { return Pattern(x, y) ^ 0xFFFFFFu; })));
  EXPECT_THAT(BaseOf(scheme, 0), ElementsAreArray(Expected(3, 2, Pattern)));

  // The second filter works on the first one's output; the first is not run again.
  Apply(0, "T_Apply");
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 7", "T_Apply 0 0"));
  EXPECT_THAT(CurrentOf(scheme, 0),
              ElementsAreArray(Expected(3, 2, [](int x, int y) { return AddRed(Pattern(x, y) ^ 0xFFFFFFu); })));
}

TEST_F(ChainTest, ChangingAMaskReRunsTheWholeChainFromTheBase) {
  AddPattern(3, 2);
  Apply(0, "T_Invert");
  Apply(0, "T_Apply");
  Apply(0, "T_Invert");
  window.statuses.clear();

  scheme.SetFilterChannels(0, 0, 7);  // unchanged: nothing runs
  EXPECT_THAT(AllCalls(), IsEmpty());

  // Through the services entry, as the layers window does.
  services->SetFilterChannels(0, 0, MV_CHANNEL_RED);
  EXPECT_EQ(scheme.GetFilterChannels(0, 0), MV_CHANNEL_RED);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 1", "T_Apply 0 1", "T_Invert 0 7"));
  EXPECT_THAT(CurrentOf(scheme, 0),
              ElementsAreArray(Expected(3, 2, [](int x, int y) { return AddRed(Pattern(x, y) ^ 0xFFu) ^ 0xFFFFFFu; })));
  EXPECT_THAT(BaseOf(scheme, 0), ElementsAreArray(Expected(3, 2, Pattern)));
}

TEST_F(ChainTest, AnEmptyChainLeavesTheCurrentImageAlone) {
  AddPattern(2, 2);
  Picture other(2, 2, [](int, int) { return MvPixel(0x123456); });
  scheme.SetPixels(0, other.columns());
  scheme.RunFilterChain(0);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(std::vector<MvPixel>(4, 0x123456)));
}

TEST_F(ChainTest, RestoreBringsBackTheBaseAndUpdatesBlends) {
  AddPattern(3, 3);
  scheme.AddImage(nullptr, 3, 3);
  scheme.AddBlendedImage(0, 1, 100, false);  // ratio 100: node 2 shows node 0
  Apply(0, "T_Invert");
  EXPECT_THAT(CurrentOf(scheme, 2), ElementsAreArray(CurrentOf(scheme, 0)));
  scheme.RestoreImage(0);
  EXPECT_EQ(scheme.GetChainLength(0), 0);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(3, 3, Pattern)));
  EXPECT_THAT(CurrentOf(scheme, 2), ElementsAreArray(Expected(3, 3, Pattern)));
  // On a generated node, restoring brings back the bare blend.
  Apply(2, "T_Invert");
  scheme.RestoreImage(2);
  EXPECT_THAT(CurrentOf(scheme, 2), ElementsAreArray(Expected(3, 3, Pattern)));
}

TEST_F(ChainTest, AFilterMayResizeItsNodeWhileItRuns) {
  AddPattern(4, 3);
  scheme.AddImage(nullptr, 4, 3);
  scheme.AddBlendedImage(0, 1, 100, false);
  Apply(0, "T_Shrink");
  EXPECT_EQ(scheme.GetWidth(0), 3);
  EXPECT_EQ(scheme.GetHeight(0), 2);
  EXPECT_EQ(scheme.GetBaseWidth(0), 4);
  EXPECT_EQ(scheme.GetBaseHeight(0), 3);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(3, 2, [](int x, int y) { return Pattern(x + 1, y + 1); })));
  // The blend of the smaller source reads what exists and pads with white.
  EXPECT_EQ(scheme.GetWidth(2), 4);
  EXPECT_EQ(scheme.GetHeight(2), 3);
  EXPECT_THAT(CurrentOf(scheme, 2), ElementsAreArray(Expected(4, 3, [](int x, int y) {
                return x < 3 && y < 2 ? Pattern(x + 1, y + 1) : MV_WHITE;
              })));
  // Re-running starts from the base again: a second shrink sees the full image.
  Apply(0, "T_Shrink");
  scheme.RunFilterChain(0);
  EXPECT_EQ(scheme.GetWidth(0), 2);
  EXPECT_EQ(scheme.GetHeight(0), 1);
  scheme.ResetImage(0);
  EXPECT_EQ(scheme.GetWidth(0), 4);
  EXPECT_EQ(scheme.GetHeight(0), 3);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(4, 3, Pattern)));
}

TEST_F(ChainTest, AThrowingFilterIsReportedAndTheChainGoesOn) {
  AddPattern(2, 2);
  Apply(0, "T_Throw");
  Apply(0, "T_Invert");
  EXPECT_THAT(statusTexts, ElementsAre("Ошибка в фильтре «Тест T_Throw»"));
  scheme.RunFilterChain(0);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Throw 0 7", "T_Invert 0 7", "T_Throw 0 7", "T_Invert 0 7"));
  EXPECT_THAT(statusTexts, SizeIs(2));
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(2, 2, [](int x, int y) { return Pattern(x, y) ^ 0xFFFFFFu; })));
}

TEST_F(ChainTest, EntriesOfFiltersThatAreNotLoadedAreSkipped) {
  AddPattern(2, 2);
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Missing", 7, 0, 0});
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Invert", 2, 0, 0});
  scheme.RunFilterChain(0);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 2"));
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(2, 2, [](int x, int y) { return Pattern(x, y) ^ 0xFF00u; })));
}

TEST_F(ChainTest, BadFilterOrNodeIndicesDoNothing) {
  AddPattern(2, 2);
  scheme.ApplyFilter(0, -1);
  scheme.ApplyFilter(0, TestFilters().GetFilterCount());
  scheme.ApplyFilter(1, FilterIndex("T_Invert"));
  EXPECT_EQ(scheme.GetChainLength(0), 0);
  EXPECT_THAT(AllCalls(), IsEmpty());
}

// 0, 1 plain; 2 = blend(0, 1); 3 = blend(2, 0); 4 = blend(3, 2): nodes 3 and
// 4 are reachable from 0 along several paths. Every generated node carries
// the T_Apply filter.
class DependentsTest : public ChainTest {
 protected:
  void BuildScheme(TSchemeManager& s, bool filterFirst) {
    Picture a(3, 2, Pattern);
    s.AddImage(a.columns(), 3, 2);
    if (filterFirst) s.ApplyFilter(0, FilterIndex("T_Invert"));
    s.AddImage(nullptr, 3, 2);
    for (auto [first, second, ratio] : {std::tuple{0, 1, 60}, std::tuple{2, 0, 30}, std::tuple{3, 2, 45}}) {
      s.AddBlendedImage(first, second, ratio, false);
      s.ApplyFilter(s.GetImageCount() - 1, FilterIndex("T_Apply"));
    }
  }
};

TEST_F(DependentsTest, ReRunningRecomputesEachDependentOnceInIndexOrder) {
  BuildScheme(scheme, false);
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Invert", 7, 0, 0});
  window.statuses.clear();
  scheme.RunFilterChain(0);
  // The chain once, then one blend and one chain per dependent: no more.
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 7", "T_Apply 2 1", "T_Apply 3 1", "T_Apply 4 1"));

  // The pixels equal those of a scheme built afresh in the final state.
  TSchemeManager fresh;
  Host().Scheme = &fresh;
  fresh.PluginManager = &TestFilters();
  BuildScheme(fresh, true);
  Host().Scheme = &scheme;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(CurrentOf(scheme, i), CurrentOf(fresh, i)) << "node " << i;
}

TEST_F(DependentsTest, MaskAndRatioChangesUpdateDependentsOnce) {
  BuildScheme(scheme, true);
  window.statuses.clear();
  scheme.SetFilterChannels(0, 0, MV_CHANNEL_BLUE);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 0 4", "T_Apply 2 1", "T_Apply 3 1", "T_Apply 4 1"));

  window.statuses.clear();
  services->SetBlendRatio(3, 80);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Apply 3 1", "T_Apply 4 1"));

  window.statuses.clear();
  services->UpdateDependents(2);
  EXPECT_THAT(AllCalls(), ElementsAre("T_Apply 3 1", "T_Apply 4 1"));

  // Adding a filter to node 2 runs it and then the nodes after it.
  window.statuses.clear();
  Apply(2, "T_Invert");
  EXPECT_THAT(AllCalls(), ElementsAre("T_Invert 2 7", "T_Apply 3 1", "T_Apply 4 1"));
}

TEST_F(ChainTest, ColumnPointersAPluginOverwroteAreRestored) {
  AddPattern(4, 2);
  scheme.AddImage(nullptr, 4, 2);
  scheme.AddBlendedImage(0, 1, 100, false);
  Apply(0, "T_Scramble");
  PixelColumns p = scheme.GetPixels(0);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(p[x], p[0] + 2 * x);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(4, 2, Pattern)));
  EXPECT_THAT(CurrentOf(scheme, 2), ElementsAreArray(Expected(4, 2, Pattern)));
}

TEST_F(ChainTest, AFilterThatReRunsItsOwnChainCannotRecurseForever) {
  AddPattern(2, 2);
  Apply(0, "T_Recurse");
  const auto calls = Calls("T_Recurse");
  EXPECT_GE(calls.size(), 2u);  // the nested re-run did happen
  EXPECT_LE(calls.size(), 16u);
  EXPECT_EQ(scheme.GetChainLength(0), 1);
}

}  // namespace
