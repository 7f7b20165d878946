// Dialog units to pixels for a font's average character size.
#include "ui/dialog_units.h"

#include <cstdint>

namespace orvella {
namespace {

// value * numerator / denominator rounded to nearest, halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const int64_t product = int64_t{value} * numerator;
  const int64_t half = denominator / 2;
  const int64_t rounded =
      product >= 0 ? (product + half) / denominator : (product - half) / denominator;
  return static_cast<int>(rounded);
}

}  // namespace

int AverageCharWidth(int widthOf52Letters) {
  return (widthOf52Letters / 26 + 1) / 2;
}

PixelRect MapDialogRect(const DialogRect& rect, DialogBaseUnits base) {
  return {MulDiv(rect.x, base.cx, 4), MulDiv(rect.y, base.cy, 8), MulDiv(rect.cx, base.cx, 4),
          MulDiv(rect.cy, base.cy, 8)};
}

}  // namespace orvella
