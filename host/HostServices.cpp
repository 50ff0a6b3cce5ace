#include "HostServices.h"

#include <memory>

#include "MvText.h"
#include "PluginManager.h"
#include "Prompts.h"
#include "SchemeManager.h"

namespace mv {

HostContext& Host() {
  static HostContext context;
  return context;
}

namespace {

// The table is the boundary with third-party code: nothing may throw back
// into a plug-in, and every index is checked (the scheme checks its own).
template <class R, class F>
R Guarded(R fallback, F&& body) {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

template <class F>
void Guarded(F&& body) {
  try {
    body();
  } catch (...) {
  }
}

TPluginManager* Registry() { return Host().Registry; }
TSchemeManager* Scheme() { return Host().Scheme; }
HostWindow* Window() { return Host().Window; }

bool ValidImage(TSchemeManager* s, int image) { return s && image >= 0 && image < s->GetImageCount(); }

std::string IdentifierOf(MvPlugin* p) {
  if (!p) return std::string();
  try {
    return p->GetIdentifier();
  } catch (...) {
    return std::string();
  }
}

// ---- 0-10: the registry ---------------------------------------------------------

int GetLoaderCount() {
  return Guarded(0, [] { return Registry() ? Registry()->GetLoaderCount() : 0; });
}

int GetFilterCount() {
  return Guarded(0, [] { return Registry() ? Registry()->GetFilterCount() : 0; });
}

int GetPluginCount() {
  return Guarded(0, [] { return GetLoaderCount() + GetFilterCount(); });
}

MvLoader* GetLoader(int i) {
  return Guarded<MvLoader*>(nullptr, [i]() -> MvLoader* {
    return i >= 0 && i < GetLoaderCount() ? Registry()->GetLoader(i) : nullptr;
  });
}

MvFilter* GetFilter(int i) {
  return Guarded<MvFilter*>(nullptr, [i]() -> MvFilter* {
    return i >= 0 && i < GetFilterCount() ? Registry()->GetFilter(i) : nullptr;
  });
}

std::string GetLoaderId(int i) { return IdentifierOf(GetLoader(i)); }

std::string GetFilterId(int i) { return IdentifierOf(GetFilter(i)); }

// Identifiers are equal when they have the same length and the same bytes.
int FindLoaderIndex(std::string id) {
  return Guarded(-1, [&] {
    for (int i = 0, n = GetLoaderCount(); i < n; ++i)
      if (IdentifierOf(Registry()->GetLoader(i)) == id) return i;
    return -1;
  });
}

int FindFilterIndex(std::string id) {
  return Guarded(-1, [&] {
    for (int i = 0, n = GetFilterCount(); i < n; ++i)
      if (IdentifierOf(Registry()->GetFilter(i)) == id) return i;
    return -1;
  });
}

bool HasLoader(std::string id) { return FindLoaderIndex(std::move(id)) >= 0; }

bool HasFilter(std::string id) { return FindFilterIndex(std::move(id)) >= 0; }

// ---- 11-17: a node's current image ---------------------------------------------------

PixelColumns GetImagePixels(int image) {
  return Guarded<PixelColumns>(nullptr, [image] { return Scheme() ? Scheme()->GetPixels(image) : nullptr; });
}

int GetImageWidth(int image) {
  return Guarded(0, [image] { return Scheme() ? Scheme()->GetWidth(image) : 0; });
}

int GetImageHeight(int image) {
  return Guarded(0, [image] { return Scheme() ? Scheme()->GetHeight(image) : 0; });
}

void SetImagePixels(int image, PixelColumns p) {
  Guarded([&] {
    if (Scheme()) Scheme()->SetPixels(image, p);
  });
}

void SetImageWidth(int image, int width) {
  Guarded([&] {
    if (Scheme() && width >= 0) Scheme()->SetWidth(image, static_cast<unsigned>(width));
  });
}

void SetImageHeight(int image, int height) {
  Guarded([&] {
    if (Scheme() && height >= 0) Scheme()->SetHeight(image, static_cast<unsigned>(height));
  });
}

void SetImage(int image, PixelColumns p, int width, int height) {
  Guarded([&] {
    TSchemeManager* s = Scheme();
    if (!ValidImage(s, image) || width < 0 || height < 0) return;
    // Width, then height; but shrink first, so that going from tall to wide
    // never passes through an image of the new width and the old height.
    if (height < s->GetHeight(image)) {
      s->SetHeight(image, static_cast<unsigned>(height));
      s->SetWidth(image, static_cast<unsigned>(width));
    } else {
      s->SetWidth(image, static_cast<unsigned>(width));
      s->SetHeight(image, static_cast<unsigned>(height));
    }
    // A refused size leaves another shape: p would then be read out of its bounds.
    if (s->GetWidth(image) == width && s->GetHeight(image) == height) s->SetPixels(image, p);
  });
}

// ---- 18-22: a node's filter chain -----------------------------------------------------

int* GetImageFilterIndexes(int image, unsigned* count) {
  if (count) *count = 0;
  return Guarded<int*>(nullptr, [&]() -> int* {
    TSchemeManager* s = Scheme();
    if (!ValidImage(s, image)) return nullptr;
    const int n = s->GetChainLength(image);
    std::unique_ptr<int[]> indexes(new int[static_cast<std::size_t>(n)]);
    for (int k = 0; k < n; ++k) indexes[static_cast<std::size_t>(k)] = FindFilterIndex(s->GetFilterIdentifier(image, k));
    if (count) *count = static_cast<unsigned>(n);
    return indexes.release();
  });
}

std::string* GetImageFilterIds(int image, unsigned* count) {
  if (count) *count = 0;
  return Guarded<std::string*>(nullptr, [&]() -> std::string* {
    TSchemeManager* s = Scheme();
    if (!ValidImage(s, image)) return nullptr;
    const int n = s->GetChainLength(image);
    std::unique_ptr<std::string[]> ids(new std::string[static_cast<std::size_t>(n)]);
    for (int k = 0; k < n; ++k) ids[static_cast<std::size_t>(k)] = s->GetFilterIdentifier(image, k);
    if (count) *count = static_cast<unsigned>(n);
    return ids.release();
  });
}

int GetImageFilterCount(int image) {
  return Guarded(0, [image] { return Scheme() ? Scheme()->GetChainLength(image) : 0; });
}

std::uint8_t GetFilterChannels(int image, int k) {
  return Guarded<std::uint8_t>(0, [=] { return Scheme() ? Scheme()->GetFilterChannels(image, k) : std::uint8_t{0}; });
}

void SetFilterChannels(int image, int k, std::uint8_t mask) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetFilterChannels(image, k, mask);
  });
}

