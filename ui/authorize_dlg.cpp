// The sign-in dialog's model: its save step, its request and messages.
#include "ui/authorize_dlg.h"

#include "resources/string_table.h"

namespace orvella {

CAuthorizeDlg::CAuthorizeDlg(CDialogPlatform& platform, CAuthorizer& authorizer)
    : platform_(platform), authorizer_(authorizer) {}

CAuthorizeDlg::~CAuthorizeDlg() = default;  // a request still running is cancelled and joined

int CAuthorizeDlg::DoModal() {
  const int result = platform_.RunModal(*this, 0);
  request_.reset();  // a run the platform ended while signing in leaves no thread behind
  cancelled_ = false;
  return result;
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
    if (request_) {
      CancelSignIn();
    } else {
      view().EndDialog(kResultCancel);
    }
  }
}

void CAuthorizeDlg::OnOK() {
  if (request_) return;  // Enter while signing in
  const std::wstring email = view().GetItemText(kIdcEmail);
  const std::wstring password = view().GetItemText(kIdcPassword);
  cancelled_ = false;
  request_ = std::make_unique<CSignInRequest>(authorizer_, token, user, email, password);
  ShowSigningIn(true);
  OnTick();  // a request that could not get a thread of its own has already ended
}

void CAuthorizeDlg::CancelSignIn() {
  if (cancelled_) return;
  cancelled_ = true;
  request_->Cancel();
}

void CAuthorizeDlg::OnTick() {
  if (!request_ || !request_->Done()) return;
  COrvellaClient client(L"", L"");
  const int32_t result = request_->Finish(client);
  request_.reset();
  ShowSigningIn(false);
  if (cancelled_) {
    cancelled_ = false;
    return;
  }
  TakeResult(result, client);
}

void CAuthorizeDlg::ShowSigningIn(bool signingIn) {
  view().SetItemText(kIdcSignInStatus, signingIn ? LoadStringById(kIdsSigningIn) : L"");
  view().EnableItem(kIdOk, !signingIn);
  view().SetBusy(signingIn);
}

void CAuthorizeDlg::TakeResult(int32_t result, const COrvellaClient& client) {
  if (result == 1) {
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
