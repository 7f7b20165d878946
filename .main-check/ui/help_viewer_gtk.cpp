// Help: the HTML pages beside the module, handed to the desktop's handler for HTML.
// "Orvella.chm" needs the Windows help viewer; its source pages read anywhere.
#include "base/path_text.h"
#include "base/text_utf8.h"
#include "base/write_log.h"
#include "ui/dialogs_gtk.h"

namespace orvella {

std::wstring HelpPagesFor(const std::wstring& chmPath) {
  return FromFsPath(FsPath(chmPath).parent_path() / "help" / "index.html");
}

void OpenHelpPages(const std::wstring& chmPath) {
  const std::wstring page = HelpPagesFor(chmPath);
  if (!PathExists(page)) {
    WriteLog(L"OnHelp: help pages not found: %s", page);
    return;
  }
  GError* error = nullptr;
  gchar* uri = g_filename_to_uri(WideToUtf8(page).c_str(), nullptr, &error);
  if (uri == nullptr || !g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    WriteLog(L"OnHelp: no program to show %s (%s)", page,
             Utf8ToWide(error != nullptr ? error->message : "no handler for HTML"));
  }
  g_free(uri);
  g_clear_error(&error);
}

}  // namespace orvella
