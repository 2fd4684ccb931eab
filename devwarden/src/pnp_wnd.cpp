#include "pnp_wnd.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "bindings/portsniffer_interface.h"
#include "foundation/base/log.h"

namespace devwarden {

PnpWnd::PnpWnd() : base::WinThread(u"{PnpWindow-E00DACEF-2B0D-4281-AE8C-F5C988569F48}") {}

PnpWnd::~PnpWnd() { StopWindow(); }

bool PnpWnd::Arm(int monitor_fd) {
  StopWindow();
  if (monitor_fd < 0) {
    PD_LOG_TRACE("CreatePnpWnd: Failed lasterr=0x%X", 0u);
    return false;
  }
  stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_fd_ < 0) {
    PD_LOG_TRACE("CreatePnpWnd: Failed lasterr=0x%X", static_cast<unsigned>(errno));
    return false;
  }
  monitor_fd_ = monitor_fd;
  return true;
}

void PnpWnd::StopWindow() {
  if (stop_fd_ >= 0) {
    uint64_t one = 1;
    ssize_t n = ::write(stop_fd_, &one, sizeof one);
    (void)n;
  }
  Stop();
  if (stop_fd_ >= 0) ::close(stop_fd_);
  stop_fd_ = -1;
  monitor_fd_ = -1;  // owned by the detection library
}

void PnpWnd::Run() {
  if (monitor_fd_ < 0 || stop_fd_ < 0) {
    PD_LOG_TRACE("CreatePnpWnd: Failed lasterr=0x%X", 0u);
    return;
  }
  while (!WaitForStop(0)) {
    pollfd fds[2] = {{stop_fd_, POLLIN, 0}, {monitor_fd_, POLLIN, 0}};
    int ready = ::poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      PD_LOG_TRACE("CreatePnpWnd: Failed lasterr=0x%X", static_cast<unsigned>(errno));
      return;
    }
    if (fds[0].revents) return;
    if (fds[1].revents & (POLLERR | POLLNVAL)) {
      PD_LOG_TRACE("CreatePnpWnd: Failed lasterr=0x%X", static_cast<unsigned>(fds[1].revents));
      return;
    }
    if (fds[1].revents & POLLIN) {
      const PortsnifferInterface& ud = Portsniffer();
      if (ud.UD_OnDeviceChangeMessage) ud.UD_OnDeviceChangeMessage(kDeviceNodesChanged, 0);
    }
  }
}

}  // namespace devwarden
