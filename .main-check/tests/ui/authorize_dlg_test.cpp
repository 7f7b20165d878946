// The sign-in dialog's model: what it sends, what it keeps, what it shows on failure.
#include "ui/authorize_dlg.h"

#include <gtest/gtest.h>

#include "tests/ui/scripted_dialogs.h"

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

}  // namespace
}  // namespace orvella::test
