// What the project reader needs around it when it runs outside the program:
// a registry of in-process filters with the registry's part of the services
// table, and a Prompts that shows nothing.
//
// The filters work on whatever scheme `Scheme()` names, so a chain read from
// a file is really run:
//   F_Invert  inverts the channels of its mask
//   F_Plain   has no channel support (its records are dropped on loading)
//   F_Grow    adds one column and one row to the current image, up to 64, so
//             blends meet sources whose current image differs from the base
#pragma once

#include <string>

#include "MvPlugin.h"
#include "PluginManager.h"
#include "Prompts.h"
#include "SchemeManager.h"

namespace mv::fuzz {

/// The scheme the filters work on. Not owned.
inline TSchemeManager*& Scheme() {
  static TSchemeManager* scheme = nullptr;
  return scheme;
}

class Filter final : public MvFilter {
 public:
  enum Kind { Invert, Plain, Grow };
  explicit Filter(Kind kind) : kind_(kind) {}
  std::string GetAuthor() override { return {}; }
  std::string GetCompany() override { return {}; }
  std::string GetRights() override { return {}; }
  std::string GetWebAddress() override { return {}; }
  std::string GetEmail() override { return {}; }
  std::string GetIdentifier() override { return kind_ == Invert ? "F_Invert" : kind_ == Plain ? "F_Plain" : "F_Grow"; }
  bool Initialize() override { return true; }
  bool Finalize() override { return true; }
  bool SupportsChannels() override { return kind_ != Plain; }
  bool UsesChannelMask() override { return kind_ == Invert; }
  bool ApplyChannels(int image, std::uint8_t mask) override {
    TSchemeManager* s = Scheme();
    if (kind_ == Grow) {
      if (s->GetWidth(image) < 64) s->SetWidth(image, static_cast<unsigned>(s->GetWidth(image) + 1));
      if (s->GetHeight(image) < 64) s->SetHeight(image, static_cast<unsigned>(s->GetHeight(image) + 1));
      return true;
    }
    const MvPixel flip = (mask & 1 ? 0xFFu : 0) | (mask & 2 ? 0xFF00u : 0) | (mask & 4 ? 0xFF0000u : 0);
    PixelColumns c = s->GetPixels(image);
    for (int x = 0; x < s->GetWidth(image); ++x)
      for (int y = 0; y < s->GetHeight(image); ++y) c[x][y] = (c[x][y] ^ flip) & 0x00FFFFFFu;
    return true;
  }
  bool Apply(int image, int) override { return ApplyChannels(image, 7); }
  std::string GetName() override { return GetIdentifier(); }

 private:
  Kind kind_;
};

/// A registry holding the three filters above. Only one exists at a time.
class Registry final : public TPluginManager {
 public:
  Registry() {
    Current() = this;
    for (Filter* f : {&invert_, &plain_, &grow_}) Filters.push_back(TPlugin{nullptr, f});
    table_.GetFilterCount = [] { return Current()->GetFilterCount(); };
    table_.GetFilter = [](int i) { return Valid(i) ? Current()->GetFilter(i) : nullptr; };
    table_.GetFilterId = [](int i) { return Valid(i) ? Current()->GetFilter(i)->GetIdentifier() : std::string(); };
    table_.FindFilterIndex = [](std::string id) {
      for (int i = 0; i < Current()->GetFilterCount(); ++i)
        if (Current()->GetFilter(i)->GetIdentifier() == id) return i;
      return -1;
    };
    table_.HasFilter = [](std::string id) { return Current()->FindFilter(id) != nullptr; };
    Services = &table_;
  }
  ~Registry() override {
    Filters.clear();  // the filters are members, not plug-in objects to delete
    Current() = nullptr;
  }

 private:
  static Registry*& Current() {
    static Registry* current = nullptr;
    return current;
  }
  static bool Valid(int i) { return i >= 0 && i < Current()->GetFilterCount(); }

  Filter invert_{Filter::Invert}, plain_{Filter::Plain}, grow_{Filter::Grow};
  MvServices table_{};
};

class SilentPrompts final : public Prompts {
 public:
  MessageResult ShowMessage(const std::string&, MessageIcon, MessageButtons, void*) override { return MessageResult::Ok; }
  bool OpenFileDialog(FileDialogRequest&) override { return false; }
  bool SaveFileDialog(FileDialogRequest&) override { return false; }
  bool OpenWithDesktop(const std::string&) override { return false; }
  void ProcessMessages() override {}
};

}  // namespace mv::fuzz
