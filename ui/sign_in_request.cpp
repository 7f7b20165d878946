// The sign-in request's thread.
#include "ui/sign_in_request.h"

#include <system_error>

#include "system/thread_name.h"

namespace orvella {

CSignInRequest::CSignInRequest(CAuthorizer& authorizer, std::wstring token, std::wstring user,
                               std::wstring email, std::wstring password)
    : authorizer_(authorizer),
      client_(std::move(token), std::move(user), &cancel_),
      email_(std::move(email)),
      password_(std::move(password)) {
  try {
    thread_ = std::thread([this] {
      NameCurrentThread(kSignInThreadName);
      Run();
    });
  } catch (const std::system_error&) {
    Run();  // no thread to be had: the dialog waits, as it would without one
  }
}

CSignInRequest::~CSignInRequest() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void CSignInRequest::Cancel() {
  cancel_.store(1);
}

bool CSignInRequest::Done() const {
  return done_.load(std::memory_order_acquire);
}

int32_t CSignInRequest::Finish(COrvellaClient& client) {
  if (thread_.joinable()) thread_.join();
  // The account and the error text; the stop flag stays with this request.
  client.token = client_.token;
  client.userName = client_.userName;
  client.errorText = client_.errorText;
  return result_;
}

void CSignInRequest::Run() {
  try {
    result_ = authorizer_.Authorize(client_, email_, password_);
  } catch (...) {
    result_ = 0;  // nothing may escape the thread; the dialog shows the (empty) error text
  }
  password_.assign(password_.size(), L'\0');
  done_.store(true, std::memory_order_release);
}

}  // namespace orvella
