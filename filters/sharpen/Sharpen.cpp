// Sharpen ("Увеличение резкости"): a 5 x 5 sharpening into a result
// of its own, handed to the host with SetImagePixels (entry 15) and freed.
//
// The rule: per channel acc = 49 * centre minus every neighbour (dx, dy) in
// -2..2 that is not skipped, count = 1 + neighbours used, v = |acc / count|
// (quotient truncated toward zero, then its magnitude), at most 255. A pair is
// skipped on a border's side when the pixel is within two pixels of that
// border: dx < 0 when x <= 1, dx > 0 when x >= W - 2, and the same for dy. So
// the neighbours used form a rectangle of columns x - 2 .. x + 2 (left pair
// dropped when x <= 1, right pair when x >= W - 2) by rows chosen the same way,
// and with S the sum over that rectangle, centre included:
//   acc = 50 * centre - S,  count = columns used * rows used (1, 3 or 5 each),
//   v = min(255, |acc| / count)   (|trunc(a / n)| == |a| / n).
// The routine reads only the unchanged image.
//
// How it runs on the column layout, column by column: each input column is
// summed once vertically over its rows window (V); an output column adds the V
// of the columns it uses and finishes with a multiply-high by a reciprocal of
// the count, exact for every value that can occur (checked at compile time).
// The V of five columns are kept in a ring. Rows within two of the top or
// bottom border use the rule with a plain division. Two forms of the same
// arithmetic:
//   * with AVX2 (chosen at run time), pixels spread to 16-bit lanes, four a
//     register, the channels side by side;
//   * otherwise each column split into three 16-bit channel planes, in loops
//     the compiler vectorises.
//
// The result is one block (the columns carved from it) with its column
// array; on Linux the block asks for huge pages, since a fresh 96 MB array of
// small pages costs more to fault in than the whole computation. If it cannot
// be allocated the node is left unchanged and the routine returns false.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "FilterFrame.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(MV_X86_EXTENSIONS)
#include <immintrin.h>
#endif

