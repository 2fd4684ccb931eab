// The libudev front: a netlink monitor on the "usb" subsystem, armed before
// the devices already present are read, feeding the device table; and the
// dispatch of the table's notifications to the host's callback.
#ifndef PORTSNIFFER_SRC_DETECTOR_H_
#define PORTSNIFFER_SRC_DETECTOR_H_

#include <mutex>
#include <string>
#include <vector>

#include "device_table.h"

struct udev;
struct udev_monitor;

namespace portsniffer {

// Threading: dispatch_mu_ (recursive, so a callback may call back in) is held
// while notifications are delivered and while the monitor is read, armed or
// dropped, so callbacks come one at a time and none runs after Disarm.
// The table has its own lock for the queries of other threads.
class Detector {
 public:
  Detector();
  ~Detector();

  // Environment: PORTSNIFFER_SYSFS_ROOT (default "/sys") and
  // PORTSNIFFER_UEVENT_SOURCE ("udev", the default, or "kernel").
  bool Arm(UdCallback callback, uintptr_t context);
  void Disarm();
  bool Rescan();
  int DrainMonitor();
  int MonitorFd();
  void SetCallback(UdCallback callback, uintptr_t context);
  DeviceTable& table() { return table_; }

 private:
  void Deliver(std::vector<Notification> notes);

  std::recursive_mutex dispatch_mu_;
  UdCallback callback_ = nullptr;
  uintptr_t context_ = 0;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::string sysfs_root_;
  DeviceTable table_;
};

Detector& TheDetector();

}  // namespace portsniffer

#endif  // PORTSNIFFER_SRC_DETECTOR_H_
