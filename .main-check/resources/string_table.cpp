// Lookup of the string table by number.
#include "resources/string_table.h"

namespace orvella {

const StringEntry kStringTable[] = {
    {kIdsNotAuthenticated, kTextNotAuthenticated},
    {kIdsAuthenticated, kTextAuthenticated},
    {kIdsAuthorizationDenied, kTextAuthorizationDenied},
    {kIdsConnectionFailed, kTextConnectionFailed},
    {kIdsFolderEmpty, kTextFolderEmpty},
    {kIdsFolderMissing, kTextFolderMissing},
    {kIdsSelectFolder, kTextSelectFolder},
    {kIdsShortInterval, kTextShortInterval},
    {kIdsForgetAccount, kTextForgetAccount},
};
const unsigned kStringTableSize = sizeof(kStringTable) / sizeof(kStringTable[0]);

const wchar_t* FindString(unsigned id) {
  for (unsigned i = 0; i < kStringTableSize; ++i) {
    if (kStringTable[i].id == id) return kStringTable[i].text;
  }
  return nullptr;
}

std::wstring LoadStringById(unsigned id) {
  const wchar_t* text = FindString(id);
  return text ? std::wstring(text) : std::wstring();
}

}  // namespace orvella
