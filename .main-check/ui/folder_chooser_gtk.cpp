// The folder browser: GTK's folder chooser, limited to local folders.
#include "base/text_utf8.h"
#include "ui/dialogs_gtk.h"

namespace orvella {

bool RunFolderChooser(GtkWindow* parent, const FolderBrowseRequest& request, std::wstring& chosen) {
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      WideToUtf8(request.title).c_str(), parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
  if (!request.startFolder.empty()) {
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                        WideToUtf8(request.startFolder).c_str());
  }
  bool accepted = false;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    // Items outside the file system have no file name; names that are not UTF-8 cannot
    // be held as text. Both end as Cancel.
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      if (g_utf8_validate(name, -1, nullptr)) {
        chosen = Utf8ToWide(name);
        accepted = !chosen.empty();
      }
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
  return accepted;
}

}  // namespace orvella
