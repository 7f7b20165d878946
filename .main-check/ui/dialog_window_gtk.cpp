// A dialog window built from its template: controls placed at their template rectangles
// converted to pixels, driven by the dialog model.
#include <gdk/gdkkeysyms.h>

#include "base/text_utf8.h"
#include "ui/dialogs_gtk.h"

namespace orvella {
namespace {

std::string Utf8(const std::wstring& text) {
  return WideToUtf8(text);
}
std::string Utf8(const wchar_t* text) {
  return WideToUtf8(text != nullptr ? text : L"");
}

// A push button, as opposed to a check box: Enter presses it when it has the focus.
bool IsPushButton(GtkWidget* widget) {
  return widget != nullptr && GTK_IS_BUTTON(widget) && !GTK_IS_TOGGLE_BUTTON(widget);
}

// A label rectangle of this many dialog units or more holds two lines of text.
constexpr int kTwoLineHeight = 16;

GtkWidget* CreateLabel(const ControlTemplate& control) {
  GtkWidget* label = gtk_label_new(Utf8(control.text).c_str());
  const bool centred = (control.style & kSsCenter) != 0;
  // Text of several lines wraps at word boundaries inside its rectangle. A one-line label
  // keeps its line whole: the substitute font may be wider than the template's, and the
  // templates leave room to the right of every such label.
  if (control.rect.cy >= kTwoLineHeight) {
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD);
  }
  gtk_label_set_justify(GTK_LABEL(label), centred ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
  gtk_label_set_xalign(GTK_LABEL(label), centred ? 0.5f : 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  return label;
}

}  // namespace

GtkWidget* FindControlWidget(GtkWidget* window, int id) {
  if (window == nullptr) return nullptr;
  GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(window));
  if (fixed == nullptr || !GTK_IS_CONTAINER(fixed)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
  GtkWidget* found = nullptr;
  for (GList* item = children; item != nullptr && found == nullptr; item = item->next) {
    GtkWidget* child = GTK_WIDGET(item->data);
    if (g_object_get_data(G_OBJECT(child), kControlIdKey) != nullptr &&
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(child), kControlIdKey)) == id) {
      found = child;
    }
  }
  g_list_free(children);
  return found;
}

CGtkDialogWindow::CGtkDialogWindow(CDialogModel& model, GtkWindow* parent, uintptr_t hostOwner)
    : model_(model) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  Build(model.Template());
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  if (parent != nullptr) {
    gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    if (hostOwner != 0) foreignOwner_ = AttachToHostWindow(GTK_WINDOW(window_), hostOwner);
  }
  g_signal_connect(window_, "delete-event", G_CALLBACK(&CGtkDialogWindow::OnDelete), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&CGtkDialogWindow::OnKeyPress), this);
}

CGtkDialogWindow::~CGtkDialogWindow() {
  // The handlers point at this object: cut them before the window can outlive it.
  g_signal_handlers_disconnect_by_data(window_, this);
  for (const Control& control : controls_) {
    g_signal_handlers_disconnect_by_data(control.widget, this);
  }
  gtk_widget_destroy(window_);
  g_object_unref(window_);
  if (foreignOwner_ != nullptr) g_object_unref(foreignOwner_);
  if (loop_ != nullptr) g_main_loop_unref(loop_);
}

void CGtkDialogWindow::Build(const DialogTemplate& dialogTemplate) {
  gtk_window_set_title(GTK_WINDOW(window_), Utf8(dialogTemplate.title).c_str());
  GtkStyleContext* style = gtk_widget_get_style_context(window_);
  gtk_style_context_add_class(style, kDialogCssClass);
  gtk_style_context_add_class(style,
                              ("orvella-dialog-" + std::to_string(dialogTemplate.id)).c_str());

  const DialogBaseUnits base = FontBaseUnits(dialogTemplate);
  GtkWidget* fixed = gtk_fixed_new();
  const PixelRect client = MapDialogRect({0, 0, dialogTemplate.cx, dialogTemplate.cy}, base);
  gtk_widget_set_size_request(fixed, client.cx, client.cy);
  gtk_container_add(GTK_CONTAINER(window_), fixed);

  GList* focusChain = nullptr;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    GtkWidget* widget = CreateControl(control);
    const PixelRect rect = MapDialogRect(control.rect, base);
    gtk_widget_set_size_request(widget, rect.cx, rect.cy);
    gtk_fixed_put(GTK_FIXED(fixed), widget, rect.x, rect.y);
    g_object_set_data(G_OBJECT(widget), kControlIdKey, GINT_TO_POINTER(control.id));
    const bool tabStop = (control.style & kWsTabStop) != 0;
    gtk_widget_set_can_focus(widget, tabStop);
    if (tabStop) focusChain = g_list_append(focusChain, widget);
    if (control.kind == ControlKind::kDefPushButton) {
      defaultId_ = control.id;
      gtk_widget_set_can_default(widget, TRUE);
      gtk_window_set_default(GTK_WINDOW(window_), widget);
    }
    if (GTK_IS_BUTTON(widget) && control.kind != ControlKind::kGroupBox) {
      g_signal_connect(widget, "clicked", G_CALLBACK(&CGtkDialogWindow::OnClicked), this);
    }
    controls_.push_back({control.id, control.kind, widget});
  }
  // The tab order is the template order of the tab stops.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(fixed), focusChain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(focusChain);
}