// ---- 23-29: nodes on the board ----------------------------------------------------------

int GetImageCount() {
  return Guarded(0, [] { return Scheme() ? Scheme()->GetImageCount() : 0; });
}

int GetImageLeft(int image) {
  return Guarded(0, [=] { return Scheme() ? Scheme()->GetLeft(image) : 0; });
}

int GetImageTop(int image) {
  return Guarded(0, [=] { return Scheme() ? Scheme()->GetTop(image) : 0; });
}

void SetImageLeft(int image, int x) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetLeft(image, x);
  });
}

void SetImageTop(int image, int y) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetTop(image, y);
  });
}

bool IsImageSelected(int image) {
  return Guarded(false, [=] { return Scheme() && Scheme()->GetSelected(image); });
}

void SetImageSelected(int image, bool selected) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetSelected(image, selected);
  });
}

// ---- 30-36: generated nodes ---------------------------------------------------------------

bool IsImageGenerated(int image) {
  return Guarded(false, [=] { return Scheme() && Scheme()->IsGenerated(image); });
}

int GetFirstSource(int image) {
  return Guarded(-1, [=] { return Scheme() ? Scheme()->GetFirstSource(image) : -1; });
}

int GetSecondSource(int image) {
  return Guarded(-1, [=] { return Scheme() ? Scheme()->GetSecondSource(image) : -1; });
}

int GetBlendRatio(int image) {
  return Guarded(-1, [=] { return Scheme() ? Scheme()->GetBlendRatio(image) : -1; });
}

void SetBlendRatio(int image, int ratio) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetBlendRatio(image, ratio);
  });
}

bool BlendImages(int first, int second, int ratio) {
  return Guarded(false, [=] {
    TSchemeManager* s = Scheme();
    if (!ValidImage(s, first) || !ValidImage(s, second)) return false;
    const int index = s->GetImageCount();
    s->AddBlendedImage(first, second, 50, false);
    if (s->GetImageCount() != index + 1) return false;
    s->SetBlendRatio(index, ratio);
    return true;
  });
}

void UpdateDependents(int image) {
  Guarded([=] {
    if (Scheme()) Scheme()->UpdateDependents(image);
  });
}

// ---- 37-39: parameter words -------------------------------------------------------------------

int GetFilterParams(int image, int k, int* second) {
  if (second) *second = 0;
  return Guarded(0, [=] {
    if (!Scheme()) return 0;
    const auto [p1, p2] = Scheme()->GetFilterParams(image, k);
    if (second) *second = p2;
    return static_cast<int>(p1);
  });
}

