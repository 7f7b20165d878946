// The settings dialog's rules for the values it edits, for the dialog and for hosts that
// set the same values without it (orvella-host's set commands): how the feeds show as the
// two media types and are rebuilt from them, and which values the save step refuses.
#pragma once

#include <cstdint>
#include <string>

#include "model/orvella_model.h"

namespace orvella {

/// Bounds of the two "Max N. of files" fields.
inline constexpr int32_t kMinFilesPerFeed = 1;
inline constexpr int32_t kMaxFilesPerFeed = 999999;
/// Bounds of the update interval, hours x 60 + minutes, in minutes.
inline constexpr int32_t kMinUpdateMinutes = 0;
inline constexpr int32_t kMaxUpdateMinutes = 9999999;
/// Intervals below this many minutes are confirmed with the short-interval warning.
inline constexpr int32_t kShortUpdateMinutes = 60;
/// The load step shows at most this many leading feeds.
inline constexpr int32_t kFeedsShown = 5;

/// One media type as the dialog shows it: its check box, maximum and tags.
struct MediaChoice {
  bool selected = false;
  int32_t maxFiles = 20;
  std::wstring tags;
};

/// The dialog's two media types.
struct MediaChoices {
  MediaChoice wallpapers;  // feed type 1
  MediaChoice clocks;      // feed type 2
};

/// Returns what the dialog shows for `feeds`: of the first kFeedsShown feeds, the last
/// one of each media type; a type without a feed is unselected with maximum 20 and no
/// tags. Other types are ignored. Any thread.
MediaChoices ShownMediaChoices(const COrvellaFeedArray& feeds);

/// Replaces `feeds` with what the choices stand for, as an OK of the dialog does: a new
/// wallpaper feed when that type is selected, then a new clock feed when that one is
/// (enabled, never queried); nothing else is carried over. Any thread.
void RebuildFeeds(const MediaChoices& choices, COrvellaFeedArray& feeds);

/// Returns the message the save step shows for a maximum outside its bounds, "" for one
/// within them. Any thread.
std::wstring FilesMaxRefusal(int64_t maxFiles);

/// Returns the message the save step shows for an interval (hours x 60 + minutes, formed
/// without wrapping) outside its bounds, "" for one within them. Any thread.
std::wstring IntervalRefusal(int64_t minutes);

/// Returns the message the save step shows for an image folder it refuses (string 148
/// when it is empty, string 150 when it names nothing that exists), "" when it accepts
/// it. Host's thread (the existence test touches the file system).
std::wstring FolderRefusal(const std::wstring& folder);

}  // namespace orvella
