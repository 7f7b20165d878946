// Finding GTK windows and playing keys and clicks on them.
#include "tests/ui/gtk_driver.h"

#include <filesystem>

#include "ui/dialogs_gtk.h"

namespace orvella::test {

GtkDriver::GtkDriver() {
  GSource* source = g_timeout_source_new(20);
  g_source_set_callback(source, &GtkDriver::Tick, this, nullptr);
  // A step that opens a message box blocks inside this source: the box's own loop must be
  // able to run the next step.
  g_source_set_can_recurse(source, TRUE);
  source_ = g_source_attach(source, nullptr);
  g_source_unref(source);
}

GtkDriver::~GtkDriver() {
  if (source_ != 0) g_source_remove(source_);
}

GtkDriver& GtkDriver::Then(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

GtkDriver& GtkDriver::When(const std::string& title, std::function<void(GtkWidget*)> act,
                           GType type) {
  return Then([=] {
    GtkWidget* window = FindMappedWindow(title, type);
    if (window != nullptr) act(window);
    return window != nullptr;
  });
}

gboolean GtkDriver::Tick(gpointer self) {
  auto* driver = static_cast<GtkDriver*>(self);
  // A step may open a nested modal run that ticks this driver again: take it out first.
  if (driver->steps_.empty()) return G_SOURCE_CONTINUE;
  Step step = std::move(driver->steps_.front());
  driver->steps_.pop_front();
  if (!step()) driver->steps_.push_front(std::move(step));
  return G_SOURCE_CONTINUE;
}

namespace {

constexpr char kDrawnKey[] = "orvella-test-drawn";

gboolean OnDrawn(GtkWidget* window, cairo_t*, gpointer) {
  g_object_set_data(G_OBJECT(window), kDrawnKey, GINT_TO_POINTER(2));
  return FALSE;
}

// True once the window has been laid out and drawn; starts watching on the first call.
bool Drawn(GtkWidget* window) {
  const int state = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), kDrawnKey));
  if (state == 0) {
    g_object_set_data(G_OBJECT(window), kDrawnKey, GINT_TO_POINTER(1));
    g_signal_connect_after(window, "draw", G_CALLBACK(&OnDrawn), nullptr);
    gtk_widget_queue_draw(window);
  }
  return state == 2;
}

}  // namespace

GtkWidget* FindMappedWindow(const std::string& title, GType type) {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* item = windows; item != nullptr && found == nullptr; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    const char* windowTitle = gtk_window_get_title(GTK_WINDOW(window));
    if (windowTitle == nullptr || title != windowTitle || !gtk_widget_get_mapped(window)) continue;
    if (type != G_TYPE_INVALID && !G_TYPE_CHECK_INSTANCE_TYPE(window, type)) continue;
    if (Drawn(window)) found = window;
  }
  g_list_free(windows);
  return found;
}

std::string ControlText(GtkWidget* window, int id) {
  GtkWidget* widget = FindControlWidget(window, id);
  if (widget == nullptr) return "<missing>";
  if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  return gtk_button_get_label(GTK_BUTTON(widget));
}

void ClickControl(GtkWidget* window, int id) {
  gtk_button_clicked(GTK_BUTTON(FindControlWidget(window, id)));
}

void TypeInto(GtkWidget* window, int id, const std::string& text) {
  gtk_entry_set_text(GTK_ENTRY(FindControlWidget(window, id)), text.c_str());
}

std::string SaveScreenshot(GtkWidget* window, const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(ORVELLA_BINARY_DIR) / "ui-screenshots";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / (name + ".png")).string();
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, gtk_widget_get_allocated_width(window),
                                 gtk_widget_get_allocated_height(window));
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(window, cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return path;
}

void PressKey(GtkWidget* window, guint keyval) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->key.send_event = TRUE;
  event->key.time = GDK_CURRENT_TIME;
  event->key.keyval = keyval;
  // Key bindings (Tab's focus move among them) look keys up by their hardware code.
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(window)),
                                        keyval, &keys, &count) &&
      count > 0) {
    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    event->key.group = static_cast<guint8>(keys[0].group);
  }
  g_free(keys);
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
  gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
  gtk_widget_event(window, event);
  gdk_event_free(event);
}

}  // namespace orvella::test
