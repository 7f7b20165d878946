// The sign-in dialog against the local art service, through the real sign-in request.
#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/string_table.h"
#include "tests/support/scripted_dialogs.h"
#include "tools/orvella-artd/art_service.h"
#include "ui/authorize_dlg.h"

namespace orvella::test {
namespace {

TEST(SignInService, DeniedUntilThePasswordDigestMatches) {
  artd::ArtService service;
  service.AddAccount({"ada@orvella.test", "p\xC3\xA4ss word", "Ada L.", "tok-ada"});
  service.Start();
  ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
  ScriptedPlatform platform;
  CAuthorizeDlg signIn(platform, ServiceAuthorizer());
  platform.scripts.push_back([](ScriptedView& v) {
    v.Type(kIdcEmail, L"ADA@orvella.test");
    v.Type(kIdcPassword, L"pass word");
    v.Click(kIdOk);
    ASSERT_EQ(v.messages().size(), 1u);
    EXPECT_EQ(v.messages()[0].text, LoadStringById(kIdsAuthorizationDenied));
    v.Type(kIdcPassword, L"p\u00e4ss word");  // digested as Windows-1252, like the service
    v.Click(kIdOk);
  });
  EXPECT_EQ(signIn.DoModal(), kResultOk);
  EXPECT_EQ(signIn.token, L"tok-ada");
  EXPECT_EQ(signIn.user, L"Ada L.");
  ::unsetenv("ORVELLA_SERVER_URL");
}

}  // namespace
}  // namespace orvella::test
