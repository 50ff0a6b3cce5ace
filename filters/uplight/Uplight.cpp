// Uplight ("Просветление"): a brightening tone curve on the channels
// the mask selects. Per channel, in double precision:
//   v := trunc(sin(v * 3.141592653589793 * 0.001953125) * 255.0)
// 0 -> 0, 1 -> 1, 255 -> 254.
#include <cmath>

#include "ToneCurve.h"

namespace {

using namespace mv::filters;

ToneTable MakeUplightCurve() {
  ToneTable t{};
  for (int v = 0; v < 256; ++v)
    t[v] = static_cast<std::uint8_t>(static_cast<int>(std::sin(v * 3.141592653589793 * 0.001953125) * 255.0));
  return t;
}

bool Uplight(const FilterCall& call) {
  static const ToneTable curve = MakeUplightCurve();  // built once, on first use
  return ApplyToneCurve(call, curve);
}

}  // namespace

MV_FILTER_ROW("F_Uplight", "Просветление", /*usesChannelMask=*/true, Uplight);
