// The module's string table: every text shown to the user, by number.
#pragma once

#include <string>

namespace orvella {

enum StringId : unsigned {
  kIdsNotAuthenticated = 28,
  kIdsAuthenticated = 29,  // "%s": the user name
  kIdsAuthorizationDenied = 31,
  kIdsConnectionFailed = 34,  // "%d": the transport's result code
  kIdsFolderEmpty = 148,
  kIdsFolderMissing = 150,
  kIdsSelectFolder = 282,
  kIdsShortInterval = 288,
  kIdsForgetAccount = 289,
};

// Texts of the table, usable as checked format literals (Format(kTextConnectionFailed, code)).
inline constexpr wchar_t kTextNotAuthenticated[] =
    L"Orvella Plugin is currently not authenticated, please click on the Authorize button to "
    L"log in and allow this plugin to access your account";
inline constexpr wchar_t kTextAuthenticated[] = L"Orvella Plugin is currently authenticated\n%s";
inline constexpr wchar_t kTextAuthorizationDenied[] = L"Authorization has been denied";
inline constexpr wchar_t kTextConnectionFailed[] =
    L"Connection to Orvella server failed with error %d";
inline constexpr wchar_t kTextFolderEmpty[] =
    L"Destination folder for downloaded item is empty. Please enter the name of an existing "
    L"folder complete with path name.";
inline constexpr wchar_t kTextFolderMissing[] =
    L"Configured folder doesn't exist, please enter the name of an existing folder";
inline constexpr wchar_t kTextSelectFolder[] = L"Select Folder";
inline constexpr wchar_t kTextShortInterval[] =
    L"You set polling time to a rather short value, this may cause a heavy load on the web "
    L"server. If the feed doesn't change so often think about using an update time longer "
    L"than 60 minutes.";
inline constexpr wchar_t kTextForgetAccount[] =
    L"Orvella is currently authenticated, do you wish to forget current data and login with "
    L"another user ?";

/// Returns the text of string `id`, or null when the table has no such entry. Any thread.
const wchar_t* FindString(unsigned id);

/// Returns the text of string `id`, or an empty string when there is none. Any thread.
std::wstring LoadStringById(unsigned id);

/// Calls visit(id, text) for every entry in ascending order (for generators and tests).
template <class Visit>
void ForEachString(Visit&& visit);

struct StringEntry {
  unsigned id;
  const wchar_t* text;
};
/// The whole table, ascending by id, and its size.
extern const StringEntry kStringTable[];
extern const unsigned kStringTableSize;

template <class Visit>
void ForEachString(Visit&& visit) {
  for (unsigned i = 0; i < kStringTableSize; ++i) visit(kStringTable[i].id, kStringTable[i].text);
}

}  // namespace orvella
