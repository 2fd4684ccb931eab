#include "qenui/gtk/GtkScreenshot.h"

#include "qenui/gtk/GtkHost.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {

bool SaveWindowScreenshot(HWND hWnd, const std::string& path, std::string* error) {
  CGtkHost* host = GetGtkHost();
  GtkWidget* w = host ? host->NativeWindow(hWnd) : nullptr;
  if (!w) { if (error) *error = "no such window"; return false; }
  GdkWindow* gw = gtk_widget_get_window(w);
  if (!gw || !gtk_widget_get_mapped(w)) { if (error) *error = "window is not shown"; return false; }
  // Let pending paints reach the display first.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  gdk_display_sync(gdk_window_get_display(gw));
  int width = gdk_window_get_width(gw), height = gdk_window_get_height(gw);
  GdkPixbuf* pb = gdk_pixbuf_get_from_window(gw, 0, 0, width, height);
  if (!pb) { if (error) *error = "cannot read the window's pixels"; return false; }
  GError* err = nullptr;
  bool ok = gdk_pixbuf_save(pb, path.c_str(), "png", &err, nullptr);
  if (!ok && error) *error = err ? err->message : "cannot write the file";
  if (err) g_error_free(err);
  g_object_unref(pb);
  return ok;
}

bool SaveWindowOffscreen(HWND hWnd, const std::string& path, std::string* error) {
  CGtkHost* host = GetGtkHost();
  cairo_surface_t* s = host ? host->RenderOffscreen(hWnd) : nullptr;
  if (!s) { if (error) *error = "no such window or an empty one"; return false; }
  cairo_status_t st = cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
  if (st != CAIRO_STATUS_SUCCESS) { if (error) *error = cairo_status_to_string(st); return false; }
  return true;
}

}  // namespace DuiLib
