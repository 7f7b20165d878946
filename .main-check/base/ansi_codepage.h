// Conversion between wide text and the bytes of the ANSI code page: the encoding in which
// the service's JSON strings are read and in which the password is digested.
//
// On Windows this is the calling thread's ANSI code page. Elsewhere it is Windows-1252,
// fixed, so the same bytes always give the same text (stored file names depend on it)
// and the same password always gives the same digest (the service compares digests).
#pragma once

#include <string>
#include <string_view>

namespace orvella {

/// Returns `text` as ANSI code page bytes, one byte per character; a character the code
/// page cannot represent becomes '?'. An embedded NUL character stays a 0 byte.
/// Never fails. Any thread.
std::string WideToAnsi(std::wstring_view text);

/// Returns the wide text of ANSI code page `bytes`, one character per byte; no UTF-8
/// decoding is done. An embedded 0 byte stays a NUL character. Never fails. Any thread.
std::wstring AnsiToWide(std::string_view bytes);

}  // namespace orvella
