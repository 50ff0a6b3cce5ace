// The sample pictures shipped in samples/, computed from integers only so
// that every machine makes exactly the same pixels.
#pragma once

#include <string>
#include <vector>

#include "MvPlugin.h"

namespace mv::samples {

/// A picture in the node layout: column x at pixels + x * height.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<MvPixel> pixels;

  Picture(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
  MvPixel& At(int x, int y) { return pixels[static_cast<std::size_t>(x) * height + y]; }
  MvPixel At(int x, int y) const { return pixels[static_cast<std::size_t>(x) * height + y]; }
  /// The column pointers over `pixels` (valid while the picture lives unchanged).
  std::vector<MvPixel*> Columns();
};

inline constexpr MvPixel Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

/// Colour bars over grey, colour and checker ramps: 640 x 480.
Picture ColourPattern();
/// A hue sweep from left to right, dark to light from bottom to top: 512 x 256.
Picture Gradient();
/// A landscape-like picture of smooth noise with film grain: 320 x 240.
Picture PhotoNoise();

struct Sample {
  const char* fileName;
  Picture (*make)();
};
/// Every sample, with the file name it is shipped under.
const std::vector<Sample>& AllSamples();

}  // namespace mv::samples
