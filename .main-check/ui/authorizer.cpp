// The sign-in request through the service client.
#include "ui/authorizer.h"

namespace orvella {
namespace {

class CServiceAuthorizer final : public CAuthorizer {
 public:
  int32_t Authorize(COrvellaClient& client, const std::wstring& email,
                    const std::wstring& password) override {
    return client.Authorize(email, password);
  }
};

}  // namespace

CAuthorizer& ServiceAuthorizer() {
  static CServiceAuthorizer authorizer;
  return authorizer;
}

}  // namespace orvella
