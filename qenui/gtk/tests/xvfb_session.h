// A private X server for one test process: Xvfb picks a free display itself
// (-displayfd), listens on no TCP port and needs no xauth file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qenui_gtk_test {

class XvfbSession {
 public:
  // Starts Xvfb and points DISPLAY at it; false (with the reason) when Xvfb
  // is missing or does not come up. extraArgs go to Xvfb after its own
  // (e.g. "-extension", "GLX" for a display without GL).
  bool Start(std::string* error, const std::vector<std::string>& extraArgs = {});
  // Runs a window manager on the display (only "openbox" is known) and
  // waits until it manages the screen; false (with the reason) when it is
  // missing or does not come up. Stop ends it first.
  bool StartWindowManager(const std::string& name, std::string* error);
  // As StartWindowManager with the manager named by PD_XVFB_WM; true
  // without one.
  bool StartWindowManagerOfEnvironment(std::string* error);
  void Stop();
  ~XvfbSession() { Stop(); }
  const std::string& Display() const { return m_display; }

 private:
  pid_t m_pid = 0;
  pid_t m_wmPid = 0;
  std::string m_display;
};

}  // namespace qenui_gtk_test
