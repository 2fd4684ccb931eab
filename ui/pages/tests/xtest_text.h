// Typing any character through the X server's XTest extension, as a
// keyboard whose spare key is mapped to that character would: the text
// reaches the focused window as key presses (no input method needed).
// Kept apart from the tests so Xlib's macros stay out of them.
#pragma once

#include <functional>
#include <string>

namespace market_xvfb {

class XTestText {
 public:
  ~XTestText();
  // False when the display cannot be opened, lacks XTest or has no spare key.
  bool Open(const std::string& display);
  // Presses the key that has `codepoint` when the keyboard has one;
  // otherwise maps the spare key to it, lets the client see the new mapping
  // (`settle` runs its event loop until it does, or a while), then presses
  // and releases that.
  void Type(char32_t codepoint, const std::function<void()>& settle);
  // Types each UTF-16 unit of `text` so (`settle` gets the character) and
  // runs `after` after each.
  void Type(const std::u16string& text, const std::function<void(char32_t)>& settle,
            const std::function<void()>& after);
  // The key code Type remaps.
  int spare_key() const { return m_spare; }

 private:
  void* m_dpy = nullptr;
  int m_spare = 0;  // a key code with no symbols
};

}  // namespace market_xvfb
