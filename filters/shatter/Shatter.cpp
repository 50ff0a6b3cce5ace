// Shatter ("Дрожание"): a diagonal double-image jitter, in place.
//
// The rule, in the frame's row order: pixel (x, y) becomes, per channel,
// (2A + B + C) >> 2 with A = P[x0][y0], B = P[x2][y2], C = P[x4][y2], where
//   x0 = x >= 2 ? x - 2 : 0        y0 = y >= 2 ? y - 2 : 0
//   x2 = x + 2 <= W - 1 ? x + 2 : x
//   y2 = y + 2 <= H - 1 ? y + 2 : y
//   x4 = x == W - 1 ? 0 : x2
// and every sample read from the image as it is at that moment.
//
// Why column order gives the same bits. In row order A has always been
// rewritten already (except at (0, 0), where it is the pixel itself), B has
// not (it lies later, or is the pixel itself), and C equals B except in the
// last column, where it is column 0 at row y2: not yet rewritten when y2 > y,
// rewritten when y2 == y (the last two rows). Walking columns 0, 1, ..., W - 1,
// each top to bottom, in place:
//   * A lies in column x0 < x, already done, or (x < 2) in column 0 at a row
//     y0 < y, done earlier in this column; at (0, 0) it is the pixel itself;
//   * B lies in column x2 > x, untouched, or in this column at row y2 >= y,
//     not yet written;
//   * C in the last column needs column 0 as it was (rows y + 2) and as it is
//     now (the last two rows): a copy of column 0 taken before it is rewritten
//     serves the first.
// So every sample has the same value as in row order. In the columns
// 2 .. W - 3 (all but four) C is B and the rule is the per-channel floor
// average of A and B, read from two other columns: a straight vectorised pass.
#include <memory>
#include <new>

#include "FilterFrame.h"

namespace {

using namespace mv::filters;

/// Per channel (2A + B + C) >> 2; bits 24-31 of the result are clear.
inline MvPixel Mix(MvPixel a, MvPixel b, MvPixel c) {
  return Pack((2 * Red(a) + Red(b) + Red(c)) >> 2, (2 * Green(a) + Green(b) + Green(c)) >> 2,
              (2 * Blue(a) + Blue(b) + Blue(c)) >> 2);
}

/// Mix(a, b, b): per channel floor((A + B) / 2), done on the whole word.
inline MvPixel Half(MvPixel a, MvPixel b) {
  a &= kChannelBits;
  b &= kChannelBits;
  return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7Fu);
}

/// dst[i] = Half(a[i], b[i]): three different columns.
MV_HOT_LOOP void HalfRun(MvPixel* __restrict dst, const MvPixel* __restrict a, const MvPixel* __restrict b, int n) {
  for (int i = 0; i < n; ++i) dst[i] = Half(a[i], b[i]);
}

/// Any column, by the rule as written. `column0` is the copy of column 0 as it
/// was before it was rewritten (used by the last column when W > 1).
void GeneralColumn(PixelColumns p, int w, int h, int x, const MvPixel* column0) {
  const int x0 = x >= 2 ? x - 2 : 0;
  const int x2 = x + 2 <= w - 1 ? x + 2 : x;
  const int x4 = x == w - 1 ? 0 : x2;
  MvPixel* dst = p[x];
  const MvPixel* colA = p[x0];
  const MvPixel* colB = p[x2];
  for (int y = 0; y < h; ++y) {
    const int y0 = y >= 2 ? y - 2 : 0;
    const int y2 = y + 2 <= h - 1 ? y + 2 : y;
    const MvPixel a = colA[y0];
    const MvPixel b = colB[y2];
    MvPixel c = b;
    if (x4 != x2) c = y2 > y ? column0[y2] : p[0][y2];  // the last column's wrap to column 0
    dst[y] = Mix(a, b, c);
  }
}

/// A column 2 <= x <= W - 3: A from column x - 2, B = C from column x + 2.
void InnerColumn(PixelColumns p, int h, int x) {
  MvPixel* dst = p[x];
  const MvPixel* colA = p[x - 2];
  const MvPixel* colB = p[x + 2];
  // Rows 2 .. H - 3: A at y - 2, B at y + 2.
  if (h >= 5) HalfRun(dst + 2, colA, colB + 4, h - 4);
  // The first two and the last two rows clamp their offsets.
  for (int y = 0; y < h; ++y) {
    if (y == 2 && h >= 5) y = h - 2;
    const int y0 = y >= 2 ? y - 2 : 0;
    const int y2 = y + 2 <= h - 1 ? y + 2 : y;
    dst[y] = Half(colA[y0], colB[y2]);
  }
}

bool Shatter(const FilterCall& call) {
  if (call.Empty()) return true;
  const int w = call.width, h = call.height;
  PixelColumns p = call.pixels;
  std::unique_ptr<MvPixel[]> column0;
  if (w > 1) {  // the last column reads column 0 as it was
    column0.reset(new (std::nothrow) MvPixel[static_cast<std::size_t>(h)]);
    if (!column0) return false;  // nothing changed yet
    for (int y = 0; y < h; ++y) column0[y] = p[0][y];
  }
  for (int x = 0; x < w; ++x) {
    if (x >= 2 && x <= w - 3)
      InnerColumn(p, h, x);
    else
      GeneralColumn(p, w, h, x, column0.get());
  }
  return true;
}

}  // namespace

MV_FILTER_ROW("F_Shatter", "Дрожание", /*usesChannelMask=*/false, Shatter);
