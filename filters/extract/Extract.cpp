// Extract ("Выделение слоёв"): every channel the mask does not
// select becomes 0; the selected ones keep their value. The mask folds into one
// AND word, which also clears bits 24-31. Column by column, like every point
// filter: the visiting order does not matter.
#include "FilterFrame.h"

namespace {

using namespace mv::filters;

MV_HOT_LOOP void KeepColumn(MvPixel* column, int height, MvPixel keep) {
  for (int y = 0; y < height; ++y) column[y] &= keep;
}

bool Extract(const FilterCall& call) {
  if (call.Empty()) return true;
  const MvPixel keep = MaskBits(call.mask);  // never has bits 24-31
  for (int x = 0; x < call.width; ++x) KeepColumn(call.pixels[x], call.height, keep);
  return true;
}

}  // namespace

MV_FILTER_ROW("F_Extract", "Выделение слоёв", /*usesChannelMask=*/true, Extract);
