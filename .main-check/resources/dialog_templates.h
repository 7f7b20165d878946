// The module's dialog templates 1000 (settings) and 1001 (sign-in), held once as data.
//
// Each view builds its window from this description: the GTK view lays the controls out by
// converting dialog units to pixels, and a Windows resource script can be generated from
// the same records (window class from the kind, style bits as Win32 defines them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvella {

/// Dialog template ids.
enum DialogTemplateId : int {
  kIddOrvella = 1000,
  kIddAuthorize = 1001,
};

/// Command ids shared by every dialog (the dialog manager's IDOK and IDCANCEL).
enum CommandId : int {
  kIdOk = 1,
  kIdCancel = 2,
};

/// Id of a label that no code addresses (the resource compiler's IDC_STATIC).
inline constexpr int kIdcStatic = -1;

/// Controls of template 1000.
enum ConfigControlId : int {
  kIdcEnabled = 1000,
  kIdcFolderLabel = 1021,
  kIdcFolder = 1032,
  kIdcBrowse = 1033,
  kIdcMediaGroup = 1025,
  kIdcWallpapers = 1007,
  kIdcWallpapersMaxLabel = 1013,
  kIdcWallpapersMax = 1012,
  kIdcWallpapersTags = 1014,
  kIdcClocks = 1008,
  kIdcClocksMaxLabel = 1015,
  kIdcClocksMax = 1016,
  kIdcClocksTags = 1017,
  kIdcIntervalLabel = 1039,
  kIdcMinutes = 1006,
  kIdcMinutesLabel = 1040,
  kIdcAuthorize = 1003,
  kIdcHelp = 1002,
  kIdcStatus = 1024,
  kIdcWallpapersTagsLabel = 1004,
  kIdcClocksTagsLabel = 1005,
  kIdcHours = 1009,
  kIdcHoursLabel = 1010,
};

/// Controls of template 1001.
enum AuthorizeControlId : int {
  kIdcEmail = 1002,
  kIdcPassword = 1003,
};

/// Win32 style bits, by their Win32 values, so a resource script can be generated as is.
inline constexpr uint32_t kWsPopup = 0x80000000u;
inline constexpr uint32_t kWsChild = 0x40000000u;
inline constexpr uint32_t kWsVisible = 0x10000000u;
inline constexpr uint32_t kWsCaption = 0x00C00000u;
inline constexpr uint32_t kWsBorder = 0x00800000u;
inline constexpr uint32_t kWsSysMenu = 0x00080000u;
inline constexpr uint32_t kWsGroup = 0x00020000u;
inline constexpr uint32_t kWsTabStop = 0x00010000u;
inline constexpr uint32_t kDsSetFont = 0x00000040u;
inline constexpr uint32_t kDsModalFrame = 0x00000080u;
inline constexpr uint32_t kBsPushButton = 0x00000000u;
inline constexpr uint32_t kBsDefPushButton = 0x00000001u;
inline constexpr uint32_t kBsAutoCheckBox = 0x00000003u;
inline constexpr uint32_t kBsGroupBox = 0x00000007u;
inline constexpr uint32_t kEsPassword = 0x00000020u;
inline constexpr uint32_t kEsAutoHScroll = 0x00000080u;
inline constexpr uint32_t kSsLeft = 0x00000000u;
inline constexpr uint32_t kSsCenter = 0x00000001u;

/// What a control is; together with its style this names the Win32 window class.
enum class ControlKind : uint8_t {
  kAutoCheckBox,   // "Button", BS_AUTOCHECKBOX
  kPushButton,     // "Button", BS_PUSHBUTTON
  kDefPushButton,  // "Button", BS_DEFPUSHBUTTON: pressed by Enter
  kGroupBox,       // "Button", BS_GROUPBOX
  kEdit,           // "Edit", single line
  kLabel,          // "Static"; SS_CENTER in its style centres it
};

/// A rectangle in dialog units: x, y, width, height.
struct DialogRect {
  int x;
  int y;
  int cx;
  int cy;
};

/// One control of a template.
struct ControlTemplate {
  int id;  // kIdcStatic for labels no code addresses
  ControlKind kind;
  const wchar_t* text;  // caption; "" for edits
  DialogRect rect;      // dialog units, relative to the client area
  uint32_t style;       // extra style bits: kWsTabStop, kWsBorder, kEs..., kSs...
};

/// One dialog template.
struct DialogTemplate {
  int id;
  const wchar_t* title;
  int cx;                   // client width, dialog units
  int cy;                   // client height, dialog units
  const wchar_t* fontName;  // the template's font; views substitute what the system has
  int fontPoints;
  uint32_t style;                             // window style bits
  std::span<const ControlTemplate> controls;  // template order: creation and tab order

  /// Returns the control with `id`, or null when the template has none (never for
  /// kIdcStatic). Any thread.
  const ControlTemplate* Find(int controlId) const;
  /// Returns the ids of the tab stops in tab order (template order). Any thread.
  std::vector<int> TabOrder() const;
};

/// The settings dialog, template 1000.
const DialogTemplate& OrvellaDialogTemplate();
/// The sign-in dialog, template 1001. Its password edit masks what is typed.
const DialogTemplate& AuthorizeDialogTemplate();
/// Returns the template with `id`, or null. Any thread.
const DialogTemplate* FindDialogTemplate(int id);

/// The Win32 window class of a control kind: "Button", "Edit" or "Static".
const wchar_t* WindowClassOf(ControlKind kind);
/// The kind's own style bits (BS_AUTOCHECKBOX, BS_DEFPUSHBUTTON, ...), without the extras.
uint32_t KindStyleOf(ControlKind kind);

}  // namespace orvella
