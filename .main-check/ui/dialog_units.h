// Dialog units: template coordinates relative to the dialog font, as the dialog manager
// converts them to pixels.
#pragma once

#include "resources/dialog_templates.h"

namespace orvella {

/// The font's base units in pixels: average character width and character height.
struct DialogBaseUnits {
  int cx;
  int cy;
};

/// A rectangle in pixels.
struct PixelRect {
  int x;
  int y;
  int cx;
  int cy;
};

/// Returns the average character width the dialog manager uses, given the pixel width of
/// the 52 letters "A".."Z" "a".."z" set in the dialog font (rounded to nearest). Any thread.
int AverageCharWidth(int widthOf52Letters);

/// Converts `rect` to pixels: horizontal values x base.cx / 4, vertical values x base.cy / 8,
/// each rounded to nearest, halves away from zero. Any thread.
PixelRect MapDialogRect(const DialogRect& rect, DialogBaseUnits base);

}  // namespace orvella
