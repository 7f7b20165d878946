// Scripted stand-ins for the dialog platform, its views and the sign-in request, so the
// dialog models run as they would in a window, driven by test scripts.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/authorizer.h"
#include "ui/dialog_platform.h"

namespace orvella::test {

struct ShownMessage {
  std::wstring text;
  MessageButtons buttons;
  MessageIcon icon;
};

/// One dialog window: the controls of its template with their state.
class ScriptedView final : public CDialogView {
 public:
  explicit ScriptedView(CDialogModel& model);

  // What a user does.
  void Type(int id, const std::wstring& text) { controls_.at(id).text = text; }
  /// Clicks control `id`; a check box toggles first, as an auto check box does. Then
  /// waits, as a user would, while the dialog is busy (see WaitWhileBusy).
  void Click(int id);
  /// Clicks control `id` and goes on at once.
  void Press(int id);
  /// Enter or Escape: command `id` reaches the model whether its button is enabled or not.
  void Key(int id) { model_.OnCommand(id); }
  /// Calls the model's OnTick, as the view's timer does, until it ends its busy state.
  void WaitWhileBusy();
  bool busy() const { return busy_; }

  // What a test looks at.
  const std::wstring& Text(int id) const { return controls_.at(id).text; }
  bool Checked(int id) const { return controls_.at(id).checked; }
  bool Enabled(int id) const { return controls_.at(id).enabled; }
  /// The field that got the focus with its text selected last (0: none).
  int selected() const { return selected_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  /// Answers for the next message boxes, in order; a box without an answer gets OK.
  std::deque<int> answers;

  std::wstring GetItemText(int id) const override;
  void SetItemText(int id, const std::wstring& text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void EnableItem(int id, bool enabled) override;
  void FocusAndSelectAll(int id) override;
  int ShowMessage(const std::wstring& text, MessageButtons buttons, MessageIcon icon) override;
  void EndDialog(int result) override;
  void SetBusy(bool busy) override { busy_ = busy; }

 private:
  struct Control {
    bool checkBox = false;
    std::wstring text;
    bool checked = false;
    bool enabled = true;
  };
  CDialogModel& model_;
  std::map<int, Control> controls_;
  std::vector<ShownMessage> messages_;
  int selected_ = 0;
  bool busy_ = false;
  bool ended_ = false;
  int result_ = 0;
};

/// Runs each dialog with the next script in line; the script plays the user.
class ScriptedPlatform final : public CDialogPlatform {
 public:
  using Script = std::function<void(ScriptedView&)>;

  std::deque<Script> scripts;
  /// Owners the dialogs were run with, in order.
  std::vector<uintptr_t> owners;
  /// Folder browser: requests seen, and the answer (empty: Cancel).
  std::vector<FolderBrowseRequest> browses;
  std::wstring browseAnswer;
  std::vector<std::wstring> helpOpened;

  bool Open() override { return true; }
  int RunModal(CDialogModel& dialog, uintptr_t owner) override;
  bool BrowseForFolder(const FolderBrowseRequest& request, std::wstring& chosen) override;
  void OpenHelp(const std::wstring& path) override { helpOpened.push_back(path); }
};

/// Answers sign-ins as told and records what it was asked.
class ScriptedAuthorizer final : public CAuthorizer {
 public:
  struct Call {
    std::wstring email;
    std::wstring password;
    std::wstring clientToken;  // what the client carried in
    std::wstring clientUser;
  };
  int32_t result = 1;
  std::wstring token = L"tok-1";
  std::wstring userName = L"Ada";
  std::wstring errorText;
  std::vector<Call> calls;

  int32_t Authorize(COrvellaClient& client, const std::wstring& email,
                    const std::wstring& password) override;
};

}  // namespace orvella::test
