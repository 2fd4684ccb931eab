// The last test of the classification: is there a video driver for this USB
// device? Asked of libudev: a video4linux device below an interface of class
// 0x0E of a USB device with the record's vendor and product id.
#include <libudev.h>

#include <cstdio>
#include <cstdlib>

#include "base/base_string.h"
#include "device_class.h"
#include "foundation/base/code_page.h"
#include "foundation/base/log.h"

namespace devwarden {

namespace {

unsigned long HexAttr(udev_device* dev, const char* name) {
  const char* v = udev_device_get_sysattr_value(dev, name);
  return v ? std::strtoul(v, nullptr, 16) : 0xFFFFFFFFul;
}

}  // namespace

int CheckVideoID(DeviceRecord* record) {
  PD_LOG_TRACE("CheckVideoID begin.");
  int result = 0;
  udev* u = record ? udev_new() : nullptr;
  udev_enumerate* en = u ? udev_enumerate_new(u) : nullptr;
  if (en && udev_enumerate_add_match_subsystem(en, "video4linux") >= 0 && udev_enumerate_scan_devices(en) >= 0) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "USB\\VID_%04x&PID_%04x", record->vendor_id(), record->product_id());
    PD_LOG_TRACE("HWID:%s", prefix);
    for (udev_list_entry* e = udev_enumerate_get_list_entry(en); e; e = udev_list_entry_get_next(e)) {
      udev_device* v4l = udev_device_new_from_syspath(u, udev_list_entry_get_name(e));
      if (!v4l) continue;
      udev_device* intf = udev_device_get_parent_with_subsystem_devtype(v4l, "usb", "usb_interface");
      udev_device* dev = udev_device_get_parent_with_subsystem_devtype(v4l, "usb", "usb_device");
      if (intf && dev && HexAttr(dev, "idVendor") == record->vendor_id() &&
          HexAttr(dev, "idProduct") == record->product_id() && HexAttr(intf, "bInterfaceClass") == 0x0E) {
        PD_LOG_TRACE("bSuccess");
        const auto& raw = record->raw();
        PD_LOG_TRACE("_manufacturer[%s] _product[%s] _desc[%s]", ToUtf8(raw.manufacturer).c_str(),
                     ToUtf8(raw.product).c_str(), ToUtf8(raw.description).c_str());
        result = 1;
        const char* name = udev_device_get_sysattr_value(v4l, "name");
        if (record->raw().description[0] == 0 && name) {
          CopyWideText(record->raw().description, 64, MultiByteToWString(name, CP_UTF8).c_str());
        }
      }
      udev_device_unref(v4l);
    }
  }
  if (en) udev_enumerate_unref(en);
  if (u) udev_unref(u);
  PD_LOG_TRACE("CheckVideoID end.");
  return result;
}

}  // namespace devwarden
