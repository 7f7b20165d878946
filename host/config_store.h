// Loading and saving the account (user store) and the feeds (host profile).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/orvella_model.h"

namespace orvella {

class CHostProfile;

/// The stored part of one feed.
struct StoredFeed {
  int32_t Type = 0;
  std::wstring Tags;
  int32_t Flg = 0;
  int32_t MaxP = 20;
};

/// What the two stores hold.
struct StoredConfig {
  std::wstring token;
  std::wstring user;
  std::vector<StoredFeed> feeds;
};

/// Returns the account value names for a host flavour: {token name, user name}.
std::pair<const wchar_t*, const wchar_t*> AccountValueNames(int32_t hostFlavour);

/// Reads the account and the feeds, in the stores' order. A negative "nFeeds" reads as
/// no feeds, one above kMaxFeeds as kMaxFeeds (one log line). Uses the host callback; never
/// called with the engine lock held. Host's thread.
StoredConfig LoadConfig(CHostProfile& profile, int32_t hostFlavour);

/// Puts what was read into `config`: the array is resized to the stored count (feeds
/// below it keep their items and timing), then the four stored fields are set.
void ApplyStoredConfig(const StoredConfig& stored, COrvellaConfig& config);

/// Returns the part of `config` that is stored.
StoredConfig SnapshotConfig(const COrvellaConfig& config);

/// Writes the feeds to the host profile: "nFeeds", then the four keys of each position.
/// Host's thread, engine lock not held.
void WriteStoredFeeds(CHostProfile& profile, const std::vector<StoredFeed>& feeds);

/// Writes the account to the user store and the feeds to the host profile. A value the
/// user store cannot write is logged with its name and the system's reason, and the save
/// goes on. Host's thread, engine lock not held.
void SaveConfig(CHostProfile& profile, int32_t hostFlavour, const StoredConfig& stored);

}  // namespace orvella
