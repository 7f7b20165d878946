// The INI habits GLib's key file parser lacks: ';' comments, a UTF-8 byte order mark and
// names in any letter case, and the quotes other INI readers take off a value.
#pragma once

#include <string>
#include <string_view>

namespace orvella::host {

/// A profile's text as the key file parser takes it.
struct KeyFileText {
  std::string text;
  bool byteOrderMark = false;  // the file began with one; a save puts it back
};

/// Returns `bytes` for the parser: a leading UTF-8 byte order mark taken off, and each
/// line whose first non-blank character is ';' kept as a comment the parser knows (a '#'
/// and a marker byte put before it). Line numbers stay as they were. Any thread.
KeyFileText ToKeyFileText(std::string_view bytes);

/// Returns the parser's output as the file's own text again: the ';' comments as they
/// were written, and the byte order mark in front when the file had one. Any thread.
std::string FromKeyFileText(std::string_view text, bool byteOrderMark);

/// Returns the offset of the first byte of `bytes` that marks a ';' comment, or npos.
/// A file that holds one is refused: its lines could not be told from marked ones.
/// Any thread.
std::size_t FindCommentMarker(std::string_view bytes);

/// Returns true when `a` and `b` are the same name with ASCII letters compared without
/// their case, as INI readers elsewhere compare section and key names. Any thread.
bool SameIniName(std::string_view a, std::string_view b);

/// Returns `name` with its ASCII letters in lower case, the key SameIniName compares by.
/// Any thread.
std::string FoldedIniName(std::string_view name);

/// Returns true when `value` begins and ends with a double quote: INI readers elsewhere
/// take such quotes off, this profile keeps every character. Any thread.
bool IsQuoted(std::string_view value);

}  // namespace orvella::host
