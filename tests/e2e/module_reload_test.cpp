// Message 7 through the real module while its worker waits for a feed answer: the answer
// is kept when the feed at that position asks the same after the reload, and dropped when
// the reload changed or removed it.
#include <stdlib.h>

#include "base/text_utf8.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_host.h"
#include "tests/support/module_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

enum class Reload { kSame, kOtherTags, kOtherMaximum, kDisabled, kFewerFeeds };

class ModuleReloadTest : public ::testing::TestWithParam<Reload> {
 protected:
  ModuleReloadTest() {
    ::setenv("ORVELLA_SERVER_URL", art.Url().c_str(), 1);
    ::unsetenv("DISPLAY");
    art.SetImage("a.jpg", PatternBytes(5000, 'a'));
    art.SetArtAnswer(1, [this] {
      Reply reply(200, art.Catalog(1, {"a.jpg"}));
      reply.holdUntilReleased = true;
      return reply;
    });
    host.SetOneFeedProfile(Utf8ToWide(folder.path().string()));
    host.SetString(L"Feed0_Tags", L"sea");
    host.SetInt(L"Feed0_MaxP", 20);
  }

  // Changes the profile as the case says; kSame writes the same values again.
  void EditProfile() {
    switch (GetParam()) {
      case Reload::kSame:
        host.SetString(L"Feed0_Tags", L"sea");
        break;
      case Reload::kOtherTags:
        host.SetString(L"Feed0_Tags", L"sky");
        break;
      case Reload::kOtherMaximum:
        host.SetInt(L"Feed0_MaxP", 5);
        break;
      case Reload::kDisabled:
        host.SetInt(L"Feed0_Flg", 0);
        break;
      case Reload::kFewerFeeds:
        host.SetInt(L"nFeeds", 0);
        break;
    }
  }

  ScopedConfigHome config;
  FakeHost host;
  TempDir folder;
  ArtService art;
  LoadedModule module;
};

TEST_P(ModuleReloadTest, AnswerIsKeptOnlyWhenTheFeedAsksTheSame) {
  module.Send(3, FakeHost::callbackArg());
  module.Send(7);
  module.Send(9);
  WaitUntil([&] { return art.server.HeldCount() == 1; });  // the query waits for its answer
  EditProfile();
  EXPECT_EQ(module.Send(7), 1);
  art.server.ReleaseStalls();
  WaitUntil([&] { return host.CountLogs(L"Download complete") >= 1; });

  const bool kept = GetParam() == Reload::kSame;
  EXPECT_EQ(host.Logged(L"     1 Items found"), kept);
  EXPECT_EQ(folder.Read("a.jpg"), kept ? PatternBytes(5000, 'a') : "");
  EXPECT_EQ(art.ArtRequests(1), 1);  // kept: nothing asked again; dropped: not yet
  EXPECT_EQ(module.Send(10, 0, 1), 0);
}

std::string ReloadName(const ::testing::TestParamInfo<Reload>& info) {
  switch (info.param) {
    case Reload::kSame:
      return "Same";
    case Reload::kOtherTags:
      return "OtherTags";
    case Reload::kOtherMaximum:
      return "OtherMaximum";
    case Reload::kDisabled:
      return "Disabled";
    case Reload::kFewerFeeds:
      return "FewerFeeds";
  }
  return "?";
}

INSTANTIATE_TEST_SUITE_P(EachReload, ModuleReloadTest,
                         ::testing::Values(Reload::kSame, Reload::kOtherTags, Reload::kOtherMaximum,
                                           Reload::kDisabled, Reload::kFewerFeeds),
                         ReloadName);

}  // namespace
}  // namespace orvella::test
