// Where the art service lives: the base address and the two endpoints of its v3 API.
#pragma once

#include <string>

namespace orvella {

/// Name of the environment variable that overrides the compiled-in service address.
inline constexpr char kServerUrlVariable[] = "ORVELLA_SERVER_URL";

inline constexpr wchar_t kAccountEndpointPath[] = L"/api/v3/user/";
inline constexpr wchar_t kArtEndpointPath[] = L"/api/v3/art/";

/// The service's base address as configured, and whether requests may go there.
struct ServerAddress {
  /// Scheme, host, optional port; the scheme in lower case when it is http or https, no
  /// trailing '/' (so the endpoint paths can be appended).
  std::wstring base;
  /// True for an http or https URL that names a host; anything else (no scheme, another
  /// scheme, blanks or control characters) is never sent to.
  bool usable = false;
  /// True when the address came from ORVELLA_SERVER_URL, false for the compiled-in one.
  bool fromEnvironment = false;
};

/// Returns the service's base address: ORVELLA_SERVER_URL when it is set and not empty,
/// else the address compiled into the module. Read anew at each call, so a changed
/// environment applies to the next request. Never fails. Any thread.
ServerAddress ReadServerAddress();

/// Returns ReadServerAddress().base, usable or not (for messages). Any thread.
std::wstring ServerBaseUrl();

/// Writes the log line that refuses an unusable address: it names where the address came
/// from and shows it (control characters as '?'). Any thread.
void LogAddressRefusal(const ServerAddress& address);

}  // namespace orvella
