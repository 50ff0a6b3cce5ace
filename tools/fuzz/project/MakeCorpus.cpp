// Writes the seed corpus of the project fuzz target: small valid projects made
// by the writer, covering plain and generated nodes, chains with and without
// channel support, resized current images and nodes without pixels.
//   project_corpus <folder>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzHost.h"

namespace {

void AddNode(mv::TSchemeManager& s, unsigned w, unsigned h, int left, int top, MvPixel seed) {
  std::vector<std::vector<MvPixel>> cols(w, std::vector<MvPixel>(h));
  std::vector<MvPixel*> ptrs;
  for (unsigned x = 0; x < w; ++x) {
    for (unsigned y = 0; y < h; ++y) cols[x][y] = (seed * 2654435761u + x * 40503u + y * 9973u) & 0x00FFFFFFu;
    ptrs.push_back(cols[x].data());
  }
  s.AddImageAt(w ? ptrs.data() : nullptr, w, h, left, top);
}

int FilterIndex(mv::TPluginManager& r, const std::string& id) {
  for (int i = 0; i < r.GetFilterCount(); ++i)
    if (r.GetFilter(i)->GetIdentifier() == id) return i;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  mv::fuzz::Registry registry;
  mv::fuzz::SilentPrompts prompts;
  mv::SetPrompts(&prompts);
  const int invert = FilterIndex(registry, "F_Invert"), plain = FilterIndex(registry, "F_Plain"),
            grow = FilterIndex(registry, "F_Grow");
  int failures = 0;
  auto save = [&](mv::TSchemeManager& s, const char* name) {
    if (!s.SaveToFile(folder + "/" + name)) {
      std::fprintf(stderr, "cannot write %s\n", name);
      ++failures;
    }
  };

  mv::TSchemeManager s;
  s.PluginManager = &registry;
  mv::fuzz::Scheme() = &s;

  save(s, "seed-empty.mvl");

  AddNode(s, 2, 1, 10, 20, 1);
  save(s, "seed-plain.mvl");

  s.Clear();
  AddNode(s, 3, 2, -4, 5, 2);
  s.ApplyFilter(0, invert);
  s.SetFilterChannels(0, 0, 5);
  s.ApplyFilter(0, plain);
  s.ApplyFilter(0, grow);
  AddNode(s, 2, 3, 40, -50, 3);
  s.ApplyFilter(1, invert);
  s.SetFilterChannels(1, 0, 2);
  save(s, "seed-chains.mvl");

  s.Clear();
  AddNode(s, 4, 3, 0, 0, 4);                // 0 A
  AddNode(s, 3, 4, 100, 0, 5);              // 1 B
  s.ApplyFilter(1, grow);
  s.AddBlendedImage(0, 1, 30, false);       // 2 G1
  s.ApplyFilter(2, invert);
  s.SetFilterChannels(2, 0, 1);
  AddNode(s, 2, 2, 0, 100, 6);              // 3 C
  s.AddBlendedImage(3, 2, 80, false);       // 4 G2
  s.AddBlendedImage(4, 4, 100, false);      // 5 G3
  s.ApplyFilter(5, grow);
  s.SetLeft(5, 7);
  s.SetTop(5, 8);
  save(s, "seed-generated.mvl");

  s.Clear();
  s.AddImageAt(nullptr, 0, 0, 1, 1);
  AddNode(s, 1, 1, 2, 2, 7);
  s.AddBlendedImage(0, 1, 50, false);
  save(s, "seed-zero.mvl");

  mv::fuzz::Scheme() = nullptr;
  mv::SetPrompts(nullptr);
  return failures == 0 ? 0 : 1;
}
