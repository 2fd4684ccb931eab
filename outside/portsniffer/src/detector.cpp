#include "detector.h"

#include <errno.h>
#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "sysfs_reader.h"

namespace portsniffer {

namespace {

bool CanOpenNode(const std::string& devnode) {
  if (devnode.empty()) return false;
  int fd = ::open(devnode.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}

}  // namespace

Detector::Detector() : table_(CanOpenNode) {}

Detector::~Detector() { Disarm(); }

bool Detector::Arm(UdCallback callback, uintptr_t context) {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  if (monitor_) {
    callback_ = callback;
    context_ = context;
    return true;
  }
  sysfs_root_ = EnvOr("PORTSNIFFER_SYSFS_ROOT", "/sys");
  const std::string source = EnvOr("PORTSNIFFER_UEVENT_SOURCE", "udev");
  udev_ = udev_new();
  if (!udev_) return false;
  monitor_ = udev_monitor_new_from_netlink(udev_, source.c_str());
  if (monitor_) udev_monitor_set_receive_buffer_size(monitor_, 1 << 20);  // a burst of plugs; best effort
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    udev_unref(udev_);
    udev_ = nullptr;
    return false;
  }
  callback_ = callback;
  context_ = context;
  // The monitor is armed: a device plugged in from now on is queued there,
  // so reading the present devices after it loses nothing.
  table_.Clear();
  Deliver(table_.Rescan(ReadPresentDevices(sysfs_root_)));
  return true;
}

void Detector::Disarm() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  callback_ = nullptr;
  context_ = 0;
  if (monitor_) udev_monitor_unref(monitor_);
  monitor_ = nullptr;
  if (udev_) udev_unref(udev_);
  udev_ = nullptr;
  table_.Clear();
}

void Detector::SetCallback(UdCallback callback, uintptr_t context) {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  callback_ = callback;
  context_ = context;
}

bool Detector::Rescan() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  if (!monitor_) return false;
  Deliver(table_.Rescan(ReadPresentDevices(sysfs_root_)));
  Notification done;
  done.event = UD_EVENT_RESCANNED;
  Deliver({done});
  return true;
}

int Detector::MonitorFd() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

int Detector::DrainMonitor() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_mu_);
  if (!monitor_) return -1;
  int count = 0;
  // The monitor's socket is non-blocking: read until it is empty.
  while (monitor_) {
    errno = 0;
    udev_device* dev = udev_monitor_receive_device(monitor_);
    if (!dev) {
      // The socket overflowed and events were lost: the table is made right
      // again from what is present now.
      if (errno == ENOBUFS) Deliver(table_.Rescan(ReadPresentDevices(sysfs_root_)));
      break;
    }
    ++count;
    const char* action = udev_device_get_action(dev);
    const char* devpath = udev_device_get_devpath(dev);
    const char* devtype = udev_device_get_devtype(dev);
    std::string act = action ? action : "", path = devpath ? devpath : "", type = devtype ? devtype : "";
    udev_device_unref(dev);
    if (path.empty()) continue;
    if (type == "usb_device") {
      if (act == "remove") {
        Deliver(table_.Remove(path));
      } else if (auto info = ReadUsbDevice(sysfs_root_, path)) {
        Deliver(table_.Update(*info));
      }
    } else if (type == "usb_interface" && act != "remove" && act != "unbind") {
      // An interface appeared or got its driver: its device may be complete.
      if (auto info = ReadUsbDevice(sysfs_root_, ParentDevpath(path))) Deliver(table_.Update(*info));
    }
  }
  return count;
}

void Detector::Deliver(std::vector<Notification> notes) {
  for (auto& n : notes) {
    UdCallback cb = callback_;
    if (!cb) return;
    cb(n.event, n.event == UD_EVENT_RESCANNED ? nullptr : &n.record, context_);
  }
}

Detector& TheDetector() {
  static Detector* detector = new Detector();  // lives to process end; no exit-time teardown race
  return *detector;
}

}  // namespace portsniffer
