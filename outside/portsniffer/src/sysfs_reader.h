// Reads USB devices from a sysfs tree ("/sys", or a test's copy).
#ifndef PORTSNIFFER_SRC_SYSFS_READER_H_
#define PORTSNIFFER_SRC_SYSFS_READER_H_

#include <optional>
#include <string>
#include <vector>

#include "usb_device_info.h"

namespace portsniffer {

// The device at root + devpath; nullopt when it has no idVendor (gone, or
// not a USB device). Interfaces are its "<name>:<config>.<n>" children.
std::optional<UsbDeviceInfo> ReadUsbDevice(const std::string& sysfs_root, const std::string& devpath);
// Every USB device listed in root/bus/usb/devices (interfaces skipped).
std::vector<UsbDeviceInfo> ReadPresentDevices(const std::string& sysfs_root);
// Interface devpath ("/devices/.../1-1/1-1:1.0") to its device's devpath.
std::string ParentDevpath(const std::string& devpath);

}  // namespace portsniffer

#endif  // PORTSNIFFER_SRC_SYSFS_READER_H_
