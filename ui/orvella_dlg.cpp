// The settings dialog's model: its fields, validation and sign-in flow.
#include "ui/orvella_dlg.h"

#include "base/path_text.h"
#include "base/text_format.h"
#include "resources/string_table.h"
#include "system/module_file.h"
#include "ui/authorize_dlg.h"
#include "ui/dir_select_dlg.h"
#include "ui/integer_field.h"

namespace orvella {

std::wstring StatusLineText(const std::wstring& token, const std::wstring& user) {
  if (token.empty()) return LoadStringById(kIdsNotAuthenticated);
  return Format(kTextAuthenticated, user);
}

COrvellaDlg::COrvellaDlg(CDialogPlatform& platform, CAuthorizer& authorizer, uintptr_t parent)
    : platform_(platform), authorizer_(authorizer), parent_(parent) {}

int COrvellaDlg::DoModal() {
  return platform_.RunModal(*this, parent_);
}

const DialogTemplate& COrvellaDlg::Template() const {
  return OrvellaDialogTemplate();
}

void COrvellaDlg::OnInitDialog() {
  LoadStep();
  SetStatusLine(token, user);
  ApplyEnablingRules();
}

void COrvellaDlg::OnCommand(int id) {
  switch (id) {
    case kIdcEnabled:
      ApplyEnablingRules();
      break;
    case kIdcWallpapers:
      ApplyWallpapersRule();
      break;
    case kIdcClocks:
      ApplyClocksRule();
      break;
    case kIdcBrowse:
      OnBrowseFolder();
      break;
    case kIdcAuthorize:
      OnAuthorize();
      break;
    case kIdcHelp:
      OnHelp();
      break;
    case kIdOk:
      OnOK();
      break;
    case kIdCancel:
      view().EndDialog(kResultCancel);
      break;
    default:
      break;
  }
}

void COrvellaDlg::LoadStep() {
  const MediaChoices choices = ShownMediaChoices(feeds);
  const int32_t hours = tmUpdate / 60;  // truncating: a negative interval gives negative parts
  const int32_t minutes = tmUpdate % 60;
  if (Enabled < 0 || Enabled > 2) Enabled = 0;

  CDialogView& v = view();
  v.SetChecked(kIdcEnabled, Enabled == 1);
  v.SetItemText(kIdcFolder, ImgFolder);
  v.SetItemText(kIdcMinutes, std::to_wstring(minutes));
  v.SetItemText(kIdcHours, std::to_wstring(hours));
  v.SetChecked(kIdcWallpapers, choices.wallpapers.selected);
  v.SetChecked(kIdcClocks, choices.clocks.selected);
  v.SetItemText(kIdcWallpapersMax, std::to_wstring(choices.wallpapers.maxFiles));
  v.SetItemText(kIdcClocksMax, std::to_wstring(choices.clocks.maxFiles));
  v.SetItemText(kIdcWallpapersTags, choices.wallpapers.tags);
  v.SetItemText(kIdcClocksTags, choices.clocks.tags);
}

void COrvellaDlg::Fail(int id, const std::wstring& text, MessageIcon icon) {
  view().ShowMessage(text, MessageButtons::kOk, icon);
  view().FocusAndSelectAll(id);
}

bool COrvellaDlg::ReadInteger(int id, int32_t& value) {
  const std::optional<int32_t> number = ReadIntegerField(view().GetItemText(id));
  if (!number) {
    Fail(id, kTextParseInt, MessageIcon::kNone);
    return false;
  }
  value = *number;
  return true;
}

bool COrvellaDlg::ReadFilesMax(int id, int32_t& value) {
  if (!ReadInteger(id, value)) return false;
  const std::wstring refusal = FilesMaxRefusal(value);
  if (refusal.empty()) return true;
  Fail(id, refusal, MessageIcon::kExclamation);
  return false;
}

bool COrvellaDlg::SaveStep() {
  CDialogView& v = view();
  Enabled = v.IsChecked(kIdcEnabled) ? 1 : 0;
  ImgFolder = v.GetItemText(kIdcFolder);

  int32_t minutes = 0;
  int32_t hours = 0;
  if (!ReadInteger(kIdcMinutes, minutes) || !ReadInteger(kIdcHours, hours)) return false;

  MediaChoices choices;
  choices.wallpapers.selected = v.IsChecked(kIdcWallpapers);
  choices.clocks.selected = v.IsChecked(kIdcClocks);
  // Both maxima are checked even when their type is not selected.
  if (!ReadFilesMax(kIdcWallpapersMax, choices.wallpapers.maxFiles) ||
      !ReadFilesMax(kIdcClocksMax, choices.clocks.maxFiles)) {
    return false;
  }
  choices.wallpapers.tags = v.GetItemText(kIdcWallpapersTags);
  choices.clocks.tags = v.GetItemText(kIdcClocksTags);

  // Hours and minutes are free integers; only their sum is bounded. It is formed in 64
  // bits, so no pair of entries can wrap around into the accepted range.
  const int64_t interval = int64_t{hours} * 60 + minutes;
  if (const std::wstring refusal = IntervalRefusal(interval); !refusal.empty()) {
    Fail(hours != 0 ? kIdcHours : kIdcMinutes, refusal, MessageIcon::kExclamation);
    return false;
  }
  tmUpdate = static_cast<int32_t>(interval);

  if (tmUpdate < kShortUpdateMinutes &&
      v.ShowMessage(LoadStringById(kIdsShortInterval), MessageButtons::kOkCancel,
                    MessageIcon::kNone) != kResultOk) {
    v.FocusAndSelectAll(kIdcClocksTags);
    return false;
  }
  // The folder is checked even while the plug-in is disabled.
  if (const std::wstring refusal = FolderRefusal(ImgFolder); !refusal.empty()) {
    Fail(kIdcFolder, refusal, MessageIcon::kNone);
    return false;
  }
  // Every OK replaces the feeds.
  RebuildFeeds(choices, feeds);
  return true;
}

void COrvellaDlg::OnOK() {
  if (SaveStep()) view().EndDialog(kResultOk);
}

void COrvellaDlg::ApplyEnablingRules() {
  const bool enabled = view().IsChecked(kIdcEnabled);
  for (const int id :
       {kIdcFolderLabel, kIdcFolder, kIdcBrowse, kIdcIntervalLabel, kIdcMinutes, kIdcHours,
        kIdcHoursLabel, kIdcMinutesLabel, kIdcAuthorize, kIdcWallpapers, kIdcClocks}) {
    view().EnableItem(id, enabled);
  }
  ApplyWallpapersRule();
  ApplyClocksRule();
}

void COrvellaDlg::ApplyWallpapersRule() {
  const bool enabled = view().IsChecked(kIdcEnabled) && view().IsChecked(kIdcWallpapers);
  for (const int id :
       {kIdcWallpapersMaxLabel, kIdcWallpapersMax, kIdcWallpapersTags, kIdcWallpapersTagsLabel}) {
    view().EnableItem(id, enabled);
  }
}

void COrvellaDlg::ApplyClocksRule() {
  const bool enabled = view().IsChecked(kIdcEnabled) && view().IsChecked(kIdcClocks);
  for (const int id : {kIdcClocksMaxLabel, kIdcClocksMax, kIdcClocksTags, kIdcClocksTagsLabel}) {
    view().EnableItem(id, enabled);
  }
}

void COrvellaDlg::SetStatusLine(const std::wstring& accountToken, const std::wstring& accountUser) {
  view().SetItemText(kIdcStatus, StatusLineText(accountToken, accountUser));
}

void COrvellaDlg::OnBrowseFolder() {
  const std::wstring typed = view().GetItemText(kIdcFolder);
  const std::wstring initial = PathExists(typed) ? typed : std::wstring();
  const std::wstring title = LoadStringById(kIdsSelectFolder);
  SECDirSelectDlg chooser(title.c_str(), initial.c_str(), 0, platform_);
  if (chooser.DoModal() != kResultOk) return;
  std::wstring chosen;
  chooser.GetPath(chosen);
  view().SetItemText(kIdcFolder, chosen);  // validated by the next save step only
}

void COrvellaDlg::OnHelp() {
  platform_.OpenHelp(HelpFilePath());
}

void COrvellaDlg::OnAuthorize() {
  CAuthorizeDlg signIn(platform_, authorizer_);
  if (!token.empty()) {
    if (view().ShowMessage(LoadStringById(kIdsForgetAccount), MessageButtons::kYesNo,
                           MessageIcon::kNone) != kResultYes) {
      return;
    }
    // Forgotten at once: cancelling the sign-in below does not bring the account back.
    token.clear();
    user.clear();
    SetStatusLine(token, user);
  }
  if (signIn.DoModal() != kResultOk) return;
  SetStatusLine(signIn.token, signIn.user);
  token = signIn.token;
  user = signIn.user;
  ApplyEnablingRules();
}

}  // namespace orvella
