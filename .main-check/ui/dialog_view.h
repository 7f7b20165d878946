// What a dialog model sees of its window: controls by id, message boxes, the modal end.
//
// A view is a thin layer over the platform's dialog: it builds the controls from the
// dialog's template, forwards button clicks to the model and does what the model asks.
// Every call happens on the host's thread, while the dialog runs.
#pragma once

#include <string>

namespace orvella {

/// Buttons of a message box (the MB_OK, MB_OKCANCEL and MB_YESNO sets).
enum class MessageButtons { kOk, kOkCancel, kYesNo };

/// Icon of a message box.
enum class MessageIcon { kNone, kExclamation };

/// Results of a message box and of a modal dialog (the dialog manager's ids).
enum MessageResult : int {
  kResultOk = 1,
  kResultCancel = 2,
  kResultYes = 6,
  kResultNo = 7,
};

class CDialogView {
 public:
  virtual ~CDialogView() = default;

  /// Returns the text of control `id` ("" for an unknown id).
  virtual std::wstring GetItemText(int id) const = 0;
  /// Replaces the text of control `id`.
  virtual void SetItemText(int id, const std::wstring& text) = 0;
  /// Returns whether check box `id` is checked.
  virtual bool IsChecked(int id) const = 0;
  /// Checks or clears check box `id`.
  virtual void SetChecked(int id, bool checked) = 0;
  /// Enables or disables control `id`.
  virtual void EnableItem(int id, bool enabled) = 0;
  /// Moves the focus to edit `id` and selects its whole text.
  virtual void FocusAndSelectAll(int id) = 0;
  /// Shows a modal message box titled with the application title (the module's file
  /// name without its extension) over this dialog. Returns the button pressed: kResultOk,
  /// kResultCancel, kResultYes or kResultNo; closing the box some other way answers
  /// Cancel, No or OK, whichever of them the box has.
  virtual int ShowMessage(const std::wstring& text, MessageButtons buttons, MessageIcon icon) = 0;
  /// Ends the modal run with `result` once the current handler returns.
  virtual void EndDialog(int result) = 0;
};

}  // namespace orvella
