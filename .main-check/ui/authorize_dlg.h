// CAuthorizeDlg: the sign-in dialog (template 1001). Asks for the account's e-mail address
// and password and signs in when OK is pressed; closes with OK only when the service
// accepted them.
#pragma once

#include <string>

#include "ui/authorizer.h"
#include "ui/dialog_model.h"
#include "ui/dialog_platform.h"

namespace orvella {

class CAuthorizeDlg : public CDialogModel {
 public:
  /// The dialog signs in through `authorizer` and runs on `platform`; both outlive it.
  CAuthorizeDlg(CDialogPlatform& platform, CAuthorizer& authorizer);

  /// Runs the dialog modally, owned by the innermost running dialog. Returns kResultOk
  /// after a successful sign-in, kResultCancel otherwise. Host's thread.
  int DoModal();

  const DialogTemplate& Template() const override;
  void OnInitDialog() override;
  void OnCommand(int id) override;

  /// Save step: signs in with the typed e-mail address and password. On success takes
  /// the returned token and user name and ends the dialog with OK; on failure shows the
  /// client's errorText (even when empty), empties the token and selects the password.
  void OnOK();

  std::wstring token;  // user token from the last successful sign-in; empty otherwise
  std::wstring user;   // the service's name for the account, returned with the token

 private:
  CDialogPlatform& platform_;
  CAuthorizer& authorizer_;
};

}  // namespace orvella
