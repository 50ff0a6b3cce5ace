// A filter whose identifier and name hold every character JSON must escape,
// and Cyrillic text, to check how marvolen-cli reports plug-in texts. Its
// processing leaves the image as it is.
#include "MvPlugin.h"
#include "MvText.h"

namespace {

MvServices* g_services = nullptr;

class OddFilter final : public MvFilter {
 public:
  std::string GetAuthor() override { return "test"; }
  std::string GetCompany() override { return "test"; }
  std::string GetRights() override { return ""; }
  std::string GetWebAddress() override { return ""; }
  std::string GetEmail() override { return ""; }
  std::string GetIdentifier() override { return "F_Odd\"\\"; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return false; }
  bool ApplyChannels(int, std::uint8_t) override { return g_services != nullptr; }
  bool Apply(int, int) override { return false; }
  std::string GetName() override { return mv::Utf8ToCp1251("Странный \"фильтр\"\t\\\x01/"); }
};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) {
  g_services = services;
  return new OddFilter;
}