namespace {

using namespace mv::filters;
using Lane = std::uint16_t;

// ---------------------------------------------------------------------------
// Exact division of |acc| by the count of a full-height row window (5 rows):
// count = 5, 15 or 25 and |acc| <= 49 * 255.
// ---------------------------------------------------------------------------

struct Reciprocal {
  unsigned m;      // multiplier, < 65536
  unsigned shift;  // after the 16-bit multiply-high
};

constexpr Reciprocal ReciprocalOf(unsigned d) {
  // Smallest shift whose rounded-up multiplier fits 16 bits and is exact.
  for (unsigned shift = 0; shift < 16; ++shift) {
    const unsigned long long m = ((1ull << (16 + shift)) + d - 1) / d;
    if (m >= 65536) break;
    bool exact = true;
    for (unsigned a = 0; a <= 49 * 255 && exact; ++a) exact = ((a * m) >> (16 + shift)) == a / d;
    if (exact) return {static_cast<unsigned>(m), shift};
  }
  return {0, 0};
}

constexpr Reciprocal kBy5 = ReciprocalOf(5), kBy15 = ReciprocalOf(15), kBy25 = ReciprocalOf(25);
static_assert(kBy5.m != 0 && kBy15.m != 0 && kBy25.m != 0, "an exact 16-bit reciprocal exists");

// ---------------------------------------------------------------------------
// One input column: three channel planes and their vertical window sums.
// ---------------------------------------------------------------------------

struct ColumnSums {
  Lane* plane[3];  // red, green, blue of each row
  Lane* sum[3];    // sum over the row window of each row (centre included)
};

/// Number of rows in the window of row y, and its first row.
inline int WindowRows(int y, int h, int* first) {
  const bool up = y >= 2, down = y <= h - 3;
  *first = up ? y - 2 : y;
  return 1 + (up ? 2 : 0) + (down ? 2 : 0);
}

MV_HOT_LOOP void SplitColumn(const MvPixel* __restrict column, Lane* __restrict r, Lane* __restrict g,
                             Lane* __restrict b, int h) {
  for (int y = 0; y < h; ++y) {
    const MvPixel p = column[y];
    r[y] = static_cast<Lane>(p & 0xFFu);
    g[y] = static_cast<Lane>((p >> 8) & 0xFFu);
    b[y] = static_cast<Lane>((p >> 16) & 0xFFu);
  }
}

/// s[y] = e[y - 2] + ... + e[y + 2] for 2 <= y <= h - 3.
MV_HOT_LOOP void FiveRowSums(const Lane* __restrict e, Lane* __restrict s, int h) {
  for (int y = 2; y <= h - 3; ++y) s[y] = static_cast<Lane>(e[y - 2] + e[y - 1] + e[y] + e[y + 1] + e[y + 2]);
}

void PrepareColumn(const MvPixel* column, int h, ColumnSums& c) {
  SplitColumn(column, c.plane[0], c.plane[1], c.plane[2], h);
  for (int k = 0; k < 3; ++k) {
    const Lane* e = c.plane[k];
    Lane* s = c.sum[k];
    if (h >= 5) FiveRowSums(e, s, h);
    for (int y = 0; y < h; ++y) {  // rows near the top and bottom
      if (y == 2 && h >= 5) y = h - 2;
      int first = 0;
      const int n = WindowRows(y, h, &first);
      unsigned v = 0;
      for (int r = first; r < first + n; ++r) v += e[r];
      s[y] = static_cast<Lane>(v);
    }
  }
}

// ---------------------------------------------------------------------------
// One output column.
// ---------------------------------------------------------------------------

/// out[y] = min(255, |50 * centre - S| / count) for the full-height rows
/// 2 .. h - 3 of one channel plane; S = s0 + ... + s4, the window sums of the
/// columns used (an unused one is a plane of zeros).
MV_HOT_LOOP void FinishChannel(const Lane* __restrict centre, const Lane* __restrict s0, const Lane* __restrict s1,
                               const Lane* __restrict s2, const Lane* __restrict s3, const Lane* __restrict s4,
                               Reciprocal rc, Lane* __restrict out, int h) {
  for (int y = 2; y <= h - 3; ++y) {
    const int total = s0[y] + s1[y] + s2[y] + s3[y] + s4[y];
    int acc = 50 * centre[y] - total;
    acc = acc < 0 ? -acc : acc;
    const unsigned q = ((static_cast<unsigned>(acc) * rc.m) >> 16) >> rc.shift;
    out[y] = static_cast<Lane>(q > 255 ? 255 : q);
  }
}

MV_HOT_LOOP void PackColumn(const Lane* __restrict r, const Lane* __restrict g, const Lane* __restrict b,
                            MvPixel* __restrict column, int from, int to) {
  for (int y = from; y < to; ++y) column[y] = r[y] | static_cast<MvPixel>(g[y]) << 8 | static_cast<MvPixel>(b[y]) << 16;
}

/// The rule with a plain division, for one pixel of output column x whose
/// used columns are given.
MvPixel EdgePixel(const ColumnSums* const* used, int n, const ColumnSums& centre, int y, int h) {
  int first = 0;
  const int count = n * WindowRows(y, h, &first);
  unsigned v[3];
  for (int k = 0; k < 3; ++k) {
    int total = 0;
    for (int i = 0; i < n; ++i) total += used[i]->sum[k][y];
    const int acc = 50 * centre.plane[k][y] - total;
    const int q = acc / count;  // truncated toward zero
    const unsigned m = static_cast<unsigned>(q < 0 ? -q : q);
    v[k] = m > 255 ? 255 : m;
  }
  return Pack(v[0], v[1], v[2]);
}

// ---------------------------------------------------------------------------
// The AVX2 path: pixels spread to 16-bit lanes (r, g, b, and bits 24-31,
// which are carried along and dropped at the end), four pixels a register.
// ---------------------------------------------------------------------------

#if defined(MV_X86_EXTENSIONS)
#define MV_AVX2 __attribute__((target("avx2")))

/// The rule with a plain division at pixel (x, y), read from the image.
MvPixel ExactPixel(PixelColumns p, int w, int h, int x, int y) {
  const int xa = x >= 2 ? x - 2 : x, xb = x <= w - 3 ? x + 2 : x;
  const int ya = y >= 2 ? y - 2 : y, yb = y <= h - 3 ? y + 2 : y;
  int total[3] = {0, 0, 0};
  for (int i = xa; i <= xb; ++i)
    for (int j = ya; j <= yb; ++j) {
      const MvPixel q = p[i][j];
      total[0] += Red(q), total[1] += Green(q), total[2] += Blue(q);
    }
  const int count = (xb - xa + 1) * (yb - ya + 1);
  const MvPixel c = p[x][y];
  const int centre[3] = {int(Red(c)), int(Green(c)), int(Blue(c))};
  unsigned v[3];
  for (int k = 0; k < 3; ++k) {
    const int q = (50 * centre[k] - total[k]) / count;  // truncated toward zero
    const unsigned m = static_cast<unsigned>(q < 0 ? -q : q);
    v[k] = m > 255 ? 255 : m;
  }
  return Pack(v[0], v[1], v[2]);
}


/// Rows [2, end) of `column` summed over five rows, spread: four lanes a row.
/// Returns `end`, a multiple of 4 past 2, at most h - 2.
MV_AVX2 int FiveRowSumsAvx2(const MvPixel* column, Lane* sums, int h) {
  int y = 2;
  for (; y + 4 <= h - 2; y += 4) {
    __m256i s = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + y - 2)));
    for (int d = -1; d <= 2; ++d)
      s = _mm256_add_epi16(s, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(column + y + d))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 4 * y), s);
  }
  return y;
}

