// Lowlight ("Затемнение"): a darkening tone curve on the channels the
// mask selects. Per channel, in double precision:
//   a = v * 3.141592653589793 * 0.001953125 + 4.71238898038469
//   v := trunc((sin(a) + 1.0) * 255.0)
// that is trunc(255 * (1 - cos(v * pi / 512))): 0 -> 0, 255 -> 253.
#include <cmath>

#include "ToneCurve.h"

namespace {

using namespace mv::filters;

ToneTable MakeLowlightCurve() {
  ToneTable t{};
  for (int v = 0; v < 256; ++v) {
    const double a = v * 3.141592653589793 * 0.001953125 + 4.71238898038469;
    t[v] = static_cast<std::uint8_t>(static_cast<int>((std::sin(a) + 1.0) * 255.0));
  }
  return t;
}

bool Lowlight(const FilterCall& call) {
  static const ToneTable curve = MakeLowlightCurve();  // built once, on first use
  return ApplyToneCurve(call, curve);
}

}  // namespace

MV_FILTER_ROW("F_Lowlight", "Затемнение", /*usesChannelMask=*/true, Lowlight);
