// Pointer and key input through the X server's XTest extension, kept apart
// from the tests so Xlib's macros stay out of them.
#pragma once

#include <string>

namespace qenui_gtk_test {

class XTestInput {
 public:
  // False when the display cannot be opened or lacks XTest.
  bool Open(const std::string& display);
  // Closes the connection; call it before the X server stops, since closing
  // a connection to a server that is gone ends the process through GDK's
  // handler of lost displays.
  void Close();
  ~XTestInput();
  void MoveTo(int x, int y);
  void Button(unsigned button, bool down);
  void Key(const char* keysym, bool down);
  // Presses and releases the key.
  void Tap(const char* keysym);
  // Returns once the X server has processed everything sent so far (the
  // events it caused are on their way to the windows' clients, in order).
  void Sync();
  // Moves the pointer to (x, y) and clicks the left button there.
  void ClickAt(int x, int y);
  // The viewable top-level window whose name (_NET_WM_NAME, UTF-8) is
  // `title`: its place and size on the screen; false when there is none.
  bool TopLevel(const std::string& title, int* x, int* y, int* width, int* height);
  // How many top-level windows are viewable.
  int ViewableTopLevels();

 private:
  void* m_dpy = nullptr;
};

}  // namespace qenui_gtk_test
