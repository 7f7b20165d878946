// The settings dialog's rules, apart from the dialog.
#include "ui/settings_rules.h"

#include <algorithm>

#include "base/path_text.h"
#include "resources/string_table.h"
#include "ui/integer_field.h"

namespace orvella {

MediaChoices ShownMediaChoices(const COrvellaFeedArray& feeds) {
  MediaChoices choices;
  // Later feeds of a type win over earlier ones.
  const int32_t shown = std::min(feeds.GetSize(), kFeedsShown);
  for (int32_t i = 0; i < shown; ++i) {
    const COrvellaFeed& feed = feeds[i];
    MediaChoice* choice = feed.Type == kFeedTypeWallpapers ? &choices.wallpapers
                          : feed.Type == kFeedTypeClocks   ? &choices.clocks
                                                           : nullptr;
    if (choice != nullptr) *choice = MediaChoice{true, feed.MaxP, feed.Tags};
  }
  return choices;
}

void RebuildFeeds(const MediaChoices& choices, COrvellaFeedArray& feeds) {
  // Other types, feeds past the first five and the old feeds' flags, items and query
  // times are not carried over.
  feeds.RemoveAll();
  const auto add = [&feeds](int32_t type, const MediaChoice& choice) {
    if (choice.selected) feeds.Add(COrvellaFeed(type, choice.maxFiles, choice.tags));
  };
  add(kFeedTypeWallpapers, choices.wallpapers);
  add(kFeedTypeClocks, choices.clocks);
}

std::wstring FilesMaxRefusal(int64_t maxFiles) {
  if (maxFiles >= kMinFilesPerFeed && maxFiles <= kMaxFilesPerFeed) return {};
  return FormatRangePrompt(kMinFilesPerFeed, kMaxFilesPerFeed);
}

std::wstring IntervalRefusal(int64_t minutes) {
  if (minutes >= kMinUpdateMinutes && minutes <= kMaxUpdateMinutes) return {};
  return FormatRangePrompt(kMinUpdateMinutes, kMaxUpdateMinutes);
}

std::wstring FolderRefusal(const std::wstring& folder) {
  // An existence test only: an existing file passes. The dialog never creates the folder.
  if (folder.empty()) return LoadStringById(kIdsFolderEmpty);
  if (!PathExists(folder)) return LoadStringById(kIdsFolderMissing);
  return {};
}

}  // namespace orvella
