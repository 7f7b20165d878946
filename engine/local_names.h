// The plug-in's own file names in the image folder, which names it may use for images,
// and which URLs and names it may record.
#pragma once

#include <string>
#include <string_view>

#include "base/path_text.h"
#include "net/url_parse.h"

namespace orvella {

/// The list file in the image folder, the file it is written to first, the journal that
/// records each change to the folder until the list holds it, and the folder's lock.
inline constexpr wchar_t kListFileName[] = L"rvt_orv_files.lst";
inline constexpr wchar_t kListTempFileName[] = L"rvt_orv_files.lst.tmp";
inline constexpr wchar_t kJournalFileName[] = L"rvt_orv_files.lst.jnl";
inline constexpr wchar_t kLockFileName[] = L"rvt_orv_files.lst.lock";

/// Extension of the file a download is written to before it takes its name.
inline constexpr wchar_t kWorkExtension[] = L"__t";

/// Longest URL or name a list line reads back as one piece (the piece limit less its LF).
inline constexpr std::size_t kListTextMax = 8190;

/// Which platform's rules decide whether a bare file name may be used.
enum class NameRules { kPosix, kWindows };
inline constexpr NameRules kPlatformNameRules =
    kPathSeparator == L'\\' ? NameRules::kWindows : NameRules::kPosix;

/// Returns true when `folder` can hold the plug-in's files: a non-empty absolute path.
/// A relative one would put them wherever the host's current folder happens to be.
/// Any thread.
bool IsUsableImageFolder(std::wstring_view folder);

/// Returns true when `text` holds no control character (C0, DEL or C1) and only
/// characters UTF-8 can carry (where wchar_t is UTF-16, surrogates only in pairs).
/// Any thread.
bool IsPlainText(std::wstring_view text);

/// Returns the bare file name of a parsed URL: its canonical object part after the last
/// '/' (the query is searched as well), cut at the first '?'; the name is not checked.
/// Any thread.
std::wstring BareNameOf(const ParsedUrl& parsed);

/// Sets `name` to the bare file name an item's URL gives: the canonical object part after
/// its last '/' (the query is searched as well), cut at the first '?'; the name is not
/// checked. Returns false when the URL cannot be parsed. Any thread.
bool BareNameOfUrl(std::wstring_view url, std::wstring& name);

/// Returns `text` for a log line, each character that IsPlainText refuses shown as '?'
/// (a line end in a URL would otherwise forge log lines). Any thread.
std::wstring PrintableText(std::wstring_view text);

/// Returns true when `name` is a plain file name inside the image folder that is not one
/// of the plug-in's own files: false for "", "." and "..", names holding '/', '\', ':',
/// control characters (C0, DEL, C1) or characters UTF-8 cannot carry, names longer than
/// kListTextMax (the URL's escapes can make a name longer than its URL), the list file and
/// its companions; under Windows rules also the device names (CON, PRN, AUX, NUL,
/// COM0-9, LPT0-9, with any extension) and names ending in '.' or ' '. Any thread.
bool IsUsableLocalName(std::wstring_view name, NameRules rules = kPlatformNameRules);

/// Returns true when `url` may be downloaded and recorded: not empty, at most 8190
/// characters, and plain text (IsPlainText). A longer URL, or one holding a line end,
/// would be read back from the list file as more than one line. Any thread.
bool IsRecordableUrl(std::wstring_view url);

/// Returns true when the list file can hold the pair so that it reads back identically:
/// a non-empty URL and a usable name, each at most 8190 characters, without LF or NUL,
/// and made of characters UTF-8 can carry. Any thread.
bool IsListableEntry(std::wstring_view url, std::wstring_view name,
                     NameRules rules = kPlatformNameRules);

/// Returns the work name a download of `name` is written to: the name with its
/// extension replaced by "__t", or with ".__t" appended where that would be the name
/// itself (case ignored under Windows rules). Any thread.
std::wstring WorkName(std::wstring_view name, NameRules rules = kPlatformNameRules);

/// Longest file name the file systems take: 255 bytes of UTF-8 (POSIX) or 255 UTF-16 units
/// (Windows).
inline constexpr std::size_t kMaxNameUnits = 255;

/// Returns the length of `name` as the file system counts it under `rules`: UTF-8 bytes
/// (POSIX) or UTF-16 units (Windows). Any thread.
std::size_t NameUnits(std::wstring_view name, NameRules rules = kPlatformNameRules);

/// Returns the work name to try for a download of `name` at the `attempt`th try (0 first):
/// WorkName(name) when it fits kMaxNameUnits, else, and at every later attempt, the name's
/// part before its extension cut to fit, "~", the attempt's number and ".__t". Different
/// attempts give different names. Any thread.
std::wstring WorkNameCandidate(std::wstring_view name, int attempt,
                               NameRules rules = kPlatformNameRules);

/// Returns `name` as a key under which names of the same file meet: itself, or with
/// ASCII letters made upper case under Windows rules. Any thread.
std::wstring FoldedName(std::wstring_view name, NameRules rules = kPlatformNameRules);

/// Returns true when `a` and `b` name the same file under `rules` (ASCII case ignored
/// under Windows rules). Any thread.
bool SameFileName(std::wstring_view a, std::wstring_view b, NameRules rules = kPlatformNameRules);

}  // namespace orvella
