#include "xtest_input.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>

namespace qenui_gtk_test {

bool XTestInput::Open(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  int ev, err, major, minor;
  if (!XTestQueryExtension(d, &ev, &err, &major, &minor)) { XCloseDisplay(d); return false; }
  m_dpy = d;
  return true;
}

void XTestInput::Close() {
  if (m_dpy) XCloseDisplay(static_cast<Display*>(m_dpy));
  m_dpy = nullptr;
}

XTestInput::~XTestInput() { Close(); }

void XTestInput::MoveTo(int x, int y) {
  auto* d = static_cast<Display*>(m_dpy);
  XTestFakeMotionEvent(d, -1, x, y, 0);
  XFlush(d);
}

void XTestInput::Button(unsigned button, bool down) {
  auto* d = static_cast<Display*>(m_dpy);
  XTestFakeButtonEvent(d, button, down ? True : False, 0);
  XFlush(d);
}

void XTestInput::Key(const char* keysym, bool down) {
  auto* d = static_cast<Display*>(m_dpy);
  KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym));
  XTestFakeKeyEvent(d, code, down ? True : False, 0);
  XFlush(d);
}

void XTestInput::Tap(const char* keysym) {
  Key(keysym, true);
  Key(keysym, false);
}

void XTestInput::Sync() { XSync(static_cast<Display*>(m_dpy), False); }

void XTestInput::ClickAt(int x, int y) {
  MoveTo(x, y);
  Button(1, true);
  Button(1, false);
}

namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// Calls `each` with every viewable child of the root window. A window that
// goes meanwhile is skipped (its errors are ignored here only).
void ForEachViewableTopLevel(Display* d, const std::function<void(Window)>& each) {
  XSync(d, False);
  XErrorHandler before = XSetErrorHandler(&IgnoreXError);
  Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(d, root, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(d, children[i], &attributes) && attributes.map_state == IsViewable) each(children[i]);
    }
  }
  if (children) XFree(children);
  XSync(d, False);
  XSetErrorHandler(before);
}

std::string NameOf(Display* d, Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(d, "UTF8_STRING", False), &type, &format, &items, &after, &data) == Success &&
      data && format == 8) {
    name.assign(reinterpret_cast<char*>(data), items);
  }
  if (data) XFree(data);
  return name;
}

}  // namespace

bool XTestInput::TopLevel(const std::string& title, int* x, int* y, int* width, int* height) {
  auto* d = static_cast<Display*>(m_dpy);
  bool found = false;
  ForEachViewableTopLevel(d, [&](Window w) {
    if (found || NameOf(d, w) != title) return;
    XWindowAttributes attributes;
    Window child = 0;
    if (!XGetWindowAttributes(d, w, &attributes) ||
        !XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, x, y, &child)) {
      return;
    }
    *width = attributes.width;
    *height = attributes.height;
    found = true;
  });
  return found;
}

int XTestInput::ViewableTopLevels() {
  int count = 0;
  ForEachViewableTopLevel(static_cast<Display*>(m_dpy), [&](Window) { ++count; });
  return count;
}

}  // namespace qenui_gtk_test
