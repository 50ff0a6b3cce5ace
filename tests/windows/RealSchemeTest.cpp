// The two tool windows over the real services table and scheme: a channel
// change re-runs the node's chain, "Применить" re-blends the node, and both
// refresh the board.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "CombineFrm.h"
#include "HostServices.h"
#include "LayersFrm.h"
#include "PluginManager.h"
#include "SchemeManager.h"

using namespace mv;

namespace {

MvServices g_table{};

// Inverts the channels of its mask, through the services table as a plug-in does.
class InvertFilter final : public MvFilter {
 public:
  std::string GetAuthor() override { return ""; }
  std::string GetCompany() override { return ""; }
  std::string GetRights() override { return ""; }
  std::string GetWebAddress() override { return ""; }
  std::string GetEmail() override { return ""; }
  std::string GetIdentifier() override { return "F_Invert"; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return true; }
  bool ApplyChannels(int image, std::uint8_t mask) override {
    PixelColumns p = g_table.GetImagePixels(image);
    MvPixel bits = 0;
    for (int c = 0; c < 3; ++c)
      if (mask & (1 << c)) bits |= 0xFFu << (8 * c);
    for (int x = 0; x < g_table.GetImageWidth(image); ++x)
      for (int y = 0; y < g_table.GetImageHeight(image); ++y) p[x][y] ^= bits;
    return true;
  }
  bool Apply(int, int) override { return false; }
  std::string GetName() override { return "invert"; }
};

class Registry : public TPluginManager {
 public:
  Registry() { Filters.push_back(TPlugin{nullptr, new InvertFilter}); }
  ~Registry() override { RemoveFilter(0); }
};

class Board final : public HostWindow {
 public:
  void* MainWindowHandle() override { return nullptr; }
  void* BoardWindowHandle() override { return nullptr; }
  void RefreshBoard() override { ++refreshes; }
  void ShowProgress(bool) override {}
  void SetProgressMin(int) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int) override {}
  void ShowStatus(const std::string&, int) override {}
  int refreshes = 0;
};

class RealScheme : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitServices(&g_table));
    registry.Services = &g_table;
    scheme.PluginManager = &registry;
    Host() = HostContext{&registry, &scheme, &board};
  }
  void TearDown() override { Host() = HostContext{}; }

  void AddPixel(MvPixel colour) {
    MvPixel column[1] = {colour};
    MvPixel* columns[1] = {column};
    scheme.AddImage(columns, 1, 1);
  }
  MvPixel Pixel(int image) { return scheme.GetPixels(image)[0][0]; }

  Registry registry;
  TSchemeManager scheme;
  Board board;
};

TEST_F(RealScheme, LayersChangeReRunsTheChain) {
  AddPixel(0x302010);
  scheme.ApplyFilter(0, 0);
  scheme.ApplyFilter(0, 0);
  ASSERT_EQ(Pixel(0), 0x302010u);  // inverted twice

  auto* f = new TLayersForm;
  f->Services = &g_table;
  f->Image = 0;
  f->show();
  f->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(f));
  ASSERT_EQ(f->ComboBox1->count(), 2);
  ASSERT_TRUE(f->CheckBox2->isChecked());
  QTest::mouseClick(f->CheckBox2, Qt::LeftButton, {}, QPoint(8, f->CheckBox2->height() / 2));
  EXPECT_EQ(scheme.GetFilterChannels(0, 0), 5);
  EXPECT_EQ(scheme.GetFilterChannels(0, 1), 7);
  EXPECT_EQ(Pixel(0), 0x30DF10u);  // red and blue inverted twice, green once
  EXPECT_EQ(board.refreshes, 1);
  delete f;
}

TEST_F(RealScheme, CombineAppliesTheRatio) {
  AddPixel(0x0000C8);
  AddPixel(0x000064);
  scheme.AddBlendedImage(0, 1, 50, false);
  ASSERT_TRUE(scheme.IsGenerated(2));

  auto* f = new TCombineForm;
  f->Services = &g_table;
  f->Image = 2;
  f->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(f));
  EXPECT_EQ(f->TrackBar->value(), 50);
  f->TrackBar->setValue(0);
  EXPECT_EQ(scheme.GetBlendRatio(2), 50);
  QTest::mouseClick(f->Button1, Qt::LeftButton);
  EXPECT_EQ(scheme.GetBlendRatio(2), 100);
  EXPECT_EQ(Pixel(2), 0x0000C8u);  // the first source alone
  EXPECT_EQ(board.refreshes, 1);
  delete f;
}

}  // namespace
