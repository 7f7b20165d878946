// Message boxes: GTK message dialogs titled with the application title.
#include "base/text_utf8.h"
#include "system/module_file.h"
#include "ui/dialogs_gtk.h"

namespace orvella {

int RunMessageBox(GtkWindow* parent, const std::wstring& text, MessageButtons buttons,
                  MessageIcon icon) {
  const GtkButtonsType set = buttons == MessageButtons::kYesNo      ? GTK_BUTTONS_YES_NO
                             : buttons == MessageButtons::kOkCancel ? GTK_BUTTONS_OK_CANCEL
                                                                    : GTK_BUTTONS_OK;
  const GtkMessageType type =
      icon == MessageIcon::kExclamation ? GTK_MESSAGE_WARNING : GTK_MESSAGE_OTHER;
  GtkWidget* box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, set, "%s", WideToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), WideToUtf8(ApplicationTitle()).c_str());
  gtk_dialog_set_default_response(
      GTK_DIALOG(box), buttons == MessageButtons::kYesNo ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
  const int response = gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  switch (response) {
    case GTK_RESPONSE_OK:
      return kResultOk;
    case GTK_RESPONSE_YES:
      return kResultYes;
    case GTK_RESPONSE_NO:
      return kResultNo;
    case GTK_RESPONSE_CANCEL:
      return kResultCancel;
    default:
      // Closed without a button: the box's way out (Cancel, No, or the only button).
      return buttons == MessageButtons::kYesNo      ? kResultNo
             : buttons == MessageButtons::kOkCancel ? kResultCancel
                                                    : kResultOk;
  }
}

}  // namespace orvella
