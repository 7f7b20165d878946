// Dialog services of a build without a dialog toolkit: nothing can be shown, so the
// configuration message reports that and changes nothing.
#include "ui/dialog_platform.h"

namespace orvella {
namespace {

class CNoDialogPlatform final : public CDialogPlatform {
 public:
  bool Open() override { return false; }
  int RunModal(CDialogModel&, uintptr_t) override { return kResultCancel; }
  bool BrowseForFolder(const FolderBrowseRequest&, std::wstring&) override { return false; }
  void OpenHelp(const std::wstring&) override {}
};

}  // namespace

std::unique_ptr<CDialogPlatform> CreateDialogPlatform() {
  return std::make_unique<CNoDialogPlatform>();
}

}  // namespace orvella
