// Conversions between wide text and UTF-8, for files and the platform's APIs.
#pragma once

#include <string>
#include <string_view>

namespace orvella {

/// Returns the UTF-8 form of `text`; invalid code points become U+FFFD. Any thread.
std::string WideToUtf8(std::wstring_view text);

/// Returns the wide form of UTF-8 `bytes`; malformed sequences become U+FFFD. Any thread.
std::wstring Utf8ToWide(std::string_view bytes);

}  // namespace orvella
