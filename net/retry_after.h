// The Retry-After header of an HTTP answer: how long the server asks its client to wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvella {

/// Returns the seconds a Retry-After value asks to wait, counted from `nowSeconds` (the
/// calendar time in seconds since 1970-01-01 UTC): the value's delta-seconds, or the time
/// until its HTTP date (any of the three forms HTTP allows: "Sun, 06 Nov 1994 08:49:37
/// GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); 0 for a date that
/// has passed. Blanks around the value are ignored; a delta too large for the result gives
/// the largest value. Returns nothing for a value that is neither. Any thread.
std::optional<int64_t> RetryAfterSeconds(std::string_view value, int64_t nowSeconds);

}  // namespace orvella