GtkWidget* CGtkDialogWindow::CreateControl(const ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::kAutoCheckBox:
      return gtk_check_button_new_with_label(Utf8(control.text).c_str());
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton:
      return gtk_button_new_with_label(Utf8(control.text).c_str());
    case ControlKind::kGroupBox:
      return gtk_frame_new(Utf8(control.text).c_str());
    case ControlKind::kEdit: {
      GtkWidget* entry = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);  // the rectangle sets the width
      if (control.style & kEsPassword) gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
      return entry;
    }
    case ControlKind::kLabel:
      break;
  }
  return CreateLabel(control);
}

const CGtkDialogWindow::Control* CGtkDialogWindow::Find(int id) const {
  if (id == kIdcStatic) return nullptr;
  for (const Control& control : controls_) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

int CGtkDialogWindow::Run() {
  // Like the dialog manager: focus on the first tab stop, then the model loads, then the
  // window appears.
  GList* chain = nullptr;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_get_focus_chain(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(window_))), &chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (chain != nullptr) gtk_widget_grab_focus(GTK_WIDGET(chain->data));
  g_list_free(chain);

  model_.Attach(this);
  model_.OnInitDialog();
  if (!ended_) {
    gtk_widget_show_all(window_);
    loop_ = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop_);
  }
  model_.Attach(nullptr);
  gtk_widget_hide(window_);
  return result_;
}

void CGtkDialogWindow::Command(int id) {
  if (!ended_) model_.OnCommand(id);
}

void CGtkDialogWindow::OnClicked(GtkButton* button, gpointer self) {
  auto* dialog = static_cast<CGtkDialogWindow*>(self);
  if (dialog->settingCheck_) return;
  dialog->Command(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kControlIdKey)));
}

gboolean CGtkDialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<CGtkDialogWindow*>(self)->Command(kIdCancel);
  return TRUE;  // the model decides; the window lives until the run ends
}

gboolean CGtkDialogWindow::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self) {
  auto* dialog = static_cast<CGtkDialogWindow*>(self);
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  if (modifiers != 0) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Escape:
      dialog->Command(kIdCancel);
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      // A focused push button takes Enter itself; everywhere else it presses the default.
      if (IsPushButton(gtk_window_get_focus(GTK_WINDOW(widget)))) return FALSE;
      dialog->Command(dialog->defaultId_);
      return TRUE;
    default:
      return FALSE;
  }
}

std::wstring CGtkDialogWindow::GetItemText(int id) const {
  const Control* control = Find(id);
  if (control == nullptr) return {};
  const char* text = nullptr;
  switch (control->kind) {
    case ControlKind::kEdit:
      text = gtk_entry_get_text(GTK_ENTRY(control->widget));
      break;
    case ControlKind::kLabel:
      text = gtk_label_get_text(GTK_LABEL(control->widget));
      break;
    case ControlKind::kGroupBox:
      text = gtk_frame_get_label(GTK_FRAME(control->widget));
      break;
    default:
      text = gtk_button_get_label(GTK_BUTTON(control->widget));
      break;
  }
  return Utf8ToWide(text != nullptr ? text : "");
}

void CGtkDialogWindow::SetItemText(int id, const std::wstring& text) {
  const Control* control = Find(id);
  if (control == nullptr) return;
  const std::string bytes = Utf8(text);
  switch (control->kind) {
    case ControlKind::kEdit:
      gtk_entry_set_text(GTK_ENTRY(control->widget), bytes.c_str());
      break;
    case ControlKind::kLabel:
      gtk_label_set_text(GTK_LABEL(control->widget), bytes.c_str());
      break;
    case ControlKind::kGroupBox:
      gtk_frame_set_label(GTK_FRAME(control->widget), bytes.c_str());
      break;
    default:
      gtk_button_set_label(GTK_BUTTON(control->widget), bytes.c_str());
      break;
  }
}

bool CGtkDialogWindow::IsChecked(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->kind == ControlKind::kAutoCheckBox &&
         gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control->widget));
}

void CGtkDialogWindow::SetChecked(int id, bool checked) {
  const Control* control = Find(id);
  if (control == nullptr || control->kind != ControlKind::kAutoCheckBox) return;
  settingCheck_ = true;
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control->widget), checked);
  settingCheck_ = false;
}

void CGtkDialogWindow::EnableItem(int id, bool enabled) {
  if (const Control* control = Find(id)) gtk_widget_set_sensitive(control->widget, enabled);
}

void CGtkDialogWindow::FocusAndSelectAll(int id) {
  const Control* control = Find(id);
  if (control == nullptr) return;
  gtk_widget_grab_focus(control->widget);
  if (GTK_IS_EDITABLE(control->widget)) {
    gtk_editable_select_region(GTK_EDITABLE(control->widget), 0, -1);
  }
}

int CGtkDialogWindow::ShowMessage(const std::wstring& text, MessageButtons buttons,
                                  MessageIcon icon) {
  return RunMessageBox(GTK_WINDOW(window_), text, buttons, icon);
}

void CGtkDialogWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (loop_ != nullptr) g_main_loop_quit(loop_);
}

}  // namespace orvella
