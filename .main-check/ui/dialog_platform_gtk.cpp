// The dialog services on GTK 3. GTK is initialised on first use, on the calling (host's)
// thread, and never changes the host's locale.
#include <vector>

#include "ui/dialogs_gtk.h"

namespace orvella {
namespace {

class CGtkDialogPlatform final : public CDialogPlatform {
 public:
  bool Open() override {
    if (gdk_display_get_default() == nullptr) {
      // The host owns the process locale; GTK would otherwise set it from the environment.
      if (!initTried_) gtk_disable_setlocale();
      initTried_ = true;
      if (!gtk_init_check(nullptr, nullptr)) return false;
    }
    InstallDialogStyle();
    return true;
  }

  int RunModal(CDialogModel& dialog, uintptr_t owner) override {
    if (!Open()) return kResultCancel;
    CGtkDialogWindow window(dialog, owner == 0 ? Innermost() : nullptr, owner);
    running_.push_back(window.window());
    const int result = window.Run();
    running_.pop_back();
    return result;
  }

  bool BrowseForFolder(const FolderBrowseRequest& request, std::wstring& chosen) override {
    if (!Open()) return false;
    // Without an owner the chooser still stays above the dialog that opened it.
    return RunFolderChooser(request.owner == 0 ? Innermost() : nullptr, request, chosen);
  }

  void OpenHelp(const std::wstring& path) override { OpenHelpPages(path); }

 private:
  GtkWindow* Innermost() const { return running_.empty() ? nullptr : running_.back(); }

  std::vector<GtkWindow*> running_;  // dialogs being run, outermost first
  bool initTried_ = false;
};

}  // namespace

std::unique_ptr<CDialogPlatform> CreateDialogPlatform() {
  return std::make_unique<CGtkDialogPlatform>();
}

}  // namespace orvella
