// The sign-in request as the sign-in dialog sees it, so the dialog can be exercised
// without a service.
#pragma once

#include <cstdint>
#include <string>

#include "service/orvella_client.h"

namespace orvella {

class CAuthorizer {
 public:
  virtual ~CAuthorizer() = default;
  /// Signs in with `email` and `password` as typed, on `client`. Returns 1 with the
  /// client's token and userName set, or 0 with its errorText set (possibly empty).
  /// Blocks the host's thread until the answer is complete.
  virtual int32_t Authorize(COrvellaClient& client, const std::wstring& email,
                            const std::wstring& password) = 0;
};

/// The art service's sign-in (COrvellaClient::Authorize). Stateless; any thread.
CAuthorizer& ServiceAuthorizer();

}  // namespace orvella
