// The journal's entries as bytes and back, and their replay onto the records.
#include "engine/list_journal.h"

#include <cwchar>

#include "base/text_utf8.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

constexpr wchar_t kEntryEnd[] = L".";
// Longest entry: kind, URL, name, one field and its end.
constexpr std::size_t kMostLines = 5;
// Lines read between two looks at the stop flag.
constexpr std::size_t kStopCheckLines = std::size_t{1} << 16;

bool IsKind(std::wstring_view line) {
  return line.size() == 1 && (line[0] == static_cast<wchar_t>(JournalKind::kStarted) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kStored) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kGivenUp) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kRemoved));
}

bool IsJournalable(std::wstring_view url, std::wstring_view name) {
  return url.size() > 1 && IsListableEntry(url, name);
}

constexpr std::size_t kDigestDigits = 32;

bool IsDigest(std::string_view text) {
  return text.size() == kDigestDigits &&
         text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// "size digest": the size in decimal and the digest.
std::wstring FileField(const JournalEntry& entry) {
  return std::to_wstring(entry.size) + L" " +
         std::wstring(entry.digest.begin(), entry.digest.end());
}

bool ReadNumber(std::wstring_view& text, uint64_t& value) {
  std::size_t digits = 0;
  value = 0;
  while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && digits < 20) {
    value = value * 10 + static_cast<uint64_t>(text[digits] - L'0');
    ++digits;
  }
  if (digits == 0) return false;
  text.remove_prefix(digits);
  return true;
}

bool ParseFileField(std::wstring_view text, JournalEntry& entry) {
  if (!ReadNumber(text, entry.size) || text.empty() || text[0] != L' ') return false;
  text.remove_prefix(1);
  std::string digest;
  for (const wchar_t c : text) {
    if (c > 0x7F) return false;
    digest += static_cast<char>(c);
  }
  if (!IsDigest(digest)) return false;
  entry.digest = std::move(digest);
  return true;
}

// Takes an entry of `lines` (kind, URL, name, [field], ".") when it is one EncodeJournalEntry
// could have written; returns the number of lines it took, or 0.
std::size_t TakeEntry(const std::vector<std::wstring>& lines, JournalEntry& entry) {
  if (lines.size() < 4 || !IsKind(lines[0]) || !IsJournalable(lines[1], lines[2])) return 0;
  const auto kind = static_cast<JournalKind>(lines[0][0]);
  entry = JournalEntry{kind, lines[1], lines[2]};
  if (lines[3] == kEntryEnd) {
    // A begun or stored entry without its field comes from an older journal (or a hand):
    // kept, but it records and clears away nothing.
    if (kind == JournalKind::kStarted) entry.work = WorkName(entry.name);
    return 4;
  }
  if (lines.size() < 5 || lines[4] != kEntryEnd) return 0;
  switch (kind) {
    case JournalKind::kStarted:
      if (!IsUsableLocalName(lines[3])) return 0;
      entry.work = lines[3];
      entry.bound = true;
      return 5;
    case JournalKind::kStored:
      if (!ParseFileField(lines[3], entry)) return 0;
      entry.bound = true;
      return 5;
    case JournalKind::kGivenUp:
    case JournalKind::kRemoved:
      break;
  }
  return 0;
}

}  // namespace

bool EncodeJournalEntry(const JournalEntry& entry, std::string& out) {
  if (!IsJournalable(entry.url, entry.name)) return false;
  const bool started = entry.kind == JournalKind::kStarted;
  const std::wstring work = started && entry.work.empty() ? WorkName(entry.name) : entry.work;
  if (started && !IsUsableLocalName(work)) return false;
  const bool stored = entry.kind == JournalKind::kStored && !entry.digest.empty();
  if (stored && !IsDigest(entry.digest)) return false;
  AppendListLine(out, std::wstring(1, static_cast<wchar_t>(entry.kind)));
  AppendListLine(out, entry.url);
  AppendListLine(out, entry.name);
  if (started) AppendListLine(out, work);
  if (stored) AppendListLine(out, FileField(entry));
  AppendListLine(out, kEntryEnd);
  return true;
}