/// Rows y .. y + 3 of a result column as 16 lanes of |acc| / count (not yet
/// clamped): centre pixels `c`, the used columns' spread sums s0..s4.
MV_AVX2 inline __m256i FourRowsAvx2(int y, const MvPixel* c, const Lane* s0, const Lane* s1, const Lane* s2,
                                   const Lane* s3, const Lane* s4, __m256i m, __m128i shift) {
  const auto at = [](const Lane* s, int row) { return reinterpret_cast<const __m256i*>(s + 4 * row); };
  const __m256i total =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_loadu_si256(at(s0, y)), _mm256_loadu_si256(at(s1, y))),
                       _mm256_add_epi16(_mm256_add_epi16(_mm256_loadu_si256(at(s2, y)), _mm256_loadu_si256(at(s3, y))),
                                        _mm256_loadu_si256(at(s4, y))));
  const __m256i centre = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + y)));
  const __m256i acc = _mm256_sub_epi16(_mm256_mullo_epi16(centre, _mm256_set1_epi16(50)), total);
  return _mm256_srl_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(acc), m), shift);
}

/// Result rows [2, end) of a column (centre column `c`, sums s0..s4 of the
/// columns used, a zero plane for each one not used); `limit` is the first
/// row without sums. Returns `end`, a multiple of 8 past 2.
MV_AVX2 int FinishAvx2(const MvPixel* c, const Lane* s0, const Lane* s1, const Lane* s2, const Lane* s3,
                       const Lane* s4, Reciprocal rc, MvPixel* out, int limit) {
  const __m256i m = _mm256_set1_epi16(static_cast<short>(rc.m));
  const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(rc.shift));
  const __m256i channels = _mm256_set1_epi32(static_cast<int>(kChannelBits));
  int y = 2;
  for (; y + 8 <= limit; y += 8) {
    // packus clamps at 255; the qword permute puts its lanes back in row order.
    const __m256i lo = FourRowsAvx2(y, c, s0, s1, s2, s3, s4, m, shift);
    const __m256i hi = FourRowsAvx2(y + 4, c, s0, s1, s2, s3, s4, m, shift);
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + y), _mm256_and_si256(bytes, channels));
  }
  return y;
}

/// The whole AVX2 routine body: the result columns from the image.
MV_AVX2 void SharpenAvx2(PixelColumns p, int w, int h, PixelColumns result, Lane* ring, Lane* zeros) {
  const std::size_t hs = static_cast<std::size_t>(h);
  Lane* sums[5];
  for (int i = 0; i < 5; ++i) sums[i] = ring + 4 * hs * static_cast<std::size_t>(i);
  int reach = 2;  // rows [2, reach) of every prepared column have sums
  for (int i = 0; i < 2 && i < w; ++i) reach = FiveRowSumsAvx2(p[i], sums[i % 5], h);
  for (int x = 0; x < w; ++x) {
    if (x + 2 < w) reach = FiveRowSumsAvx2(p[x + 2], sums[(x + 2) % 5], h);
    const Lane* used[5] = {zeros, zeros, zeros, zeros, zeros};
    int n = 0;
    used[n++] = sums[x % 5];
    if (x >= 2) used[n++] = sums[(x - 1) % 5], used[n++] = sums[(x - 2) % 5];
    if (x <= w - 3) used[n++] = sums[(x + 1) % 5], used[n++] = sums[(x + 2) % 5];
    const Reciprocal rc = n == 1 ? kBy5 : n == 3 ? kBy15 : kBy25;
    MvPixel* out = result[x];
    const int end = h >= 5 ? FinishAvx2(p[x], used[0], used[1], used[2], used[3], used[4], rc, out, reach) : 0;
    for (int y = 0; y < h; ++y) {  // the border rows and the rows past the vector loop
      if (y == 2 && end > 2) y = end;
      if (y >= h) break;
      out[y] = ExactPixel(p, w, h, x, y);
    }
  }
}
#undef MV_AVX2
#endif

