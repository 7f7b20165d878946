// The sign-in dialogs against the local art service, through the real sign-in request.
#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/string_table.h"
#include "tests/ui/scripted_dialogs.h"
#include "tools/artd/art_service.h"
#include "ui/authorize_dlg.h"
#include "ui/orvella_dlg.h"

namespace orvella::test {
namespace {

class SignInService : public ::testing::Test {
 protected:
  void SetUp() override {
    artd::Account account;
    account.email = "ada@orvella.test";
    account.password = "p\xC3\xA4ss word";  // "päss word": digested in Windows-1252
    account.userName = "Ada L.";
    account.token = "tok-ada";
    service.AddAccount(account);
    service.Start();
    if (const char* old = std::getenv("ORVELLA_SERVER_URL")) oldUrl_ = old;
    ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
  }
  void TearDown() override {
    if (oldUrl_.empty()) {
      ::unsetenv("ORVELLA_SERVER_URL");
    } else {
      ::setenv("ORVELLA_SERVER_URL", oldUrl_.c_str(), 1);
    }
  }

  static ScriptedPlatform::Script TypeAndOk(std::wstring email, std::wstring password) {
    return [=](ScriptedView& v) {
      v.Type(kIdcEmail, email);
      v.Type(kIdcPassword, password);
      v.Click(kIdOk);
    };
  }

  artd::ArtService service;
  ScriptedPlatform platform;
  std::string oldUrl_;
};

TEST_F(SignInService, SettingsDialogSignsInAndShowsTheServicesName) {
  COrvellaDlg dialog(platform, ServiceAuthorizer(), 0);
  dialog.Enabled = 1;
  dialog.token = L"old-token";
  dialog.user = L"Old";
  platform.scripts.push_back([](ScriptedView& v) {
    v.answers = {kResultYes};
    v.Click(kIdcAuthorize);
    EXPECT_EQ(v.Text(kIdcStatus), L"Orvella Plugin is currently authenticated\nAda L.");
    v.Click(kIdCancel);
  });
  platform.scripts.push_back(TypeAndOk(L"ADA@orvella.test", L"p\u00e4ss word"));
  EXPECT_EQ(dialog.DoModal(), kResultCancel);
  EXPECT_EQ(dialog.token, L"tok-ada");
  EXPECT_EQ(dialog.user, L"Ada L.");
}

TEST_F(SignInService, WrongPasswordIsDeniedAndTheDialogStaysOpen) {
  CAuthorizeDlg signIn(platform, ServiceAuthorizer());
  platform.scripts.push_back([](ScriptedView& v) {
    TypeAndOk(L"ada@orvella.test", L"pass word")(v);
    EXPECT_FALSE(v.ended());
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsAuthorizationDenied));
    EXPECT_EQ(v.selected(), kIdcPassword);
    v.Type(kIdcPassword, L"p\u00e4ss word");
    v.Click(kIdOk);
  });
  EXPECT_EQ(signIn.DoModal(), kResultOk);
  EXPECT_EQ(signIn.token, L"tok-ada");
}

TEST_F(SignInService, UnreachableServiceShowsTheConnectionError) {
  service.Stop();
  CAuthorizeDlg signIn(platform, ServiceAuthorizer());
  platform.scripts.push_back([](ScriptedView& v) {
    TypeAndOk(L"ada@orvella.test", L"x")(v);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text.rfind(L"Connection to Orvella server failed with error ", 0), 0u)
        << v.messages()[0].text.c_str();
    v.Click(kIdCancel);
  });
  EXPECT_EQ(signIn.DoModal(), kResultCancel);
  EXPECT_EQ(signIn.token, L"");
}

}  // namespace
}  // namespace orvella::test
