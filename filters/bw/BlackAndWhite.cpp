// Black and white ("Черно-белое"): whatever the mask, all three
// channels become g = (red + green + blue) / 3 (integer division, equal
// weights). Column by column: the visiting order does not matter.
#include "FilterFrame.h"

namespace {

using namespace mv::filters;

/// s / 3 for 0 <= s <= 765 as a multiply and a shift, which vectorises.
constexpr unsigned DivideBy3(unsigned s) { return (s * 0xAAABu) >> 17; }

constexpr bool DivideBy3IsExact() {
  for (unsigned s = 0; s <= 3 * 255; ++s)
    if (DivideBy3(s) != s / 3) return false;
  return true;
}
static_assert(DivideBy3IsExact());

MV_HOT_LOOP void GreyColumn(MvPixel* column, int height) {
  for (int y = 0; y < height; ++y) {
    const MvPixel p = column[y];
    const unsigned g = DivideBy3((p & 0xFFu) + ((p >> 8) & 0xFFu) + ((p >> 16) & 0xFFu));
    column[y] = g * 0x010101u;  // g in red, green and blue; bits 24-31 clear
  }
}

bool BlackAndWhite(const FilterCall& call) {
  if (call.Empty()) return true;
  for (int x = 0; x < call.width; ++x) GreyColumn(call.pixels[x], call.height);
  return true;
}

}  // namespace

MV_FILTER_ROW("F_BlackAndWhite", "Черно-белое", /*usesChannelMask=*/false, BlackAndWhite);
