// The picture size a feed query asks for: the largest monitor's, or, where no display is
// reachable (a timer, an SSH login, a session that passed no DISPLAY), the largest size
// measured before.
#pragma once

#include "system/display_geometry.h"
#include "system/measured_size.h"

namespace orvella {

/// Returns the size to ask for after `geometry` was filled by EnumerateDisplays: the
/// largest monitor's width and height, stored as the measured size when it is usable and
/// differs from the stored one (a failed store is logged; the size is still asked for).
/// With no monitor of positive size: the stored size, with one log line; with none
/// stored, 0 x 0, with one log line. Reads (and maybe writes) the user store. Worker
/// thread.
MeasuredSize QuerySize(const DisplayGeometry& geometry);

}  // namespace orvella
