#include "sysfs_reader.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace portsniffer {

namespace {

// Setup-class GUIDs in their in-memory byte order.
constexpr std::array<uint8_t, 16> kNetClassGuid = {0x72, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11,
                                                   0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
constexpr std::array<uint8_t, 16> kPrinterClassGuid = {0x79, 0xE9, 0x36, 0x4D, 0x25, 0xE3, 0xCE, 0x11,
                                                       0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};

std::optional<std::string> ReadAttr(const std::string& dir, const char* name) {
  std::ifstream f(dir + "/" + name, std::ios::binary);
  if (!f) return std::nullopt;
  std::stringstream ss;
  ss << f.rdbuf();
  std::string v = ss.str();
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
  return v;
}

std::optional<unsigned long> ParseNumber(const std::optional<std::string>& text, int base) {
  if (!text) return std::nullopt;
  const char* s = text->c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (!*s) return std::nullopt;
  char* end = nullptr;
  unsigned long v = std::strtoul(s, &end, base);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (!end || *end) return std::nullopt;
  return v;
}

bool IsDir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::string BaseName(const std::string& path) {
  size_t p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string DevnodeOf(const std::string& dir, unsigned long bus, unsigned long addr) {
  if (auto uevent = ReadAttr(dir, "uevent")) {
    std::istringstream lines(*uevent);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.rfind("DEVNAME=", 0) == 0) return "/dev/" + line.substr(8);
    }
  }
  if (bus == 0 || addr == 0) return std::string();
  char node[64];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03lu/%03lu", bus, addr);
  return node;
}

}  // namespace

std::string ParentDevpath(const std::string& devpath) {
  size_t p = devpath.find_last_of('/');
  return p == std::string::npos ? std::string() : devpath.substr(0, p);
}

std::optional<UsbDeviceInfo> ReadUsbDevice(const std::string& sysfs_root, const std::string& devpath) {
  const std::string dir = sysfs_root + devpath;
  auto vid = ParseNumber(ReadAttr(dir, "idVendor"), 16);
  auto pid = ParseNumber(ReadAttr(dir, "idProduct"), 16);
  if (!vid || !pid) return std::nullopt;
  UsbDeviceInfo info;
  info.devpath = devpath;
  info.vendor_id = static_cast<uint16_t>(*vid);
  info.product_id = static_cast<uint16_t>(*pid);
  info.release = static_cast<uint16_t>(ParseNumber(ReadAttr(dir, "bcdDevice"), 16).value_or(0));
  info.serial = Utf8ToUtf16(ReadAttr(dir, "serial").value_or(""));
  info.manufacturer = Utf8ToUtf16(ReadAttr(dir, "manufacturer").value_or(""));
  info.product = Utf8ToUtf16(ReadAttr(dir, "product").value_or(""));
  info.authorized = ParseNumber(ReadAttr(dir, "authorized"), 10).value_or(1) != 0;
  if (auto n = ParseNumber(ReadAttr(dir, "bNumInterfaces"), 10)) info.declared_interfaces = static_cast<int>(*n);
  unsigned long bus = ParseNumber(ReadAttr(dir, "busnum"), 10).value_or(0);
  unsigned long addr = ParseNumber(ReadAttr(dir, "devnum"), 10).value_or(0);
  info.bus_number = static_cast<uint8_t>(bus);
  info.device_address = static_cast<uint32_t>(addr);
  info.devnode = DevnodeOf(dir, bus, addr);

  const std::string prefix = BaseName(devpath) + ":";
  for (const std::string& name : ListDir(dir)) {
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string idir = dir + "/" + name;
    auto cls = ParseNumber(ReadAttr(idir, "bInterfaceClass"), 16);
    if (!cls) continue;
    UdInterfaceEntry e{};
    e.number = static_cast<uint8_t>(ParseNumber(ReadAttr(idir, "bInterfaceNumber"), 16).value_or(0));
    e.interface_class = static_cast<uint8_t>(*cls);
    e.subclass = static_cast<uint8_t>(ParseNumber(ReadAttr(idir, "bInterfaceSubClass"), 16).value_or(0));
    e.protocol = static_cast<uint8_t>(ParseNumber(ReadAttr(idir, "bInterfaceProtocol"), 16).value_or(0));
    info.interfaces.push_back(e);
    if (IsDir(idir + "/net")) info.class_guid = kNetClassGuid;
    if (IsDir(idir + "/usbmisc")) {
      for (const std::string& m : ListDir(idir + "/usbmisc")) {
        if (m.rfind("lp", 0) == 0) info.class_guid = kPrinterClassGuid;
      }
    }
  }
  std::stable_sort(info.interfaces.begin(), info.interfaces.end(),
                   [](const UdInterfaceEntry& a, const UdInterfaceEntry& b) { return a.number < b.number; });
  return info;
}

std::vector<UsbDeviceInfo> ReadPresentDevices(const std::string& sysfs_root) {
  std::vector<UsbDeviceInfo> out;
  char root_real[PATH_MAX];
  if (!::realpath(sysfs_root.c_str(), root_real)) return out;
  const std::string root(root_real);
  const std::string list = sysfs_root + "/bus/usb/devices";
  for (const std::string& name : ListDir(list)) {
    if (name.find(':') != std::string::npos) continue;
    char real[PATH_MAX];
    if (!::realpath((list + "/" + name).c_str(), real)) continue;
    std::string path(real);
    if (path.compare(0, root.size(), root) != 0) continue;
    if (auto info = ReadUsbDevice(root, path.substr(root.size()))) out.push_back(std::move(*info));
  }
  return out;
}

}  // namespace portsniffer
