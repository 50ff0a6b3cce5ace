// Tone curves for the point filters Lowlight and Uplight.
//
// A curve is one 256-entry table, built once per library (the first call
// fills it; for every input the exact value lies far enough from a whole number that every double-precision evaluation gives
// the same table). Each call folds the channel mask into three 256-entry
// tables of whole pixel words, one per channel: a selected channel looks its
// value up in the curve, an unselected one maps to itself. A pixel is then
// three lookups ORed together, with bits 24-31 clear, and no branch on the
// mask inside the loop. On processors with AVX-512 VBMI a byte permute looks
// up 64 channel bytes at once instead (the curve is 256 bytes: two 128-byte
// permutes and a blend on bit 7), and the mask becomes a per-byte select.
#pragma once

#include <array>
#include <cstdint>

#include "FilterFrame.h"

#if defined(MV_X86_EXTENSIONS)
#include <immintrin.h>
#endif

namespace mv::filters {

using ToneTable = std::array<std::uint8_t, 256>;

/// The per-channel tables of one call: red[v] | green[v] | blue[v] words.
struct ChannelTables {
  MvPixel red[256];
  MvPixel green[256];
  MvPixel blue[256];
};

/// Folds `mask` (bits 0-2; the others are ignored) into `tables`.
inline void FoldMask(const ToneTable& curve, std::uint8_t mask, ChannelTables& tables) {
  for (unsigned v = 0; v < 256; ++v) {
    tables.red[v] = (mask & 1) ? curve[v] : v;
    tables.green[v] = ((mask & 2) ? curve[v] : v) << 8;
    tables.blue[v] = ((mask & 4) ? curve[v] : v) << 16;
  }
}

/// Rewrites one column through the tables.
inline void CurveColumn(MvPixel* column, int height, const ChannelTables& t) {
  for (int y = 0; y < height; ++y) {
    const MvPixel p = column[y];
    column[y] = t.red[p & 0xFFu] | t.green[(p >> 8) & 0xFFu] | t.blue[(p >> 16) & 0xFFu];
  }
}

#if defined(MV_X86_EXTENSIONS)
#define MV_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

/// Sixteen pixels through the curve (t0..t3: its four 64-byte quarters).
MV_VBMI inline __m512i CurveVbmi(__m512i v, __m512i t0, __m512i t1, __m512i t2, __m512i t3, __m512i sel,
                                 __m512i keep) {
  const __m512i lo = _mm512_permutex2var_epi8(t0, v, t1);  // curve[b & 127]
  const __m512i hi = _mm512_permutex2var_epi8(t2, v, t3);  // curve[128 + (b & 127)]
  const __m512i looked = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lo, hi);
  return _mm512_or_si512(_mm512_and_si512(looked, sel), _mm512_and_si512(v, keep));
}

/// Every pixel of the column through the curve with byte permutes: the
/// channel bytes in `selected` take the curve, the others keep their value,
/// bits 24-31 become 0.
MV_VBMI inline void CurveColumnVbmi(MvPixel* column, int height, const ToneTable& curve, MvPixel selected) {
  const __m512i t0 = _mm512_loadu_si512(curve.data());
  const __m512i t1 = _mm512_loadu_si512(curve.data() + 64);
  const __m512i t2 = _mm512_loadu_si512(curve.data() + 128);
  const __m512i t3 = _mm512_loadu_si512(curve.data() + 192);
  const __m512i sel = _mm512_set1_epi32(static_cast<int>(selected));
  const __m512i keep = _mm512_set1_epi32(static_cast<int>(kChannelBits & ~selected));
  int y = 0;
  for (; y + 16 <= height; y += 16)
    _mm512_storeu_si512(column + y, CurveVbmi(_mm512_loadu_si512(column + y), t0, t1, t2, t3, sel, keep));
  if (y < height) {
    const __mmask16 m = static_cast<__mmask16>((1u << (height - y)) - 1);
    _mm512_mask_storeu_epi32(column + y, m,
                             CurveVbmi(_mm512_maskz_loadu_epi32(m, column + y), t0, t1, t2, t3, sel, keep));
  }
}
#undef MV_VBMI
#endif

/// The whole routine of a tone-curve filter: column by column, since the
/// visiting order does not matter for a point filter.
inline bool ApplyToneCurve(const FilterCall& call, const ToneTable& curve) {
  if (call.Empty()) return true;
#if defined(MV_X86_EXTENSIONS)
  if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw")) {
    const MvPixel selected = MaskBits(call.mask);
    for (int x = 0; x < call.width; ++x) CurveColumnVbmi(call.pixels[x], call.height, curve, selected);
    return true;
  }
#endif
  ChannelTables tables;
  FoldMask(curve, call.mask, tables);
  for (int x = 0; x < call.width; ++x) CurveColumn(call.pixels[x], call.height, tables);
  return true;
}

}  // namespace mv::filters
