// The byte form in which a request URL goes on the wire.
#pragma once

#include <string>
#include <string_view>

namespace orvella {

/// Returns `url` as the bytes of the request: each character as its ANSI code page byte
/// (so bytes that came from the service go back unchanged), with the bytes that may not
/// stand in an HTTP request line (blank, control characters, DEL) %-escaped. Nothing else
/// is escaped: '@', '+', '&' and existing %-escapes go out as written. Any thread.
std::string WireUrl(std::wstring_view url);

}  // namespace orvella
