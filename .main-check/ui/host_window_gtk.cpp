// The host's window as the owner of a dialog. On X11 the host hands over an X window id.
#include <gdk/gdkx.h>

#include "ui/dialogs_gtk.h"

namespace orvella {

GdkWindow* AttachToHostWindow(GtkWindow* dialog, uintptr_t handle) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(dialog));
  if (handle == 0 || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  const auto xid = static_cast<Window>(handle);
  // A window of this process: the GTK transient parent, which the modal grab then blocks.
  if (GdkWindow* own = gdk_x11_window_lookup_for_display(display, xid)) {
    gpointer owner = nullptr;
    gdk_window_get_user_data(gdk_window_get_toplevel(own), &owner);
    if (owner != nullptr && GTK_IS_WINDOW(owner)) {
      gtk_window_set_transient_for(dialog, GTK_WINDOW(owner));
      gtk_window_set_position(dialog, GTK_WIN_POS_CENTER_ON_PARENT);
      return nullptr;
    }
  }
  // Another process's window: the window manager keeps the dialog above it. A handle that
  // names no window gives null (GDK traps the X error).
  GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, xid);
  if (foreign == nullptr) return nullptr;
  gtk_widget_realize(GTK_WIDGET(dialog));
  gdk_window_set_transient_for(gtk_widget_get_window(GTK_WIDGET(dialog)), foreign);
  return foreign;
}

}  // namespace orvella
