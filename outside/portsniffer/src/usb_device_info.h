// What the library knows of one USB device, read from sysfs (or made up by
// a test): the input of the device table.
#ifndef PORTSNIFFER_SRC_USB_DEVICE_INFO_H_
#define PORTSNIFFER_SRC_USB_DEVICE_INFO_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "portsniffer.h"

namespace portsniffer {

struct UsbDeviceInfo {
  std::string devpath;            // sysfs path below the sysfs root, the device's key
  std::u16string serial, manufacturer, product;
  uint16_t vendor_id = 0, product_id = 0, release = 0;
  int declared_interfaces = -1;   // bNumInterfaces; -1 while not configured
  std::vector<UdInterfaceEntry> interfaces;  // in interface-number order
  bool authorized = true;
  std::string devnode;            // /dev/bus/usb/BBB/DDD, empty when unknown
  uint8_t bus_number = 0;
  uint32_t device_address = 0;
  std::array<uint8_t, 16> class_guid{};  // zero when unknown

  // Ready to be announced: every declared interface exists, or the device
  // is not authorised (it will never get interfaces until it is).
  bool Ready() const {
    return !authorized ||
           (declared_interfaces >= 0 && interfaces.size() >= static_cast<size_t>(declared_interfaces));
  }
  bool SameAs(const UsbDeviceInfo& o) const;
};

// "USB\VID_%04x&PID_%04x" of a device, as the host names it.
std::u16string BusIdOf(uint16_t vendor_id, uint16_t product_id);
bool BusIdEquals(const std::u16string& a, const std::u16string& b);  // ASCII case-insensitive
std::u16string Utf8ToUtf16(const std::string& s);

}  // namespace portsniffer

#endif  // PORTSNIFFER_SRC_USB_DEVICE_INFO_H_
