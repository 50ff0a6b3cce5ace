// Generated nodes: the blend arithmetic bit for bit, the node's size and
// alignment, the progress notifications, and sources smaller than the node.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "ModelTestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

MvPixel Grey(int c) { return static_cast<MvPixel>(c | c << 8 | c << 16); }

struct BlendCase {
  int ratio, c1, c2, expected;
};

class BlendValueTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendValueTest, EachChannelIsTheTruncatedExtendedPrecisionSum) {
  const BlendCase& c = GetParam();
  TSchemeManager s;
  // Bits 24-31 of the sources carry junk that must never reach the blend.
  AddFilled(s, 2, 1, Grey(c.c1) | 0xAB000000u);
  AddFilled(s, 2, 1, Grey(c.c2) | 0xFF000000u);
  s.AddBlendedImage(0, 1, c.ratio, false);
  EXPECT_THAT(CurrentOf(s, 2), ElementsAre(Grey(c.expected), Grey(c.expected)));
  EXPECT_THAT(BaseOf(s, 2), ElementsAre(Grey(c.expected), Grey(c.expected)));
}

INSTANTIATE_TEST_SUITE_P(Blend, BlendValueTest,
                         ::testing::Values(BlendCase{50, 100, 200, 150}, BlendCase{25, 255, 0, 63},
                                           BlendCase{75, 255, 0, 191}, BlendCase{50, 255, 255, 255},
                                           BlendCase{1, 1, 1, 0},  // 0.01 lies just below 1/100
                                           BlendCase{30, 10, 20, 17}, BlendCase{0, 37, 201, 201},
                                           BlendCase{100, 37, 201, 37}, BlendCase{0, 255, 0, 0},
                                           BlendCase{100, 255, 0, 255}),
                         [](const auto& info) {
                           const BlendCase& c = info.param;
                           std::ostringstream name;
                           name << "r" << c.ratio << "_" << c.c1 << "_" << c.c2;
                           return name.str();
                         });

// The channel formula written out once, as the reference for the sweep.
int Reference(int r, int c1, int c2) {
  const long double v = (static_cast<long double>(r) * 0.01L) * c1 + (static_cast<long double>(100 - r) * 0.01L) * c2;
  return static_cast<int>(v);
}

TEST(Blend, EveryChannelPairAtEveryRatio) {
  // Source one holds c1 = x in red, y in green, (x + 3y) & 255 in blue; source
  // two the channels crossed over, so every (c1, c2) pair meets in red and
  // green, and every channel is checked against the reference at each pixel.
  auto first = [](int x, int y) { return MvPixel(x | y << 8 | ((x + 3 * y) & 255) << 16 | 0x5A000000u); };
  auto second = [](int x, int y) { return MvPixel(y | x << 8 | ((7 * x + y) & 255) << 16 | 0xC3000000u); };
  TSchemeManager s;
  Picture a(256, 256, first), b(256, 256, second);
  s.AddImage(a.columns(), 256, 256);
  s.AddImage(b.columns(), 256, 256);
  s.AddBlendedImage(0, 1, 50, false);
  for (int ratio = 0; ratio <= 100; ++ratio) {
    SCOPED_TRACE(ratio);
    s.SetBlendRatio(2, ratio);
    auto expected = Expected(256, 256, [&](int x, int y) {
      const MvPixel p = first(x, y), q = second(x, y);
      MvPixel v = 0;
      for (int shift : {0, 8, 16})
        v |= static_cast<MvPixel>(Reference(ratio, (p >> shift) & 255, (q >> shift) & 255)) << shift;
      return v;
    });
    ASSERT_EQ(CurrentOf(s, 2), expected);
    ASSERT_EQ(BaseOf(s, 2), expected);
  }
}

TEST(Blend, ChangingTheRatioRewritesTheNodeInPlace) {
  TSchemeManager s;
  AddFilled(s, 3, 2, Grey(10));
  AddFilled(s, 3, 2, Grey(20));
  s.AddBlendedImage(0, 1, 50, false);
  PixelColumns base = s.GetBasePixels(2), current = s.GetPixels(2);
  s.SetBlendRatio(2, 30);
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(std::vector<MvPixel>(6, Grey(17))));
  EXPECT_EQ(s.GetBasePixels(2), base);
  EXPECT_EQ(s.GetPixels(2), current);
}

