// The registry over real plug-in libraries: scanning, classifying, refusing
// duplicates, the initialisation pass, queries and removal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>

#include "PluginManager.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// Every life event the fixtures report ("init:F_Alpha", "delete:F_Alpha", ...).
std::vector<std::string> g_events;
void RecordStatus(std::string text, int) { g_events.push_back(text); }

MvServices MakeServices() {
  MvServices s{};
  s.ShowStatus = &RecordStatus;
  return s;
}

std::vector<std::string> FilterIds(TPluginManager& r) {
  std::vector<std::string> ids;
  for (int i = 0; i < r.GetFilterCount(); ++i) ids.push_back(r.GetFilter(i)->GetIdentifier());
  return ids;
}

std::vector<std::string> LoaderIds(TPluginManager& r) {
  std::vector<std::string> ids;
  for (int i = 0; i < r.GetLoaderCount(); ++i) ids.push_back(r.GetLoader(i)->GetIdentifier());
  return ids;
}

int Count(const std::string& event) { return static_cast<int>(std::count(g_events.begin(), g_events.end(), event)); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    services = MakeServices();
    registry.Services = &services;
    // Registered libraries stay loaded for the whole run, and the system
    // loader knows a library by its file's inode: keep every test's folder
    // until the process ends, so no later copy can reuse a loaded inode.
    static std::vector<std::unique_ptr<TempDir>> keep;
    keep.push_back(std::make_unique<TempDir>());
    dir = keep.back()->path();
    std::filesystem::create_directory(dir / "Plugins");
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    // Remove what is left, as the main window does when it closes.
    while (registry.GetLoaderCount() > 0) registry.RemoveLoader(0);
    while (registry.GetFilterCount() > 0) registry.RemoveFilter(0);
  }
  void Put(const std::string& fixture, const std::string& as) { CopyFixture(fixture, dir / "Plugins", as); }

  CurrentDirGuard cwd;
  std::filesystem::path dir;
  MvServices services{};
  TPluginManager registry;
  ScriptedPrompts prompts;
};

struct ScanCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // fixture -> file name in Plugins
  std::vector<std::string> filters;                        // registered, in order
  std::vector<std::string> loaders;
  int duplicateMessages;
};

