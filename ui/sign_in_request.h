// One sign-in run on a thread of its own, so that the sign-in dialog's thread (the host's)
// never waits on the network and can end the request at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "service/orvella_client.h"
#include "ui/authorizer.h"

namespace orvella {

class CSignInRequest {
 public:
  /// Starts `authorizer`.Authorize on a client made from `token` and `user`, with
  /// `email` and `password`, on a new thread; when no thread can be made, runs it here.
  /// `authorizer` must outlive the request. Host's thread.
  CSignInRequest(CAuthorizer& authorizer, std::wstring token, std::wstring user, std::wstring email,
                 std::wstring password);
  /// Cancels the request and waits for its thread, which ends within about a second.
  ~CSignInRequest();
  CSignInRequest(const CSignInRequest&) = delete;
  CSignInRequest& operator=(const CSignInRequest&) = delete;

  /// Asks the request to end now: its service request fails as a stopped transfer.
  /// Any thread.
  void Cancel();
  /// True once the request has ended (its result is ready). Any thread.
  bool Done() const;
  /// Waits for the request's thread and returns Authorize's result (0 for an exception),
  /// with the account and error text as the request left them in `client`. Call once, after Done().
  /// Host's thread.
  int32_t Finish(COrvellaClient& client);

 private:
  void Run();

  CAuthorizer& authorizer_;
  std::atomic<int32_t> cancel_{0};  // before the client, which watches it
  COrvellaClient client_;
  std::wstring email_;
  std::wstring password_;
  int32_t result_ = 0;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace orvella
