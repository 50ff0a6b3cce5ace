// Blur ("Размытие"): a 3 x 3 mean, in place, in the frame's order.
//
// The rule: pixel (x, y) becomes, per channel, the sum of itself and its
// neighbours inside the image divided by their count (integer division),
// every neighbour read as the image is at that moment. In row order (rows top
// to bottom, each left to right) the neighbours above and the one to the left
// are already blurred; the one to the right and those below are not.
//
// The order used here, and why it gives the same bits. A pixel needs four
// neighbours in their new state, (x - 1, y - 1), (x, y - 1), (x + 1, y - 1) and
// (x - 1, y), and four in their old state, (x + 1, y), (x - 1, y + 1),
// (x, y + 1) and (x + 1, y + 1). Give each pixel the tile number
// k = (x + y) / S (an anti-diagonal strip S pixels wide) and visit tile by
// tile, each tile row by row from the top, each row left to right. Every
// "new" neighbour has x + y one or two smaller, so a smaller or equal tile;
// if equal it lies in an earlier row, or to the left in the same row: visited
// before. Every "old" neighbour has x + y equal or larger, so a larger or
// equal tile; if equal it lies in a later row, or to the right: visited after.
// Each pixel therefore sees exactly what the row order shows it.
//
// Why this order: it needs no copy of the image and walks the column layout
// well. While a tile is worked, its row segments move one column left per
// row, so the columns in use stay the same few hundred and each column's
// cache lines serve many rows in a row; the image is read and written once,
// in place.
//
// Inside a tile two rows go together: row y + 1 runs one pixel behind row y
// (its pixel x - 1 needs row y's pixel x, just made), and one 16-byte load of
// column x + 1, rows y - 1 .. y + 2, brings every value both rows take next.
// The channels sit in 16-bit lanes (r, g, b, 0), so one add adds all three
// without carries (sums stay below 2296) and the division by 9 is a 16-bit
// multiply-high, exact for every sum that can occur (checked at compile
// time). Pixels on the image border, the first row and any row whose pair
// would reach past the bottom take the rule as written.
#include <cstdint>

#include "FilterFrame.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using namespace mv::filters;

/// The rule as written, at one pixel, reading the image as it is now.
inline void ExactPixel(PixelColumns p, int w, int h, int x, int y) {
  const int x0 = x > 0 ? x - 1 : x, x1 = x < w - 1 ? x + 1 : x;
  const int y0 = y > 0 ? y - 1 : y, y1 = y < h - 1 ? y + 1 : y;
  unsigned r = 0, g = 0, b = 0;
  for (int i = x0; i <= x1; ++i)
    for (int j = y0; j <= y1; ++j) {
      const MvPixel q = p[i][j];
      r += Red(q), g += Green(q), b += Blue(q);
    }
  const unsigned n = static_cast<unsigned>((x1 - x0 + 1) * (y1 - y0 + 1));
  p[x][y] = Pack(r / n, g / n, b / n);
}

#if defined(__SSE2__)

/// (s * kBy9) >> 16 == s / 9 for every sum of nine channel values.
constexpr unsigned kBy9 = (65536u + 8) / 9;
constexpr bool By9IsExact() {
  for (unsigned s = 0; s <= 9 * 255; ++s)
    if (((s * kBy9) >> 16) != s / 9) return false;
  return true;
}
static_assert(By9IsExact() && kBy9 < 65536);