class ScanTest : public RegistryTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanTest, RegistersWhatTheFolderHolds) {
  const ScanCase& c = GetParam();
  for (auto& [fixture, as] : c.files) Put(fixture, as);
  EXPECT_TRUE(registry.LoadPlugins());
  EXPECT_THAT(FilterIds(registry), ElementsAreArray(c.filters));
  EXPECT_THAT(LoaderIds(registry), ElementsAreArray(c.loaders));
  ASSERT_EQ(static_cast<int>(prompts.messages.size()), c.duplicateMessages);
  for (auto& m : prompts.messages) {
    EXPECT_EQ(m.text, "Не удалось загрузить плагин: класс плагина уже был зарегистрирован ранее.");
    EXPECT_EQ(m.icon, MessageIcon::Error);
    EXPECT_EQ(m.owner, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Registry, ScanTest,
    ::testing::Values(
        // The same library under two names: the one met first wins, the second is refused.
        ScanCase{"DuplicateFilter", {{"filter_a", "a.plugin"}, {"filter_a_copy", "b.plugin"}}, {"F_Alpha"}, {}, 1},
        ScanCase{"SameLibraryTwice", {{"filter_b", "one.plugin"}, {"filter_b", "two.plugin"}}, {"F_Beta"}, {}, 1},
        ScanCase{"DuplicateLoader", {{"loader_a", "a.plugin"}, {"loader_a_copy", "b.plugin"}}, {}, {"L_Alpha"}, 1},
        // Kinds are kept apart; identifiers compare case-sensitively.
        ScanCase{"FilterAndLoaderShareId", {{"filter_a", "a.plugin"}, {"loader_as_filter_id", "b.plugin"}},
                 {"F_Alpha"}, {"F_Alpha"}, 0},
        ScanCase{"CaseMatters", {{"filter_a", "a.plugin"}, {"filter_a_low", "b.plugin"}},
                 {"F_Alpha", "f_alpha"}, {}, 0},
        // Silent skips: null entry, neither kind, no export.
        ScanCase{"SilentSkips",
                 {{"null_entry", "a.plugin"}, {"neither", "b.plugin"}, {"no_export", "c.plugin"}, {"filter_b", "d.plugin"}},
                 {"F_Beta"}, {}, 0},
        // Name order decides registration order, whatever the directory lists first.
        ScanCase{"NameOrder", {{"filter_c", "c.plugin"}, {"filter_a", "a.plugin"}, {"filter_b", "b.plugin"}},
                 {"F_Alpha", "F_Beta", "F_Gamma"}, {}, 0},
        // Initialize false at positions 1 and 3 of five: the other three keep their order.
        ScanCase{"InitializeRefusals",
                 {{"filter_a", "1.plugin"}, {"filter_refuse_1", "2.plugin"}, {"filter_b", "3.plugin"},
                  {"filter_refuse_2", "4.plugin"}, {"filter_c", "5.plugin"}, {"loader_refuse", "6.plugin"},
                  {"loader_b", "7.plugin"}},
                 {"F_Alpha", "F_Beta", "F_Gamma"}, {"L_Beta"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, SkipsFilesThatAreNotPluginLibraries) {
  std::ofstream(dir / "Plugins" / "text.plugin") << "not a library";
  std::filesystem::create_directory(dir / "Plugins" / "folder.plugin");
  Put("filter_a", "other.so");  // wrong extension: not even looked at
  EXPECT_TRUE(registry.LoadPlugins());
  EXPECT_EQ(registry.GetFilterCount(), 0);
  EXPECT_EQ(registry.GetLoaderCount(), 0);
  EXPECT_THAT(prompts.messages, IsEmpty());
  EXPECT_EQ(registry.LoadPlugin("folder.plugin"), nullptr);
  EXPECT_EQ(registry.LoadPlugin("missing.plugin"), nullptr);
}

TEST_F(RegistryTest, EmptyFolderGivesFalse) { EXPECT_FALSE(registry.LoadPlugins()); }

TEST_F(RegistryTest, MissingFolderIsCreatedAndBecomesCurrent) {
  std::filesystem::remove(dir / "Plugins");
  EXPECT_FALSE(registry.LoadPlugins());  // created, and so empty
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Plugins"));
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir / "Plugins"));
}

TEST_F(RegistryTest, FolderThatCannotBeMadeGivesFalse) {
  std::filesystem::remove(dir / "Plugins");
  std::ofstream(dir / "Plugins") << "a file where the folder should be";
  EXPECT_FALSE(registry.LoadPlugins());
  EXPECT_EQ(registry.GetFilterCount(), 0);
}

TEST_F(RegistryTest, ScanLeavesPluginFolderCurrentForRelativeNames) {
  Put("filter_a", "a.plugin");
  ASSERT_TRUE(registry.LoadPlugins());
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir / "Plugins"));
  std::ofstream("relative.txt") << "x";
  EXPECT_TRUE(std::filesystem::exists(dir / "Plugins" / "relative.txt"));
}

TEST_F(RegistryTest, QueriesCompareIdentifiersByteForByte) {
  EXPECT_EQ(registry.FindFilter("F_Alpha"), nullptr);  // empty registry
  EXPECT_EQ(registry.FindLoader("L_Alpha"), nullptr);
  Put("filter_a", "a.plugin");
  Put("filter_b", "b.plugin");
  Put("loader_a", "c.plugin");
  ASSERT_TRUE(registry.LoadPlugins());
  EXPECT_EQ(registry.FindFilter("F_Beta"), registry.GetFilter(1));
  EXPECT_EQ(registry.FindFilter("f_beta"), nullptr);
  EXPECT_EQ(registry.FindFilter("F_Beta "), nullptr);
  EXPECT_EQ(registry.FindFilter("L_Alpha"), nullptr);  // kinds apart
  EXPECT_EQ(registry.FindLoader("L_Alpha"), registry.GetLoader(0));
}

TEST_F(RegistryTest, RemovalShiftsIndicesAndEndsEachObjectOnce) {
  Put("filter_a", "a.plugin");
  Put("filter_b", "b.plugin");
  Put("filter_c", "c.plugin");
  Put("filter_a_copy", "d.plugin");  // refused: deleted at once, never initialised
  Put("loader_a", "e.plugin");
  ASSERT_TRUE(registry.LoadPlugins());
  EXPECT_EQ(Count("init:F_Alpha"), 1);
  EXPECT_EQ(Count("delete:F_Alpha"), 1);  // the refused copy
  EXPECT_EQ(Count("finalize:F_Alpha"), 0);

  EXPECT_TRUE(registry.RemoveFilter(0));
  EXPECT_THAT(FilterIds(registry), ElementsAre("F_Beta", "F_Gamma"));
  EXPECT_THAT(g_events, ::testing::IsSupersetOf({"finalize:F_Alpha"}));
  // Finalize comes right before the deletion.
  auto fin = std::find(g_events.begin(), g_events.end(), "finalize:F_Alpha");
  ASSERT_NE(fin + 1, g_events.end());
  EXPECT_EQ(*(fin + 1), "delete:F_Alpha");

  EXPECT_TRUE(registry.RemoveLoader(0));
  EXPECT_EQ(registry.GetLoaderCount(), 0);
  EXPECT_FALSE(registry.RemoveLoader(0));  // nothing there
  while (registry.GetFilterCount() > 0) ASSERT_TRUE(registry.RemoveFilter(0));

  for (const char* id : {"F_Beta", "F_Gamma", "L_Alpha"}) {
    EXPECT_EQ(Count(std::string("init:") + id), 1) << id;
    EXPECT_EQ(Count(std::string("finalize:") + id), 1) << id;
    EXPECT_EQ(Count(std::string("delete:") + id), 1) << id;
  }
  EXPECT_EQ(Count("delete:F_Alpha"), 2);  // the registered one and the refused copy
}

TEST_F(RegistryTest, LoadPluginThrowsOnDuplicateAndNeverInitialises) {
  Put("filter_a", "a.plugin");
  Put("filter_a_copy", "b.plugin");
  std::filesystem::current_path(dir / "Plugins");
  MvPlugin* first = registry.LoadPlugin("a.plugin");
  ASSERT_NE(first, nullptr);
  EXPECT_THROW(registry.LoadPlugin("b.plugin"), HostError);
  EXPECT_EQ(registry.GetFilterCount(), 1);
  EXPECT_EQ(Count("init:F_Alpha"), 0);  // only LoadPlugins initialises
}

}  // namespace
