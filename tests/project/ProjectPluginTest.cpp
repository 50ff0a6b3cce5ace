// A project whose chains name a real plug-in library, looked up through the
// program's own services table, as the program runs it.
#include <gtest/gtest.h>

#include "HostServices.h"
#include "PluginManager.h"
#include "SchemeManager.h"
#include "TestSupport.h"

using namespace mv;
using namespace mv::test;

namespace {

TEST(ProjectWithPlugIns, ChainOfALoadedLibraryRoundTripsAndIsMissedWithout) {
  CurrentDirGuard cwd;
  TempDir dir;
  ScriptedPrompts prompts;
  std::filesystem::create_directory(dir / "Plugins");
  CopyFixture("filter_a", dir / "Plugins", "a.plugin");
  std::filesystem::current_path(dir.path());

  MvServices services{};
  ASSERT_TRUE(InitServices(&services));
  TPluginManager registry;
  registry.Services = &services;
  TSchemeManager scheme;
  scheme.PluginManager = &registry;
  Host() = HostContext{&registry, &scheme, nullptr};
  ASSERT_TRUE(registry.LoadPlugins());
  ASSERT_EQ(registry.GetFilterCount(), 1);

  scheme.AddImageAt(nullptr, 3, 2, 4, 5);
  scheme.ApplyFilter(0, 0);
  scheme.SetFilterChannels(0, 0, 6);
  const std::string path = (dir / "p.mvl").string();
  ASSERT_TRUE(scheme.SaveToFile(path));
  scheme.Clear();
  ASSERT_TRUE(scheme.LoadFromFile(path));
  ASSERT_EQ(scheme.GetChainLength(0), 1);
  EXPECT_EQ(scheme.GetFilterIdentifier(0, 0), "F_Alpha");
  EXPECT_EQ(scheme.GetFilterChannels(0, 0), 6);
  EXPECT_TRUE(prompts.messages.empty());

  // Once the plug-in is gone the same project names it and is refused.
  ASSERT_TRUE(registry.RemoveFilter(0));
  EXPECT_FALSE(scheme.LoadFromFile(path));
  EXPECT_EQ(scheme.GetImageCount(), 0);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Фильтр 'F_Alpha', используемый в проекте, не загружен в системе!");
  Host() = HostContext{};
}

}  // namespace
