#include "SampleImages.h"

#include <algorithm>
#include <cstdint>

namespace mv::samples {
namespace {

// A reproducible 32-bit hash of a lattice point (no floating point anywhere).
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h;
}

// Smooth value noise in 0..255 at (x, y) for a lattice of `cell` pixels.
int ValueNoise(int x, int y, int cell, std::uint32_t seed) {
  const int cx = x / cell, cy = y / cell;
  const int fx = (x % cell) * 256 / cell, fy = (y % cell) * 256 / cell;
  auto at = [&](int i, int j) { return static_cast<int>(Hash(cx + i, cy + j, seed) & 0xFF); };
  // Smoothstep weights, in 1/256 units.
  const int sx = fx * fx * (768 - 2 * fx) / 65536, sy = fy * fy * (768 - 2 * fy) / 65536;
  const int top = at(0, 0) * (256 - sx) + at(1, 0) * sx;
  const int bottom = at(0, 1) * (256 - sx) + at(1, 1) * sx;
  return (top * (256 - sy) + bottom * sy) / 65536;
}

unsigned Clamp(int v) { return static_cast<unsigned>(std::clamp(v, 0, 255)); }

// Hue 0..1535 at full saturation and value.
MvPixel Hue(int h) {
  const int sector = h / 256, f = h % 256;
  switch (sector) {
    case 0: return Rgb(255, f, 0);
    case 1: return Rgb(255 - f, 255, 0);
    case 2: return Rgb(0, 255, f);
    case 3: return Rgb(0, 255 - f, 255);
    case 4: return Rgb(f, 0, 255);
    default: return Rgb(255, 0, 255 - f);
  }
}

unsigned Channel(MvPixel p, int shift) { return (p >> shift) & 0xFF; }

}  // namespace

std::vector<MvPixel*> Picture::Columns() {
  std::vector<MvPixel*> c(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) c[x] = pixels.data() + static_cast<std::size_t>(x) * height;
  return c;
}

Picture ColourPattern() {
  Picture p(640, 480);
  static constexpr MvPixel kBars[8] = {Rgb(255, 255, 255), Rgb(255, 255, 0), Rgb(0, 255, 255), Rgb(0, 255, 0),
                                       Rgb(255, 0, 255),   Rgb(255, 0, 0),   Rgb(0, 0, 255),   Rgb(0, 0, 0)};
  for (int x = 0; x < p.width; ++x) {
    const unsigned ramp = static_cast<unsigned>(x * 255 / (p.width - 1));
    for (int y = 0; y < p.height; ++y) {
      MvPixel c;
      if (y < 300) c = kBars[x * 8 / p.width];
      else if (y < 340) c = Rgb(ramp, ramp, ramp);
      else if (y < 360) c = Rgb(ramp, 0, 0);
      else if (y < 380) c = Rgb(0, ramp, 0);
      else if (y < 400) c = Rgb(0, 0, ramp);
      else c = ((x / 20 + y / 20) % 2) ? Rgb(32, 32, 32) : Rgb(224, 224, 224);
      p.At(x, y) = c;
    }
  }
  return p;
}

Picture Gradient() {
  Picture p(512, 256);
  for (int x = 0; x < p.width; ++x) {
    const MvPixel hue = Hue(x * 1535 / (p.width - 1));
    for (int y = 0; y < p.height; ++y) {
      // Top half: from the pure hue towards white; bottom half: towards black.
      const int l = 255 - y * 510 / (p.height - 1);  // 255 at the top, -255 at the bottom
      auto mix = [&](unsigned c) {
        return l >= 0 ? Clamp(static_cast<int>(c) + (255 - static_cast<int>(c)) * l / 255)
                      : Clamp(static_cast<int>(c) * (255 + l) / 255);
      };
      p.At(x, y) = Rgb(mix(Channel(hue, 0)), mix(Channel(hue, 8)), mix(Channel(hue, 16)));
    }
  }
  return p;
}

Picture PhotoNoise() {
  Picture p(320, 240);
  for (int x = 0; x < p.width; ++x)
    for (int y = 0; y < p.height; ++y) {
      // Three octaves of smooth noise give the land's relief.
      const int relief = (ValueNoise(x, y, 64, 1) * 4 + ValueNoise(x, y, 24, 2) * 2 + ValueNoise(x, y, 8, 3)) / 7;
      const int horizon = 90 + (ValueNoise(x, 0, 48, 4) - 128) / 4;
      int r, g, b;
      if (y < horizon) {  // sky, lighter towards the horizon, with clouds
        const int cloud = std::max(0, ValueNoise(x, y, 40, 5) - 150) * 2;
        r = 90 + y * 80 / horizon + cloud;
        g = 140 + y * 60 / horizon + cloud;
        b = 230 + cloud / 4;
      } else {  // fields and woods
        const int depth = (y - horizon) * 255 / (p.height - horizon);
        r = 40 + relief / 2 + depth / 6;
        g = 80 + relief / 2;
        b = 30 + relief / 5;
      }
      const int grain = static_cast<int>(Hash(x, y, 6) % 25) - 12;
      p.At(x, y) = Rgb(Clamp(r + grain), Clamp(g + grain), Clamp(b + grain));
    }
  return p;
}

const std::vector<Sample>& AllSamples() {
  static const std::vector<Sample> samples = {
      {"colour-pattern.png", &ColourPattern},
      {"gradient.png", &Gradient},
      {"photo-noise.png", &PhotoNoise},
  };
  return samples;
}

}  // namespace mv::samples
