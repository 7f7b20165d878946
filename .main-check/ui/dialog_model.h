// Base of the dialog models: the template a dialog is built from, its view while it runs,
// and the handlers the view calls.
#pragma once

#include "resources/dialog_templates.h"
#include "ui/dialog_view.h"

namespace orvella {

class CDialogModel {
 public:
  virtual ~CDialogModel() = default;

  /// The template the view builds the window from.
  virtual const DialogTemplate& Template() const = 0;
  /// Called once when the window and its controls exist: values to controls.
  virtual void OnInitDialog() = 0;
  /// Called for a click on button or check box `id`; kIdOk for Enter and kIdCancel for
  /// Escape and the close box.
  virtual void OnCommand(int id) = 0;

  /// Connects the model to the view for one modal run; null disconnects it. Called by
  /// the platform's modal run only.
  void Attach(CDialogView* view) { view_ = view; }

 protected:
  /// The view of the running dialog. Valid only inside OnInitDialog and OnCommand.
  CDialogView& view() const { return *view_; }

 private:
  CDialogView* view_ = nullptr;
};

}  // namespace orvella
