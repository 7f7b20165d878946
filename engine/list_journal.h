// The journal beside the list file: every change to the image folder is written here
// before it is made, so that a crash between two list writes loses no record.
//
// Each entry is a few lines in the list file's encoding (UTF-8, CR LF): its kind, the
// URL, the local name, for some kinds one more field, and a closing ".". A crash can cut
// the last entry short; the reader skips whatever is not a whole entry and finds the next
// one, which it can do without doubt because a URL is never a kind or ".", and a name or
// a field never ".".
//
// The entries bind themselves to what the plug-in did: a begun download's entry names its
// work file, a stored file's entry the size and content digest of the very bytes stored. After
// a crash only that file, whole, is recorded under the name, and only the work file named
// is cleared away; another file that stands there, ours cut short by a power cut, or
// anything an entry without these (as an older journal wrote them, or a hand) names, is
// neither recorded nor removed on the journal's word.
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
  /// kStarted: the work file's name (written always; WorkName(name) when it is left out).
  std::wstring work;
  /// kStored: the size and content digest (32 upper-case hexadecimal digits) of the bytes
  /// about to take the name.
  uint64_t size = 0;
  std::string digest;
  /// The entry carries its field (the work name, or the size and digest): only such an
  /// entry records or clears away anything.
  bool bound = false;
};

/// Appends the bytes of one entry to `out`: a begun download with its work name (WorkName
/// of the name when `work` is empty), a stored file with its size and digest when it has
/// one. Returns false, appending nothing, when the entry cannot be journaled: its URL and
/// name must be a listable entry (IsListableEntry), the URL longer than one character, a
/// work name a usable name and a digest 32 hexadecimal digits. Any thread.
bool EncodeJournalEntry(const JournalEntry& entry, std::string& out);

/// Reads the whole entries of a journal's bytes one at a time, each one that
/// EncodeJournalEntry could have written, in order; what is not a whole entry is skipped.
/// Holds a few lines at a time, never all of them. Any thread.
class JournalReader {
 public:
  /// `bytes` must outlive the reader. The reader ends early once `stop` (null: none) is
  /// set; it looks at the flag once in every 65,536 lines.
  explicit JournalReader(std::string_view bytes, const std::atomic<int32_t>* stop = nullptr);
  /// Reads the next entry; false at the end, or once stopped.
  bool Next(JournalEntry& entry);
  /// True once the stop flag ended the reading.
  bool Stopped() const { return stopped_; }
  /// True (once Next returned false) when the bytes end without a line end: a crash cut
  /// the last write short, and whoever appends next must end that line first.
  bool EndsInsideLine() const { return endsInsideLine_; }

 private:
  bool ReadLine(std::wstring& line);
  bool Fill();

  std::string_view bytes_;
  const std::atomic<int32_t>* stop_;
  std::size_t pos_ = 0;
  std::size_t lines_ = 0;
  bool endsInsideLine_ = false;
  bool stopped_ = false;
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
  /// Names of the files recorded on the journal's word.
  std::vector<std::wstring> recorded;
  bool endsInsideLine = false;
  /// The stop flag ended the replay before the journal's end.
  bool stopped = false;
};

/// How a replay sees the folder.
struct JournalFolderView {
  /// What stands at a name.
  std::function<EntryInfo(const std::wstring&)> look;
  /// The digest of the plain file at a name when it holds exactly `size` bytes; "" when
  /// it does not, or cannot be read.
  std::function<std::string(const std::wstring&, uint64_t size)> digest;
};

/// Applies the journal's `bytes` to `files` as the first load of the folder after a crash
/// does: a stored file is recorded when the bytes its entry names stand whole at its name,
/// a given-up one is forgotten, a removed one is forgotten when nothing stands at its name
/// any more; begun downloads are reported for their work files to be cleared away. Ends
/// early, between entries, once `stop` (null: none) is set. Any thread.
JournalReplay ReplayJournal(std::string_view bytes, const JournalFolderView& folder,
                            CFileMap& files, const std::atomic<int32_t>* stop = nullptr);

}  // namespace orvella
