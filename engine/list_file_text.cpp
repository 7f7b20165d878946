// The list file's bytes: UTF-8 with BOM and CR LF, decoded and encoded.
#include "engine/list_file_text.h"

#include <algorithm>
#include <climits>

#include "base/text_utf8.h"
#include "engine/local_names.h"

namespace orvella {
namespace {

char32_t Utf16Unit(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) |
         (static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

// Decodes UTF-16LE units into `out` (replacing its content); an odd last byte is dropped.
void DecodeUtf16Le(std::string_view bytes, std::wstring& out) {
  out.resize(bytes.size() / 2);
  std::size_t n = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = Utf16Unit(bytes, i);
    if constexpr (sizeof(wchar_t) == 4) {
      // Pair surrogates into one character where wchar_t holds whole code points.
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        const char32_t low = Utf16Unit(bytes, i + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
    }
    out[n++] = static_cast<wchar_t>(unit);
  }
  out.resize(n);
}

// Decodes UTF-8 into `out` (replacing its content). Lines are mostly plain ASCII: those
// are widened in one straight loop; others go through the general decoder. Returns false
// when the text surely holds no NUL (the same pass tells).
bool DecodeUtf8(std::string_view bytes, std::wstring& out) {
  // An OR and a minimum over the bytes: a loop the compiler vectorises.
  unsigned char seen = 0;
  unsigned char least = 0xFF;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    seen |= byte;
    least = std::min(least, byte);
  }
  if (seen < 0x80) {
    out.resize(bytes.size());
    std::transform(bytes.begin(), bytes.end(), out.begin(),
                   [](char c) { return static_cast<wchar_t>(c); });
    return least == 0;
  }
  out = Utf8ToWide(bytes);
  return true;
}

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  return 99;
}

bool IsBlank(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// Hash buckets when there is no list, or its count cannot size the table.
constexpr std::size_t kDefaultBuckets = 2523;
// Counts above this are not believed for sizing: the table still grows as entries come.
constexpr int32_t kMaxPresizedEntries = 1 << 20;

// Entries a list read or write handles between two looks at the stop flag: a list of
// fewer entries is always read or written whole.
constexpr std::size_t kStopCheckEvery = std::size_t{1} << 16;

bool StopSeen(std::size_t done, const std::atomic<int32_t>* stop) {
  return done != 0 && done % kStopCheckEvery == 0 && stop != nullptr && stop->load() != 0;
}

std::size_t BucketsFor(int32_t count) {
  if (count < 0 || count > kMaxPresizedEntries) return kDefaultBuckets;
  return 2 * static_cast<std::size_t>(count) + 1;
}

}  // namespace

void AppendListLine(std::string& out, std::wstring_view line) {
  uint32_t seen = 0;
  for (const wchar_t c : line) seen |= static_cast<uint32_t>(c);
  if (seen < 0x80) {  // plain ASCII: narrowed in one straight loop
    const std::size_t at = out.size();
    out.resize(at + line.size());
    std::transform(line.begin(), line.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                   [](wchar_t c) { return static_cast<char>(c); });
  } else {
    out += WideToUtf8(line);
  }
  out += "\r\n";
}

ListFileLines::ListFileLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes_ = bytes.substr(3);
  } else {
    utf16_ = true;  // by its mark, or without one
    bytes_ = bytes.starts_with("\xFF\xFE") ? bytes.substr(2) : bytes;
  }
}

// Text mode reads CR LF as LF: the CR right before the LF belongs to the line end.
bool ListFileLines::NextLine(std::wstring& line, bool& ended, bool& mayHoldNul) {
  const std::size_t unit = utf16_ ? 2 : 1;
  if (pos_ + unit > bytes_.size()) return false;
  std::size_t lf = pos_;
  if (utf16_) {
    while (lf + 1 < bytes_.size() && Utf16Unit(bytes_, lf) != L'\n') lf += 2;
    if (lf + 1 >= bytes_.size()) lf = bytes_.size();
  } else {
    lf = std::min(bytes_.find('\n', pos_), bytes_.size());
  }
  ended = lf < bytes_.size();
  std::size_t end = lf;
  if (ended && end >= pos_ + unit &&
      (utf16_ ? Utf16Unit(bytes_, end - 2) == L'\r' : bytes_[end - 1] == '\r')) {
    end -= unit;
  }
  const std::string_view text = bytes_.substr(pos_, end - pos_);
  if (utf16_) {
    DecodeUtf16Le(text, line);
    mayHoldNul = true;
  } else {
    mayHoldNul = DecodeUtf8(text, line);
  }
  pos_ = ended ? lf + unit : bytes_.size();
  return true;
}

