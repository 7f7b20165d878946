// The account store in the current user's registry, with HKEY_CURRENT_USER redirected to
// a scratch key for each test.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/write_log.h"
#include "host/orvella_app.h"
#include "system/user_store.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

struct RawValue {
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::vector<BYTE> data;
};

RawValue QueryRaw(const wchar_t* name) {
  RawValue raw;
  HKEY key = nullptr;
  raw.status = ::RegOpenKeyExW(HKEY_CURRENT_USER, kAccountKeyPath, 0, KEY_READ, &key);
  if (raw.status != ERROR_SUCCESS) return raw;
  DWORD size = 0;
  raw.status = ::RegQueryValueExW(key, name, nullptr, &raw.type, nullptr, &size);
  raw.data.resize(size);
  if (raw.status == ERROR_SUCCESS && size > 0) {
    raw.status = ::RegQueryValueExW(key, name, nullptr, &raw.type, raw.data.data(), &size);
  }
  ::RegCloseKey(key);
  return raw;
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kAccountKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

std::wstring Read(const wchar_t* name) {
  return ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, name);
}

bool Write(const wchar_t* name, const std::wstring& text) {
  return WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, name, text);
}

TEST(RegistryStore, WritesStringValuesWithTheirTerminator) {
  ScopedConfigHome home;
  ASSERT_TRUE(Write(L"TokenRVT", L"abc"));
  RawValue raw = QueryRaw(L"TokenRVT");
  ASSERT_EQ(raw.status, ERROR_SUCCESS);
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  ASSERT_EQ(raw.data.size(), 8u);  // three characters and the zero, two bytes each
  EXPECT_EQ(raw.data[6], 0);
  EXPECT_EQ(raw.data[7], 0);

  // An empty token still leaves a value behind: only the terminator.
  ASSERT_TRUE(Write(L"TokenRVT", L""));
  raw = QueryRaw(L"TokenRVT");
  ASSERT_EQ(raw.status, ERROR_SUCCESS);
  EXPECT_EQ(raw.data.size(), 2u);
  EXPECT_EQ(Read(L"TokenRVT"), L"");
}

TEST(RegistryStore, ReadBufferHolds511CharactersAndTheTerminator) {
  ScopedConfigHome home;
  ASSERT_TRUE(Write(L"TokenRVT", std::wstring(511, L't')));
  EXPECT_EQ(Read(L"TokenRVT"), std::wstring(511, L't'));
  ASSERT_TRUE(Write(L"TokenRVT", std::wstring(512, L't')));
  EXPECT_EQ(Read(L"TokenRVT"), L"");
  ASSERT_TRUE(Write(L"TokenRVT", std::wstring(600, L't')));
  EXPECT_EQ(Read(L"TokenRVT"), L"");
}

TEST(RegistryStore, ValueTypeIsNotLookedAtAndTextEndsAtTheFirstZero) {
  ScopedConfigHome home;
  // Binary data without a terminator: the whole returned length is the text.
  const wchar_t unterminated[] = {L'x', L'y', L'z'};
  SetRaw(L"UserRVT", REG_BINARY, unterminated, sizeof unterminated);
  EXPECT_EQ(Read(L"UserRVT"), L"xyz");
  // Data holding a zero part-way: only what comes before it.
  const wchar_t embedded[] = {L'a', L'b', L'\0', L'c', L'\0'};
  SetRaw(L"UserRVT", REG_EXPAND_SZ, embedded, sizeof embedded);
  EXPECT_EQ(Read(L"UserRVT"), L"ab");
  // 512 characters without a terminator fill the buffer exactly and are read whole.
  const std::wstring full(512, L'q');
  SetRaw(L"UserRVT", REG_BINARY, full.data(), 1024);
  EXPECT_EQ(Read(L"UserRVT"), full);
}

TEST(RegistryStore, MissingKeyOrValueReadsAsEmpty) {
  ScopedConfigHome home;
  EXPECT_EQ(Read(L"TokenRVT"), L"");
  ASSERT_TRUE(Write(L"UserRVT", L"someone"));
  EXPECT_EQ(Read(L"TokenRVT"), L"");
  EXPECT_EQ(ReadRegString(RegRoot::kCurrentUser, L"Software\\Halvenworks\\Nothing", L"UserRVT"),
            L"");
}

TEST(RegistryStore, NonAsciiTextRoundTrips) {
  ScopedConfigHome home;
  const std::wstring name = L"Zo\u00eb \u4e16\u754c \U0001F600";
  ASSERT_TRUE(Write(L"UserRVT", name));
  EXPECT_EQ(Read(L"UserRVT"), name);
}

class RegistryAccount : public ::testing::Test {
 protected:
  void SetUp() override { app.HandleMessage(kMsgSetCallback, FakeHost::callbackArg(), 0); }
  void TearDown() override { SetLogCallback(nullptr); }
  ScopedConfigHome home;
  FakeHost host;
  COrvellaApp app;
};

TEST_F(RegistryAccount, FlavourSelectsTheValuePair) {
  ASSERT_TRUE(Write(L"TokenRVT", L"rvt-token"));
  ASSERT_TRUE(Write(L"UserRVT", L"rvt-user"));
  ASSERT_TRUE(Write(L"TokenKVX", L"kvx-token"));
  ASSERT_TRUE(Write(L"UserKVX", L"kvx-user"));
  app.HandleMessage(kMsgHostFlavour, 1, 0);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token, L"kvx-token");
  EXPECT_EQ(app.engine.user, L"kvx-user");
  app.HandleMessage(kMsgHostFlavour, 2, 0);
  app.HandleMessage(kMsgLoadSettings, 0, 0);
  EXPECT_EQ(app.engine.token, L"rvt-token");
  EXPECT_EQ(app.engine.user, L"rvt-user");
}

TEST_F(RegistryAccount, SaveWritesTheFlavoursPairAndLeavesTheOther) {
  app.engine.token = L"tok";
  app.engine.user = L"Ann";
  app.HandleMessage(kMsgHostFlavour, 1, 0);
  app.HandleMessage(kMsgSaveSettings, 0, 0);
  EXPECT_EQ(Read(L"TokenKVX"), L"tok");
  EXPECT_EQ(Read(L"UserKVX"), L"Ann");
  EXPECT_EQ(QueryRaw(L"TokenRVT").status, ERROR_FILE_NOT_FOUND);
  // The profile part of the save ran as well.
  EXPECT_EQ(host.Int(L"nFeeds"), 0);
}

}  // namespace
}  // namespace orvella::test
