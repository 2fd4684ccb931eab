#include "usb_device_info.h"

#include <cstdio>
#include <cstring>

namespace portsniffer {

bool UsbDeviceInfo::SameAs(const UsbDeviceInfo& o) const {
  if (interfaces.size() != o.interfaces.size()) return false;
  for (size_t i = 0; i < interfaces.size(); ++i) {
    if (std::memcmp(&interfaces[i], &o.interfaces[i], sizeof(UdInterfaceEntry)) != 0) return false;
  }
  return devpath == o.devpath && serial == o.serial && manufacturer == o.manufacturer &&
         product == o.product && vendor_id == o.vendor_id && product_id == o.product_id &&
         release == o.release && declared_interfaces == o.declared_interfaces &&
         authorized == o.authorized && devnode == o.devnode && bus_number == o.bus_number &&
         device_address == o.device_address && class_guid == o.class_guid;
}

std::u16string BusIdOf(uint16_t vendor_id, uint16_t product_id) {
  char text[40];
  std::snprintf(text, sizeof text, "USB\\VID_%04x&PID_%04x", vendor_id, product_id);
  return std::u16string(text, text + std::strlen(text));
}

bool BusIdEquals(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace portsniffer
