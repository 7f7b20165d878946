// Where the art service lives: the base address and the two endpoints of its v3 API.
#pragma once

#include <string>

namespace orvella {

/// Name of the environment variable that overrides the compiled-in service address.
inline constexpr char kServerUrlVariable[] = "ORVELLA_SERVER_URL";

inline constexpr wchar_t kAccountEndpointPath[] = L"/api/v3/user/";
inline constexpr wchar_t kArtEndpointPath[] = L"/api/v3/art/";

/// Returns the service's base address (scheme, host, optional port): ORVELLA_SERVER_URL
/// when it is set and not empty, else the address compiled into the module. Trailing '/'
/// characters are dropped so the endpoint paths can be appended. Read anew at each call,
/// so a changed environment applies to the next request. Never fails. Any thread.
std::wstring ServerBaseUrl();

/// Returns the address of the account endpoint (base address + "/api/v3/user/").
std::wstring AccountEndpointUrl();

/// Returns the address of the art endpoint (base address + "/api/v3/art/").
std::wstring ArtEndpointUrl();

}  // namespace orvella
