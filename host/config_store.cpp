#include "host/config_store.h"

#include "host/orvella_app.h"
#include "host/text_format.h"
#include "host/user_store.h"

namespace orvella {
namespace {

std::wstring FeedKey(const wchar_t* field, int32_t index) {
  return Format(L"Feed%d_%s", index, field);
}

}  // namespace

std::pair<const wchar_t*, const wchar_t*> AccountValueNames(int32_t hostFlavour) {
  if (hostFlavour == kHostFlavourKavex) return {L"TokenKVX", L"UserKVX"};
  return {L"TokenRVT", L"UserRVT"};
}

StoredConfig ReadStoredConfig(COrvellaApp& app) {
  StoredConfig stored;
  const auto [tokenName, userName] = AccountValueNames(app.hostFlavour);
  stored.token = ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, tokenName);
  stored.user = ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, userName);
  const int32_t n = app.ReadHostInt(kProfileSection, L"nFeeds", 0);
  for (int32_t i = 0; i < n; ++i) {
    StoredFeed feed;
    feed.Type = app.ReadHostInt(kProfileSection, FeedKey(L"Type", i).c_str(), 0);
    feed.Tags = app.ReadHostString(kProfileSection, FeedKey(L"Tags", i).c_str(), L"");
    feed.Flg = app.ReadHostInt(kProfileSection, FeedKey(L"Flg", i).c_str(), 0);
    feed.MaxP = app.ReadHostInt(kProfileSection, FeedKey(L"MaxP", i).c_str(), 20);
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

void WriteStoredConfig(COrvellaApp& app, const StoredConfig& stored) {
  const auto [tokenName, userName] = AccountValueNames(app.hostFlavour);
  WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, tokenName, stored.token);
  WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, userName, stored.user);
  app.WriteHostInt(kProfileSection, L"nFeeds", static_cast<int32_t>(stored.feeds.size()));
  for (std::size_t i = 0; i < stored.feeds.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    const StoredFeed& feed = stored.feeds[i];
    app.WriteHostInt(kProfileSection, FeedKey(L"Type", index).c_str(), feed.Type);
    app.WriteHostString(kProfileSection, FeedKey(L"Tags", index).c_str(), feed.Tags);
    app.WriteHostInt(kProfileSection, FeedKey(L"Flg", index).c_str(), feed.Flg);
    app.WriteHostInt(kProfileSection, FeedKey(L"MaxP", index).c_str(), feed.MaxP);
  }
}

void LoadConfig(COrvellaApp& app, COrvellaConfig& config) {
  ApplyStoredConfig(ReadStoredConfig(app), config);
}

void SaveConfig(COrvellaApp& app, const COrvellaConfig& config) {
  WriteStoredConfig(app, SnapshotConfig(config));
}

}  // namespace orvella
