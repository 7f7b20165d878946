// The GTK views' shared pieces: the template-built dialog window, message boxes, the
// folder browser, help and the host window that owns a dialog. Host's thread only.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog_model.h"
#include "ui/dialog_platform.h"
#include "ui/dialog_units.h"

namespace orvella {

/// Object data key under which every control widget carries its template id.
inline constexpr char kControlIdKey[] = "orvella-control-id";
/// CSS class of every dialog window built from a template.
inline constexpr char kDialogCssClass[] = "orvella-dialog";

/// Returns the base units of the template's font (a family list ending in the desktop's
/// sans-serif face, so a missing template font is substituted) on the default screen.
DialogBaseUnits FontBaseUnits(const DialogTemplate& dialogTemplate);

/// Installs, once per process, the style that lets controls shrink to their template
/// rectangles and sets each template's font. Needs an open display.
void InstallDialogStyle();

/// Returns the control widget with template id `id` inside `window`, or null.
GtkWidget* FindControlWidget(GtkWidget* window, int id);

/// One modal run of a dialog model in a window built from its template.
class CGtkDialogWindow final : public CDialogView {
 public:
  /// Builds the window and its controls. `parent` (may be null) is the dialog of this
  /// process that owns it; `hostOwner` a window handle of the host (0: none).
  CGtkDialogWindow(CDialogModel& model, GtkWindow* parent, uintptr_t hostOwner);
  ~CGtkDialogWindow() override;
  CGtkDialogWindow(const CGtkDialogWindow&) = delete;
  CGtkDialogWindow& operator=(const CGtkDialogWindow&) = delete;

  /// Loads the model, shows the window and runs until the model ends the dialog.
  /// Returns the model's result.
  int Run();
  GtkWindow* window() const { return GTK_WINDOW(window_); }

  std::wstring GetItemText(int id) const override;
  void SetItemText(int id, const std::wstring& text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void EnableItem(int id, bool enabled) override;
  void FocusAndSelectAll(int id) override;
  int ShowMessage(const std::wstring& text, MessageButtons buttons, MessageIcon icon) override;
  void EndDialog(int result) override;

 private:
  struct Control {
    int id;
    ControlKind kind;
    GtkWidget* widget;
  };
  void Build(const DialogTemplate& dialogTemplate);
  GtkWidget* CreateControl(const ControlTemplate& control);
  const Control* Find(int id) const;
  void Command(int id);
  static void OnClicked(GtkButton* button, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);

  CDialogModel& model_;
  GtkWidget* window_ = nullptr;
  GdkWindow* foreignOwner_ = nullptr;
  std::vector<Control> controls_;
  int defaultId_ = kIdOk;
  GMainLoop* loop_ = nullptr;
  int result_ = kResultCancel;
  bool ended_ = false;
  bool settingCheck_ = false;  // programmatic check changes are not clicks
};

/// Shows a modal message box over `parent` (may be null) titled with the application
/// title. Returns kResultOk, kResultCancel, kResultYes or kResultNo.
int RunMessageBox(GtkWindow* parent, const std::wstring& text, MessageButtons buttons,
                  MessageIcon icon);

/// Shows GTK's folder chooser over `parent` (may be null), opened at the request's start
/// folder. Returns true with the chosen folder's local path; false on Cancel, for an
/// item without a local path and for a name that is not valid UTF-8.
bool RunFolderChooser(GtkWindow* parent, const FolderBrowseRequest& request, std::wstring& chosen);

/// Returns the help's first page for the help file `chmPath`: the HTML pages that file
/// is compiled from live in "help/" beside it, "help/index.html" first.
std::wstring HelpPagesFor(const std::wstring& chmPath);

/// Opens the help pages for `chmPath` with the desktop's handler for HTML. When they are
/// missing or no handler exists, one log line says so. Host's thread.
void OpenHelpPages(const std::wstring& chmPath);

/// Makes `dialog` a transient of the host window `handle` (an X11 window id on X11; other
/// backends have no such handle and the call does nothing). A window of this process is
/// set as the GTK transient parent, so the modal dialog blocks it; another process's
/// window becomes the transient parent of the realized window, returned so the caller can
/// release it (null when none was needed or the handle is not a window).
GdkWindow* AttachToHostWindow(GtkWindow* dialog, uintptr_t handle);

}  // namespace orvella
