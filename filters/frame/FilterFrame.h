// The common frame of the eight filter plug-ins.
//
// What the frame does for a filter (FilterFrame.cpp, compiled into every
// filter library through the mv_filterframe target):
// * exports PluginEntry, which keeps the MvServices pointer in the library's
//   one global variable and returns one new filter object (null when it
//   cannot be made);
// * gives the class's constant answers: the five descriptive texts (the same
//   in all eight libraries), Initialize / Finalize / SupportsChannels true,
//   Apply false, and the identifier, CP1251 display name and UsesChannelMask
//   of the library's table row;
// * runs ApplyChannels: fetches the node's PixelColumns, width and height,
//   in this order and once per call (entries 11, 12, 13), hands them to the
//   routine, returns what the routine returns, and lets no exception out.
//
// What a filter library writes: one routine and one table row,
//
//   namespace { bool Blur(const mv::filters::FilterCall& call) { ... } }
//   MV_FILTER_ROW("F_Blur", "Размытие", /*usesChannelMask=*/false, Blur);
//
// The routine must produce exactly what the frame's reference order gives:
// pixels visited row by row (y from 0 to height - 1, outer) and, within a
// row, x from 0 to width - 1, each new value stored before the next pixel is
// visited. A routine may visit in any other order that yields the same bits
// (point filters go column by column; see each routine).
#pragma once

#include <cstdint>

#include "MvPlugin.h"

namespace mv::filters {

// ---------------------------------------------------------------------------
// Pixel channels. A pixel holds red in bits 0-7, green in bits 8-15 and blue
// in bits 16-23. Routines read the three channels and ignore bits 24-31; every
// pixel they write has bits 24-31 cleared.
// ---------------------------------------------------------------------------

/// The bits of the three channels; bits 24-31 are never part of a result.
inline constexpr MvPixel kChannelBits = 0x00FFFFFFu;

constexpr unsigned Red(MvPixel p) { return p & 0xFFu; }
constexpr unsigned Green(MvPixel p) { return (p >> 8) & 0xFFu; }
constexpr unsigned Blue(MvPixel p) { return (p >> 16) & 0xFFu; }
/// The pixel red | green << 8 | blue << 16 (each channel 0..255).
constexpr MvPixel Pack(unsigned red, unsigned green, unsigned blue) { return red | green << 8 | blue << 16; }

/// The pixel bits of the channels that a channel mask selects: 0x0000FF for
/// red (bit 0), 0x00FF00 for green (bit 1), 0xFF0000 for blue (bit 2). Bits 3-7
/// of the mask are ignored, so mask 8 selects nothing.
constexpr MvPixel MaskBits(std::uint8_t mask) {
  return ((mask & 1) ? 0x0000FFu : 0u) | ((mask & 2) ? 0x00FF00u : 0u) | ((mask & 4) ? 0xFF0000u : 0u);
}

// ---------------------------------------------------------------------------
// The routine and the table row.
// ---------------------------------------------------------------------------

/// One call of ApplyChannels with the node's image already fetched.
struct FilterCall {
  MvServices* services;  // the library's table (for SetImagePixels)
  int image;             // the image index ApplyChannels was given
  std::uint8_t mask;     // the channel mask ApplyChannels was given, as it came
  PixelColumns pixels;   // GetImagePixels(image): lent for this call, never freed
  int width;             // GetImageWidth(image)
  int height;            // GetImageHeight(image)

  /// True when there is no pixel to visit (a size of 0, or no pixel array).
  bool Empty() const { return width <= 0 || height <= 0 || pixels == nullptr; }
};

/// A filter's processing routine: rewrites the pixels in place, or hands a
/// result of its own to SetImagePixels. Its result is ApplyChannels' result.
using FilterRoutine = bool (*)(const FilterCall& call);

/// The library's row of the table of the eight filters.
struct FilterRow {
  const char* identifier;  // GetIdentifier, ASCII
  const char* name;        // GetName, UTF-8 here; the frame returns it in CP1251
  bool usesChannelMask;    // UsesChannelMask
  FilterRoutine routine;   // run by ApplyChannels
};

/// Every filter library defines exactly one, with MV_FILTER_ROW.
extern const FilterRow kFilterRow;

}  // namespace mv::filters

/// Defines the library's table row. Use once, at namespace scope.
#define MV_FILTER_ROW(identifier, name, usesChannelMask, routine) \
  const ::mv::filters::FilterRow mv::filters::kFilterRow { identifier, name, usesChannelMask, routine }

/// Defined (by the build) for the test copies of the plug-ins that must run
/// only the baseline x86-64 code, so that the tests check it too.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(MV_BASELINE_ONLY)
/// Paths for newer x86-64 processors may be compiled, chosen at run time.
#define MV_X86_EXTENSIONS 1
#endif

/// Put in front of a hot loop's function: on x86-64 it is compiled twice, for
/// AVX2 and for the baseline, and the loader picks the one the processor runs.
/// The two clones compute the same integers; only their speed differs.
#if defined(MV_X86_EXTENSIONS)
#define MV_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define MV_HOT_LOOP
#endif