/// A pixel's channels in the 16-bit lanes of the low 64 bits.
inline __m128i SpreadOf(MvPixel v) {
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v & kChannelBits)), _mm_setzero_si128());
}
inline MvPixel PackOf(__m128i q) {
  return static_cast<MvPixel>(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
}

/// Rows a = y and b = y + 1 for a in columns [xs, xe) and b in [xs - 1, xe - 1),
/// in the order a(x), b(x - 1) for x = xs, xs + 1, ... Needs 1 <= y, y + 2 <= H - 1,
/// 2 <= xs and xe <= W - 1: every pixel visited here has all nine neighbours.
void PairRun(PixelColumns p, int y, int xs, int xe) {
  constexpr int kAhead = 26;  // rows; 18 to 34 measured alike, none much slower
  const __m128i by9 = _mm_set1_epi16(static_cast<short>(kBy9));
  const __m128i channels = _mm_set1_epi32(static_cast<int>(kChannelBits));
  const __m128i zero = _mm_setzero_si128();
  // State before a(xs) and b(xs - 1), read from the image (earlier pixels are
  // new there, later ones still old). Va(c) = new(c, y - 1) + old(c, y + 1),
  // Vb(c) = new(c, y) + old(c, y + 2).
  __m128i vaL = _mm_add_epi16(SpreadOf(p[xs - 1][y - 1]), SpreadOf(p[xs - 1][y + 1]));
  __m128i vaC = _mm_add_epi16(SpreadOf(p[xs][y - 1]), SpreadOf(p[xs][y + 1]));
  __m128i ca = SpreadOf(p[xs][y]);       // old(x, y)
  __m128i qa = SpreadOf(p[xs - 1][y]);   // new(x - 1, y)
  __m128i vbL = _mm_add_epi16(SpreadOf(p[xs - 2][y]), SpreadOf(p[xs - 2][y + 2]));
  __m128i vbC = _mm_add_epi16(qa, SpreadOf(p[xs - 1][y + 2]));
  __m128i cb = SpreadOf(p[xs - 1][y + 1]);  // old(x - 1, y + 1)
  __m128i d0 = SpreadOf(p[xs][y + 1]);      // old(x, y + 1)
  __m128i e0 = SpreadOf(p[xs][y + 2]);      // old(x, y + 2)
  __m128i qb = SpreadOf(p[xs - 2][y + 1]);  // new(x - 2, y + 1)
  for (int x = xs; x < xe; ++x) {
    // Ask early for the column's cache line some rows further down: when a
    // pair crosses a line boundary all the tile's columns need a new line at
    // once. (A hint only: the address, formed as a number, may lie past the
    // column, which a prefetch never touches.)
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p[x + 1]) +
                                               sizeof(MvPixel) * static_cast<std::uintptr_t>(y + kAhead)),
                 _MM_HINT_T0);
    // Column x + 1, rows y - 1 .. y + 2: new, old, old, old.
    const __m128i four = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p[x + 1] + (y - 1))), channels);
    const __m128i lo = _mm_unpacklo_epi8(four, zero);  // [new(x+1, y-1) | old(x+1, y)]
    const __m128i hi = _mm_unpackhi_epi8(four, zero);  // [old(x+1, y+1) | old(x+1, y+2)]
    const __m128i vaR = _mm_add_epi16(lo, hi);         // low half: Va(x + 1)
    const __m128i c1 = _mm_unpackhi_epi64(lo, lo);     // old(x + 1, y)
    const __m128i e1 = _mm_unpackhi_epi64(hi, hi);     // old(x + 1, y + 2)
    // a at x.
    const __m128i ta = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(vaL, vaC), _mm_add_epi16(vaR, ca)),
                                     _mm_add_epi16(c1, qa));
    qa = _mm_mulhi_epu16(ta, by9);
    p[x][y] = PackOf(qa);
    // b at x - 1.
    const __m128i vbR = _mm_add_epi16(qa, e0);
    const __m128i tb = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(vbL, vbC), _mm_add_epi16(vbR, cb)),
                                     _mm_add_epi16(d0, qb));
    qb = _mm_mulhi_epu16(tb, by9);
    p[x - 1][y + 1] = PackOf(qb);
    vaL = vaC, vaC = vaR, ca = c1;
    vbL = vbC, vbC = vbR, cb = d0, d0 = hi, e0 = e1;  // d0: the low half of hi is old(x+1, y+1)
  }
}

#endif

/// Tile width S: the columns a tile keeps in use (256 measured best on
/// 6000 x 4000; 128 and 512 were slower).
constexpr int kTile = 256;

/// Rows a = y and b = y + 1 of tile k: a over [la, la + S), b one column left,
/// visited a(x), b(x - 1) for rising x, clipped to the image.
void TilePair(PixelColumns p, int w, int h, int y, int la) {
  const int ra = la + kTile;
  int x = la > 0 ? la : 0;
  const int end = ra < w + 1 ? ra : w + 1;
  auto exact = [&](int xx) {
    if (xx < w) ExactPixel(p, w, h, xx, y);
    if (xx >= 1 && xx - 1 < w) ExactPixel(p, w, h, xx - 1, y + 1);
  };
#if defined(__SSE2__)
  if (y >= 1 && y + 2 <= h - 1) {
    const int xs = la > 2 ? la : 2;
    const int xe = ra < w - 1 ? ra : w - 1;
    if (xs < xe) {
      for (; x < xs; ++x) exact(x);
      PairRun(p, y, xs, xe);
      x = xe;
    }
  }
#endif
  for (; x < end; ++x) exact(x);
}

bool Blur(const FilterCall& call) {
  if (call.Empty()) return true;
  const int w = call.width, h = call.height;
  PixelColumns p = call.pixels;
  // Tile k holds the pixels with k * S <= x + y < (k + 1) * S.
  for (long long k = 0; k * kTile <= static_cast<long long>(w - 1) + (h - 1); ++k) {
    const long long base = k * kTile;
    // Rows whose segment [base - y, base - y + S) meets [0, w).
    const int first = static_cast<int>(base - (w - 1) > 0 ? base - (w - 1) : 0);
    const int last = static_cast<int>(base + kTile - 1 < h - 1 ? base + kTile - 1 : h - 1);
    int y = first;
    // Row 0 alone; then the pairs (1, 2), (3, 4), ... ; a row left without a
    // partner at the bottom alone.
    if (y == 0) {
      const int la = static_cast<int>(base);
      for (int x = la; x < la + kTile && x < w; ++x) ExactPixel(p, w, h, x, 0);
      y = 1;
    } else if (y % 2 == 0) {
      --y;  // the pair (y - 1, y): row y - 1's segment is empty or clipped
    }
    for (; y <= last; y += 2) {
      const int la = static_cast<int>(base - y);
      if (y + 1 <= h - 1) {
        TilePair(p, w, h, y, la);
      } else {
        for (int x = la > 0 ? la : 0; x < la + kTile && x < w; ++x) ExactPixel(p, w, h, x, y);
      }
    }
  }
  return true;
}

}  // namespace

MV_FILTER_ROW("F_Blur", "Размытие", /*usesChannelMask=*/false, Blur);
