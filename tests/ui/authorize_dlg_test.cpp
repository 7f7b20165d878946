// The sign-in dialog's model: what it sends, what it keeps, what it shows on failure.
#include "ui/authorize_dlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "resources/string_table.h"
#include "tests/support/scripted_dialogs.h"

namespace orvella::test {
namespace {

TEST(AuthorizeDlg, RejectionShowsErrorEvenEmptyAndKeepsTheDialogOpen) {
  ScriptedPlatform platform;
  ScriptedAuthorizer authorizer;
  authorizer.result = 0;
  authorizer.errorText = L"Authorization has been denied";
  CAuthorizeDlg dialog(platform, authorizer);
  dialog.token = L"stale";
  platform.scripts.push_back([&](ScriptedView& v) {
    v.Type(kIdcEmail, L" a+b&c@example.org ");
    v.Type(kIdcPassword, L" wrong ");
    v.Click(kIdOk);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, L"Authorization has been denied");
    EXPECT_EQ(v.messages()[0].icon, MessageIcon::kNone);
    EXPECT_EQ(v.selected(), kIdcPassword);
    EXPECT_EQ(v.Text(kIdcPassword), L" wrong ");
    EXPECT_EQ(dialog.token, L"");
    authorizer.errorText.clear();
    v.Click(kIdOk);
    ASSERT_EQ(v.messages().size(), 2u);
    EXPECT_EQ(v.messages()[1].text, L"");
    EXPECT_FALSE(v.ended());
    authorizer.result = 1;
    v.Click(kIdOk);
  });
  EXPECT_EQ(dialog.DoModal(), kResultOk);
  EXPECT_EQ(dialog.token, L"tok-1");
  EXPECT_EQ(dialog.user, L"Ada");
  ASSERT_EQ(authorizer.calls.size(), 3u);
  EXPECT_EQ(authorizer.calls[0].email, L" a+b&c@example.org ");  // untrimmed
  EXPECT_EQ(authorizer.calls[0].clientToken, L"stale");
  EXPECT_EQ(authorizer.calls[2].clientToken, L"");

  platform.scripts.push_back([](ScriptedView& v) {
    EXPECT_EQ(v.Text(kIdcEmail), L"");  // never remembered
    v.Click(kIdCancel);
  });
  EXPECT_EQ(dialog.DoModal(), kResultCancel);
  EXPECT_EQ(authorizer.calls.size(), 3u);
}

// Holds every sign-in until its client's stop flag is set, then fails it as a stopped
// transfer does.
class HeldAuthorizer final : public CAuthorizer {
 public:
  int32_t Authorize(COrvellaClient& client, const std::wstring&, const std::wstring&) override {
    thread = std::this_thread::get_id();
    ++calls;
    while (!client.StopRequested()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    client.errorText = L"Connection to Orvella server failed with error -1";
    return 0;
  }
  std::thread::id thread;
  std::atomic<int> calls{0};
};

TEST(AuthorizeDlg, SignInRunsOffTheDialogsThreadAndCancelEndsItLeavingTheDialogAsItWas) {
  ScriptedPlatform platform;
  HeldAuthorizer authorizer;
  CAuthorizeDlg dialog(platform, authorizer);
  dialog.token = L"kept";
  platform.scripts.push_back([&](ScriptedView& v) {
    v.Type(kIdcEmail, L"ada@example.org");
    v.Type(kIdcPassword, L"secret");
    v.Press(kIdOk);
    EXPECT_TRUE(dialog.signingIn());
    EXPECT_TRUE(v.busy());
    EXPECT_FALSE(v.Enabled(kIdOk));
    EXPECT_EQ(v.Text(kIdcSignInStatus), LoadStringById(kIdsSigningIn));
    v.Key(kIdOk);      // Enter while signing in starts nothing
    v.Key(kIdCancel);  // Escape or Cancel: the request ends, the dialog stays
    v.WaitWhileBusy();
    EXPECT_FALSE(dialog.signingIn());
    EXPECT_TRUE(v.Enabled(kIdOk));
    EXPECT_EQ(v.Text(kIdcSignInStatus), L"");
    EXPECT_TRUE(v.messages().empty());
    EXPECT_EQ(v.selected(), 0);
    EXPECT_EQ(v.Text(kIdcPassword), L"secret");
    EXPECT_FALSE(v.ended());
    v.Click(kIdCancel);  // now it closes
  });
  EXPECT_EQ(dialog.DoModal(), kResultCancel);
  EXPECT_EQ(dialog.token, L"kept");
  EXPECT_EQ(authorizer.calls.load(), 1);
  EXPECT_NE(authorizer.thread, std::this_thread::get_id());
}

}  // namespace
}  // namespace orvella::test
