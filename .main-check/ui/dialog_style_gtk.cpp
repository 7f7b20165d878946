// The dialog font and the style that fits GTK's controls into template rectangles.
#include <string>

#include "base/text_utf8.h"
#include "ui/dialogs_gtk.h"

namespace orvella {
namespace {

// The template's face first; the desktop's sans-serif face stands in when it is missing.
std::string FontFamilies(const DialogTemplate& dialogTemplate) {
  return WideToUtf8(dialogTemplate.fontName) + ",Sans";
}

std::string TemplateFontCss(const DialogTemplate& dialogTemplate) {
  return ".orvella-dialog-" + std::to_string(dialogTemplate.id) + ", .orvella-dialog-" +
         std::to_string(dialogTemplate.id) + " * { font-family: \"" +
         WideToUtf8(dialogTemplate.fontName) +
         "\", Sans; font-size: " + std::to_string(dialogTemplate.fontPoints) + "pt; }\n";
}

// The theme's paddings and minimum sizes are made for roomy layouts; template rectangles
// are tight, so the controls give up their extra room and draw inside them.
constexpr char kCompactCss[] = R"css(
.orvella-dialog entry { min-height: 0; padding: 0 3px; }
.orvella-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }
.orvella-dialog checkbutton { min-height: 0; padding: 0; }
.orvella-dialog checkbutton check { min-width: 13px; min-height: 13px; margin: 0 4px 0 0; }
.orvella-dialog frame > label { padding: 0 2px; }
)css";

}  // namespace

DialogBaseUnits FontBaseUnits(const DialogTemplate& dialogTemplate) {
  PangoContext* context = gdk_pango_context_get_for_screen(gdk_screen_get_default());
  PangoFontDescription* font =
      pango_font_description_from_string(FontFamilies(dialogTemplate).c_str());
  pango_font_description_set_size(font, dialogTemplate.fontPoints * PANGO_SCALE);

  PangoLayout* layout = pango_layout_new(context);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);

  PangoFontMetrics* metrics = pango_context_get_metrics(context, font, nullptr);
  const int charHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) +
                                      pango_font_metrics_get_descent(metrics));
  pango_font_metrics_unref(metrics);
  g_object_unref(layout);
  pango_font_description_free(font);
  g_object_unref(context);

  DialogBaseUnits base{AverageCharWidth(width), charHeight > 0 ? charHeight : height};
  // A font that cannot be measured still gets a usable layout.
  if (base.cx <= 0) base.cx = 6;
  if (base.cy <= 0) base.cy = 13;
  return base;
}

void InstallDialogStyle() {
  static bool installed = false;
  if (installed) return;
  GdkScreen* screen = gdk_screen_get_default();
  if (screen == nullptr) return;
  std::string css = kCompactCss;
  css += TemplateFontCss(OrvellaDialogTemplate());
  css += TemplateFontCss(AuthorizeDialogTemplate());
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);  // the screen keeps it
  installed = true;
}

}  // namespace orvella