// A read takes at most 8191 characters; the LF counts only when it fits. So a line of
// exactly 8191 characters and its LF come as that line and then an empty one.
void ListFileLines::Emit(std::wstring& text, bool ended, bool mayHoldNul, std::wstring& piece) {
  if (text.size() > kListLinePieceMax || (text.size() == kListLinePieceMax && ended)) {
    rest_.assign(text, kListLinePieceMax);
    restEnded_ = ended;
    restPending_ = true;
    text.resize(kListLinePieceMax);
  }
  piece.swap(text);
  if (!mayHoldNul) return;
  const std::size_t nul = piece.find(L'\0');
  if (nul != std::wstring::npos) piece.erase(nul);
}

bool ListFileLines::Next(std::wstring& piece) {
  bool ended = false;
  bool mayHoldNul = true;
  std::wstring text;
  if (restPending_) {
    restPending_ = false;
    text.swap(rest_);
    ended = restEnded_;
  } else if (!NextLine(piece, ended, mayHoldNul)) {
    return false;
  } else {
    text.swap(piece);
  }
  Emit(text, ended, mayHoldNul, piece);
  return true;
}

int32_t ParseListCount(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int base = 10;
  if (i < text.size() && text[i] == L'0') {
    base = 8;
    if (i + 2 < text.size() && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
        DigitValue(text[i + 2]) < 16) {
      base = 16;
      i += 2;
    }
  }
  int64_t value = 0;
  for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
    value = value * base + DigitValue(text[i]);
    if (value > INT64_C(1) << 32) value = INT64_C(1) << 32;  // saturated below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void ForgetListedFiles(CFileMap& files) {
  files.RemoveAll();
  files.InitHashTable(kDefaultBuckets);
}

bool DecodeListFile(std::string_view bytes, CFileMap& files, const std::atomic<int32_t>* stop,
                    bool* stopped) {
  if (stopped != nullptr) *stopped = false;
  // The map keeps the records it held for the ones added next: the list is read at every
  // start of the worker's loop, and freeing every record's texts only to allocate them
  // again costs more than decoding the file.
  files.RemoveAll();
  ListFileLines lines(bytes);
  std::wstring line;
  if (!lines.Next(line) || line != kListFileHeader) return false;
  const int32_t count = lines.Next(line) ? ParseListCount(line) : 0;
  files.InitHashTable(BucketsFor(count));
  std::wstring url;
  std::wstring name;
  for (int32_t i = 0; i < count; ++i) {
    if (StopSeen(i, stop)) {
      if (stopped != nullptr) *stopped = true;
      return true;
    }
    if (!lines.Next(url)) break;
    // The table's place for the URL is fetched while the name is read and checked: the
    // table of a long list is larger than the processor's caches.
    const CFileMap::UrlHash hash = CFileMap::Hash(url);
    files.Prefetch(hash);
    if (!lines.Next(name)) break;
    if (url.empty()) continue;
    // A name that is not a plain file of the folder would later be deleted as an unused
    // file: an edited or damaged list must never reach outside the image folder.
    if (!IsUsableLocalName(name)) continue;
    // A later entry with the same URL replaces the earlier one.
    // The decoded texts go into the record as they are; the record's old texts are the
    // next lines' buffers.
    CFileData& record = files.FindOrAdd(std::move(url), hash);
    record.localName.swap(name);
    record.reserved.clear();
    record.inUse = 0;
  }
  return true;
}

std::string EncodeListFile(const CFileMap& files, std::vector<std::wstring>* refused,
                           const std::atomic<int32_t>* stop, bool* stopped) {
  if (stopped != nullptr) *stopped = false;
  // The count goes before the pairs but is known only after them: room for the largest
  // it can be is kept, and the few characters not needed are cut out at the end, which
  // happens only when entries were refused. The lines are never copied a second time.
  std::string out = "\xEF\xBB\xBF";
  AppendListLine(out, kListFileHeader);
  const std::size_t countAt = out.size();
  const std::size_t countRoom = std::to_string(files.GetCount()).size();
  out.append(countRoom, '0');
  out += "\r\n";
  out.reserve(out.size() + files.GetCount() * 160);  // typical URL and name lengths
  std::size_t written = 0;
  std::size_t seen = 0;
  for (const CFileData& record : files) {
    if (StopSeen(seen++, stop)) {
      if (stopped != nullptr) *stopped = true;
      return {};
    }
    // A line end or an overlong text would read back as more lines than were written:
    // an entry the service forged, pointing at a file that is not ours.
    if (!IsListableEntry(record.url, record.localName)) {
      if (refused != nullptr) refused->push_back(record.url);
      continue;
    }
    AppendListLine(out, record.url);
    AppendListLine(out, record.localName);
    ++written;
  }
  const std::string count = std::to_string(written);
  out.replace(countAt, countRoom, count);
  return out;
}

}  // namespace orvella
