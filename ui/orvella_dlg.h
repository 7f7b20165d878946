// COrvellaDlg: the settings dialog (template 1000). Edits copies of the plug-in's
// settings, feeds and account; the caller copies them back only after OK.
#pragma once

#include <cstdint>
#include <string>

#include "model/orvella_model.h"
#include "model/plugin_settings.h"
#include "ui/authorizer.h"
#include "ui/dialog_model.h"
#include "ui/dialog_platform.h"
#include "ui/settings_rules.h"

namespace orvella {

/// Returns the status line for an account: string 29 with the user name when `token`
/// is not empty, else string 28 (whatever the user name). Any thread.
std::wstring StatusLineText(const std::wstring& token, const std::wstring& user);

/// Edits the plug-in's settings (PluginSettings: the enabled flag, the image folder and the
/// interval; the minimum-age rule passes through unchanged) and its configuration (feeds,
/// token and user).
class COrvellaDlg : public CDialogModel, public COrvellaConfig, public PluginSettings {
 public:
  /// The dialog runs on `platform`, signs in through `authorizer` and is owned by the
  /// window `parent` (0: none); all three outlive it.
  COrvellaDlg(CDialogPlatform& platform, CAuthorizer& authorizer, uintptr_t parent);

  /// Runs the dialog modally. Returns kResultOk when it closed through a successful save
  /// step, kResultCancel otherwise. Host's thread.
  int DoModal();

  const DialogTemplate& Template() const override;
  /// Load step, status line, enabling rules.
  void OnInitDialog() override;
  void OnCommand(int id) override;

  /// Values to controls. A stored enabled flag outside 0 to 2 is reset to 0 first.
  void LoadStep();
  /// Controls to values with validation. Returns true when the dialog may close with OK;
  /// on failure the message has been shown, the offending field holds the focus with its
  /// text selected, and the values read before the failure stay in the dialog.
  bool SaveStep();
  /// Enabling rules for all three groups (after a click on 1000, when opening, after a
  /// sign-in).
  void ApplyEnablingRules();
  void ApplyWallpapersRule();
  void ApplyClocksRule();

 private:
  void OnOK();
  void OnBrowseFolder();
  void OnAuthorize();
  void OnHelp();
  void SetStatusLine(const std::wstring& accountToken, const std::wstring& accountUser);
  /// Reads field `id` as an integer; on failure shows "Enter an integer." and selects it.
  bool ReadInteger(int id, int32_t& value);
  /// Reads a maximum from field `id` and checks its bounds; on failure shows the message.
  bool ReadFilesMax(int id, int32_t& value);
  void Fail(int id, const std::wstring& text, MessageIcon icon);

  CDialogPlatform& platform_;
  CAuthorizer& authorizer_;
  uintptr_t parent_;
};

}  // namespace orvella
