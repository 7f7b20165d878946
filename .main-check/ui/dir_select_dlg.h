// SECDirSelectDlg: picks a folder in the platform's folder browser and hands back its
// path, always ending in the path separator.
#pragma once

#include <cstdint>
#include <string>

#include "base/path_text.h"
#include "ui/dialog_platform.h"

namespace orvella {

class SECDirSelectDlg {
 public:
  /// `title` and `initialFolder` (may be null) belong to the caller and must outlive the
  /// chooser; `parent` is the owner window handle (0: none); the browser is `platform`'s.
  SECDirSelectDlg(const wchar_t* title, const wchar_t* initialFolder, uintptr_t parent,
                  CDialogPlatform& platform);
  virtual ~SECDirSelectDlg() = default;

  /// Runs the browser. Returns kResultOk with `path` set when a folder with a file-system
  /// path was chosen, kResultCancel otherwise (`path` unchanged). Host's thread.
  virtual int DoModal();
  /// Does the work of DoModal: returns true with the chosen folder in `out`, or false on
  /// Cancel, for an item without a file-system path, and for a path that would not fit
  /// `path` with its separator and terminator (such a path is refused, never cut).
  virtual bool BrowseForFolder(std::wstring& out);
  /// Copies `path` up to its terminating zero into `out`.
  void GetPath(std::wstring& out) const;

  wchar_t path[kMaxPathChars] = {};  // the chosen folder after OK, zero-terminated
  uintptr_t parent;
  const wchar_t* title;
  const wchar_t* initialFolder;

 private:
  CDialogPlatform& platform_;
};

/// Returns the folder the browser opens at: `initialFolder` when it names an existing
/// file-system object, else the process's current directory. A folder that does not fit
/// kMaxPathChars counts as missing; a current directory that does not fit gives "" (the
/// browser then opens at its own default place). Host's thread.
std::wstring ChooserStartFolder(const wchar_t* initialFolder);

/// Appends the separator to `folder` unless it already ends in one. Returns false, and
/// leaves `folder` as it was, when the result and its terminator would not fit
/// kMaxPathChars; an empty folder is refused as well. Any thread.
bool NormalizeChosenFolder(std::wstring& folder);

}  // namespace orvella
