// The account through the real module when the store cannot keep it: message 6 still
// answers 1, each value is named in a log line with the system's reason, and the
// account, kept in memory, is written at the next save.
#include "base/error_text.h"
#include "tests/support/module_sync_fixture.h"
#include "tests/support/store_block.h"

namespace orvella::test {
namespace {

std::wstring Stored(const wchar_t* name) {
  return ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, name);
}

TEST_F(ModuleSyncTest, AccountTheStoreRefusesIsLoggedAndWrittenAtTheNextSave) {
  WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"UserRVT", L"Ann");
  LoadedModule module;
  module.Send(3, FakeHost::callbackArg());
  module.Send(28, 0);
  module.Send(7);  // signed in as Ann, tok123
  // Meanwhile the stored values were lost, and the store cannot be written.
  WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, L"TokenRVT", L"");
  ScopedStoreBlock block(config, StoreBlock::kFileAtFolder);
  ASSERT_TRUE(block.active());
  host.ClearLogs();
  EXPECT_EQ(module.Send(6), 1);
  const std::wstring reason = L": " + SystemErrorText(block.error()) + L")";
  for (const std::wstring name : {L"TokenRVT", L"UserRVT"}) {
    const std::wstring start = L"SaveConfig: can't store " + name + L" (";
    ASSERT_EQ(host.CountLogs(start), 1) << name;
    for (const std::wstring& line : host.logs()) {
      if (line.starts_with(start)) {
        EXPECT_TRUE(line.ends_with(reason)) << line;
      }
    }
  }
  EXPECT_EQ(host.Int(L"nFeeds"), 2);  // the profile part of the save ran

  block.Lift();
  EXPECT_EQ(Stored(L"TokenRVT"), L"");
  host.ClearLogs();
  EXPECT_EQ(module.Send(6), 1);
  EXPECT_EQ(host.CountLogs(L"SaveConfig"), 0);
  EXPECT_EQ(Stored(L"TokenRVT"), L"tok123");
  EXPECT_EQ(Stored(L"UserRVT"), L"Ann");
}

}  // namespace
}  // namespace orvella::test
