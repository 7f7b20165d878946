// CAuthorizeDlg: the sign-in dialog (template 1001). Asks for the account's e-mail address
// and password and signs in when OK is pressed; closes with OK only when the service
// accepted them. The request runs on a thread of its own: meanwhile the dialog says that
// it is signing in, OK is disabled, and Cancel (Escape, the close box) ends the request
// and leaves the dialog open as it was.
#pragma once

#include <memory>
#include <string>

#include "ui/authorizer.h"
#include "ui/dialog_model.h"
#include "ui/dialog_platform.h"
#include "ui/sign_in_request.h"

namespace orvella {

class CAuthorizeDlg : public CDialogModel {
 public:
  /// The dialog signs in through `authorizer` and runs on `platform`; both outlive it.
  CAuthorizeDlg(CDialogPlatform& platform, CAuthorizer& authorizer);
  ~CAuthorizeDlg() override;

  /// Runs the dialog modally, owned by the innermost running dialog. Returns kResultOk
  /// after a successful sign-in, kResultCancel otherwise. Host's thread.
  int DoModal();

  const DialogTemplate& Template() const override;
  void OnInitDialog() override;
  void OnCommand(int id) override;
  void OnTick() override;

  /// Save step: starts the sign-in with the typed e-mail address and password, unless one
  /// is running. Its end (OnTick) takes the returned token and user name and ends the
  /// dialog with OK on success; on failure it shows the client's errorText (even when
  /// empty), empties the token and selects the password.
  void OnOK();

  /// True while a sign-in request runs. Host's thread.
  bool signingIn() const { return request_ != nullptr; }

  std::wstring token;  // user token from the last successful sign-in; empty otherwise
  std::wstring user;   // the service's name for the account, returned with the token

 private:
  /// Cancel while signing in: ends the request; the dialog stays open, nothing changes.
  void CancelSignIn();
  /// Shows or ends the signing-in state: status text, busy cursor, OK disabled.
  void ShowSigningIn(bool signingIn);
  /// A finished sign-in: OK with the new account, or its error shown and the password
  /// selected.
  void TakeResult(int32_t result, const COrvellaClient& client);

  CDialogPlatform& platform_;
  CAuthorizer& authorizer_;
  std::unique_ptr<CSignInRequest> request_;
  bool cancelled_ = false;  // the running request was cancelled: its result is ignored
};

}  // namespace orvella