TEST(Blend, TakesTheSmallerSizeOfTheSourcesTopLeftAligned) {
  TSchemeManager s;
  auto a = [](int x, int y) { return MvPixel(x | y << 8); };
  auto b = [](int x, int y) { return MvPixel((x + 1) | (y + 1) << 8); };
  Picture pa(100, 80, a), pb(60, 120, b);
  s.AddImageAt(pa.columns(), 100, 80, 5, 6);
  s.AddImageAt(pb.columns(), 60, 120, 7, 8);
  s.AddBlendedImage(0, 1, 100, false);  // ratio 100: exactly the first source
  EXPECT_EQ(s.GetWidth(2), 60);
  EXPECT_EQ(s.GetHeight(2), 80);
  EXPECT_EQ(s.GetBaseWidth(2), 60);
  EXPECT_EQ(s.GetBaseHeight(2), 80);
  EXPECT_EQ(s.GetLeft(2), 0);
  EXPECT_EQ(s.GetTop(2), 0);
  EXPECT_TRUE(s.IsGenerated(2));
  EXPECT_EQ(s.GetFirstSource(2), 0);
  EXPECT_EQ(s.GetSecondSource(2), 1);
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(Expected(60, 80, a)));
  s.SetBlendRatio(2, 0);
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(Expected(60, 80, b)));
}

class ProgressTest : public ::testing::TestWithParam<bool> {};

TEST_P(ProgressTest, OnePositionPerColumnAndOnlyWhenAsked) {
  const bool show = GetParam();
  TSchemeManager s;
  std::vector<std::string> seen;
  s.OnProgressMin = [&](int v) { seen.push_back("min " + std::to_string(v)); };
  s.OnProgressMax = [&](int v) { seen.push_back("max " + std::to_string(v)); };
  s.OnProgressPosition = [&](int v) { seen.push_back("position " + std::to_string(v)); };
  s.OnProgressVisible = [&](bool v) { seen.push_back(v ? "visible" : "hidden"); };
  AddFilled(s, 3, 2, Grey(1));
  AddFilled(s, 4, 5, Grey(2));
  s.AddBlendedImage(0, 1, 50, show);
  s.ComputeBlend(2, show);
  const std::vector<std::string> one = {"min 0",      "max 3",      "position 0", "visible", "position 0",
                                        "position 1", "position 2", "position 0", "hidden"};
  std::vector<std::string> two = one;
  two.insert(two.end(), one.begin(), one.end());
  if (show)
    EXPECT_THAT(seen, ElementsAreArray(two));
  else
    EXPECT_THAT(seen, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Blend, ProgressTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithProgress" : "WithoutProgress"; });

TEST(Blend, SourcesSmallerThanTheNodeLeaveTheRestWhite) {
  TSchemeManager s;
  AddFilled(s, 4, 4, Grey(100));
  AddFilled(s, 4, 4, Grey(200));
  s.AddBlendedImage(0, 1, 50, false);
  // A filter made the sources' current images smaller than the blend.
  s.SetWidth(0, 2);
  s.SetHeight(1, 3);
  s.UpdateDependents(0);
  EXPECT_EQ(s.GetWidth(2), 4);
  EXPECT_EQ(s.GetHeight(2), 4);
  auto expected = Expected(4, 4, [](int x, int y) { return x < 2 && y < 3 ? Grey(150) : MV_WHITE; });
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(expected));
  EXPECT_THAT(BaseOf(s, 2), ElementsAreArray(expected));
  // An empty source (a failed load) gives an all-white node of size 0 x 0.
  s.AddImage(nullptr, 0, 0);
  s.AddBlendedImage(0, 3, 50, false);
  EXPECT_EQ(s.GetWidth(4), 0);
  EXPECT_EQ(s.GetPixels(4), nullptr);
}

TEST(Blend, RecomputingRestoresTheNodesOwnShape) {
  TSchemeManager s;
  AddFilled(s, 3, 3, Grey(0));
  AddFilled(s, 3, 3, Grey(100));
  s.AddBlendedImage(0, 1, 50, false);
  s.SetWidth(2, 1);  // a filter resized the generated node itself
  s.SetHeight(2, 7);
  s.ComputeBlend(2, false);
  EXPECT_EQ(s.GetWidth(2), 3);
  EXPECT_EQ(s.GetHeight(2), 3);
  EXPECT_THAT(CurrentOf(s, 2), ElementsAreArray(std::vector<MvPixel>(9, Grey(50))));
  // ComputeBlend does nothing to a plain node.
  s.ComputeBlend(0, false);
  EXPECT_THAT(CurrentOf(s, 0), ElementsAreArray(std::vector<MvPixel>(9, Grey(0))));
}

}  // namespace
