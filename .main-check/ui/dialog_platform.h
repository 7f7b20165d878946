// The platform's dialog services: modal runs of the dialog models, the folder browser and
// the help viewer. One implementation per toolkit (GTK on Linux); tests script their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/dialog_model.h"

namespace orvella {

/// What the folder browser is asked to show.
struct FolderBrowseRequest {
  std::wstring title;        // text shown with the folder tree
  std::wstring startFolder;  // folder selected when the browser opens
  uintptr_t owner = 0;       // owner window; 0: none
};

class CDialogPlatform {
 public:
  virtual ~CDialogPlatform() = default;

  /// Prepares the toolkit on first use. Returns false when no dialog can be shown (no
  /// display); may be asked again later. Host's thread.
  virtual bool Open() = 0;
  /// Runs `dialog` modally: builds its window from its template, owned by the window
  /// `owner` (a platform window handle; 0: the innermost dialog this platform is running,
  /// if any), attaches the view, calls OnInitDialog and feeds it the clicks until it ends
  /// the dialog. Returns the result passed to EndDialog, or kResultCancel when the
  /// toolkit cannot be opened. Host's thread.
  virtual int RunModal(CDialogModel& dialog, uintptr_t owner) = 0;
  /// Shows the folder browser modally. Returns true with the chosen folder's file-system
  /// path (as the toolkit gives it), false on Cancel or for an item without one.
  virtual bool BrowseForFolder(const FolderBrowseRequest& request, std::wstring& chosen) = 0;
  /// Opens the file at `path` with the desktop's handler; a missing file or handler is
  /// silently ignored.
  virtual void OpenHelp(const std::wstring& path) = 0;
};

/// Returns this platform's dialog services. Defined once per toolkit.
std::unique_ptr<CDialogPlatform> CreateDialogPlatform();

}  // namespace orvella
