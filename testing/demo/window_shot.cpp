// window_shot: saves one top-level window of an X display as a PNG, found by
// its title. The demo launcher uses it to keep a picture of the main window
// once the phone is connected (the program's own screenshot hook fires at
// its first paint, before any phone is there).
//
//   window_shot <title> <png>        (the display comes from $DISPLAY)
//
// Prints the window's geometry as WIDTHxHEIGHT+X+Y (X and Y on the root).
// Exit code 0 when saved; 1 with a reason on stderr otherwise.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string TitleOf(Display* display, Window window) {
  std::string title;
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    if (type == utf8 && format == 8) title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

// A mapped child of the root (or of a window manager's frame) with `title`.
Window FindMapped(Display* display, Window parent, const std::string& title, int depth) {
  Window root_return, parent_return, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &n)) return None;
  Window found = None;
  for (unsigned int i = n; i-- > 0 && found == None;) {  // topmost first
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    if (TitleOf(display, children[i]) == title) {
      found = children[i];
    } else if (depth < 2) {
      found = FindMapped(display, children[i], title, depth + 1);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_shot <title> <png>\n");
    return 1;
  }
  if (!gdk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "window_shot: cannot open the display\n");
    return 1;
  }
  GdkDisplay* gdk_display = gdk_display_get_default();
  if (!GDK_IS_X11_DISPLAY(gdk_display)) {
    std::fprintf(stderr, "window_shot: the display is not an X display\n");
    return 1;
  }
  Display* display = gdk_x11_display_get_xdisplay(gdk_display);
  Window window = FindMapped(display, DefaultRootWindow(display), argv[1], 0);
  if (window == None) {
    std::fprintf(stderr, "window_shot: no shown window titled \"%s\"\n", argv[1]);
    return 1;
  }
  // The pixels the display shows for the window: its rectangle of the root.
  XWindowAttributes attributes;
  Window child;
  int x = 0, y = 0;
  XGetWindowAttributes(display, window, &attributes);
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* pixels = gdk_pixbuf_get_from_window(root, x, y, attributes.width, attributes.height);
  if (pixels == nullptr) {
    std::fprintf(stderr, "window_shot: cannot read the window's pixels\n");
    return 1;
  }
  GError* error = nullptr;
  const bool saved = gdk_pixbuf_save(pixels, argv[2], "png", &error, nullptr);
  g_object_unref(pixels);
  if (!saved) {
    std::fprintf(stderr, "window_shot: cannot write %s: %s\n", argv[2], error ? error->message : "unknown error");
    if (error) g_error_free(error);
    return 1;
  }
  std::printf("%dx%d+%d+%d\n", attributes.width, attributes.height, x, y);
  return 0;
}
