// The scripted dialog platform, views and sign-in.
#include "tests/support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace orvella::test {

ScriptedView::ScriptedView(CDialogModel& model) : model_(model) {
  for (const ControlTemplate& control : model.Template().controls) {
    if (control.id == kIdcStatic) continue;
    Control state;
    state.checkBox = control.kind == ControlKind::kAutoCheckBox;
    if (control.kind != ControlKind::kEdit) state.text = control.text;
    controls_[control.id] = state;
  }
}

void ScriptedView::Click(int id) {
  Press(id);
  WaitWhileBusy();
}

void ScriptedView::Press(int id) {
  Control& control = controls_.at(id);
  ASSERT_TRUE(control.enabled) << "click on disabled control " << id;
  if (control.checkBox) control.checked = !control.checked;
  model_.OnCommand(id);
}

void ScriptedView::WaitWhileBusy() {
  while (busy_) {
    model_.OnTick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::wstring ScriptedView::GetItemText(int id) const {
  return controls_.at(id).text;
}

void ScriptedView::SetItemText(int id, const std::wstring& text) {
  controls_.at(id).text = text;
}

bool ScriptedView::IsChecked(int id) const {
  return controls_.at(id).checked;
}

void ScriptedView::SetChecked(int id, bool checked) {
  ASSERT_TRUE(controls_.at(id).checkBox) << id;
  controls_.at(id).checked = checked;
}

void ScriptedView::EnableItem(int id, bool enabled) {
  controls_.at(id).enabled = enabled;
}

void ScriptedView::FocusAndSelectAll(int id) {
  ASSERT_TRUE(controls_.count(id)) << id;
  selected_ = id;
}

int ScriptedView::ShowMessage(const std::wstring& text, MessageButtons buttons, MessageIcon icon) {
  messages_.push_back({text, buttons, icon});
  if (answers.empty()) return kResultOk;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedView::EndDialog(int result) {
  EXPECT_FALSE(ended_) << "dialog ended twice";
  ended_ = true;
  result_ = result;
}

int ScriptedPlatform::RunModal(CDialogModel& dialog, uintptr_t owner) {
  owners.push_back(owner);
  if (scripts.empty()) {
    ADD_FAILURE() << "no script for dialog " << dialog.Template().id;
    return kResultCancel;
  }
  const Script script = std::move(scripts.front());
  scripts.pop_front();
  ScriptedView view(dialog);
  dialog.Attach(&view);
  dialog.OnInitDialog();
  script(view);
  dialog.Attach(nullptr);
  EXPECT_TRUE(view.ended()) << "script left dialog " << dialog.Template().id << " open";
  return view.ended() ? view.result() : kResultCancel;
}

bool ScriptedPlatform::BrowseForFolder(const FolderBrowseRequest& request, std::wstring& chosen) {
  browses.push_back(request);
  if (browseAnswer.empty()) return false;
  chosen = browseAnswer;
  return true;
}

int32_t ScriptedAuthorizer::Authorize(COrvellaClient& client, const std::wstring& email,
                                      const std::wstring& password) {
  calls.push_back({email, password, client.token, client.userName});
  if (result == 1) {
    client.token = token;
    client.userName = userName;
  } else {
    client.errorText = errorText;
  }
  return result;
}

}  // namespace orvella::test
