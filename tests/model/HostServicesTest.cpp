// The services table as plug-ins see it: the registry entries, the image and
// chain entries, blending, the main window entries with their message
// processing, text conversion, and neutral answers to bad indices.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "ModelTestSupport.h"
#include "MvText.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class ServicesTest : public SchemeFixture {};

TEST(Services, InitServicesFillsEveryEntry) {
  EXPECT_FALSE(InitServices(nullptr));
  MvServices table{};
  ASSERT_TRUE(InitServices(&table));
  void* entries[48];
  static_assert(sizeof(entries) == sizeof(MvServices));
  std::memcpy(entries, &table, sizeof(table));
  for (int i = 0; i < 48; ++i) EXPECT_NE(entries[i], nullptr) << "entry " << i;
}

TEST_F(ServicesTest, RegistryEntries) {
  TPluginManager& r = TestFilters();
  EXPECT_EQ(services->GetLoaderCount(), 0);
  EXPECT_EQ(services->GetFilterCount(), r.GetFilterCount());
  EXPECT_EQ(services->GetPluginCount(), r.GetFilterCount());
  const int invert = FilterIndex("T_Invert");
  EXPECT_EQ(services->FindFilterIndex("T_Invert"), invert);
  EXPECT_EQ(services->FindFilterIndex("t_invert"), -1);  // case matters
  EXPECT_EQ(services->FindFilterIndex("T_Invert "), -1);
  EXPECT_TRUE(services->HasFilter("T_Shrink"));
  EXPECT_FALSE(services->HasFilter("T_Missing"));
  EXPECT_FALSE(services->HasLoader("T_Invert"));  // kinds are apart
  EXPECT_EQ(services->FindLoaderIndex("T_Invert"), -1);
  EXPECT_EQ(services->GetFilterId(invert), "T_Invert");
  EXPECT_EQ(services->GetFilter(invert), r.GetFilter(invert));
  for (int bad : {-1, r.GetFilterCount(), INT_MAX}) {
    EXPECT_EQ(services->GetFilter(bad), nullptr);
    EXPECT_EQ(services->GetFilterId(bad), "");
    EXPECT_EQ(services->GetLoader(bad), nullptr);
    EXPECT_EQ(services->GetLoaderId(bad), "");
  }
}

TEST_F(ServicesTest, ChainEntries) {
  AddFilled(scheme, 2, 2, 0);
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Shrink", 3, 0, 0});
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Gone", 7, 0, 0});  // its plug-in is not loaded
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Invert", 7, 0, 0});
  unsigned count = 99;
  int* indexes = services->GetImageFilterIndexes(0, &count);
  ASSERT_EQ(count, 3u);
  EXPECT_THAT(std::vector<int>(indexes, indexes + 3), ElementsAre(FilterIndex("T_Shrink"), -1, FilterIndex("T_Invert")));
  delete[] indexes;
  std::string* ids = services->GetImageFilterIds(0, &count);
  ASSERT_EQ(count, 3u);
  EXPECT_THAT(std::vector<std::string>(ids, ids + 3), ElementsAre("T_Shrink", "T_Gone", "T_Invert"));
  delete[] ids;
  EXPECT_EQ(services->GetImageFilterCount(0), 3);
  EXPECT_EQ(services->GetFilterChannels(0, 0), 3);

  AddFilled(scheme, 1, 1, 0);  // an empty chain: an array of no elements
  indexes = services->GetImageFilterIndexes(1, &count);
  EXPECT_EQ(count, 0u);
  delete[] indexes;

  int second = -5;
  services->SetFilterParams(0, 1, 5, 0);
  EXPECT_EQ(services->GetFilterParams(0, 1, &second), 5);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(services->CheckFilterParams(0, 1), 0);
  for (auto [p1, p2, check] : {std::tuple{0, 0, 1}, std::tuple{5, 3, 1}, std::tuple{0, 7, 1}}) {
    services->SetFilterParams(0, 1, p1, p2);
    EXPECT_EQ(services->CheckFilterParams(0, 1), check) << p1 << "," << p2;
  }
  EXPECT_EQ(scheme.GetChainLength(0), 3);  // nothing was run or changed by the parameter words
}

TEST_F(ServicesTest, SetImageGivesANodeItsSizeAndPixels) {
  scheme.AddImage(nullptr, 0, 0);
  services->SetImage(0, nullptr, 3, 2);  // no pixels: a white image of that size
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(std::vector<MvPixel>(6, MV_WHITE)));
  EXPECT_EQ(scheme.GetBaseWidth(0), 0);  // the base image is untouched

  auto colour = [](int x, int y) { return MvPixel(x * 16 + y); };
  Picture tall(1, 5, colour), wide(5, 1, colour);
  services->SetImage(0, tall.columns(), 1, 5);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(1, 5, colour)));
  services->SetImage(0, wide.columns(), 5, 1);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(5, 1, colour)));

  // Negative or refused sizes change nothing; pixels are never read then.
  services->SetImage(0, wide.columns(), -1, 1);
  services->SetImage(0, wide.columns(), 5, INT_MAX);
  services->SetImageWidth(0, -3);
  services->SetImageHeight(0, INT_MIN);
  services->SetImagePixels(0, nullptr);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(Expected(5, 1, colour)));
  EXPECT_EQ(services->GetImageWidth(0), 5);
  EXPECT_EQ(services->GetImageHeight(0), 1);
  EXPECT_EQ(services->GetImagePixels(0), scheme.GetPixels(0));
}

