#include "qenui/gtk/GtkScreenshot.h"

#include <string>

#include "foundation/base/ini_engine.h"
#include "qenui/gtk/GtkHost.h"
#include "qenui/window/UIWindow.h"

namespace DuiLib {
namespace {

// The file is written whole under a temporary name and renamed into place:
// a reader never sees half a picture.
bool WriteWhole(const std::string& path, const std::string& png, std::string* error) {
  if (base::ini::WriteTextFileAtomically(path, png)) return true;
  if (error) *error = "cannot write the file";
  return false;
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

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
  gchar* png = nullptr;
  gsize size = 0;
  bool ok = gdk_pixbuf_save_to_buffer(pb, &png, &size, "png", &err, nullptr);
  g_object_unref(pb);
  if (!ok) {
    if (error) *error = err ? err->message : "cannot encode the picture";
    if (err) g_error_free(err);
    return false;
  }
  const std::string bytes(png, size);
  g_free(png);
  return WriteWhole(path, bytes, error);
}

bool SaveWindowOffscreen(HWND hWnd, const std::string& path, std::string* error) {
  CGtkHost* host = GetGtkHost();
  cairo_surface_t* s = host ? host->RenderOffscreen(hWnd) : nullptr;
  if (!s) { if (error) *error = "no such window or an empty one"; return false; }
  std::string png;
  cairo_status_t st = cairo_surface_write_to_png_stream(s, AppendPng, &png);
  cairo_surface_destroy(s);
  if (st != CAIRO_STATUS_SUCCESS) { if (error) *error = cairo_status_to_string(st); return false; }
  return WriteWhole(path, png, error);
}

}  // namespace DuiLib
