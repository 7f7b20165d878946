// The account in the user store and the feeds in the host profile, read and written.
#include "host/config_store.h"

#include <algorithm>

#include "base/text_format.h"
#include "base/write_log.h"
#include "host/host_profile.h"
#include "system/user_store.h"

namespace orvella {
namespace {

std::wstring FeedKey(const wchar_t* field, int32_t index) {
  return Format(L"Feed%d_%s", index, field);
}

// Writes one account value. A failure is logged and otherwise left alone: the account
// stays in memory, and the next save writes it again.
void WriteAccountValue(const wchar_t* name, const std::wstring& text) {
  std::wstring reason;
  if (!WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, name, text, &reason))
    WriteLog(L"SaveConfig: can't store %s (%s)", name, reason);
}

// The number of feeds a load reads: what "nFeeds" says, none when that is negative, and
// no more than kMaxFeeds (with one log line): a damaged profile's count must not make the
// load ask the host for keys without end.
int32_t StoredFeedCount(CHostProfile& profile) {
  const int32_t n = profile.ReadHostInt(kProfileSection, L"nFeeds", 0);
  if (n <= kMaxFeeds) return std::max(n, 0);
  WriteLog(L"LoadConfig: nFeeds=%d, only the first %d feeds are loaded", n, kMaxFeeds);
  return kMaxFeeds;
}

}  // namespace

std::pair<const wchar_t*, const wchar_t*> AccountValueNames(int32_t hostFlavour) {
  if (hostFlavour == kHostFlavourKavex) return {L"TokenKVX", L"UserKVX"};
  return {L"TokenRVT", L"UserRVT"};
}

StoredConfig LoadConfig(CHostProfile& profile, int32_t hostFlavour) {
  StoredConfig stored;
  const auto [tokenName, userName] = AccountValueNames(hostFlavour);
  stored.token = ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, tokenName);
  stored.user = ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, userName);
  const int32_t n = StoredFeedCount(profile);
  stored.feeds.reserve(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    StoredFeed feed;
    feed.Type = profile.ReadHostInt(kProfileSection, FeedKey(L"Type", i).c_str(), 0);
    feed.Tags = profile.ReadHostString(kProfileSection, FeedKey(L"Tags", i).c_str(), L"");
    feed.Flg = profile.ReadHostInt(kProfileSection, FeedKey(L"Flg", i).c_str(), 0);
    feed.MaxP = profile.ReadHostInt(kProfileSection, FeedKey(L"MaxP", i).c_str(), 20);
    stored.feeds.push_back(std::move(feed));
  }
  return stored;
}

void ApplyStoredConfig(const StoredConfig& stored, COrvellaConfig& config) {
  config.token = stored.token;
  config.user = stored.user;
  const auto n = static_cast<int32_t>(stored.feeds.size());
  config.feeds.SetSize(n);
  for (int32_t i = 0; i < n; ++i) {
    const StoredFeed& from = stored.feeds[static_cast<std::size_t>(i)];
    COrvellaFeed& feed = config.feeds[i];
    feed.Type = from.Type;
    feed.Tags = from.Tags;
    feed.Flg = static_cast<uint32_t>(from.Flg);
    feed.MaxP = from.MaxP;
  }
}

StoredConfig SnapshotConfig(const COrvellaConfig& config) {
  StoredConfig stored{config.token, config.user, {}};
  for (const COrvellaFeed& feed : config.feeds) {
    stored.feeds.push_back({feed.Type, feed.Tags, static_cast<int32_t>(feed.Flg), feed.MaxP});
  }
  return stored;
}

void SaveConfig(CHostProfile& profile, int32_t hostFlavour, const StoredConfig& stored) {
  const auto [tokenName, userName] = AccountValueNames(hostFlavour);
  WriteAccountValue(tokenName, stored.token);
  WriteAccountValue(userName, stored.user);
  WriteStoredFeeds(profile, stored.feeds);
}

void WriteStoredFeeds(CHostProfile& profile, const std::vector<StoredFeed>& feeds) {
  profile.WriteHostInt(kProfileSection, L"nFeeds", static_cast<int32_t>(feeds.size()));
  for (std::size_t i = 0; i < feeds.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    const StoredFeed& feed = feeds[i];
    profile.WriteHostInt(kProfileSection, FeedKey(L"Type", index).c_str(), feed.Type);
    profile.WriteHostString(kProfileSection, FeedKey(L"Tags", index).c_str(), feed.Tags);
    profile.WriteHostInt(kProfileSection, FeedKey(L"Flg", index).c_str(), feed.Flg);
    profile.WriteHostInt(kProfileSection, FeedKey(L"MaxP", index).c_str(), feed.MaxP);
  }
}

}  // namespace orvella