// ---------------------------------------------------------------------------
// The result array.
// ---------------------------------------------------------------------------

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

/// A block of `bytes`, on Linux aligned to and advised for huge pages when it
/// is large enough to profit.
void* AllocateResult(std::size_t bytes) {
#if defined(__linux__)
  constexpr std::size_t kHuge = std::size_t(2) << 20;
  if (bytes >= 4 * kHuge) {
    const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
    if (p) madvise(p, rounded, MADV_HUGEPAGE);  // only advice: failure changes nothing
    return p;
  }
#endif
  return std::malloc(bytes);
}

bool Sharpen(const FilterCall& call) {
  if (call.Empty()) return true;  // no pixel: nothing to hand over
  const int w = call.width, h = call.height;
  const std::size_t ws = static_cast<std::size_t>(w), hs = static_cast<std::size_t>(h);
  PixelColumns p = call.pixels;

  // The result: W columns of H pixels.
  std::unique_ptr<MvPixel*[]> result(new (std::nothrow) MvPixel*[ws]);
  std::unique_ptr<void, FreeDeleter> block(AllocateResult(ws * hs * sizeof(MvPixel)));
  // The ring of five columns (planes and sums) and the output planes.
  std::unique_ptr<Lane[]> lanes(new (std::nothrow) Lane[(5 * 6 + 4) * hs]);
  if (!result || !block || !lanes) return false;  // the node stays unchanged
  for (std::size_t x = 0; x < ws; ++x) result[x] = static_cast<MvPixel*>(block.get()) + x * hs;

#if defined(MV_X86_EXTENSIONS)
  if (__builtin_cpu_supports("avx2")) {
    // The ring holds five columns of spread sums (4 lanes a row), within the
    // lanes allocated below; the zero plane is as long.
    Lane* zeros4 = lanes.get() + 20 * hs;
    std::memset(zeros4, 0, 4 * hs * sizeof(Lane));
    SharpenAvx2(p, w, h, result.get(), lanes.get(), zeros4);
    call.services->SetImagePixels(call.image, result.get());
    return true;
  }
#endif
  ColumnSums ring[5];
  for (int i = 0; i < 5; ++i)
    for (int k = 0; k < 3; ++k) {
      ring[i].plane[k] = lanes.get() + (6 * i + k) * hs;
      ring[i].sum[k] = lanes.get() + (6 * i + 3 + k) * hs;
    }
  Lane* out[3] = {lanes.get() + 30 * hs, lanes.get() + 31 * hs, lanes.get() + 32 * hs};
  Lane* zeros = lanes.get() + 33 * hs;
  std::memset(zeros, 0, hs * sizeof(Lane));

  for (int i = 0; i < 2 && i < w; ++i) PrepareColumn(p[i], h, ring[i]);
  for (int x = 0; x < w; ++x) {
    if (x + 2 < w) PrepareColumn(p[x + 2], h, ring[(x + 2) % 5]);
    // The columns used: x, then the left pair, then the right pair.
    const ColumnSums* used[5];
    int n = 0;
    used[n++] = &ring[x % 5];
    if (x >= 2) used[n++] = &ring[(x - 1) % 5], used[n++] = &ring[(x - 2) % 5];
    if (x <= w - 3) used[n++] = &ring[(x + 1) % 5], used[n++] = &ring[(x + 2) % 5];
    const ColumnSums& centre = ring[x % 5];
    MvPixel* column = result[x];
    if (h >= 5) {
      const Reciprocal rc = n == 1 ? kBy5 : n == 3 ? kBy15 : kBy25;
      for (int k = 0; k < 3; ++k) {
        const Lane* sums[5] = {zeros, zeros, zeros, zeros, zeros};
        for (int i = 0; i < n; ++i) sums[i] = used[i]->sum[k];
        FinishChannel(centre.plane[k], sums[0], sums[1], sums[2], sums[3], sums[4], rc, out[k], h);
      }
      PackColumn(out[0], out[1], out[2], column, 2, h - 2);
    }
    for (int y = 0; y < h; ++y) {
      if (y == 2 && h >= 5) y = h - 2;
      column[y] = EdgePixel(used, n, centre, y, h);
    }
  }

  call.services->SetImagePixels(call.image, result.get());  // the host copies it
  return true;  // block and column array freed here
}

}  // namespace

MV_FILTER_ROW("F_Sharpen", "Увеличение резкости", /*usesChannelMask=*/false, Sharpen);
