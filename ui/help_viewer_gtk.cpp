// Help: the file is handed to the desktop's handler for its type.
#include "base/text_utf8.h"
#include "ui/dialogs_gtk.h"

namespace orvella {

void OpenWithDesktopHandler(const std::wstring& path) {
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(WideToUtf8(path).c_str(), nullptr, &error);
  if (uri != nullptr) {
    // A missing file or a type without a handler fails here, silently.
    g_app_info_launch_default_for_uri(uri, nullptr, &error);
    g_free(uri);
  }
  g_clear_error(&error);
}

}  // namespace orvella
