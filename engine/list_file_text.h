// The list file's text: decoding and line pieces as its reader sees them, and the bytes
// its writer produces.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_map.h"

namespace orvella {

/// First line of every list file.
inline constexpr wchar_t kListFileHeader[] = L"[Rovanta Orvella List]";

/// Largest list file or journal read. A list entry takes a few hundred bytes, so this
/// holds millions of them; a larger file, planted or damaged, is not read into memory.
inline constexpr std::size_t kMaxFolderRecordBytes = std::size_t{1} << 30;

/// Longest piece one line read yields; a longer line is read as several pieces.
inline constexpr std::size_t kListLinePieceMax = 8191;

/// The lines of a list file. The bytes are decoded by their byte order mark: UTF-8
/// (EF BB BF) or UTF-16LE (FF FE); without a mark they are UTF-16LE. CR LF becomes LF.
class ListFileLines {
 public:
  /// `bytes` must outlive the reader.
  explicit ListFileLines(std::string_view bytes);

  /// Reads the next piece: the text up to and including the next LF, at most 8191
  /// characters; the LF is removed, and so is everything from a NUL character on.
  /// Returns false when the text is used up. Any thread.
  bool Next(std::wstring& piece);

 private:
  /// Decodes the next line (without its line end) into `line`; false at the end.
  /// `mayHoldNul` is false when the line surely holds no NUL character.
  bool NextLine(std::wstring& line, bool& ended, bool& mayHoldNul);
  /// Hands out `text` as the piece, or its first 8191 characters with the rest kept; cut
  /// at the first NUL when `mayHoldNul`.
  void Emit(std::wstring& text, bool ended, bool mayHoldNul, std::wstring& piece);

  std::string_view bytes_;  // after the byte order mark
  bool utf16_ = false;
  std::size_t pos_ = 0;
  // The rest of a line longer than one piece, handed out by the next calls.
  bool restPending_ = false;
  bool restEnded_ = false;
  std::wstring rest_;
};

/// Reads an entry count the way strtol with base 0 does: leading blanks, a sign, "0x"
/// for hexadecimal, a leading "0" for octal, else decimal, up to the first character
/// that does not fit; no digits give 0. Values beyond 32 bits saturate. Any thread.
int32_t ParseListCount(std::wstring_view text);

/// Fills `files` (emptied first, its records reused) from the bytes of a list file: the
/// header, the count (which sizes the table), then at most that many URL / name pairs. A
/// pair with an empty URL or a name that is not a usable local name is skipped; a later pair
/// replaces an earlier one with the same URL; an incomplete last pair is dropped. Returns false,
/// with the map empty, when the header is wrong or missing. Ends early, with `stopped` set
/// and part of the entries read, once `stop` (null: none) is set; it looks at the flag once
/// in every 65,536 entries. Any thread.
bool DecodeListFile(std::string_view bytes, CFileMap& files,
                    const std::atomic<int32_t>* stop = nullptr, bool* stopped = nullptr);

/// Empties `files` and sizes its table as for a folder without a list file. Worker thread.
void ForgetListedFiles(CFileMap& files);

/// Returns the bytes of a list file holding `files`: UTF-8 byte order mark, the header,
/// the count and the URL / name pairs in map order, each line ended by CR LF. Entries that
/// would not read back identically (IsListableEntry) are left out and their URLs added to
/// `refused` when given; the count is that of the pairs written. Ends early, returning
/// nothing with `stopped` set, once `stop` (null: none) is set, looking at the flag once in
/// every 65,536 entries. Any thread.
std::string EncodeListFile(const CFileMap& files, std::vector<std::wstring>* refused = nullptr,
                           const std::atomic<int32_t>* stop = nullptr, bool* stopped = nullptr);

/// Appends `line` in UTF-8 and CR LF to `out`, as the list file's lines are written.
void AppendListLine(std::string& out, std::wstring_view line);

}  // namespace orvella
