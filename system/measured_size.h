// The largest picture size the plug-in measured, kept beside the account values: what a
// run without any reachable display (a timer, an SSH login) asks the service for.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

/// Value names of the measured size, under the account values' key path.
inline constexpr wchar_t kMeasuredWidthValue[] = L"LastWidth";
inline constexpr wchar_t kMeasuredHeightValue[] = L"LastHeight";

/// Largest width or height taken as a measured size; anything outside 1..this is no size.
inline constexpr int32_t kMaxMeasuredSide = 65535;

struct MeasuredSize {
  int32_t width = 0;
  int32_t height = 0;
  /// True when both sides lie within 1..kMaxMeasuredSide.
  bool Usable() const;
  bool operator==(const MeasuredSize&) const = default;
};

/// Returns the size stored last; {0, 0} when none is stored or either value is not a
/// plain decimal number within the bounds. Never throws. Any thread.
MeasuredSize ReadMeasuredSize();

/// Stores `size` (both values). Returns false, storing nothing, when the size is not
/// usable, and false when either value could not be written, with `reason` (when given)
/// set to the user store's reason. Never throws. Any thread.
bool StoreMeasuredSize(MeasuredSize size, std::wstring* reason = nullptr);

}  // namespace orvella
