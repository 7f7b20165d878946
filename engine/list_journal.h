// The journal beside the list file: every change to the image folder is written here
// before it is made, so that a crash between two list writes loses no record.
//
// Each entry is a few lines in the list file's encoding (UTF-8, CR LF): its kind, the
// URL, the local name, for some kinds one more field, and a closing ".". A crash can cut
// the last entry short; the reader skips whatever is not a whole entry and finds the next
// one, which it can do without doubt because a URL is never a kind or ".", and a name or
// a field never ".".
//
// A stored file's entry names the very file (its identity and size): after a crash only
// that file, whole, is recorded under the name. Another file that stands there, one put in
// place of it, or ours cut short by a power cut, is not recorded on the journal's word.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/file_map.h"
#include "system/folder_handle.h"

namespace orvella {

enum class JournalKind : wchar_t {
  kStarted = L'*',  // a download into a work file for `name` began
  kStored = L'+',   // the downloaded file is about to take `name`
  kGivenUp = L'!',  // it did not take it: whatever stands at `name` is not ours
  kRemoved = L'-',  // the file `name` is about to be deleted as unused, or was found gone
};

struct JournalEntry {
  JournalEntry() = default;
  JournalEntry(JournalKind entryKind, std::wstring entryUrl, std::wstring entryName)
      : kind(entryKind), url(std::move(entryUrl)), name(std::move(entryName)) {}

  JournalKind kind = JournalKind::kStored;
  std::wstring url;
  std::wstring name;
  /// kStarted: the work file's name when it is not WorkName(name); "" otherwise.
  std::wstring work;
  /// kStored: the file about to take the name, and its size. An entry without it (as an
  /// older journal wrote them) records nothing.
  bool hasFile = false;
  FileIdentity file;
  uint64_t size = 0;
};

/// Appends the bytes of one entry to `out`. Returns false, appending nothing, when the
/// entry cannot be journaled: its URL and name must be a listable entry
/// (IsListableEntry), the URL longer than one character, and a work name a usable name.
/// Any thread.
bool EncodeJournalEntry(const JournalEntry& entry, std::string& out);

/// Reads the whole entries of a journal's bytes one at a time, each one that
/// EncodeJournalEntry could have written, in order; what is not a whole entry is skipped.
/// Holds a few lines at a time, never all of them. Any thread.
class JournalReader {
 public:
  /// `bytes` must outlive the reader.
  explicit JournalReader(std::string_view bytes);
  /// Reads the next entry; false at the end.
  bool Next(JournalEntry& entry);
  /// True (once Next returned false) when the bytes end without a line end: a crash cut
  /// the last write short, and whoever appends next must end that line first.
  bool EndsInsideLine() const { return endsInsideLine_; }

 private:
  bool ReadLine(std::wstring& line);
  bool Fill();

  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool endsInsideLine_ = false;
  std::vector<std::wstring> window_;  // the lines read ahead, at most one entry's worth
};

/// Returns every whole entry of `bytes` (JournalReader), and whether they end inside a
/// line. For small journals and tests. Any thread.
std::vector<JournalEntry> DecodeJournal(std::string_view bytes, bool& endsInsideLine);

/// What replaying a journal found besides the records.
struct JournalReplay {
  std::size_t entries = 0;
  /// Downloads begun: the final name and the work name, in order.
  std::vector<std::pair<std::wstring, std::wstring>> begun;
  /// Files the journal shows stored by the plug-in that did not survive whole (a power cut
  /// took part of them): they are the plug-in's own, and go.
  std::vector<std::wstring> damaged;
  /// Names of the files recorded on the journal's word.
  std::vector<std::wstring> recorded;
  bool endsInsideLine = false;
  /// The stop flag ended the replay before the journal's end.
  bool stopped = false;
};

/// Applies the journal's `bytes` to `files` as the first load of the folder after a crash
/// does: a stored file is recorded when the very file the entry names stands whole at its
/// name, a given-up one is forgotten, a removed one is forgotten when nothing stands at its
/// name any more. `look` tells what stands at a name of the folder. Ends early, between
/// entries, once `stop` (null: none) is set. Any thread.
JournalReplay ReplayJournal(std::string_view bytes,
                            const std::function<EntryInfo(const std::wstring&)>& look,
                            CFileMap& files, const std::atomic<int32_t>* stop = nullptr);

}  // namespace orvella
