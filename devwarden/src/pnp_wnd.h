// devwarden::PnpWnd: the device notification thread. It receives the
// device-change messages: it polls the detection library's monitor
// descriptor and a stop descriptor (an eventfd) and hands every change to
// the library, which calls devwarden back on this thread, one change at a
// time.
#ifndef DEVWARDEN_SRC_PNP_WND_H_
#define DEVWARDEN_SRC_PNP_WND_H_

#include "foundation/base/win_thread.h"

namespace devwarden {

// The message code handed to UD_OnDeviceChangeMessage: "device nodes changed".
constexpr uintptr_t kDeviceNodesChanged = 0x0007;

// Threading: Arm/StopWindow run on the host's thread (PNP_Start, PNP_UnInit);
// Run on the thread. The descriptors are set before the thread starts and
// closed after it was joined.
class PnpWnd : public base::WinThread {
 public:
  PnpWnd();
  ~PnpWnd() override;

  // Takes the monitor descriptor and makes the stop descriptor; false when
  // either is missing (detection cannot run).
  bool Arm(int monitor_fd);
  // Wakes the thread through the stop descriptor, waits for it, closes the
  // stop descriptor. Safe when never started.
  void StopWindow();

 protected:
  void Run() override;

 private:
  int monitor_fd_ = -1;
  int stop_fd_ = -1;
};

}  // namespace devwarden

#endif  // DEVWARDEN_SRC_PNP_WND_H_
