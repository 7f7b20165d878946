// The folder chooser's starting folder, result and result code.
#include "ui/dir_select_dlg.h"

#include <algorithm>
#include <cwchar>
#include <system_error>

namespace orvella {

SECDirSelectDlg::SECDirSelectDlg(const wchar_t* titleText, const wchar_t* initialFolderText,
                                 uintptr_t parentWindow, CDialogPlatform& platform)
    : parent(parentWindow),
      title(titleText),
      initialFolder(initialFolderText),
      platform_(platform) {}

int SECDirSelectDlg::DoModal() {
  std::wstring chosen;
  if (!BrowseForFolder(chosen)) return kResultCancel;
  // NormalizeChosenFolder guaranteed room for the terminator.
  std::fill(std::begin(path), std::end(path), L'\0');
  std::copy(chosen.begin(), chosen.end(), path);
  return kResultOk;
}

bool SECDirSelectDlg::BrowseForFolder(std::wstring& out) {
  FolderBrowseRequest request;
  request.title = title != nullptr ? title : L"";
  request.startFolder = ChooserStartFolder(initialFolder);
  request.owner = parent;
  std::wstring chosen;
  if (!platform_.BrowseForFolder(request, chosen)) return false;
  if (!NormalizeChosenFolder(chosen)) return false;
  out = std::move(chosen);
  return true;
}

void SECDirSelectDlg::GetPath(std::wstring& out) const {
  out.assign(path, wcsnlen(path, kMaxPathChars));
}

std::wstring ChooserStartFolder(const wchar_t* initialFolder) {
  const std::wstring initial = initialFolder != nullptr ? initialFolder : L"";
  if (initial.size() < kMaxPathChars && PathExists(initial)) return initial;
  std::error_code error;
  const std::wstring current = FromFsPath(std::filesystem::current_path(error));
  if (error || current.size() >= kMaxPathChars) return {};
  return current;
}

bool NormalizeChosenFolder(std::wstring& folder) {
  if (folder.empty()) return false;
  const bool needsSeparator = folder.back() != kPathSeparator;
  if (folder.size() + (needsSeparator ? 1 : 0) >= kMaxPathChars) return false;
  if (needsSeparator) folder += kPathSeparator;
  return true;
}

}  // namespace orvella