void SetFilterParams(int image, int k, int first, int second) {
  Guarded([=] {
    if (Scheme()) Scheme()->SetFilterParams(image, k, first, second);
  });
}

int CheckFilterParams(int image, int k) {
  return Guarded(1, [=] { return !Scheme() || Scheme()->CheckFilterParams(image, k) ? 1 : 0; });
}

// ---- 40-47: the main window ------------------------------------------------------------------------

void* GetMainWindow() {
  return Guarded<void*>(nullptr, [] { return Window() ? Window()->MainWindowHandle() : nullptr; });
}

void* GetBoardWindow() {
  return Guarded<void*>(nullptr, [] { return Window() ? Window()->BoardWindowHandle() : nullptr; });
}

void RefreshBoard() {
  Guarded([] {
    if (Window()) Window()->RefreshBoard();
  });
}

// The progress entries let the application process pending window messages
// after each change, so that the bar repaints while the plug-in keeps the
// thread busy.
template <class F>
void ProgressThenMessages(F&& set) {
  Guarded([&] {
    if (Window()) set(*Window());
  });
  Guarded([] { CurrentPrompts().ProcessMessages(); });
}

void ShowProgress(bool visible) {
  ProgressThenMessages([=](HostWindow& w) { w.ShowProgress(visible); });
}

void SetProgressMin(int value) {
  ProgressThenMessages([=](HostWindow& w) { w.SetProgressMin(value); });
}

void SetProgressMax(int value) {
  ProgressThenMessages([=](HostWindow& w) { w.SetProgressMax(value); });
}

void SetProgressPosition(int value) {
  ProgressThenMessages([=](HostWindow& w) { w.SetProgressPosition(value); });
}

void ShowStatus(std::string text, int delayMs) {
  Guarded([&] {
    if (Window()) Window()->ShowStatus(Cp1251ToUtf8(text), delayMs);
  });
}

}  // namespace

bool InitServices(MvServices* table) {
  if (!table) return false;
  *table = MvServices{
      .GetPluginCount = &GetPluginCount,
      .GetLoaderCount = &GetLoaderCount,
      .GetFilterCount = &GetFilterCount,
      .GetLoader = &GetLoader,
      .GetFilter = &GetFilter,
      .GetLoaderId = &GetLoaderId,
      .GetFilterId = &GetFilterId,
      .FindLoaderIndex = &FindLoaderIndex,
      .FindFilterIndex = &FindFilterIndex,
      .HasLoader = &HasLoader,
      .HasFilter = &HasFilter,
      .GetImagePixels = &GetImagePixels,
      .GetImageWidth = &GetImageWidth,
      .GetImageHeight = &GetImageHeight,
      .SetImage = &SetImage,
      .SetImagePixels = &SetImagePixels,
      .SetImageWidth = &SetImageWidth,
      .SetImageHeight = &SetImageHeight,
      .GetImageFilterIndexes = &GetImageFilterIndexes,
      .GetImageFilterIds = &GetImageFilterIds,
      .GetImageFilterCount = &GetImageFilterCount,
      .GetFilterChannels = &GetFilterChannels,
      .SetFilterChannels = &SetFilterChannels,
      .GetImageCount = &GetImageCount,
      .GetImageLeft = &GetImageLeft,
      .GetImageTop = &GetImageTop,
      .SetImageLeft = &SetImageLeft,
      .SetImageTop = &SetImageTop,
      .IsImageSelected = &IsImageSelected,
      .SetImageSelected = &SetImageSelected,
      .IsImageGenerated = &IsImageGenerated,
      .GetFirstSource = &GetFirstSource,
      .GetSecondSource = &GetSecondSource,
      .GetBlendRatio = &GetBlendRatio,
      .SetBlendRatio = &SetBlendRatio,
      .BlendImages = &BlendImages,
      .UpdateDependents = &UpdateDependents,
      .GetFilterParams = &GetFilterParams,
      .SetFilterParams = &SetFilterParams,
      .CheckFilterParams = &CheckFilterParams,
      .GetMainWindow = &GetMainWindow,
      .GetBoardWindow = &GetBoardWindow,
      .RefreshBoard = &RefreshBoard,
      .ShowProgress = &ShowProgress,
      .SetProgressMin = &SetProgressMin,
      .SetProgressMax = &SetProgressMax,
      .SetProgressPosition = &SetProgressPosition,
      .ShowStatus = &ShowStatus,
  };
  return true;
}

}  // namespace mv
