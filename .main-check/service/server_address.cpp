// The service's base address: compiled in, or from the environment.
#include "service/server_address.h"

#include <cstdlib>

#include "base/text_utf8.h"

namespace orvella {

std::wstring ServerBaseUrl() {
  const char* fromEnvironment = std::getenv(kServerUrlVariable);
  std::wstring base = (fromEnvironment != nullptr && *fromEnvironment != '\0')
                          ? Utf8ToWide(fromEnvironment)
                          : std::wstring(ORVELLA_DEFAULT_SERVER_URL);
  while (!base.empty() && base.back() == L'/') base.pop_back();
  return base;
}

std::wstring AccountEndpointUrl() {
  return ServerBaseUrl() + kAccountEndpointPath;
}

std::wstring ArtEndpointUrl() {
  return ServerBaseUrl() + kArtEndpointPath;
}

}  // namespace orvella
