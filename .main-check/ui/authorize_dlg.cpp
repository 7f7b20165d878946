// The sign-in dialog's model: its save step and messages.
#include "ui/authorize_dlg.h"

namespace orvella {

CAuthorizeDlg::CAuthorizeDlg(CDialogPlatform& platform, CAuthorizer& authorizer)
    : platform_(platform), authorizer_(authorizer) {}

int CAuthorizeDlg::DoModal() {
  return platform_.RunModal(*this, 0);
}

const DialogTemplate& CAuthorizeDlg::Template() const {
  return AuthorizeDialogTemplate();
}

void CAuthorizeDlg::OnInitDialog() {
  // Nothing to load: the e-mail address and the password are never kept, so both fields
  // open empty, and the view starts in the first tab stop, the e-mail field.
}

void CAuthorizeDlg::OnCommand(int id) {
  if (id == kIdOk) {
    OnOK();
  } else if (id == kIdCancel) {
    view().EndDialog(kResultCancel);
  }
}

void CAuthorizeDlg::OnOK() {
  const std::wstring email = view().GetItemText(kIdcEmail);
  const std::wstring password = view().GetItemText(kIdcPassword);
  COrvellaClient client(token, user);
  if (authorizer_.Authorize(client, email, password) == 1) {
    token = client.token;
    user = client.userName;
    view().EndDialog(kResultOk);
    return;
  }
  view().ShowMessage(client.errorText, MessageButtons::kOk, MessageIcon::kNone);
  token.clear();
  view().FocusAndSelectAll(kIdcPassword);
}

}  // namespace orvella
