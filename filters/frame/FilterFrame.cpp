// The filter frame's code, compiled into every filter library (see
// FilterFrame.h): PluginEntry, the one filter class and its constant answers.
#include "FilterFrame.h"

#include <new>
#include <string>

#include "MvText.h"

namespace {

using mv::filters::FilterCall;
using mv::filters::kFilterRow;

/// The library's one global: the host's table, set by PluginEntry.
MvServices* g_services = nullptr;

// The five descriptive texts (UTF-8 here, CP1251 across the interface). They
// are the same in all eight libraries. The project publishes no web address
// and no e-mail address, so those two say so rather than invent one.
constexpr const char* kAuthor = "Проект Marvolen";
constexpr const char* kCompany = "Проект Marvolen";
constexpr const char* kRights = "© 2026 Проект Marvolen. Все права защищены.";
constexpr const char* kWebAddress = "не указан";
constexpr const char* kEmail = "не указан";

/// A text result in CP1251. Never throws: on a failed allocation it is empty.
std::string Text(const char* utf8) noexcept {
  try {
    return mv::Utf8ToCp1251(utf8);
  } catch (...) {
    return std::string();
  }
}

class TFilter final : public MvFilter {
 public:
  std::string GetAuthor() override { return Text(kAuthor); }
  std::string GetCompany() override { return Text(kCompany); }
  std::string GetRights() override { return Text(kRights); }
  std::string GetWebAddress() override { return Text(kWebAddress); }
  std::string GetEmail() override { return Text(kEmail); }
  std::string GetIdentifier() override { return Text(kFilterRow.identifier); }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }

  bool SupportsChannels() override { return true; }
  bool UsesChannelMask() override { return kFilterRow.usesChannelMask; }
  bool ApplyChannels(int image, std::uint8_t mask) override {
    try {
      FilterCall call{g_services, image, mask, nullptr, 0, 0};
      // Pixels, width, height: in this order, once per call.
      call.pixels = g_services->GetImagePixels(image);
      call.width = g_services->GetImageWidth(image);
      call.height = g_services->GetImageHeight(image);
      return kFilterRow.routine(call);
    } catch (...) {
      return false;  // nothing may escape into the host
    }
  }
  bool Apply(int, int) override { return false; }  // never called: SupportsChannels is true
  std::string GetName() override { return Text(kFilterRow.name); }
};

}  // namespace

MV_EXPORT MvPlugin* PluginEntry(MvServices* services) {
  g_services = services;
  return new (std::nothrow) TFilter;
}
