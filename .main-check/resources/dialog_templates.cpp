// The controls of dialog templates 1000 and 1001.
#include "resources/dialog_templates.h"

namespace orvella {
namespace {

constexpr uint32_t kDialogStyle = kDsSetFont | kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu;
constexpr uint32_t kTab = kWsTabStop;
constexpr uint32_t kEditStyle = kWsBorder | kWsTabStop;

using K = ControlKind;

// Template order is creation order, z-order and, for tab stops, tab order.
constexpr ControlTemplate kOrvellaControls[] = {
    {kIdcEnabled, K::kAutoCheckBox, L"PlugIn Enabled", {7, 7, 83, 10}, kTab},
    {kIdcFolderLabel,
     K::kLabel,
     L"Folder to store downloaded wallpapers:",
     {7, 20, 201, 8},
     kSsLeft},
    {kIdcFolder, K::kEdit, L"", {7, 31, 318, 14}, kEditStyle | kEsAutoHScroll},
    {kIdcBrowse, K::kPushButton, L"...", {326, 31, 15, 14}, kTab},
    {kIdcMediaGroup, K::kGroupBox, L"Choose files you want to download", {7, 49, 334, 91}, 0},
    {kIdcWallpapers, K::kAutoCheckBox, L"Desktop Wallpapers", {19, 65, 80, 10}, kTab},
    {kIdcWallpapersMaxLabel, K::kLabel, L"Max N. of files:", {139, 66, 65, 8}, kSsLeft},
    {kIdcWallpapersMax, K::kEdit, L"", {209, 63, 29, 14}, kEditStyle},
    {kIdcWallpapersTags, K::kEdit, L"", {42, 80, 289, 14}, kEditStyle},
    {kIdcClocks, K::kAutoCheckBox, L"Wallpaper Clocks", {19, 103, 71, 10}, kTab},
    {kIdcClocksMaxLabel, K::kLabel, L"Max N. of files:", {139, 104, 65, 8}, kSsLeft},
    {kIdcClocksMax, K::kEdit, L"", {209, 101, 29, 14}, kEditStyle},
    {kIdcClocksTags, K::kEdit, L"", {42, 118, 289, 14}, kEditStyle},
    {kIdcIntervalLabel,
     K::kLabel,
     L"Check downloads at startup and every :",
     {7, 150, 138, 8},
     kSsLeft},
    {kIdcMinutes, K::kEdit, L"", {201, 147, 26, 14}, kEditStyle},
    {kIdcMinutesLabel, K::kLabel, L"Min.     (0:0 =Disable)", {230, 150, 85, 8}, kSsLeft},
    {kIdcAuthorize, K::kPushButton, L"Authorize...", {359, 153, 54, 14}, kTab},
    {kIdOk, K::kDefPushButton, L"OK", {359, 7, 54, 14}, kTab},
    {kIdCancel, K::kPushButton, L"Cancel", {359, 24, 54, 14}, kTab},
    {kIdcHelp, K::kPushButton, L"Help", {359, 52, 54, 14}, kTab},
    {kIdcStatus, K::kLabel, L"Static", {7, 170, 334, 20}, kSsCenter},
    {kIdcWallpapersTagsLabel, K::kLabel, L"Tags:", {19, 83, 19, 8}, kSsLeft},
    {kIdcClocksTagsLabel, K::kLabel, L"Tags:", {19, 121, 19, 8}, kSsLeft},
    {kIdcHours, K::kEdit, L"", {149, 147, 26, 14}, kEditStyle},
    {kIdcHoursLabel, K::kLabel, L"Hours", {177, 150, 20, 8}, kSsLeft},
};

constexpr ControlTemplate kAuthorizeControls[] = {
    {kIdcEmail, K::kEdit, L"", {45, 7, 106, 14}, kEditStyle | kEsAutoHScroll},
    {kIdcPassword, K::kEdit, L"", {45, 32, 106, 14}, kEditStyle | kEsAutoHScroll | kEsPassword},
    {kIdOk, K::kDefPushButton, L"OK", {24, 65, 50, 14}, kTab},
    {kIdCancel, K::kPushButton, L"Cancel", {84, 65, 50, 14}, kTab},
    {kIdcStatic, K::kLabel, L"Email:", {7, 10, 19, 8}, kSsLeft},
    {kIdcStatic, K::kLabel, L"Password:", {7, 35, 32, 8}, kSsLeft},
};

const DialogTemplate kOrvellaTemplate{kIddOrvella,  L"Orvella PlugIn 1.0", 420,
                                      198,          L"MS Sans Serif",      8,
                                      kDialogStyle, kOrvellaControls};

const DialogTemplate kAuthorizeTemplate{
    kIddAuthorize, L"Authorize", 158, 86, L"MS Shell Dlg", 8, kDialogStyle, kAuthorizeControls};

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
  if (controlId == kIdcStatic) return nullptr;
  for (const ControlTemplate& control : controls) {
    if (control.id == controlId) return &control;
  }
  return nullptr;
}

std::vector<int> DialogTemplate::TabOrder() const {
  std::vector<int> order;
  for (const ControlTemplate& control : controls) {
    if (control.style & kWsTabStop) order.push_back(control.id);
  }
  return order;
}

const DialogTemplate& OrvellaDialogTemplate() {
  return kOrvellaTemplate;
}

const DialogTemplate& AuthorizeDialogTemplate() {
  return kAuthorizeTemplate;
}

const DialogTemplate* FindDialogTemplate(int id) {
  if (id == kIddOrvella) return &kOrvellaTemplate;
  if (id == kIddAuthorize) return &kAuthorizeTemplate;
  return nullptr;
}

const wchar_t* WindowClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kEdit:
      return L"Edit";
    case ControlKind::kLabel:
      return L"Static";
    default:
      return L"Button";
  }
}

uint32_t KindStyleOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kAutoCheckBox:
      return kBsAutoCheckBox;
    case ControlKind::kDefPushButton:
      return kBsDefPushButton;
    case ControlKind::kGroupBox:
      return kBsGroupBox;
    default:
      return 0;  // BS_PUSHBUTTON, ES_LEFT and SS_LEFT are all 0
  }
}

}  // namespace orvella
