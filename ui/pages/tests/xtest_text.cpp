#include "xtest_text.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>

namespace market_xvfb {

XTestText::~XTestText() {
  if (m_dpy) XCloseDisplay(static_cast<Display*>(m_dpy));
}

bool XTestText::Open(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  int ev, err, major, minor;
  if (!XTestQueryExtension(d, &ev, &err, &major, &minor)) {
    XCloseDisplay(d);
    return false;
  }
  int min = 0, max = 0, per = 0;
  XDisplayKeycodes(d, &min, &max);
  KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(min), max - min + 1, &per);
  for (int code = max; code >= min && map && !m_spare; --code) {
    bool empty = true;
    for (int i = 0; i < per; ++i) empty = empty && map[(code - min) * per + i] == NoSymbol;
    if (empty) m_spare = code;
  }
  if (map) XFree(map);
  if (!m_spare) {
    XCloseDisplay(d);
    return false;
  }
  m_dpy = d;
  return true;
}

void XTestText::Type(char32_t codepoint, const std::function<void()>& settle) {
  auto* d = static_cast<Display*>(m_dpy);
  // Latin-1 characters are their own key symbols; the rest are Unicode ones.
  KeySym sym = codepoint < 0x100 ? static_cast<KeySym>(codepoint) : static_cast<KeySym>(0x01000000 | codepoint);
  // A character the keyboard has already is pressed on its own key (with
  // Shift for the key's second level): no remapping the client must catch up
  // with first.
  const KeyCode own = XKeysymToKeycode(d, sym);
  if (own != 0 && own != m_spare) {
    int per = 0;
    KeySym* levels = XGetKeyboardMapping(d, own, 1, &per);
    const int level = levels && per > 0 && levels[0] == sym ? 0 : levels && per > 1 && levels[1] == sym ? 1 : -1;
    if (levels) XFree(levels);
    const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    if (level == 0 || (level == 1 && shift != 0)) {
      if (level == 1) XTestFakeKeyEvent(d, shift, True, 0);
      XTestFakeKeyEvent(d, own, True, 0);
      XTestFakeKeyEvent(d, own, False, 0);
      if (level == 1) XTestFakeKeyEvent(d, shift, False, 0);
      XSync(d, False);
      return;
    }
  }
  KeySym syms[2] = {sym, sym};
  XChangeKeyboardMapping(d, m_spare, 2, syms, 1);
  XSync(d, False);
  settle();
  XTestFakeKeyEvent(d, static_cast<unsigned>(m_spare), True, 0);
  XTestFakeKeyEvent(d, static_cast<unsigned>(m_spare), False, 0);
  XSync(d, False);
}

void XTestText::Type(const std::u16string& text, const std::function<void(char32_t)>& settle,
                     const std::function<void()>& after) {
  for (char16_t c : text) {
    Type(c, [&] { settle(c); });
    after();
  }
}

}  // namespace market_xvfb
