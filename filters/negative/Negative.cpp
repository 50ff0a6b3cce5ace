// Negative ("Негатив"): every channel the mask selects becomes
// 255 - value; the others keep theirs. For an 8-bit channel 255 - v is v ^ 255,
// so the mask folds into one XOR word: a pixel is (p ^ flip) & 0x00FFFFFF.
// A point filter: the visiting order does not matter, so columns are walked
// one after another, each top to bottom (the memory order of the layout).
#include "FilterFrame.h"

namespace {

using namespace mv::filters;

MV_HOT_LOOP void NegateColumn(MvPixel* column, int height, MvPixel flip) {
  for (int y = 0; y < height; ++y) column[y] = (column[y] ^ flip) & kChannelBits;
}

bool Negative(const FilterCall& call) {
  if (call.Empty()) return true;
  const MvPixel flip = MaskBits(call.mask);
  for (int x = 0; x < call.width; ++x) NegateColumn(call.pixels[x], call.height, flip);
  return true;
}

}  // namespace

MV_FILTER_ROW("F_Negative", "Негатив", /*usesChannelMask=*/true, Negative);
