// Plays the user against real GTK windows while a modal run blocks the test's thread:
// steps run from the main loop the modal run spins, each retried until it succeeds.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <string>

namespace orvella::test {

class GtkDriver {
 public:
  /// A step returns true when done, false to be tried again on the next tick.
  using Step = std::function<bool()>;

  GtkDriver();
  ~GtkDriver();
  GtkDriver(const GtkDriver&) = delete;
  GtkDriver& operator=(const GtkDriver&) = delete;

  GtkDriver& Then(Step step);
  /// Waits for the window titled `title` (of `type`, if given; see FindMappedWindow),
  /// then hands it to `act`.
  GtkDriver& When(const std::string& title, std::function<void(GtkWidget*)> act,
                  GType type = G_TYPE_INVALID);
  /// True when every step has run.
  bool finished() const { return steps_.empty(); }

 private:
  static gboolean Tick(gpointer self);
  std::deque<Step> steps_;
  guint source_ = 0;
};

/// The text, a click and typing on control `id` of a template-built window.
std::string ControlText(GtkWidget* window, int id);
void ClickControl(GtkWidget* window, int id);
void TypeInto(GtkWidget* window, int id, const std::string& text);

/// Returns the top-level window titled `title` (of `type`, if given) once it is mapped and
/// has been drawn, or null.
GtkWidget* FindMappedWindow(const std::string& title, GType type = G_TYPE_INVALID);

/// Draws `window` into build-dir/ui-screenshots/`name`.png; returns the file's path.
std::string SaveScreenshot(GtkWidget* window, const std::string& name);

/// Sends a key press to `window` as if typed while it has the focus.
void PressKey(GtkWidget* window, guint keyval);

}  // namespace orvella::test
