// Numeric fields read as the dialog manager does, and their prompts.
#include "ui/integer_field.h"

#include <cwctype>

namespace orvella {

std::optional<int32_t> ReadIntegerField(std::wstring_view text) {
  // The field is read through a 64-character buffer, terminator included.
  text = text.substr(0, 63);
  std::size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  const std::size_t firstDigit = i;
  int64_t magnitude = 0;
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // the magnitude of INT32_MIN
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - L'0');
    if (magnitude > kLimit) return std::nullopt;
  }
  if (i == firstDigit) return std::nullopt;
  if (!negative && magnitude == kLimit) return std::nullopt;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::wstring FormatRangePrompt(int64_t low, int64_t high) {
  std::wstring text;
  const std::wstring_view format = kTextParseIntRange;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() &&
        (format[i + 1] == L'1' || format[i + 1] == L'2')) {
      text += std::to_wstring(format[i + 1] == L'1' ? low : high);
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

}  // namespace orvella