TEST_F(ServicesTest, BlendImages) {
  AddFilled(scheme, 2, 2, 0x0A0A0A);
  AddFilled(scheme, 2, 2, 0x141414);
  EXPECT_TRUE(services->BlendImages(0, 1, 150));  // out of range: stays at 50
  EXPECT_EQ(services->GetBlendRatio(2), 50);
  EXPECT_TRUE(services->BlendImages(0, 1, 30));
  EXPECT_EQ(services->GetBlendRatio(3), 30);
  EXPECT_THAT(CurrentOf(scheme, 3), ElementsAreArray(std::vector<MvPixel>(4, 0x111111)));
  EXPECT_TRUE(services->IsImageGenerated(3));
  EXPECT_EQ(services->GetFirstSource(3), 0);
  EXPECT_EQ(services->GetSecondSource(3), 1);
  EXPECT_FALSE(services->BlendImages(0, 7, 50));
  EXPECT_FALSE(services->BlendImages(-1, 0, 50));
  EXPECT_EQ(services->GetImageCount(), 4);
  // A plain node has no sources and no ratio.
  EXPECT_FALSE(services->IsImageGenerated(0));
  EXPECT_EQ(services->GetFirstSource(0), -1);
  EXPECT_EQ(services->GetSecondSource(0), -1);
  EXPECT_EQ(services->GetBlendRatio(0), -1);
  EXPECT_TRUE(window.events.empty());  // no redraw
}

TEST_F(ServicesTest, PositionAndSelection) {
  AddFilled(scheme, 1, 1, 0);
  services->SetImageLeft(0, 12);
  services->SetImageTop(0, -7);
  services->SetImageSelected(0, true);
  EXPECT_EQ(services->GetImageLeft(0), 12);
  EXPECT_EQ(services->GetImageTop(0), -7);
  EXPECT_TRUE(services->IsImageSelected(0));
  EXPECT_TRUE(scheme.GetSelected(0));
}

TEST_F(ServicesTest, WindowEntriesProcessMessagesAfterEachProgressChange) {
  EXPECT_EQ(services->GetMainWindow(), &window);
  EXPECT_EQ(services->GetBoardWindow(), &window.board);
  services->RefreshBoard();
  services->ShowProgress(true);
  services->SetProgressMin(0);
  services->SetProgressMax(40);
  services->SetProgressPosition(10);
  services->ShowProgress(false);
  EXPECT_THAT(window.events,
              ElementsAre("refresh", "visible 1 @0", "min 0 @1", "max 40 @2", "position 10 @3", "visible 0 @4"));
  EXPECT_EQ(prompts.processed, 5);

  // The status text arrives as UTF-8, with its delay.
  services->ShowStatus(Utf8ToCp1251("Готово: 50%"), 2000);
  services->ShowStatus("", -1);
  EXPECT_THAT(window.statuses, ElementsAre("Готово: 50%", ""));
  EXPECT_THAT(window.delays, ElementsAre(2000, -1));
  EXPECT_EQ(prompts.processed, 5);  // the status line processes nothing
}

TEST_F(ServicesTest, WithoutSchemeOrWindowEveryEntryIsNeutral) {
  AddFilled(scheme, 2, 2, 0);
  Host().Scheme = nullptr;
  Host().Window = nullptr;
  EXPECT_EQ(services->GetImageCount(), 0);
  EXPECT_EQ(services->GetImagePixels(0), nullptr);
  EXPECT_EQ(services->GetImageWidth(0), 0);
  EXPECT_FALSE(services->BlendImages(0, 0, 50));
  EXPECT_EQ(services->GetMainWindow(), nullptr);
  EXPECT_EQ(services->GetBoardWindow(), nullptr);
  services->RefreshBoard();
  services->ShowStatus("x", 1);
  services->SetProgressPosition(3);
  EXPECT_EQ(prompts.processed, 1);  // messages are still processed
  EXPECT_EQ(services->GetFilterCount(), TestFilters().GetFilterCount());  // the registry is there
}

TEST_F(ServicesTest, BadImageAndChainIndicesGetNeutralAnswers) {
  AddFilled(scheme, 2, 2, 0x101010);
  scheme.AppendFilterEntry(0, TFilterEntry{"T_Invert", 7, 4, 0});
  const auto before = CurrentOf(scheme, 0);
  for (int bad : {-1, 1, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(bad);
    unsigned count = 7;
    EXPECT_EQ(services->GetImagePixels(bad), nullptr);
    EXPECT_EQ(services->GetImageWidth(bad), 0);
    EXPECT_EQ(services->GetImageFilterIndexes(bad, &count), nullptr);
    EXPECT_EQ(count, 0u);
    count = 7;
    EXPECT_EQ(services->GetImageFilterIds(bad, &count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(services->GetImageFilterCount(bad), 0);
    EXPECT_EQ(services->GetBlendRatio(bad), -1);
    EXPECT_FALSE(services->IsImageSelected(bad));
    services->SetImage(bad, nullptr, 4, 4);
    services->SetImageWidth(bad, 4);
    services->SetImagePixels(bad, scheme.GetPixels(0));
    services->SetBlendRatio(bad, 20);
    services->UpdateDependents(bad);
    // Chain positions.
    int second = 9;
    EXPECT_EQ(services->GetFilterChannels(0, bad), 0);
    EXPECT_EQ(services->GetFilterParams(0, bad, &second), 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(services->CheckFilterParams(0, bad), 1);
    services->SetFilterChannels(0, bad, 1);
    services->SetFilterParams(0, bad, 1, 1);
  }
  int* indexes = services->GetImageFilterIndexes(0, nullptr);  // a null count is tolerated
  EXPECT_NE(indexes, nullptr);
  delete[] indexes;
  EXPECT_EQ(scheme.GetImageCount(), 1);
  EXPECT_THAT(CurrentOf(scheme, 0), ElementsAreArray(before));
  EXPECT_EQ(services->CheckFilterParams(0, 0), 0);
}

}  // namespace
