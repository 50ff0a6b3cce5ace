#include "FakeServices.h"

namespace mv::test {

namespace {

FakeScheme g_scheme;

bool Check(int image) {
  if (image == g_scheme.Node) return true;
  ++g_scheme.WrongImage;
  return false;
}

int* GetImageFilterIndexes(int image, unsigned* count) {
  *count = Check(image) ? static_cast<unsigned>(g_scheme.Chain.size()) : 0;
  int* out = new int[*count];
  for (unsigned k = 0; k < *count; ++k) out[k] = g_scheme.Chain[k].filter;
  return out;
}

MvFilter* GetFilter(int i) {
  return i >= 0 && i < static_cast<int>(g_scheme.Filters.size()) ? g_scheme.Filters[i] : nullptr;
}

std::uint8_t GetFilterChannels(int image, int k) {
  return Check(image) ? g_scheme.Chain.at(k).mask : 0;
}

void SetFilterChannels(int image, int k, std::uint8_t mask) {
  g_scheme.MaskWrites.push_back({image, k, mask});
  if (!Check(image)) return;
  if (g_scheme.Chain.at(k).mask == mask) return;
  g_scheme.Chain.at(k).mask = mask;
  g_scheme.ChainRuns.push_back(image);
}

void RefreshBoard() { ++g_scheme.Refreshes; }

int GetBlendRatio(int image) { return Check(image) ? g_scheme.BlendRatio : -1; }

void SetBlendRatio(int image, int ratio) {
  g_scheme.RatioWrites.emplace_back(image, ratio);
  if (Check(image) && ratio >= 0 && ratio <= 100) g_scheme.BlendRatio = ratio;
}

}  // namespace

FakeScheme& Scheme() { return g_scheme; }

void Reset() { g_scheme = FakeScheme{}; }

MvServices* FakeTable() {
  static MvServices table = [] {
    MvServices t{};
    t.GetImageFilterIndexes = &GetImageFilterIndexes;
    t.GetFilter = &GetFilter;
    t.GetFilterChannels = &GetFilterChannels;
    t.SetFilterChannels = &SetFilterChannels;
    t.RefreshBoard = &RefreshBoard;
    t.GetBlendRatio = &GetBlendRatio;
    t.SetBlendRatio = &SetBlendRatio;
    return t;
  }();
  return &table;
}

}  // namespace mv::test
