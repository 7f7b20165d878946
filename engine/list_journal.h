// The journal beside the list file: every change to the image folder is written here
// before it is made, so that a crash between two list writes loses no record.
//
// Each entry is four lines in the list file's encoding (UTF-8, CR LF): its kind, the
// URL, the local name and a closing ".". A crash can cut the last entry short; the
// reader skips whatever is not a whole entry and finds the next one, which it can do
// without doubt because a URL is never a kind or ".", and a name never ".".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_map.h"

namespace orvella {

enum class JournalKind : wchar_t {
  kStarted = L'*',  // a download into the work file of `name` began
  kStored = L'+',   // the downloaded file is about to take `name`
  kGivenUp = L'!',  // it did not take it: whatever stands at `name` is not ours
  kRemoved = L'-',  // the file `name` is about to be deleted as unused, or was found gone
};

struct JournalEntry {
  JournalKind kind = JournalKind::kStored;
  std::wstring url;
  std::wstring name;
};

/// Appends the bytes of one entry to `out`. Returns false, appending nothing, when the
/// entry cannot be journaled: its URL and name must be a listable entry
/// (IsListableEntry) and the URL longer than one character. Any thread.
bool EncodeJournalEntry(const JournalEntry& entry, std::string& out);

/// Returns the whole entries held by `bytes`, in order, each one that EncodeJournalEntry
/// could have written. `endsInsideLine` is set
/// when the bytes end without a line end (a crash cut the last write short): whoever
/// appends next must end that line first. Any thread.
std::vector<JournalEntry> DecodeJournal(std::string_view bytes, bool& endsInsideLine);

/// Applies `entries` to `files` as the first read of the folder after a crash does: a
/// stored file is recorded when something stands at its name, a given-up one is
/// forgotten, a removed one is forgotten when nothing stands at its name any more.
/// `exists` tells whether anything stands at a name in the folder. Returns the names of
/// downloads that were begun, in order. Any thread.
std::vector<std::wstring> ApplyJournal(const std::vector<JournalEntry>& entries,
                                       const std::function<bool(const std::wstring&)>& exists,
                                       CFileMap& files);

}  // namespace orvella
