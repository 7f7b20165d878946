// The sign-in dialog's model: what it sends, what it keeps, what it shows on failure.
#include "ui/authorize_dlg.h"

#include <gtest/gtest.h>

#include "tests/ui/scripted_dialogs.h"

namespace orvella::test {
namespace {

class AuthorizeDlgTest : public ::testing::Test {
 protected:
  int Run(ScriptedPlatform::Script script) {
    platform.scripts.push_back(std::move(script));
    return dialog.DoModal();
  }
  ScriptedPlatform platform;
  ScriptedAuthorizer authorizer;
  CAuthorizeDlg dialog{platform, authorizer};
};

TEST_F(AuthorizeDlgTest, SuccessTakesTokenAndNameAndSendsFieldsAsTyped) {
  ASSERT_EQ(Run([](ScriptedView& v) {
              EXPECT_EQ(v.Text(kIdcEmail), L"");
              v.Type(kIdcEmail, L" a+b&c@example.org ");
              v.Type(kIdcPassword, L" secret ");
              v.Click(kIdOk);
            }),
            kResultOk);
  EXPECT_EQ(dialog.token, L"tok-1");
  EXPECT_EQ(dialog.user, L"Ada");
  ASSERT_EQ(authorizer.calls.size(), 1u);
  EXPECT_EQ(authorizer.calls[0].email, L" a+b&c@example.org ");
  EXPECT_EQ(authorizer.calls[0].password, L" secret ");
  EXPECT_EQ(authorizer.calls[0].clientToken, L"");
}

TEST_F(AuthorizeDlgTest, RejectionShowsErrorKeepsFieldsAndSelectsPassword) {
  authorizer.result = 0;
  authorizer.errorText = L"Authorization has been denied";
  dialog.token = L"stale";
  ASSERT_EQ(Run([&](ScriptedView& v) {
              v.Type(kIdcEmail, L"ada@example.org");
              v.Type(kIdcPassword, L"wrong");
              v.Click(kIdOk);
              EXPECT_FALSE(v.ended());
              ASSERT_EQ(v.messages().size(), 1u);
              EXPECT_EQ(v.messages()[0].text, L"Authorization has been denied");
              EXPECT_EQ(v.messages()[0].buttons, MessageButtons::kOk);
              EXPECT_EQ(v.messages()[0].icon, MessageIcon::kNone);
              EXPECT_EQ(v.selected(), kIdcPassword);
              EXPECT_EQ(v.Text(kIdcEmail), L"ada@example.org");
              EXPECT_EQ(v.Text(kIdcPassword), L"wrong");
              EXPECT_EQ(dialog.token, L"");
              // An empty error text is still shown; then OK again at once, empty fields
              // and all, and this time it works.
              authorizer.errorText.clear();
              v.Type(kIdcEmail, L"");
              v.Type(kIdcPassword, L"");
              v.Click(kIdOk);
              ASSERT_EQ(v.messages().size(), 2u);
              EXPECT_EQ(v.messages()[1].text, L"");
              authorizer.result = 1;
              v.Click(kIdOk);
            }),
            kResultOk);
  ASSERT_EQ(authorizer.calls.size(), 3u);
  EXPECT_EQ(authorizer.calls[0].clientToken, L"stale");
  EXPECT_EQ(authorizer.calls[1].email, L"");
  EXPECT_EQ(authorizer.calls[1].password, L"");
}

TEST_F(AuthorizeDlgTest, CancelSendsNothing) {
  EXPECT_EQ(Run([](ScriptedView& v) { v.Click(kIdCancel); }), kResultCancel);
  EXPECT_TRUE(authorizer.calls.empty());
  EXPECT_EQ(dialog.token, L"");
}

}  // namespace
}  // namespace orvella::test
