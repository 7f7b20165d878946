// The in-memory model shared by the plug-in: feeds, items, local files, configuration.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace orvella {

/// One art item returned by a feed query and queued for download.
struct COrvellaItem {
  COrvellaItem() = default;
  COrvellaItem(std::wstring itemName, std::wstring itemFilename, std::wstring itemUrl)
      : name(std::move(itemName)), filename(std::move(itemFilename)), url(std::move(itemUrl)) {}
  /// Copies count themselves (see Copies); moves do not.
  COrvellaItem(const COrvellaItem& other);
  COrvellaItem(COrvellaItem&& other) noexcept = default;
  COrvellaItem& operator=(const COrvellaItem& other);
  COrvellaItem& operator=(COrvellaItem&& other) noexcept = default;

  /// Returns how many items were copied in this process so far. A feed may list a
  /// million items and the worker looks at the feeds before every download, so which
  /// operations copy items is part of their cost contract. Any thread.
  static uint64_t Copies();

  std::wstring name;      // the service's "name"
  std::wstring filename;  // the service's "filename"
  std::wstring url;       // "wall_url" or "clock_url"; never empty once queued by a query
};

/// FIFO of items; a feed's last query result and the engine's download queue.
using COrvellaItemList = std::list<COrvellaItem>;

/// Flag bits of COrvellaFeed::Flg.
inline constexpr uint32_t kFeedEnabled = 0x1;
inline constexpr uint32_t kFeedQueried = 0x10000;

/// Feed types; any value other than kFeedTypeClocks asks for wallpapers.
inline constexpr int32_t kFeedTypeWallpapers = 1;
inline constexpr int32_t kFeedTypeClocks = 2;

/// Most feeds a stored configuration holds: a damaged profile's "nFeeds" is read no
/// further than this, by the plug-in and by its reference host alike.
inline constexpr int32_t kMaxFeeds = 1000;

/// One configured feed.
class COrvellaFeed {
 public:
  /// A default feed, as made whenever the feed array grows: type 1, maximum 500, enabled.
  COrvellaFeed() = default;
  /// A feed as the configuration dialog builds it: enabled, never queried.
  COrvellaFeed(int32_t type, int32_t maxP, std::wstring tags);
  /// A full copy (the array relocates feeds with it; their counts must survive).
  COrvellaFeed(const COrvellaFeed& other) = default;
  COrvellaFeed(COrvellaFeed&& other) noexcept = default;
  /// Assignment copies every field but `retries`, which the target keeps.
  COrvellaFeed& operator=(const COrvellaFeed& other);
  COrvellaFeed& operator=(COrvellaFeed&& other) noexcept;

  int32_t Type = kFeedTypeWallpapers;
  std::wstring Tags;
  int32_t MaxP = 500;
  uint32_t Flg = kFeedEnabled;
  COrvellaItemList items;
  uint32_t lastTm = 0;  // tick count of the last successful query; 0: never queried
  int32_t retries = 0;  // failed queries since the last success
};

/// Growable array of feeds with the copy rules the dialog's copy and copy-back rely on.
class COrvellaFeedArray {
 public:
  /// Number of feeds.
  int32_t GetSize() const { return static_cast<int32_t>(feeds_.size()); }
  bool IsEmpty() const { return feeds_.empty(); }
  /// Shrinking destroys the feeds at n and above; growing appends default feeds.
  /// A negative n is treated as 0.
  void SetSize(int32_t n);
  /// Grows with default feeds to reach `index`, then assigns the feed there.
  void SetAtGrow(int32_t index, const COrvellaFeed& feed);
  /// Appends a copy of `feed`.
  void Add(const COrvellaFeed& feed) { SetAtGrow(GetSize(), feed); }
  void RemoveAll() { feeds_.clear(); }
  /// Sets this array to the size of `source` and assigns every feed from its peer;
  /// surviving feeds keep their `retries`. Copying an array onto itself does nothing.
  void Copy(const COrvellaFeedArray& source);

  COrvellaFeed& operator[](int32_t i) { return feeds_[static_cast<std::size_t>(i)]; }
  const COrvellaFeed& operator[](int32_t i) const { return feeds_[static_cast<std::size_t>(i)]; }
  auto begin() { return feeds_.begin(); }
  auto end() { return feeds_.end(); }
  auto begin() const { return feeds_.begin(); }
  auto end() const { return feeds_.end(); }

 private:
  std::vector<COrvellaFeed> feeds_;
};

/// One file that the plug-in downloaded into the image folder.
struct CFileData {
  std::wstring localName;  // bare name inside the image folder
  std::wstring url;        // download URL; equals the map key
  std::wstring reserved;   // carried with the record, never filled or stored
  int32_t inUse = 0;       // 1 once met in the queue since the list file was loaded
};

/// The settings group the dialog copies and the configuration store loads and saves.
struct COrvellaConfig {
  /// Takes the feeds (COrvellaFeedArray::Copy: surviving feeds keep their retries), the
  /// token and the user name of `source`. Any thread, with the owner's lock as needed.
  void AssignConfig(const COrvellaConfig& source);

  COrvellaFeedArray feeds;
  std::wstring token;  // user token; empty: not signed in
  std::wstring user;   // user name returned with the token
};

}  // namespace orvella
