// The journal's entries as bytes and back.
#include "engine/list_journal.h"

#include "base/text_utf8.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

constexpr wchar_t kEntryEnd[] = L".";

bool IsKind(std::wstring_view line) {
  return line.size() == 1 && (line[0] == static_cast<wchar_t>(JournalKind::kStarted) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kStored) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kGivenUp) ||
                              line[0] == static_cast<wchar_t>(JournalKind::kRemoved));
}

bool IsJournalable(std::wstring_view url, std::wstring_view name) {
  return url.size() > 1 && IsListableEntry(url, name);
}

// The lines that end with LF, without their line ends.
std::vector<std::wstring> WholeLines(std::string_view bytes, bool& endsInsideLine) {
  std::vector<std::wstring> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t lf = bytes.find('\n', at);
    if (lf == std::string_view::npos) break;
    std::size_t end = lf;
    if (end > at && bytes[end - 1] == '\r') --end;
    lines.push_back(Utf8ToWide(bytes.substr(at, end - at)));
    at = lf + 1;
  }
  endsInsideLine = at < bytes.size();
  return lines;
}

}  // namespace

bool EncodeJournalEntry(const JournalEntry& entry, std::string& out) {
  if (!IsJournalable(entry.url, entry.name)) return false;
  AppendListLine(out, std::wstring(1, static_cast<wchar_t>(entry.kind)));
  AppendListLine(out, entry.url);
  AppendListLine(out, entry.name);
  AppendListLine(out, kEntryEnd);
  return true;
}

std::vector<JournalEntry> DecodeJournal(std::string_view bytes, bool& endsInsideLine) {
  const std::vector<std::wstring> lines = WholeLines(bytes, endsInsideLine);
  std::vector<JournalEntry> entries;
  std::size_t i = 0;
  while (i + 3 < lines.size()) {
    if (!IsKind(lines[i]) || lines[i + 3] != kEntryEnd ||
        !IsJournalable(lines[i + 1], lines[i + 2])) {
      ++i;  // part of an entry cut short: the next whole one starts further on
      continue;
    }
    entries.push_back({static_cast<JournalKind>(lines[i][0]), lines[i + 1], lines[i + 2]});
    i += 4;
  }
  return entries;
}

std::vector<std::wstring> ApplyJournal(const std::vector<JournalEntry>& entries,
                                       const std::function<bool(const std::wstring&)>& exists,
                                       CFileMap& files) {
  std::vector<std::wstring> unfinished;
  for (const JournalEntry& entry : entries) {
    switch (entry.kind) {
      case JournalKind::kStarted:
        unfinished.push_back(entry.name);
        break;
      case JournalKind::kStored:
        // Recorded only when the file reached its name before the crash.
        if (exists(entry.name)) files.Set(CFileData{entry.name, entry.url, {}, 0});
        break;
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
        if (record != nullptr && SameFileName(record->localName, entry.name) && !exists(entry.name))
          files.Remove(entry.url);
        break;
      }
    }
  }
  return unfinished;
}

}  // namespace orvella
