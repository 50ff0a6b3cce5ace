// A stand-in for the host's side of the services table, enough to drive a
// loader plug-in: image nodes holding a current image (in the column layout,
// every column carved from one block, as the host's model holds them) and a
// record of the status line. Shared by the loader tests, the loader fuzz
// target and the loader benchmarks.
//
// A plug-in keeps the table it was given in PluginEntry for the life of the
// library, so the table is one process-wide object whose entries forward to
// the StandInHost alive at the time (one at a time).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "MvPlugin.h"

namespace mv::test {

class StandInHost {
 public:
  struct Node {
    int width = 0;
    int height = 0;
    std::vector<MvPixel> block;      // column x at block + x * height
    std::vector<MvPixel*> columns;

    MvPixel At(int x, int y) const { return block[static_cast<std::size_t>(x) * height + y]; }
    MvPixel& At(int x, int y) { return block[static_cast<std::size_t>(x) * height + y]; }

    /// New size; the overlapping pixels stay, new ones are white.
    void Resize(int w, int h) {
      w = std::max(w, 0);
      h = std::max(h, 0);
      std::vector<MvPixel> fresh(static_cast<std::size_t>(w) * h, MV_WHITE);
      for (int x = 0; x < std::min(w, width); ++x)
        std::copy_n(block.data() + static_cast<std::size_t>(x) * height, std::min(h, height),
                    fresh.data() + static_cast<std::size_t>(x) * h);
      block.swap(fresh);
      width = w;
      height = h;
      columns.resize(static_cast<std::size_t>(w));
      for (int x = 0; x < w; ++x) columns[x] = block.data() + static_cast<std::size_t>(x) * h;
    }
  };

  struct Status {
    std::string text;  // CP1251, as the plug-in sent it
    int delayMs;
  };

  StandInHost() { current_ = this; }
  ~StandInHost() { current_ = nullptr; }
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  /// The table every plug-in is given.
  static MvServices* Services() {
    static MvServices table = MakeTable();
    return &table;
  }

  /// Appends an empty node (0 x 0) and returns its index.
  int AddNode() {
    nodes.emplace_back();
    return static_cast<int>(nodes.size()) - 1;
  }

  std::vector<Node> nodes;
  std::vector<Status> statuses;
  int setImageCalls = 0;
  /// SetImage refuses (changes nothing) above this many pixels, as a host
  /// short of memory would.
  std::int64_t maxPixels = std::int64_t(1) << 30;

 private:
  static Node* Find(int image) {
    if (!current_ || image < 0 || image >= static_cast<int>(current_->nodes.size())) return nullptr;
    return &current_->nodes[static_cast<std::size_t>(image)];
  }

  static MvServices MakeTable() {
    MvServices s{};
    s.GetImagePixels = [](int image) -> PixelColumns {
      Node* n = Find(image);
      return n && n->width > 0 ? n->columns.data() : nullptr;
    };
    s.GetImageWidth = [](int image) {
      Node* n = Find(image);
      return n ? n->width : 0;
    };
    s.GetImageHeight = [](int image) {
      Node* n = Find(image);
      return n ? n->height : 0;
    };
    s.SetImagePixels = [](int image, PixelColumns p) {
      Node* n = Find(image);
      if (!n || !p) return;
      for (int x = 0; x < n->width; ++x) std::copy_n(p[x], n->height, n->columns[x]);
    };
    s.SetImageWidth = [](int image, int width) {
      if (Node* n = Find(image)) n->Resize(width, n->height);
    };
    s.SetImageHeight = [](int image, int height) {
      if (Node* n = Find(image)) n->Resize(n->width, height);
    };
    s.SetImage = [](int image, PixelColumns p, int width, int height) {
      Node* n = Find(image);
      if (!n) return;
      ++current_->setImageCalls;
      if (std::int64_t(std::max(width, 0)) * std::max(height, 0) > current_->maxPixels) return;
      // One fresh block of the new size, as the host makes it.
      n->Resize(0, 0);
      n->Resize(width, height);
      if (p)
        for (int x = 0; x < n->width; ++x) std::copy_n(p[x], n->height, n->columns[x]);
    };
    s.GetImageCount = [] { return current_ ? static_cast<int>(current_->nodes.size()) : 0; };
    s.ShowStatus = [](std::string text, int delayMs) {
      if (current_) current_->statuses.push_back({std::move(text), delayMs});
    };
    return s;
  }

  static inline StandInHost* current_ = nullptr;
};

}  // namespace mv::test
