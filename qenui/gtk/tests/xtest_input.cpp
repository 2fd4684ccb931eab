#include "xtest_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qenui_gtk_test {

bool XTestInput::Open(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  int ev, err, major, minor;
  if (!XTestQueryExtension(d, &ev, &err, &major, &minor)) { XCloseDisplay(d); return false; }
  m_dpy = d;
  return true;
}

XTestInput::~XTestInput() {
  if (m_dpy) XCloseDisplay(static_cast<Display*>(m_dpy));
}

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

}  // namespace qenui_gtk_test
