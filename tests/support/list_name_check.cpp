// The road from an answer's URL to a list line and back, checked for one input: names stay
// direct children of the image folder, and what the list file holds reads back identically.
#include "tests/support/list_name_check.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/ansi_codepage.h"
#include "base/path_text.h"
#include "base/text_utf8.h"
#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "engine/local_names.h"

namespace orvella::test {
namespace {

// An absolute folder of the platform, with a dot in its name (the whole-path extension
// rule once moved work files out of such a folder).
std::wstring Folder() {
  return kPathSeparator == L'\\' ? L"C:\\Pics.old" : L"/pics.old";
}

// The name joined to the folder must be a direct child of it, named exactly so.
std::string ChildProblem(const std::wstring& name) {
  const std::filesystem::path folder = FsPath(Folder());
  const std::filesystem::path joined = FsPath(JoinFolder(Folder(), name));
  if (joined.parent_path() != folder) return "not a direct child of the folder";
  if (joined.filename() != FsPath(name)) return "a different file name";
  if (joined.lexically_normal() != joined) return "not in normal form";
  return "";
}

// The list file of `files` must read back as exactly the entries it accepted.
std::string RoundTripProblem(const CFileMap& files) {
  std::vector<std::wstring> refused;
  const std::string bytes = EncodeListFile(files, &refused);
  CFileMap read;
  if (!DecodeListFile(bytes, read)) return "the written header does not read back";
  std::size_t kept = 0;
  for (const CFileData& record : files) {
    const bool listable = IsListableEntry(record.url, record.localName);
    kept += listable;
    const CFileData* back = read.Find(record.url);
    if (listable && (back == nullptr || back->localName != record.localName))
      return "an accepted entry did not read back";
    if (!listable && back != nullptr) return "a refused entry was written";
  }
  if (read.GetCount() != kept || refused.size() != files.GetCount() - kept)
    return "the entries read back are not those written";
  return "";
}

std::string JournalProblem(const std::wstring& url, const std::wstring& name) {
  std::string bytes;
  for (const JournalKind kind : {JournalKind::kStarted, JournalKind::kStored}) {
    if (!EncodeJournalEntry({kind, url, name}, bytes)) return "the journal refused the entry";
  }
  bool cut = false;
  const std::vector<JournalEntry> read = DecodeJournal(bytes, cut);
  if (cut || read.size() != 2 || read[1].url != url || read[1].name != name)
    return "the journal entry did not read back";
  return "";
}

// An answer's URL, as the feed query hands it on: ANSI code page bytes made wide.
std::string AnswerProblem(std::string_view bytes) {
  const std::wstring url = AnsiToWide(bytes);
  std::wstring name;
  if (!IsRecordableUrl(url) || !BareNameOfUrl(url, name)) return "";  // never recorded
  if (!IsUsableLocalName(name)) return "";
  for (const std::wstring& own : {name, WorkName(name)}) {
    const std::string problem = ChildProblem(own);
    if (!problem.empty()) return problem + ": " + WideToUtf8(own);
  }
  if (SameFileName(WorkName(name), name)) return "the work name is the name";
  if (!IsListableEntry(url, name)) return "a recordable URL and a usable name are not listable";
  CFileMap files;
  files.Set(CFileData{name, url, {}, 1});
  files.Set(CFileData{L"other.jpg", L"http://h/other.jpg", {}, 0});
  const std::string problem = RoundTripProblem(files);
  return problem.empty() ? JournalProblem(url, name) : problem;
}

// Wide text from raw units, so that any code unit (lone surrogates, NUL, values beyond
// U+10FFFF where wchar_t is 32 bits wide) can occur.
std::wstring Units(std::string_view bytes) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<unsigned char>(bytes[i]) |
                      (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    // A 0xFF high byte stands for a unit beyond 16 bits, where wchar_t can hold one.
    text +=
        static_cast<wchar_t>(sizeof(wchar_t) > 2 && (unit >> 8) == 0xFF ? 0x110000 + unit : unit);
  }
  return text;
}

// The first two bytes give the number of the URL's units (little-endian); the units of
// the URL, then of the name, follow.
std::string PairProblem(std::string_view bytes) {
  if (bytes.size() < 2) return "";
  const std::size_t units = static_cast<unsigned char>(bytes[0]) |
                            (static_cast<std::size_t>(static_cast<unsigned char>(bytes[1])) << 8);
  const std::size_t split = std::min(bytes.size(), 2 + 2 * units);
  const std::wstring url = Units(bytes.substr(2, split - 2));
  const std::wstring name = Units(bytes.substr(split));
  if (IsUsableLocalName(name)) {
    const std::string problem = ChildProblem(name);
    if (!problem.empty()) return problem;
  }
  CFileMap files;
  files.Set(CFileData{name, url, {}, 0});
  files.Set(CFileData{L"a.jpg", L"http://h/a.jpg", {}, 0});
  return RoundTripProblem(files);
}

// Whatever a list file holds, what the reader takes is usable, and written back it reads
// back the same.
std::string ListProblem(std::string_view bytes) {
  CFileMap read;
  if (!DecodeListFile(bytes, read)) return "";
  for (const CFileData& record : read) {
    if (!IsUsableLocalName(record.localName)) return "the reader took an unusable name";
  }
  return RoundTripProblem(read);
}

}  // namespace

std::string CheckListRoad(const uint8_t* data, std::size_t size) {
  if (size == 0) return "";
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      return AnswerProblem(bytes);
    case 1:
      return PairProblem(bytes);
    default:
      return ListProblem(bytes);
  }
}

}  // namespace orvella::test