JournalReader::JournalReader(std::string_view bytes, const std::atomic<int32_t>* stop)
    : bytes_(bytes), stop_(stop) {}

bool JournalReader::ReadLine(std::wstring& line) {
  if (pos_ >= bytes_.size() || stopped_) return false;
  // A journal of nothing but line ends holds no entry to look at the flag between.
  if (++lines_ % kStopCheckLines == 0 && stop_ != nullptr && stop_->load() != 0) {
    stopped_ = true;
    return false;
  }
  const std::size_t lf = bytes_.find('\n', pos_);
  if (lf == std::string_view::npos) {
    endsInsideLine_ = true;  // a whole entry never ends without its line end
    pos_ = bytes_.size();
    return false;
  }
  std::size_t end = lf;
  if (end > pos_ && bytes_[end - 1] == '\r') --end;
  line = Utf8ToWide(bytes_.substr(pos_, end - pos_));
  pos_ = lf + 1;
  return true;
}

bool JournalReader::Fill() {
  while (window_.size() < kMostLines) {
    std::wstring line;
    if (!ReadLine(line)) break;
    window_.push_back(std::move(line));
  }
  return !window_.empty();
}

bool JournalReader::Next(JournalEntry& entry) {
  while (Fill()) {
    const std::size_t taken = TakeEntry(window_, entry);
    // Part of an entry cut short: the next whole one starts further on.
    const std::size_t drop = taken == 0 ? 1 : taken;
    window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(drop));
    if (taken != 0) return true;
  }
  return false;
}

std::vector<JournalEntry> DecodeJournal(std::string_view bytes, bool& endsInsideLine) {
  JournalReader reader(bytes);
  std::vector<JournalEntry> entries;
  JournalEntry entry;
  while (reader.Next(entry)) entries.push_back(entry);
  endsInsideLine = reader.EndsInsideLine();
  return entries;
}

JournalReplay ReplayJournal(std::string_view bytes, const JournalFolderView& folder,
                            CFileMap& files, const std::atomic<int32_t>* stop) {
  JournalReplay replay;
  JournalReader reader(bytes, stop);
  JournalEntry entry;
  while (reader.Next(entry)) {
    ++replay.entries;
    switch (entry.kind) {
      case JournalKind::kStarted:
        if (entry.bound) replay.begun.emplace_back(entry.name, entry.work);
        break;
      case JournalKind::kStored: {
        if (!entry.bound) break;
        // Only the very bytes the entry names, and only whole: another file at the name is
        // not ours on the journal's word, and ours cut short by a power cut is fetched again.
        const EntryInfo present = folder.look(entry.name);
        if (present.kind != EntryKind::kRegular || present.size != entry.size ||
            folder.digest(entry.name, entry.size) != entry.digest) {
          break;
        }
        files.Set(CFileData{entry.name, entry.url, {}, 0});
        replay.recorded.push_back(entry.name);
        break;
      }
      case JournalKind::kGivenUp: {
        const CFileData* record = files.Find(entry.url);
        if (record != nullptr && SameFileName(record->localName, entry.name))
          files.Remove(entry.url);
        break;
      }
      case JournalKind::kRemoved: {
        // Forgotten only when the file is really gone: a deletion the crash cut short
        // leaves a file that is still ours.
        const CFileData* record = files.Find(entry.url);
        if (record != nullptr && SameFileName(record->localName, entry.name) &&
            folder.look(entry.name).kind == EntryKind::kNone) {
          files.Remove(entry.url);
        }
        break;
      }
    }
  }
  replay.endsInsideLine = reader.EndsInsideLine();
  replay.stopped = reader.Stopped();
  return replay;
}

}  // namespace orvella
