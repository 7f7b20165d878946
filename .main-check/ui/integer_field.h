// Reading the dialogs' numeric fields and the prompts shown when that fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvella {

/// Shown when a numeric field does not start with a number.
inline constexpr wchar_t kTextParseInt[] = L"Enter an integer.";
/// Shown when a number lies outside its bounds; %1 and %2 are the bounds.
inline constexpr wchar_t kTextParseIntRange[] = L"Enter an integer between %1 and %2.";

/// Reads a field as a decimal integer: of its first 63 characters, leading white space
/// is skipped, then an optional sign and at least one digit are read; anything after the
/// digits is ignored ("12abc" reads as 12). Returns nothing when no number starts the
/// field, or when the number does not fit 32 bits (it is not silently wrapped). Any thread.
std::optional<int32_t> ReadIntegerField(std::wstring_view text);

/// Returns kTextParseIntRange with %1 and %2 replaced by `low` and `high`. Any thread.
std::wstring FormatRangePrompt(int64_t low, int64_t high);

}  // namespace orvella
